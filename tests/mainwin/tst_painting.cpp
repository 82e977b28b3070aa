// SPDX-License-Identifier: GPL-3.0-or-later
#include "gamefixture.h"
#include "shirtimage.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QTest>

// The hint colours and the painted tile numbers, read back from rendered tiles.
class TestPainting : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void hintMarksNeighboursOfEmptyCell_data();
    void hintMarksNeighboursOfEmptyCell();
    void hintClearedLeavesNumbers();
    void numbersArePaintedWhereTheyBelong_data();
    void numbersArePaintedWhereTheyBelong();
    void numbersStayInsideTheCell();
    void tileKeepsColourAndNumberWhenItMoves();
    void tileDrawsAtTheDevicePixelRatio_data();
    void tileDrawsAtTheDevicePixelRatio();
};

namespace {

const QColor kGreen(0, 64, 0);
const QColor kYellow(255, 255, 0);

// The colour showing at a tile's rounded corner, where the picture is transparent.
QColor CornerColour(TileWidget* tile) {
    return ColorAt(tile, 0, 0);
}

bool IsInk(QRgb pixel) {
    return qRed(pixel) < 60 && qGreen(pixel) < 60 && qBlue(pixel) < 60;
}

QRect InkBounds(const QImage& image, const QRect& area) {
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (IsInk(image.pixel(x, y)))
                bounds = bounds.united(QRect(x, y, 1, 1));
    return bounds;
}

} // namespace

void TestPainting::hintMarksNeighboursOfEmptyCell_data() {
    QTest::addColumn<int>("freeCell");
    QTest::addColumn<int>("marked");
    QTest::newRow("corner 1") << 1 << 2;
    QTest::newRow("corner 16") << 16 << 2;
    QTest::newRow("edge 8") << 8 << 3;
    QTest::newRow("edge 14") << 14 << 3;
    QTest::newRow("inner 6") << 6 << 4;
    QTest::newRow("inner 11") << 11 << 4;
}

void TestPainting::hintMarksNeighboursOfEmptyCell() {
    QFETCH(int, freeCell);
    QFETCH(int, marked);
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(freeCell);
    g.mnuGame_Click(4);
    QVERIFY(g.GameItem(4)->isChecked());
    int yellow = 0;
    for (int k = 1; k <= 15; ++k) {
        const bool movable = g.Session().IsMove(k, freeCell);
        QCOMPARE(CornerColour(g.Tile(k)), movable ? kYellow : kGreen);
        QCOMPARE(g.Tile(k)->printedTexts().size(), 1);
        yellow += movable;
    }
    QCOMPARE(yellow, marked);
}

void TestPainting::hintClearedLeavesNumbers() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(6);
    g.mnuGame_Click(4);
    g.mnuGame_Click(4);
    QVERIFY(!g.GameItem(4)->isChecked());
    for (int k = 1; k <= 15; ++k) {
        QCOMPARE(CornerColour(g.Tile(k)), kGreen);
        QCOMPARE(g.Tile(k)->printedTexts(), QStringList{kNumberTexts[k]});
    }
}

void TestPainting::numbersArePaintedWhereTheyBelong_data() {
    QTest::addColumn<int>("tile");
    QTest::addColumn<QPointF>("topLeft");
    QTest::addColumn<int>("size");
    // One-digit numbers a quarter of the way in, two-digit ones a sixth, both a quarter down;
    // tiles 2 and 3 are 760 twips (50.67 px) square.
    QTest::newRow("1") << 1 << QPointF(12, 12) << 48;
    QTest::newRow("2") << 2 << QPointF(190 / 15.0, 190 / 15.0) << 51;
    QTest::newRow("3") << 3 << QPointF(190 / 15.0, 190 / 15.0) << 51;
    QTest::newRow("7") << 7 << QPointF(12, 12) << 48;
    QTest::newRow("9") << 9 << QPointF(12, 12) << 48;
    QTest::newRow("10") << 10 << QPointF(8, 12) << 48;
    QTest::newRow("12") << 12 << QPointF(8, 12) << 48;
    QTest::newRow("15") << 15 << QPointF(8, 12) << 48;
}

void TestPainting::numbersArePaintedWhereTheyBelong() {
    QFETCH(int, tile);
    QFETCH(QPointF, topLeft);
    QFETCH(int, size);
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(16);
    const QImage shown = g.Tile(tile)->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(size, size));

    // The same tile drawn by hand: background, picture, then the number in bold 14 pt
    // Trebuchet MS, or bold DejaVu Sans where that is not installed (as on Debian).
    const QString face = QFontDatabase::hasFamily(QStringLiteral("Trebuchet MS"))
                             ? QStringLiteral("Trebuchet MS")
                             : QStringLiteral("DejaVu Sans");
    const QFont font(face, 14, QFont::Bold);
    QCOMPARE(QFontInfo(font).family(), face);
    QCOMPARE(QFontInfo(font).bold(), true);
    QImage expected(size, size, QImage::Format_RGB32);
    expected.fill(kGreen);
    {
        QPainter p(&expected);
        p.drawPixmap(0, 0, QPixmap(QStringLiteral(":/shirts/shirt00.png")));
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRectF(topLeft, QSizeF(size * 2, size * 2)), Qt::AlignLeft | Qt::AlignTop,
                   kNumberTexts[tile]);
    }
    QCOMPARE(shown, expected);
}

void TestPainting::numbersStayInsideTheCell() {
    // Every number is drawn fully inside the 48 x 48 part that the cell shows, near its
    // middle, and all numbers share the same top.
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(16);
    int top = -1;
    for (int k = 1; k <= 15; ++k) {
        TileWidget* tile = g.Tile(k);
        tile->setPicture(QPixmap()); // plain green, so only the number is dark
        g.PaintNumbers();
        const QRect ink = InkBounds(tile->grab().toImage(), tile->rect());
        QVERIFY2(!ink.isEmpty(), qPrintable(QString::number(k)));
        QVERIFY2(QRect(1, 1, 46, 46).contains(ink), qPrintable(QString::number(k)));
        QVERIFY(qAbs(ink.center().x() - 24) <= 6);
        if (k != 2 && k != 3) {
            if (top < 0)
                top = ink.top();
            QCOMPARE(ink.top(), top);
        }
    }
}

void TestPainting::tileKeepsColourAndNumberWhenItMoves() {
    GameFixture f;
    frmGame& g = *f.game;
    f.DealWithFreeCell(16);
    g.mnuGame_Click(4);
    QCOMPARE(CornerColour(g.Tile(15)), kYellow);
    g.mnuGame_Click(4); // hint off: all green
    g.Session().pC_DragOver(15);
    g.Session().P_DragDrop(16);
    g.Session().pC_DragEnded(15);
    QCOMPARE(int(g.Session().CurrentBoard().CellOf(15)), 16);
    QCOMPARE(CornerColour(g.Tile(15)), kGreen);
    QCOMPARE(g.Tile(15)->printedTexts(), QStringList{QStringLiteral(" 15")});
}

void TestPainting::tileDrawsAtTheDevicePixelRatio_data() {
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("hintCorner"); // device pixels of pure yellow along the top edge
    QTest::newRow("ratio 1") << 1.0 << 4;
    QTest::newRow("ratio 1.5") << 1.5 << 6;
    // The corner cut at 96 px; the 48 px one with doubled pixels would show 8.
    QTest::newRow("ratio 2") << 2.0 << 10;
}

// Drawn on a denser device, a tile paints at that device's pixels: its picture one picture
// pixel per device pixel, the number in the device's resolution, the hint colour in a corner
// cut at that resolution. Nothing is drawn at 48 × 48 first and blown up.
void TestPainting::tileDrawsAtTheDevicePixelRatio() {
    QFETCH(qreal, ratio);
    QFETCH(int, hintCorner);
    TileWidget tile;
    const QPixmap picture = TileBackPicture(4, ratio);
    tile.setPicture(picture);
    tile.setBackColor(kYellow);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(14);
    font.setBold(true);
    tile.printText(font, QPointF(12, 12), QStringLiteral(" 7"));
    QCOMPARE(tile.size(), QSize(48, 48));

    const int side = picture.width();
    QImage shown(side, side, QImage::Format_RGB32);
    shown.setDevicePixelRatio(ratio);
    tile.render(&shown);

    QImage expected(side, side, QImage::Format_RGB32);
    expected.setDevicePixelRatio(ratio);
    expected.fill(kYellow);
    {
        QPainter p(&expected);
        p.drawPixmap(0, 0, picture);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRectF(QPointF(12, 12), QSizeF(96, 96)), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral(" 7"));
    }
    QCOMPARE(shown, expected);
    int yellow = 0;
    while (shown.pixel(yellow, 0) == QColor(kYellow).rgb())
        ++yellow;
    QCOMPARE(yellow, hintCorner);
}

QTEST_MAIN(TestPainting)
#include "tst_painting.moc"
