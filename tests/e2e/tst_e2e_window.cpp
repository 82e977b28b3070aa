// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2etestcase.h"

#include <QElapsedTimer>
#include <QProcessEnvironment>
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

constexpr QRgb kGreen = qRgb(0, 64, 0);
constexpr QRgb kYellow = qRgb(255, 255, 0);
constexpr int kDealTimeoutMs = 5000;
// Cases whose data tag starts so run the game at the display scale that follows.
const QString kScaleTag = QStringLiteral("scale ");

// Cell k (1..16) of a game drawn at `scale`, in the client area: everything twice as far at
// scale 2.
QRect ScaledCell(int cell, qreal scale) {
    const QRect unscaled = ClientShot::CellRect(cell);
    return {unscaled.topLeft() * scale, unscaled.size() * scale};
}

bool IsGreen(const QImage& image, QPoint at) {
    return image.pixel(at) == kGreen;
}

bool IsGreenCell(const QImage& client, const QRect& cell) {
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            if (!IsGreen(client, {x, y}))
                return false;
    return true;
}

// The one empty cell of a dealt board drawn at `scale`; 0 when there is not exactly one.
int EmptyScaledCell(const QImage& client, qreal scale) {
    int empty = 0;
    for (int cell = 1; cell <= ClientShot::kCells; ++cell) {
        if (!IsGreenCell(client, ScaledCell(cell, scale)))
            continue;
        if (empty != 0)
            return 0;
        empty = cell;
    }
    return empty;
}

// Some tile shows the hint colour at its rounded corner.
bool HintShown(const QImage& client, qreal scale) {
    for (int cell = 1; cell <= ClientShot::kCells; ++cell)
        if (client.pixel(ScaledCell(cell, scale).topLeft()) == kYellow)
            return true;
    return false;
}

// A tile fills its cell exactly: its edges lie on the cell's border at the middle of each
// side, and the gap just outside is background.
bool TileFillsCell(const QImage& client, const QRect& cell) {
    const QPoint centre = cell.center();
    const QList<QPair<QPoint, QPoint>> insideOutside{
        {{cell.left(), centre.y()}, {cell.left() - 1, centre.y()}},
        {{cell.right(), centre.y()}, {cell.right() + 1, centre.y()}},
        {{centre.x(), cell.top()}, {centre.x(), cell.top() - 1}},
        {{centre.x(), cell.bottom()}, {centre.x(), cell.bottom() + 1}},
    };
    for (const auto& [inside, outside] : insideOutside)
        if (IsGreen(client, inside) || !IsGreen(client, outside))
            return false;
    return true;
}

// Where two images of one size first differ, for a failure message; empty when they agree.
QString FirstDifference(const QImage& shown, const QImage& expected) {
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("at %1, %2: %3 instead of %4")
                    .arg(x)
                    .arg(y)
                    .arg(shown.pixel(x, y), 0, 16)
                    .arg(expected.pixel(x, y), 0, 16);
    return {};
}

// The share of the 2 × 2 blocks of `area` (from its even top-left) that are not one colour.
// A picture whose pixels were doubled has none.
double ShareOfMixedBlocks(const QImage& image, const QRect& area) {
    int blocks = 0;
    int mixed = 0;
    for (int y = area.top(); y + 1 <= area.bottom(); y += 2)
        for (int x = area.left(); x + 1 <= area.right(); x += 2) {
            const QRgb first = image.pixel(x, y);
            ++blocks;
            if (image.pixel(x + 1, y) != first || image.pixel(x, y + 1) != first ||
                image.pixel(x + 1, y + 1) != first)
                ++mixed;
        }
    return blocks == 0 ? 0.0 : double(mixed) / blocks;
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
    void drawnForTheScale_data();
    void drawnForTheScale();

protected:
    QString StartCaseGame() override;
};

QString TestWindow::StartCaseGame() {
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    if (!tag.startsWith(kScaleTag))
        return f_.StartGame();
    QProcessEnvironment scaled;
    scaled.insert(QStringLiteral("QT_SCALE_FACTOR"), tag.mid(kScaleTag.size()));
    return f_.StartGame(QStringLiteral(SDVIGUL_GAME_BINARY), scaled);
}

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

void TestWindow::drawnForTheScale_data() {
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<QString>("picture"); // the tile back the first deal shows, as committed
    QTest::addColumn<double>("minMixedBlocks");
    const QString shirts = QStringLiteral(SDVIGUL_SOURCE_DIR "/resources/shirts/");
    // At scale 1 the 48 px picture lands pixel for pixel, as it always did.
    QTest::newRow("scale 1") << 1.0 << shirts + QStringLiteral("shirt00.png") << 0.0;
    // At scale 2 the 96 px one does; doubled 48 px pixels would leave no block mixed.
    QTest::newRow("scale 2") << 2.0 << shirts + QStringLiteral("shirt00@2x.png") << 0.3;
    // At 1.5 the 96 px picture scaled down smoothly, not the 48 px one unevenly doubled.
    QTest::newRow("scale 1.5") << 1.5 << shirts + QStringLiteral("shirt00@2x.png") << 0.0;
}

// The window at a display scale: its size and cells scaled, the tile backs drawn from the
// picture made for the scale, the hint's corners, and the icon handed to the desktop.
void TestWindow::drawnForTheScale() {
    QFETCH(qreal, scale);
    QFETCH(QString, picture);
    QFETCH(double, minMixedBlocks);
    XSession& x = f_.X();
    GameRun& game = f_.Game();

    const auto info = game.MainInfo();
    QVERIFY(info);
    const QSize clientSize = QSize(247, 350) * scale;
    QCOMPARE(info->client.width(), clientSize.width());
    const QRect client(info->client.left(), info->client.bottom() + 1 - clientSize.height(),
                       clientSize.width(), clientSize.height());
    QImage screen = x.Screenshot();
    QVERIFY(!screen.isNull());
    QVERIFY(!IsGreen(screen, client.topLeft() - QPoint(0, 1))); // the menu bar ends there

    // A deal with the hint on ("Игра" → "Подсказка").
    x.Keys({QStringLiteral("F2")});
    x.Keys({QStringLiteral("alt+Cyrillic_i")});
    x.Keys({QStringLiteral("Cyrillic_es")});
    int empty = 0;
    QImage shown;
    QVERIFY2(PollUntil(
                 [&] {
                     screen = x.Screenshot();
                     shown = screen.copy(client);
                     empty = EmptyScaledCell(shown, scale);
                     return empty != 0 && HintShown(shown, scale) && game.MenusClosed();
                 },
                 kDealTimeoutMs),
             "no dealt board with hint corners at this scale");
    int greenRows = 0;
    while (greenRows < clientSize.height() &&
           shown.pixel(2, clientSize.height() - 1 - greenRows) == kGreen)
        ++greenRows;
    QCOMPARE(greenRows, clientSize.height());

    // Scaled the way the game scales it, then compared pixel for pixel with the screen.
    QImage back = QImage(picture).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    back.setDevicePixelRatio(1.0);
    const QSize side = QSize(48, 48) * scale;
    if (back.size() != side)
        back = back.scaled(side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    back = back.convertToFormat(QImage::Format_RGB32);
    // Below the number and clear of the rounded corners, in every tile of the first deal.
    const QRect belowNumber(QPoint(8, 36) * scale, QPoint(40, 44) * scale - QPoint(1, 1));
    for (int cell = 1; cell <= ClientShot::kCells; ++cell) {
        if (cell == empty)
            continue;
        const QRect rect = ScaledCell(cell, scale);
        QVERIFY2(TileFillsCell(shown, rect), qPrintable(QString::number(cell)));
        const bool hinted = (cell - 1) / 4 == (empty - 1) / 4
                                ? std::abs(cell - empty) == 1
                                : (cell - 1) % 4 == (empty - 1) % 4 && std::abs(cell - empty) == 4;
        QCOMPARE(shown.pixel(rect.topLeft()) == kYellow, hinted);
        const QString difference =
            FirstDifference(shown.copy(rect).copy(belowNumber), back.copy(belowNumber));
        QVERIFY2(difference.isEmpty(),
                 qPrintable(QStringLiteral("cell %1 ").arg(cell) + difference));
    }
    const double mixed =
        ShareOfMixedBlocks(shown.copy(ScaledCell(empty == 1 ? 2 : 1, scale)), belowNumber);
    qInfo("scale %.1f: %.0f %% of the 2 x 2 blocks below the number are not one colour", scale,
          100.0 * mixed);
    QVERIFY(mixed >= minMixedBlocks);

    // The desktop gets the icon up to 256 px, a moment after the window is shown (xprop prints
    // a property in full only when told).
    QByteArray icon;
    const bool large = PollUntil(
        [&] {
            icon = x.Run(QStringLiteral("xprop"),
                         {QStringLiteral("-len"), QStringLiteral("16777216"), QStringLiteral("-id"),
                          QString::number(game.MainWindow()), QStringLiteral("_NET_WM_ICON")})
                       .value_or(QByteArray());
            return icon.contains("Icon (256 x 256)");
        },
        5000, 200);
    QVERIFY2(large, icon.left(200).constData());
}

QTEST_GUILESS_MAIN(TestWindow)
#include "tst_e2e_window.moc"
