// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QTimer>

namespace dialogtest {

// Result of ExecPressing when the key did not close the dialog.
constexpr int kStillOpen = -1;

// Runs the dialog modally and presses `key` in it, as the player would: the key goes to the
// focused control. Ends the nested loop after a while if the key left the dialog open.
inline int ExecPressing(QDialog& dialog, Qt::Key key) {
    QTimer::singleShot(0, &dialog, [&dialog, key] {
        QWidget* const focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : &dialog, key);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &dialog, [&dialog] { dialog.done(kStillOpen); });
    guard.start(5000);
    return dialog.exec();
}

// Pixels as drawn, so a paletted file and a pixmap made from it compare equal.
inline QImage Pixels(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
inline QImage Pixels(const QPixmap& pixmap) {
    return Pixels(pixmap.toImage());
}
inline QImage Pixels(const QString& resource) {
    return Pixels(QImage(resource));
}

inline QImage Shirt(int k) {
    return Pixels(QStringLiteral(":/shirts/shirt%1.png").arg(k, 2, 10, QLatin1Char('0')));
}

} // namespace dialogtest
