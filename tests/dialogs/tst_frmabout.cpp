// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogtesthelpers.h"
#include "frmabout.h"
#include "programicon.h"
#include "shownversion.h"
#include "stringtable.h"
#include "version.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace dialogtest;

namespace {

QString Text(const frmAbout& box, const char* label) {
    return box.findChild<QLabel*>(label)->text();
}

// Everything the box writes when it loads.
QStringList Texts(const frmAbout& box) {
    return {box.windowTitle(), box.findChild<QGroupBox*>("fCap")->title(), Text(box, "lblAuthor"),
            Text(box, "lblDescription"), box.findChild<QPushButton*>("cmdOK")->text()};
}

QPixmap SolidIcon(const QColor& colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return pixmap;
}

} // namespace

class TestFrmAbout : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void texts() {
        const frmAbout box(nullptr);
        QCOMPARE(box.windowTitle(), AboutTitle());
        QCOMPARE(box.findChild<QGroupBox*>("fCap")->title(), QString::fromUtf8("Описание"));
        QCOMPARE(box.findChild<QPushButton*>("cmdOK")->text(), QString::fromUtf8("ОК"));

        const QString author = Text(box, "lblAuthor");
        const QString prefix = QString::fromUtf8("Об авторе: ");
        QVERIFY(author.startsWith(prefix));
        QCOMPARE(author.mid(prefix.size()), QString::fromUtf8(version::CompanyName));
        QVERIFY(!author.mid(prefix.size()).startsWith(QLatin1Char(' ')));

        const QString description = Text(box, "lblDescription");
        QCOMPARE(description, QString::fromUtf8(version::FileDescription));
        QVERIFY(description.endsWith(QLatin1String(".   ")));
    }

    void twoBoxesInARowAgree() {
        const frmAbout first(nullptr);
        const frmAbout second(nullptr);
        QCOMPARE(Texts(second), Texts(first));
    }

    void keysCloseAccepted_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::newRow("Enter") << Qt::Key_Return;
        QTest::newRow("keypad Enter") << Qt::Key_Enter;
        QTest::newRow("Esc") << Qt::Key_Escape;
    }
    void keysCloseAccepted() {
        QFETCH(Qt::Key, key);
        frmAbout box(nullptr);
        QCOMPARE(ExecPressing(box, key), int(QDialog::Accepted));
    }

    void fixedClientSize() {
        const frmAbout box(nullptr);
        QCOMPARE(box.size(), QSize(297, 123));
        QCOMPARE(box.minimumSize(), box.maximumSize());
    }

    void showsOwnerIcon_data() {
        QTest::addColumn<bool>("hasOwner");
        QTest::addColumn<QIcon>("ownerIcon");
        QTest::addColumn<QImage>("expected");
        const QPixmap red = SolidIcon(Qt::red);
        const QImage programIcon = Pixels(QStringLiteral(":/icons/sdvigul-32.png"));
        QTest::newRow("owner's icon") << true << QIcon(red) << Pixels(red);
        // The game's window: of all its sizes the 32 px pixel art fits the place.
        QTest::newRow("owner with the program icon") << true << res::ProgramIcon() << programIcon;
        QTest::newRow("owner without icon") << true << QIcon() << programIcon;
        QTest::newRow("no owner") << false << QIcon() << programIcon;
    }
    void showsOwnerIcon() {
        QFETCH(bool, hasOwner);
        QFETCH(QIcon, ownerIcon);
        QFETCH(QImage, expected);
        QWidget owner;
        if (!ownerIcon.isNull())
            owner.setWindowIcon(ownerIcon);
        const frmAbout box(hasOwner ? &owner : nullptr);
        const QLabel* const picIcon = box.findChild<QLabel*>("picIcon");
        const QImage shown = Pixels(picIcon->pixmap());
        QCOMPARE(shown, expected);
        QVERIFY(shown != Pixels(QStringLiteral(":/icons/about-layout-32.png")));
        QCOMPARE(picIcon->geometry(), QRect(8, 8, 32, 32));
    }

    // The program icon has a picture for every place and density: the small places keep the
    // 16-colour pixel art, denser screens get a larger picture instead of a blown-up one.
    void programIconForTheScreenDensity_data() {
        QTest::addColumn<int>("place");
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("picture");
        QTest::newRow("16 at ratio 1") << 16 << 1.0 << 16;
        QTest::newRow("32 at ratio 1") << 32 << 1.0 << 32;
        QTest::newRow("16 at ratio 2") << 16 << 2.0 << 32;
        QTest::newRow("32 at ratio 1.5") << 32 << 1.5 << 48;
        QTest::newRow("32 at ratio 2") << 32 << 2.0 << 64;
        QTest::newRow("64 at ratio 2") << 64 << 2.0 << 128;
        QTest::newRow("256 at ratio 1") << 256 << 1.0 << 256;
    }
    void programIconForTheScreenDensity() {
        QFETCH(int, place);
        QFETCH(qreal, ratio);
        QFETCH(int, picture);
        const QPixmap shown = res::ProgramIcon().pixmap(QSize(place, place), ratio);
        QCOMPARE(shown.size(), QSize(picture, picture));
        QImage expected = Pixels(QStringLiteral(":/icons/sdvigul-%1.png").arg(picture));
        expected.setDevicePixelRatio(ratio);
        QCOMPARE(Pixels(shown), expected);
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
