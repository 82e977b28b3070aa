// SPDX-License-Identifier: GPL-3.0-or-later
// A long scripted game, written out step by step: what the player sees after every click,
// drag, menu command and master tick. The player, the generator and the clock are scripted,
// so two builds that behave alike write the same bytes; compare the output of two builds
// (for instance before and after moving code around) to show that nothing visible changed.
//
//   session_trace [steps] > trace.txt      (runs on the offscreen platform)
//
// The window's own timers are held back: the script ticks them itself, so the title scroll
// and the master move at the same steps in every run, however busy the machine is.
#include "cellwidget.h"
#include "frmgame.h"
#include "scriptedrandom.h"
#include "stringtable.h"
#include "tilewidget.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>

#include <cstdint>
#include <cstdio>
#include <random>

namespace {

// Keeps QTimer objects from firing, all but the one that answers message boxes.
class TimerHold final : public QObject {
public:
    explicit TimerHold(const QObject& allowed) : allowed_(allowed) {}

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        return event->type() == QEvent::Timer && qobject_cast<QTimer*>(receiver) &&
               receiver != &allowed_;
    }

private:
    const QObject& allowed_;
};

class Trace {
public:
    Trace(frmGame& game, FakeClock& clock, ScriptedRandom& random)
        : game_(game), clock_(clock), random_(random) {}

    void Step(int n) {
        const QString action = Act();
        Write(n, action);
    }

    void Note(const QString& text) { out_ << "  " << text << '\n'; }

private:
    int Pick(int count) { return static_cast<int>(player_() % static_cast<std::uint32_t>(count)); }

    int TileInCell(int cell) const {
        for (int k = 1; k <= 15; ++k)
            if (game_.Tile(k)->parentWidget() == game_.Cell(cell))
                return k;
        return 0;
    }

    int FreeCell() const {
        for (int c = 1; c <= 16; ++c)
            if (TileInCell(c) == 0)
                return c;
        return 0;
    }

    bool DragMode() const { return game_.DragItem(1)->isChecked(); }

    // One thing the player (or the time) does, chosen by the script.
    QString Act() {
        if (!game_.BoardFrame()->isVisible())
            return Command(game_.GameItem(0), QStringLiteral("first game"));
        const int roll = Pick(1000);
        if (roll < 300)
            return Tick(2, QStringLiteral("master tick"));
        if (roll < 330) {
            clock_.SetSecondsOfDay((clock_.SecondsOfDay() + 1 + Pick(90)) % 86400);
            return QStringLiteral("clock %1").arg(clock_.SecondsOfDay());
        }
        if (roll < 400)
            return Tick(0, QStringLiteral("scroll tick"));
        if (roll < 410)
            return Tick(1, QStringLiteral("scroll start"));
        if (roll < 650)
            return DragMode() ? Drag() : Click();
        if (roll < 700)
            return Command(game_.GameItem(4), QStringLiteral("hint"));
        if (roll < 730)
            return Command(game_.GameItem(7), QStringLiteral("master"));
        if (roll < 760)
            return Command(game_.DragItem(Pick(2)), QStringLiteral("mode"));
        if (roll < 775)
            return DealOneFromSolved();
        if (roll < 785)
            return Command(game_.GameItem(0), QStringLiteral("new game"));
        return DragMode() ? Drag() : Click();
    }

    // Tiles 1..14 at home, 15 in the corner: one move from solved.
    QString DealOneFromSolved() {
        for (int cell = 1; cell <= 14; ++cell)
            random_.Push({(cell - 1 + 0.5f) / 16.0f});
        random_.Push({(16 - 1 + 0.5f) / 16.0f});
        return Command(game_.GameItem(0), QStringLiteral("new game, one from solved"));
    }

public:
    // The last step: a solved board, answered Нет, which closes the window.
    void Finish(int n) {
        Write(n, DealOneFromSolved());
        if (DragMode())
            Command(game_.DragItem(0), QString());
        emit game_.Tile(15)->Click(15);
        Write(n + 1, QStringLiteral("click 15"));
    }

private:
    // A tick of one of the window's timers, if that timer runs.
    QString Tick(int timer, const QString& name) {
        if (!game_.Timer(timer)->isActive())
            return name + QStringLiteral(" (stopped)");
        game_.tmr_Timer(timer);
        return name;
    }

    QString Command(QAction* item, const QString& name) {
        item->trigger();
        return name + QLatin1Char(' ') + item->text();
    }

    // A click on a tile next to the empty cell more often than not.
    QString Click() {
        const int tile = Pick(2) ? NeighbourOfFreeCell() : 1 + Pick(15);
        emit game_.Tile(tile)->Click(tile);
        return QStringLiteral("click %1").arg(tile);
    }

    int NeighbourOfFreeCell() {
        const int free = FreeCell();
        const int around[] = {free - 4, free + 4, free % 4 == 1 ? 0 : free - 1,
                              free % 4 == 0 ? 0 : free + 1};
        const int cell = around[Pick(4)];
        const int tile = cell >= 1 && cell <= 16 ? TileInCell(cell) : 0;
        return tile ? tile : 1 + Pick(15);
    }

    // A drag as the widgets report it: the dragged tile first, maybe another tile passed over,
    // then a drop on a cell, on a tile, or nowhere, and the drag's end.
    QString Drag() {
        const int tile = Pick(2) ? NeighbourOfFreeCell() : 1 + Pick(15);
        emit game_.Tile(tile)->DragOver(tile);
        QString text = QStringLiteral("drag %1").arg(tile);
        if (Pick(4) == 0) {
            const int over = 1 + Pick(15);
            emit game_.Tile(over)->DragOver(over);
            text += QStringLiteral(" over %1").arg(over);
        }
        const int where = Pick(10);
        if (where < 6) {
            const int free = FreeCell();
            emit game_.Cell(free)->DragDrop(free);
            text += QStringLiteral(" onto empty %1").arg(free);
        } else if (where < 8) {
            const int onto = 1 + Pick(15);
            emit game_.Tile(onto)->DragDrop(onto);
            text += QStringLiteral(" onto tile %1").arg(onto);
        } else if (where < 9) {
            const int cell = 1 + Pick(16);
            emit game_.Cell(cell)->DragDrop(cell);
            text += QStringLiteral(" onto cell %1").arg(cell);
        } else {
            text += QStringLiteral(" dropped outside");
        }
        emit game_.Tile(tile)->DragEnded(tile);
        return text;
    }

    static QString Described(QWidget* widget, QAccessible::Text which) {
        QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(widget);
        return a11y ? a11y->text(which) : QStringLiteral("?");
    }

    void Write(int n, const QString& action) {
        out_ << n << ' ' << action << '\n';
        out_ << "  title[" << game_.windowTitle() << "] time[" << game_.TimeLabel()->text()
             << "] moves[" << game_.MoveLabel()->text() << "] board "
             << (game_.BoardFrame()->isVisible() ? "shown" : "hidden") << " window "
             << (game_.isVisible() ? "open" : "closed") << '\n';
        out_ << "  marks hint " << game_.GameItem(4)->isChecked() << " master "
             << game_.GameItem(7)->isChecked() << game_.GameItem(7)->isEnabled() << " click "
             << game_.DragItem(0)->isChecked() << " drag " << game_.DragItem(1)->isChecked()
             << '\n';
        out_ << "  cells";
        for (int c = 1; c <= 16; ++c)
            out_ << ' ' << TileInCell(c) << ':' << Described(game_.Cell(c), QAccessible::Name);
        out_ << "\n  tiles";
        for (int k = 1; k <= 15; ++k) {
            const TileWidget* tile = game_.Tile(k);
            out_ << ' ' << tile->backColor().name() << '/' << tile->dragMode() << '/'
                 << tile->printedTexts().join(QLatin1Char('|')) << '/'
                 << Described(game_.Tile(k), QAccessible::Description);
        }
        out_ << '\n';
        out_.flush();
    }

    frmGame& game_;
    FakeClock& clock_;
    ScriptedRandom& random_;
    std::mt19937 player_{20261208};
    QTextStream out_{stdout};
};

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    res::InitResources();
    const int steps = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 20000;

    FakeClock clock;
    clock.SetTime(23, 58, 0); // the master's clock passes midnight on the way
    ScriptedRandom random;
    frmGame game(clock, random);
    game.show();

    // Message boxes are answered from inside their own event loop: the congratulation with
    // Да, so that the game goes on, and at the end with Нет.
    Trace* trace = nullptr;
    bool finishing = false;
    QTimer answerer;
    answerer.setInterval(0);
    QObject::connect(&answerer, &QTimer::timeout, [&trace, &finishing] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        trace->Note(QStringLiteral("box[%1|%2]").arg(box->windowTitle(), box->text()));
        box->button(finishing ? QMessageBox::No : QMessageBox::Yes)->click();
    });
    answerer.start();
    TimerHold hold(answerer);
    app.installEventFilter(&hold);

    Trace recorder(game, clock, random);
    trace = &recorder;
    for (int n = 1; n <= steps; ++n)
        recorder.Step(n);
    finishing = true;
    recorder.Finish(steps + 1);
    std::fprintf(stderr, "%d steps, %d draws\n", steps, random.Draws());
    return 0;
}
