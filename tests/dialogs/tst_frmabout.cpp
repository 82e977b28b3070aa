#include "dialogtesthelpers.h"
#include "frmabout.h"
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
        QCOMPARE(box.windowTitle(), QString::fromUtf8("О программе \"Сдвигуль\" v2.2.21"));
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
        QTest::addColumn<QPixmap>("ownerIcon");
        QTest::addColumn<QImage>("expected");
        const QPixmap red = SolidIcon(Qt::red);
        const QImage programIcon = Pixels(QStringLiteral(":/icons/sdvigul-32.png"));
        QTest::newRow("owner's icon") << true << red << Pixels(red);
        QTest::newRow("owner without icon") << true << QPixmap() << programIcon;
        QTest::newRow("no owner") << false << QPixmap() << programIcon;
    }
    void showsOwnerIcon() {
        QFETCH(bool, hasOwner);
        QFETCH(QPixmap, ownerIcon);
        QFETCH(QImage, expected);
        QWidget owner;
        if (!ownerIcon.isNull())
            owner.setWindowIcon(QIcon(ownerIcon));
        const frmAbout box(hasOwner ? &owner : nullptr);
        const QLabel* const picIcon = box.findChild<QLabel*>("picIcon");
        const QImage shown = Pixels(picIcon->pixmap());
        QCOMPARE(shown, expected);
        QVERIFY(shown != Pixels(QStringLiteral(":/icons/about-layout-32.png")));
        QCOMPARE(picIcon->geometry(), QRect(8, 8, 32, 32));
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
