// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace e2e {

// What a cell's picture was taken for, and how sure that is.
struct Recognition {
    int picture = -1;    // 0..14, or -1 when nothing came close
    double distance = 0; // mean difference per colour channel to that picture
    double runnerUp = 0; // the same for the next best picture
};

// The 15 tile-back pictures as shipped with the game, used to tell which back a tile shows.
class TileBacks {
public:
    static constexpr int kCount = 15;

    // Loads resources/shirts/shirtNN.png from the source tree; IsValid tells whether all loaded.
    explicit TileBacks(const QString& sourceDir);
    bool IsValid() const { return pictures_.size() == kCount; }
    QString Error() const { return error_; }

    // Compares a 48 × 48 cell with every picture where the picture is opaque and no number is
    // painted; the best match counts only if it is close and clearly ahead of the next one.
    Recognition Recognise(const QImage& cell) const;
    // Pixels of the number area that differ clearly from `picture`: the painted number.
    int NumberInk(const QImage& cell, int picture) const;

private:
    double Distance(const QImage& cell, const QImage& picture) const;

    QList<QImage> pictures_;
    QString error_;
};

} // namespace e2e
