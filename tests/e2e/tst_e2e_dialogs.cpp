// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2etestcase.h"
#include "shownversion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace e2e;

namespace {

constexpr int kTimeoutMs = 5000;
// Wine starts Notepad as a new process, slower than a window of the game.
constexpr int kNotepadTimeoutMs = 20000;
constexpr QSize kAboutSize{297, 123};
const QString kAppTitle = QStringLiteral("Сдвигуль");
constexpr int kMinNumberInk = 20;
constexpr int kMinTextPixels = 50;

// Dark pixels of an area of the screen: text drawn on a light background.
int DarkPixels(const QImage& screen, const QRect& area) {
    int dark = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(screen.pixel(x, y)) < 100)
                ++dark;
    return dark;
}

// The middle of a check box shows the tick's dark ink when ticked; its frame and the shading
// for the pointer above it or for the focus are lighter, so they do not count.
bool IsTicked(const QImage& middle) {
    return DarkPixels(middle, middle.rect()) >= 3;
}

} // namespace

// The tile-back chooser, the about box and the help file, opened by real input.
class TestDialogs : public E2eTestCase {
    Q_OBJECT

private slots:

    void chooserCancelsAndApplies();
    void chooserGivesEveryTileOnePicture();
    void aboutBox();
    void helpMissing();
    void helpViewer_data();
    void helpViewer();
    void helpInNotepad();

private:
    // Every occupied cell of `shot` shows `picture` (-1: any), with a number painted on it.
    bool AllBacksAre(const ClientShot& shot, int picture, QString* why) const;
};

bool TestDialogs::AllBacksAre(const ClientShot& shot, int picture, QString* why) const {
    for (int cell = 1; cell <= kCells; ++cell) {
        if (shot.IsEmpty(cell))
            continue;
        const Recognition seen = f_.Backs().Recognise(shot.Cell(cell));
        if (seen.picture < 0 || (picture >= 0 && seen.picture != picture)) {
            *why = QStringLiteral("cell %1 shows picture %2 (distance %3, next %4)")
                       .arg(cell)
                       .arg(seen.picture)
                       .arg(seen.distance)
                       .arg(seen.runnerUp);
            return false;
        }
        if (f_.Backs().NumberInk(shot.Cell(cell), seen.picture) < kMinNumberInk) {
            *why = QStringLiteral("cell %1 has no number").arg(cell);
            return false;
        }
    }
    return true;
}

// Esc cancels: the tiles stay as they were, but the tick is kept for the next opening; Enter
// confirms it, and the tiles wear 15 different backs under their numbers.
void TestDialogs::chooserCancelsAndApplies() {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    const ClientShot board = f_.NewGameByF2();
    QVERIFY(!board.IsNull());
    QString why;
    QVERIFY2(AllBacksAre(board, 0, &why), qPrintable(why));

    const auto chooser = f_.OpenChooserByMouse();
    QVERIFY2(chooser, "the chooser did not open from the menu");
    const auto rect = f_.ChooserRect(*chooser);
    QVERIFY(rect);
    QCOMPARE(rect->size(), E2eFixture::kChooserSize);
    const QRect tickArea(rect->topLeft() + E2eFixture::kAssortedBox - QPoint(2, 2), QSize(5, 5));
    QVERIFY2(!IsTicked(x.Screenshot().copy(tickArea)), "\"Ассорти\" is ticked before a click");
    x.Click(rect->topLeft() + E2eFixture::kAssortedBox);
    QVERIFY(PollUntil([&] { return IsTicked(x.Screenshot().copy(tickArea)); }, kTimeoutMs));
    x.Keys({QStringLiteral("Escape")});
    QVERIFY2(game.WaitUntilGone(*chooser, kTimeoutMs), "Esc did not close the chooser");
    const ClientShot cancelled = game.Shot();
    QVERIFY2(cancelled.SamePosition(board), "Cancel changed the tiles");
    QVERIFY2(AllBacksAre(cancelled, 0, &why), qPrintable(why));

    const auto again = f_.OpenChooserByKeys();
    QVERIFY2(again, "the chooser did not open by its access keys");
    const auto againRect = f_.ChooserRect(*again);
    QVERIFY(againRect && againRect->topLeft() == rect->topLeft());
    QVERIFY2(PollUntil([&] { return IsTicked(x.Screenshot().copy(tickArea)); }, kTimeoutMs),
             "the tick of \"Ассорти\" was not kept");
    x.Keys({QStringLiteral("Return")});
    QVERIFY2(game.WaitUntilGone(*again, kTimeoutMs), "Enter did not close the chooser");

    const ClientShot assorted = game.WaitForShot(
        [&](const ClientShot& shot) { return f_.ReadPosition(shot).has_value(); }, kTimeoutMs);
    QVERIFY2(!assorted.IsNull(), "the board does not show 15 different backs");
    QVERIFY2(AllBacksAre(assorted, -1, &why), qPrintable(why));
    QCOMPARE(assorted.EmptyCell(), board.EmptyCell());
}

void TestDialogs::chooserGivesEveryTileOnePicture() {
    XSession& x = f_.X();
    QVERIFY(!f_.NewGameByF2().IsNull());
    const auto chooser = f_.OpenChooserByKeys();
    QVERIFY(chooser);
    const auto rect = f_.ChooserRect(*chooser);
    QVERIFY(rect);
    constexpr int kMarble = 9;
    x.Click(rect->topLeft() + E2eFixture::ChooserPicture(kMarble));
    x.Click(rect->topLeft() + E2eFixture::kChooserOk);
    QVERIFY(f_.Game().WaitUntilGone(*chooser, kTimeoutMs));
    QString why;
    const ClientShot shot = f_.Game().WaitForShot(
        [&](const ClientShot& s) { return AllBacksAre(s, kMarble, &why); }, kTimeoutMs);
    QVERIFY2(!shot.IsNull(), qPrintable(why));
}

// Opened from "Справка" by mouse and closed with Enter, then by the keyboard (Alt+С, arrow,
// Enter) and closed with Esc.
void TestDialogs::aboutBox() {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    for (const bool byMouse : {true, false}) {
        if (byMouse) {
            QVERIFY(game.ChooseByMouse(GameRun::kMenuTitleHelp, {1})); // "О программе"
        } else {
            // Opened by its access key, the menu marks its first entry; one down is "О программе".
            QVERIFY(game.OpenMenuByKeys({QStringLiteral("alt+Cyrillic_es")}));
            x.Keys({QStringLiteral("Down"), QStringLiteral("Return")});
        }
        const auto box = f_.WaitForTitled(ExactTitle(AboutTitle()), kTimeoutMs);
        QVERIFY2(box, "no about box");
        QCOMPARE(x.WindowName(*box).value_or(QString()), AboutTitle());
        const auto info = x.Window(*box);
        QVERIFY(info);
        QCOMPARE(info->client.size(), kAboutSize);
        QVERIFY(x.Activate(*box));
        x.Keys({byMouse ? QStringLiteral("Return") : QStringLiteral("Escape")});
        QVERIFY2(game.WaitUntilGone(*box, kTimeoutMs), "the about box stayed open");
    }
}

void TestDialogs::helpMissing() {
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    const auto main = game.MainInfo();
    QVERIFY(main);
    x.Keys({QStringLiteral("F1")});
    const auto box = f_.WaitForTitled(ExactTitle(kAppTitle), kTimeoutMs);
    QVERIFY2(box, "no message about the missing help file");
    QVERIFY(*box != game.MainWindow());
    const auto info = x.Window(*box);
    QVERIFY(info && info->client.size() != main->client.size());
    QVERIFY(x.Activate(*box));
    x.Keys({QStringLiteral("Return")});
    QVERIFY2(game.WaitUntilGone(*box, kTimeoutMs), "Enter did not close the message");
    QVERIFY(game.Activate());
    QVERIFY(!f_.NewGameByF2().IsNull());
}

void TestDialogs::helpViewer_data() {
    QTest::addColumn<QString>("fileName");
    QTest::newRow("help.txt") << QStringLiteral("help.txt");
    QTest::newRow("other letter case") << QStringLiteral("HELP.TXT");
}

// The viewer shows the file and stays open beside the game, which goes on; a second F1 brings
// the same viewer forward instead of opening another.
void TestDialogs::helpViewer() {
    if (f_.Wine())
        QSKIP("on Windows, Notepad shows the help file");
    QFETCH(QString, fileName);
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    QFile help(game.WorkDir() + QLatin1Char('/') + fileName);
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write(QStringLiteral("Правила игры\nПередвигайте фишки на пустое место, пока они не "
                              "встанут по порядку.\n")
                   .repeated(8)
                   .toUtf8());
    help.close();

    x.Keys({QStringLiteral("F1")});
    const QString title = fileName + QStringLiteral(" - ") + kAppTitle;
    const auto viewer = f_.WaitForTitled(ExactTitle(title), kTimeoutMs);
    QVERIFY2(viewer, "no help viewer");
    QCOMPARE(x.WindowName(*viewer).value_or(QString()), title);
    const auto viewerInfo = x.Window(*viewer);
    QVERIFY(viewerInfo);
    QVERIFY2(
        PollUntil([&] { return DarkPixels(x.Screenshot(), viewerInfo->client) >= kMinTextPixels; },
                  kTimeoutMs),
        "the viewer shows no text");

    QVERIFY(game.Activate());
    QVERIFY2(!f_.NewGameByF2().IsNull(), "the game does not deal while the viewer is open");

    x.Keys({QStringLiteral("F1")});
    QVERIFY2(PollUntil(
                 [&] {
                     const auto active =
                         x.Run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
                     return active && active->trimmed().toULongLong() == *viewer;
                 },
                 kTimeoutMs),
             "F1 did not bring the viewer forward");
    QCOMPARE(game.WindowsTitled(ExactTitle(title)).size(), 1);
    QCOMPARE(game.OtherWindows(), QList<quint64>{*viewer});
}

// On Windows F1 starts "notepad.exe help.txt" in the game's working directory, with the
// help.txt the game ships; the game goes on beside it.
void TestDialogs::helpInNotepad() {
    if (!f_.Wine())
        QSKIP("Notepad is the help viewer of the Windows build");
    XSession& x = f_.X();
    GameRun& game = f_.Game();
    const QString shipped = QFileInfo(f_.Wine()->Exe()).dir().filePath(QStringLiteral("help.txt"));
    QVERIFY(QFile::copy(shipped, game.WorkDir() + QStringLiteral("/help.txt")));

    x.Keys({QStringLiteral("F1")});
    // Notepad is a process of its own; its title names the file, then the editor.
    const QStringList notepadCriteria{QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                      QStringLiteral("^help\\.txt - ")};
    QList<quint64> notepad;
    QVERIFY2(PollUntil([&] { return (notepad = x.SearchWindows(notepadCriteria)).size() == 1; },
                       kNotepadTimeoutMs),
             "Notepad did not open help.txt");
    const auto info = x.Window(notepad.front());
    QVERIFY(info);
    QVERIFY2(PollUntil([&] { return DarkPixels(x.Screenshot(), info->client) >= kMinTextPixels; },
                       kTimeoutMs),
             "Notepad shows no text");
    QVERIFY(game.WindowsTitled(ExactTitle(kAppTitle)).size() == 1); // no "not found" box

    QVERIFY(game.Activate());
    QVERIFY2(!f_.NewGameByF2().IsNull(), "the game does not deal while Notepad is open");
    QVERIFY(x.Run(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"),
                                             QStringLiteral("0x%1").arg(notepad.front(), 0, 16)}));
    QVERIFY(game.WaitUntilGone(notepad.front(), kTimeoutMs));
}

QTEST_GUILESS_MAIN(TestDialogs)
#include "tst_e2e_dialogs.moc"
