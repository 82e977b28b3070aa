// SPDX-License-Identifier: GPL-3.0-or-later
// The floor for any Qt 6 Widgets game: a main window with a menu bar and nothing behind it,
// built like the game (Release), started the same way. What it costs to map and how much
// memory it holds is what Qt itself costs. Built a second time with BARE_TITLE_SCROLL, it
// also scrolls its title the way the game does (every 10 s, 33 steps of 100 ms), which is
// what the game does while idle: that build is the floor for idle CPU.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    // The same two menus as the game's menu bar, so the text drawn is comparable.
    window.menuBar()->addMenu(QStringLiteral("&Игра"))->addAction(QStringLiteral("&Новая игра"));
    window.menuBar()->addMenu(QStringLiteral("&Справка"));
    window.setFixedSize(247, 369); // the game window's size
    window.setWindowTitle(QStringLiteral("Сдвигуль"));
#ifdef BARE_TITLE_SCROLL
    const QString tag = QString(25, QLatin1Char(' ')) + QStringLiteral("Сдвигуль");
    QTimer step;
    QTimer period;
    step.setInterval(100);
    period.setInterval(10000);
    QObject::connect(&period, &QTimer::timeout, &step, qOverload<>(&QTimer::start));
    QObject::connect(&step, &QTimer::timeout, [&] {
        QString title = window.windowTitle().mid(1);
        if (title.isEmpty())
            title = tag;
        window.setWindowTitle(title);
        if (title.size() == 8)
            step.stop();
    });
    period.start();
#endif
    window.show();
    return app.exec();
}
