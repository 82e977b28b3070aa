// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPointF>
#include <QWidget>

#include <vector>

// MIME type of a tile being dragged; cells and tiles accept nothing else.
inline constexpr char kTileMimeType[] = "application/x-sdvigul-tile";

// One tile of the board. It shows, bottom to top, its background colour, its picture and the
// text printed on it. Printed text stays until the colour or picture changes, which wipes it,
// just like drawing on a retained canvas. In drag mode a press starts dragging the tile at
// once; in click mode the tile reports a click on release and never drags. It is a tab stop
// and, while a screen reader runs, Space or Enter presses it.
class TileWidget : public QWidget {
    Q_OBJECT

public:
    enum DragModes { Manual = 0, Automatic = 1 };

    explicit TileWidget(QWidget* parent = nullptr);

    void setIndex(int index) { index_ = index; }
    int index() const { return index_; }

    void setDragMode(int mode) { dragMode_ = mode; }
    int dragMode() const { return dragMode_; }

    void setBackColor(const QColor& color);
    QColor backColor() const { return backColor_; }

    // Takes the size of the picture unless fixed (the two oversized tiles keep theirs).
    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }
    void setKeepsOwnSize(bool keeps) { keepsOwnSize_ = keeps; }

    // Prints `text` with its top-left corner at `topLeft` (pixels). Printing the same text at
    // the same place again leaves the same image.
    void printText(const QFont& font, const QPointF& topLeft, const QString& text);
    // The texts printed since the last wipe, for checks.
    QStringList printedTexts() const;

    // Whether a drag this tile started is under way.
    bool IsDragging() const { return dragging_; }

    // Space, Return or keypad Enter alone, pressed (not repeated): the keys that press a
    // focused tile while a screen reader runs.
    static bool IsPressKey(const QKeyEvent& event);

signals:
    void Click(int index);
    void DragOver(int index);
    void DragDrop(int index);
    // A drag started by this tile has ended, dropped or not.
    void DragEnded(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct PrintedText {
        QFont font;
        QPointF topLeft;
        QString text;
        bool operator==(const PrintedText& o) const {
            return topLeft == o.topLeft && text == o.text && font == o.font;
        }
    };

    // Everything that decides what the tile shows.
    struct Look {
        QColor backColor;
        qint64 pictureKey = 0;
        std::vector<PrintedText> printed;
        bool operator==(const Look& o) const {
            return backColor == o.backColor && pictureKey == o.pictureKey && printed == o.printed;
        }
    };

    void wipePrintedText();
    Look currentLook() const;
    void scheduleRepaint();
    void startDrag(const QPoint& hotSpot);

    int index_ = 0;
    int dragMode_ = Automatic;
    QColor backColor_{0, 64, 0};
    QPixmap picture_;
    bool keepsOwnSize_ = false;
    bool dragging_ = false;
    bool pressed_ = false;
    std::vector<PrintedText> printed_;
    Look shownLook_;              // what the last paint drew
    bool repaintPending_ = false; // a look check is queued
};
