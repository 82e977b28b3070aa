// SPDX-License-Identifier: GPL-3.0-or-later
#include "stringtable.h"
#include "titlebarlayout.h"
#include "windowing.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QTest>

#include <algorithm>

// The window icon, the title's blanks and the buttons of the game's own title bar.
class TestWindowing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void windowIconSmallFirstThenEverySize();
    void blanksKeptThroughCaptionTidying_data();
    void blanksKeptThroughCaptionTidying();
    void titleBarButtons_data();
    void titleBarButtons();
};

void TestWindowing::windowIconSmallFirstThenEverySize() {
    const auto sides = [](const QIcon& icon) {
        QList<int> list;
        for (const QSize& size : icon.availableSizes())
            list << size.width();
        std::sort(list.begin(), list.end());
        return list;
    };
    const QList<int> small{16, 32};
    const QList<int> every{16, 32, 48, 64, 128, 256};
    QWidget window;
    windowing::DressMainWindow(window);
    QCOMPARE(sides(window.windowIcon()), small);
    QCOMPARE(sides(QApplication::windowIcon()), small);
    QTRY_COMPARE_WITH_TIMEOUT(sides(window.windowIcon()), every, 3000);
    QCOMPARE(sides(QApplication::windowIcon()), every);
}

void TestWindowing::blanksKeptThroughCaptionTidying_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("sent");
    const QString kept = QStringLiteral("\u034F ");
    QTest::newRow("no blanks") << QStringLiteral("Сдвигуль") << QStringLiteral("Сдвигуль");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one blank") << QStringLiteral(" Сдвигуль") << kept + QStringLiteral("Сдвигуль");
    // Only the leading run carries the scroll; blanks inside or after the text stay as they are.
    QTest::newRow("blanks inside and after")
        << QStringLiteral("  a  b ") << kept.repeated(2) + QStringLiteral("a  b ");
    QTest::newRow("blanks only") << QStringLiteral("   ") << kept.repeated(3);
}

void TestWindowing::blanksKeptThroughCaptionTidying() {
    QFETCH(QString, title);
    QFETCH(QString, sent);
    QCOMPARE(windowing::TitleWriter::KeepLeadingBlanks(title), sent);
}

// The buttons of the game's own Wayland title bar, for the flags real widgets end up with.
void TestWindowing::titleBarButtons_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("minimise");
    QTest::addColumn<bool>("close");
    const auto flagsOf = [](const QWidget& widget) { return int(widget.windowFlags()); };
    const QMessageBox box;
    const QMainWindow main;
    QTest::newRow("message box") << flagsOf(box) << false << true;
    QTest::newRow("plain main window") << flagsOf(main) << true << true;
    QTest::newRow("main window without maximise")
        << int(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
        << true << true;
    QTest::newRow("dialog with close only") << int(Qt::Dialog | Qt::CustomizeWindowHint |
                                                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
                                            << false << true;
    QTest::newRow("maximise only")
        << int(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowMaximizeButtonHint) << false
        << false;
    QTest::newRow("bare window, no hints") << int(Qt::Window) << true << true;
}

void TestWindowing::titleBarButtons() {
    QFETCH(int, flags);
    const titlebar::Buttons buttons = titlebar::ButtonsFor(Qt::WindowFlags(flags));
    QTEST(buttons.minimise, "minimise");
    QTEST(buttons.close, "close");
}

QTEST_MAIN(TestWindowing)
#include "tst_windowing.moc"
