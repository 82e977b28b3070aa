#include "e2etestcase.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

using namespace e2e;

namespace {

const QString kTitle = QStringLiteral("Сдвигуль");
constexpr int kMenuTimeoutMs = 5000;

// The size xprop reports after `label` in a window's size hints, e.g. "minimum size: 247 by 369".
QSize HintedSize(const QString& hints, const QString& label) {
    const QRegularExpression pattern(label + QStringLiteral(":\\s*(\\d+) by (\\d+)"));
    const QRegularExpressionMatch match = pattern.match(hints);
    return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
}

// Every title the scroll passes through, in order: the word loses its first letter until the
// tag text (25 blanks and the word) takes its place, which then loses one blank per step.
QStringList ScrollStates() {
    const QString tag = QString(25, QLatin1Char(' ')) + kTitle;
    QStringList states;
    for (int i = 0; i < kTitle.size(); ++i)
        states << kTitle.mid(i);
    for (int i = 0; i <= 25; ++i)
        states << tag.mid(i);
    return states;
}

} // namespace

// The main window as the desktop sees it: look at start-up, menus, fixed size, title scroll.
class TestWindow : public E2eTestCase {
    Q_OBJECT

private slots:

    void startUpLook();
    void menusOpen_data();
    void menusOpen();
    void sizeIsFixed_data();
    void sizeIsFixed();
    void minimises();
    void titleScrolls();
};

void TestWindow::startUpLook() {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    QCOMPARE(x.WindowName(game.MainWindow()).value_or(QString()), kTitle);

    const auto info = game.MainInfo();
    QVERIFY(info);
    QCOMPARE(info->client.width(), 247);
    // The dark green client area is exactly 350 rows high; the menu bar sits right above it.
    const QImage screen = x.Screenshot();
    QVERIFY(!screen.isNull());
    const int column = info->client.left() + 2;
    const int bottom = info->client.bottom();
    int greenRows = 0;
    while (screen.pixel(column, bottom - greenRows) == qRgb(0, 64, 0))
        ++greenRows;
    QCOMPARE(greenRows, 350);

    // Centred on the screen, give or take the decoration the window manager adds.
    const auto frame = x.FrameExtents(game.MainWindow());
    QVERIFY(frame);
    const QRect framed = info->client.marginsAdded(*frame);
    const QPoint offset = framed.center() - QRect(QPoint(0, 0), x.ScreenSize()).center();
    QVERIFY2(
        std::abs(offset.x()) <= frame->left() + frame->right() + 1 &&
            std::abs(offset.y()) <= frame->top() + frame->bottom() + 1,
        qPrintable(QStringLiteral("window off centre by %1, %2").arg(offset.x()).arg(offset.y())));

    const ClientShot shot = game.Shot();
    QVERIFY(shot.BoardHidden());
    QVERIFY(shot.CaptionsShown());
    QVERIFY(!shot.TimeValueShown());
    QVERIFY(!shot.MoveValueShown());
}

void TestWindow::menusOpen_data() {
    QTest::addColumn<int>("title");
    QTest::addColumn<QString>("accessKey"); // empty: opened by a click on the title
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("submenuAt"); // entry that opens a submenu, -1 for none
    QTest::addColumn<int>("submenuEntries");

    QTest::newRow("Игра by mouse") << 0 << QString() << 6 << -1 << 0;
    QTest::newRow("Справка by mouse") << 1 << QString() << 2 << -1 << 0;
    QTest::newRow("Игра by Alt+И") << 0 << QStringLiteral("alt+Cyrillic_i") << 6 << -1 << 0;
    QTest::newRow("Справка by Alt+С") << 1 << QStringLiteral("alt+Cyrillic_es") << 2 << -1 << 0;
    QTest::newRow("Сдвиг фишки submenu") << 0 << QString() << 6 << 1 << 2;
}

// Menu texts cannot be read back from pixels, but each entry shows as a run of text rows: the
// count of entries with text, separators excluded, tells the captions were filled in.
void TestWindow::menusOpen() {
    QFETCH(int, title);
    QFETCH(QString, accessKey);
    QFETCH(int, entries);
    QFETCH(int, submenuAt);
    QFETCH(int, submenuEntries);
    GameRun& game = f_.Game();

    const QList<QRect> titles = game.MenuBarTitles();
    QCOMPARE(titles.size(), 2);
    const auto menu =
        accessKey.isEmpty() ? game.OpenMenuByMouse(title) : game.OpenMenuByKeys({accessKey});
    QVERIFY2(menu, "no menu opened");
    QCOMPARE(menu->entries.size(), entries);
    // It drops down from its title in the menu bar.
    QVERIFY(std::abs(menu->rect.left() - titles[title].left()) <= 12);
    QVERIFY(menu->rect.top() >= game.MenuBarRect().bottom() - 4);
    QVERIFY(menu->rect.top() <= game.MenuBarRect().bottom() + 8);
    QVERIFY(QRect(QPoint(0, 0), f_.X().ScreenSize()).contains(menu->rect));

    if (submenuAt >= 0) {
        const QList<quint64> known = game.OtherWindows();
        f_.X().Click(menu->EntryCentre(submenuAt));
        const auto submenu = game.WaitForMenu(known);
        QVERIFY2(submenu, "no submenu opened");
        QVERIFY(!known.contains(submenu->window));
        QCOMPARE(submenu->entries.size(), submenuEntries);
        // Beside its entry, on the right of the menu.
        QVERIFY(std::abs(submenu->rect.left() - menu->rect.right()) <= 12);
        QVERIFY(std::abs(submenu->rect.top() -
                         (menu->rect.top() + menu->entries[submenuAt].top())) <= 16);
        f_.X().Keys({QStringLiteral("Escape")});
    }
    f_.X().Keys({QStringLiteral("Escape"), QStringLiteral("Escape")});
    QVERIFY(PollUntil([&] { return game.MenusClosed(); }, kMenuTimeoutMs));
}

void TestWindow::sizeIsFixed_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments"); // %1 stands for the window id

    QTest::newRow("maximise") << QStringLiteral("wmctrl")
                              << QStringList{QStringLiteral("-i"), QStringLiteral("-r"),
                                             QStringLiteral("%1"), QStringLiteral("-b"),
                                             QStringLiteral("add,maximized_vert,maximized_horz")};
    QTest::newRow("resize") << QStringLiteral("xdotool")
                            << QStringList{QStringLiteral("windowsize"), QStringLiteral("%1"),
                                           QStringLiteral("400"), QStringLiteral("500")};
}

void TestWindow::sizeIsFixed() {
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    XSession& x = f_.X();
    GameRun& game = f_.Game();

    const QString hints = x.Property(game.MainWindow(), QStringLiteral("WM_NORMAL_HINTS"));
    const QSize minimum = HintedSize(hints, QStringLiteral("minimum size"));
    const QSize maximum = HintedSize(hints, QStringLiteral("maximum size"));
    QVERIFY2(minimum.isValid(), qPrintable(hints));
    QCOMPARE(maximum, minimum);

    const auto before = game.MainInfo();
    QVERIFY(before);
    QCOMPARE(before->client.size(), minimum);
    arguments.replaceInStrings(QStringLiteral("%1"), QString::number(game.MainWindow()));
    QVERIFY(x.Run(program, arguments));
    // The window manager answers at once when it obeys; give it a moment to misbehave.
    QTest::qWait(700);
    const auto after = game.MainInfo();
    QVERIFY(after);
    QCOMPARE(after->client, before->client);
    QVERIFY(!x.Property(game.MainWindow(), QStringLiteral("_NET_WM_STATE")).contains("MAXIMIZED"));
}

void TestWindow::minimises() {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    const quint64 window = game.MainWindow();
    const auto before = game.MainInfo();
    QVERIFY(before);
    QVERIFY(x.Run(QStringLiteral("xdotool"),
                  {QStringLiteral("windowminimize"), QString::number(window)}));
    QVERIFY(PollUntil(
        [&] {
            const auto info = x.Window(window);
            return info && !info->viewable &&
                   x.Property(window, QStringLiteral("WM_STATE")).contains("Iconic");
        },
        3000));
    // And it comes back where it was (the window manager may animate the way back).
    QVERIFY(game.Activate());
    QVERIFY(PollUntil(
        [&] {
            const auto info = x.Window(window);
            return info && info->viewable && info->client == before->client;
        },
        3000));
}

// The title scrolls out and back once every 10 s: sampled about every 20 ms around that time,
// it must pass through the scroll's states in order, never be empty, and stand alone again
// about 3.3 s after it began to move.
void TestWindow::titleScrolls() {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    const quint64 window = game.MainWindow();
    const QStringList states = ScrollStates();
    QCOMPARE(x.WindowName(window).value_or(QString()), kTitle);

    constexpr int kWatchFromMs = 8500;
    QTest::qWait(int(std::max<qint64>(0, kWatchFromMs - game.MsSinceStart())));
    QCOMPARE(x.WindowName(window).value_or(QString()), kTitle);

    qint64 began = -1;
    qint64 ended = -1;
    int lastState = 0;
    bool sawWholeTag = false;
    bool sawBlanks = false;
    while (ended < 0 && game.MsSinceStart() < 22000) {
        const auto name = x.WindowName(window);
        QVERIFY2(name, "the title cannot be read");
        QVERIFY2(!name->isEmpty(), "the title is empty");
        int state = lastState;
        if (*name != states.at(lastState)) {
            // "Сдвигуль" is both the first and the last state; after it moved, it is the last.
            state = states.indexOf(*name, lastState + 1);
            QVERIFY2(state > lastState,
                     qPrintable(QStringLiteral("title \"%1\" out of order").arg(*name)));
        }
        if (state > 0 && began < 0)
            began = game.MsSinceStart();
        sawWholeTag = sawWholeTag || state == kTitle.size();
        sawBlanks = sawBlanks || name->startsWith(QLatin1Char(' '));
        if (state == states.size() - 1)
            ended = game.MsSinceStart();
        lastState = state;
        QTest::qWait(20);
    }
    QVERIFY2(began >= 9400 && began <= 12500,
             qPrintable(QStringLiteral("the scroll began %1 ms after start").arg(began)));
    QVERIFY2(ended > 0, "the title did not come back");
    QVERIFY2(ended - began >= 2800 && ended - began <= 6000,
             qPrintable(QStringLiteral("the scroll took %1 ms").arg(ended - began)));
    qInfo("scroll %lld..%lld", began, ended);
    QVERIFY(sawBlanks);
    QVERIFY2(sawWholeTag, "the 25 blanks followed by the title were never seen");
}

QTEST_GUILESS_MAIN(TestWindow)
#include "tst_e2e_window.moc"
