// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogtesthelpers.h"
#include "frmshirt.h"
#include "shirtimage.h"
#include "stringtable.h"

#include <QAccessible>
#include <QCheckBox>
#include <QPushButton>
#include <QtTest>

#include <vector>

using namespace dialogtest;

namespace {

// Records what the chooser does to the board, in order. Tile 0 stands for PaintNumbers.
class FakeGame : public TileBackTarget {
public:
    struct Call {
        int tile;
        QImage picture;
    };
    std::vector<Call> calls;

    void SetTilePicture(int tile, const QPixmap& picture) override {
        calls.push_back({tile, Pixels(picture)});
    }
    void PaintNumbers() override { calls.push_back({0, {}}); }
};

ShirtImage* Img(const frmShirt& dialog, int k) {
    return dialog.findChild<ShirtImage*>(QStringLiteral("img_%1").arg(k));
}
QPushButton* Cmd(const frmShirt& dialog, int i) {
    return dialog.findChild<QPushButton*>(QStringLiteral("cmd_%1").arg(i));
}
QCheckBox* Chk(const frmShirt& dialog) {
    return dialog.findChild<QCheckBox*>("chk");
}

QList<int> Bordered(const frmShirt& dialog) {
    QList<int> bordered;
    for (int k = 0; k < frmShirt::kPictures; ++k)
        if (Img(dialog, k)->isBordered())
            bordered << k;
    return bordered;
}

void ShowAndWait(QDialog& dialog) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
}

// Tiles 1..15 got the pictures `pictureOfTile(k)`, then the numbers were painted once.
template <typename PictureOf> void VerifyDressed(const FakeGame& game, PictureOf pictureOfTile) {
    QCOMPARE(game.calls.size(), std::size_t(16));
    for (int tile = 1; tile <= 15; ++tile) {
        QCOMPARE(game.calls[tile - 1].tile, tile);
        QVERIFY2(game.calls[tile - 1].picture == Shirt(pictureOfTile(tile)),
                 qPrintable(QStringLiteral("tile %1").arg(tile)));
    }
    QCOMPARE(game.calls.back().tile, 0);
}

} // namespace

class TestFrmShirt : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void openingShowsStoredChoice_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("mixed");
        QTest::addColumn<int>("expected");
        QTest::newRow("first opening") << ShirtChoice{}.i_Shirt << ShirtChoice{}.bMixed << 0;
        QTest::newRow("picture 11, mixed") << 11 << true << 11;
        QTest::newRow("last picture") << 14 << false << 14;
        QTest::newRow("past the end falls back") << 15 << false << 0;
        QTest::newRow("negative falls back") << -1 << true << 0;
    }
    void openingShowsStoredChoice() {
        QFETCH(int, stored);
        QFETCH(bool, mixed);
        QFETCH(int, expected);
        FakeGame game;
        ShirtChoice choice{stored, mixed};
        const frmShirt dialog(game, choice, nullptr);
        QCOMPARE(Bordered(dialog), QList<int>{expected});
        QCOMPARE(Chk(dialog)->isChecked(), mixed);
        QCOMPARE(choice.i_Shirt, expected);
        QCOMPARE(choice.bMixed, mixed);
        QVERIFY(game.calls.empty());
    }

    void picturesAreTheTileBacks() {
        FakeGame game;
        ShirtChoice choice;
        const frmShirt dialog(game, choice, nullptr);
        for (int k = 0; k < frmShirt::kPictures; ++k)
            QVERIFY2(Pixels(dialog.Picture(k)) == Shirt(k), qPrintable(QString::number(k)));
        QVERIFY(dialog.Picture(-1).isNull());
        QVERIFY(dialog.Picture(frmShirt::kPictures).isNull());
    }

    // Every picture fills 48 × 48 pixels of the layout at any density: one picture pixel per
    // screen pixel, taken from the 96 px pictures above ratio 1 (scaled smoothly from them
    // where the ratio is not 2), never from the 48 px ones blown up.
    void picturesForTheScreenDensity_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<int>("side"); // in device pixels
        QTest::addColumn<QString>("drawnFrom");
        QTest::newRow("ratio 1") << 1.0 << 48 << "";
        QTest::newRow("ratio below 1") << 0.75 << 48 << "";
        QTest::newRow("ratio 1.25") << 1.25 << 60 << "@2x";
        QTest::newRow("ratio 1.5") << 1.5 << 72 << "@2x";
        QTest::newRow("ratio 2") << 2.0 << 96 << "@2x";
        QTest::newRow("ratio 3") << 3.0 << 144 << "@2x";
    }
    void picturesForTheScreenDensity() {
        QFETCH(qreal, ratio);
        QFETCH(int, side);
        QFETCH(QString, drawnFrom);
        for (int k = 0; k < frmShirt::kPictures; ++k) {
            const QString name = QString::number(k);
            const QPixmap picture = TileBackPicture(k, ratio);
            QCOMPARE(picture.deviceIndependentSize(), QSizeF(48, 48));
            QCOMPARE(picture.size(), QSize(side, side));
            QImage source = Pixels(QStringLiteral(":/shirts/shirt%1%2.png")
                                       .arg(k, 2, 10, QLatin1Char('0'))
                                       .arg(drawnFrom));
            if (source.width() != side)
                source = source.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            source.setDevicePixelRatio(picture.devicePixelRatio());
            QVERIFY2(Pixels(picture) == Pixels(source), qPrintable(name));
        }
    }

    void okDressesTiles_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<bool>("mixed");
        QTest::newRow("first picture") << 0 << false;
        QTest::newRow("picture 9") << 9 << false;
        QTest::newRow("assorted ignores the selection") << 4 << true;
    }
    void okDressesTiles() {
        QFETCH(int, selected);
        QFETCH(bool, mixed);
        FakeGame game;
        ShirtChoice choice{selected, mixed};
        frmShirt dialog(game, choice, nullptr);
        ShowAndWait(dialog);
        QTest::mouseClick(Cmd(dialog, 0), Qt::LeftButton);

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        VerifyDressed(game, [&](int tile) { return mixed ? tile - 1 : selected; });
        QCOMPARE(choice.i_Shirt, selected);
        QCOMPARE(Bordered(dialog), QList<int>{selected});
    }

    void cancelKeepsClicksButNotTiles_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel button") << "button";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("close box") << "close";
    }
    void cancelKeepsClicksButNotTiles() {
        QFETCH(QString, how);
        FakeGame game;
        ShirtChoice choice;
        {
            frmShirt dialog(game, choice, nullptr);
            ShowAndWait(dialog);
            QTest::mouseClick(Img(dialog, 7), Qt::LeftButton);
            QTest::mouseClick(Chk(dialog), Qt::LeftButton);
            if (how == "button")
                QTest::mouseClick(Cmd(dialog, 1), Qt::LeftButton);
            else if (how == "esc")
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(!dialog.isVisible());
        }
        QVERIFY(game.calls.empty());
        QCOMPARE(choice.i_Shirt, 7);
        QVERIFY(choice.bMixed);

        const frmShirt reopened(game, choice, nullptr);
        QCOMPARE(Bordered(reopened), QList<int>{7});
        QVERIFY(Chk(reopened)->isChecked());
    }

    void keysInModalDialog_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<int>("result");
        QTest::addColumn<std::size_t>("boardCalls");
        QTest::newRow("Enter") << Qt::Key_Return << int(QDialog::Accepted) << std::size_t(16);
        QTest::newRow("keypad Enter") << Qt::Key_Enter << int(QDialog::Accepted) << std::size_t(16);
        QTest::newRow("Esc") << Qt::Key_Escape << int(QDialog::Rejected) << std::size_t(0);
    }
    void keysInModalDialog() {
        QFETCH(Qt::Key, key);
        QFETCH(int, result);
        QFETCH(std::size_t, boardCalls);
        FakeGame game;
        ShirtChoice choice{3, false};
        frmShirt dialog(game, choice, nullptr);
        QCOMPARE(ExecPressing(dialog, key), result);
        QCOMPARE(game.calls.size(), boardCalls);
    }

    // After every click exactly one picture is framed: 50 x 50, the others 48 x 48, all at
    // their places in the grid.
    void oneBorderAfterEveryClick_data() {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<bool>("byReader"); // the picture's accessible Press instead of the mouse
        QTest::newRow("same picture twice") << QList<int>{3, 3, 12} << false;
        QTest::newRow("round the grid") << QList<int>{14, 0, 7, 7, 1, 10} << false;
        QTest::newRow("reader: round the grid") << QList<int>{14, 0, 7, 7, 1, 10} << true;
    }
    void oneBorderAfterEveryClick() {
        QFETCH(QList<int>, clicks);
        QFETCH(bool, byReader);
        FakeGame game;
        ShirtChoice choice;
        frmShirt dialog(game, choice, nullptr);
        ShowAndWait(dialog);
        for (const int selected : clicks) {
            if (byReader)
                QAccessible::queryAccessibleInterface(Img(dialog, selected))
                    ->actionInterface()
                    ->doAction(QAccessibleActionInterface::pressAction());
            else
                QTest::mouseClick(Img(dialog, selected), Qt::LeftButton);
            QCOMPARE(Bordered(dialog), QList<int>{selected});
            QCOMPARE(choice.i_Shirt, selected);
            // A reader hears each picture's number and which one is chosen.
            for (int k = 0; k < frmShirt::kPictures; ++k) {
                QAccessibleInterface* reader =
                    QAccessible::queryAccessibleInterface(Img(dialog, k));
                QCOMPARE(reader->text(QAccessible::Name), QStringLiteral("Рубашка %1").arg(k + 1));
                QCOMPARE(reader->state().selected, k == selected);
            }
            for (int k = 0; k < frmShirt::kPictures; ++k) {
                const int side = k == selected ? 50 : 48;
                QCOMPARE(Img(dialog, k)->geometry(),
                         QRect(16 + 64 * (k % 5), 16 + 64 * (k / 5), side, side));
            }
        }
        QVERIFY(game.calls.empty());
    }

    void fixedSizeWithoutTitleText() {
        FakeGame game;
        ShirtChoice choice;
        frmShirt dialog(game, choice, nullptr);
        QCOMPARE(dialog.size(), QSize(332, 238));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowTitle().trimmed(), QString());
        // No title text, but a reader still hears what the dialog is for.
        QCOMPARE(QAccessible::queryAccessibleInterface(&dialog)->text(QAccessible::Name),
                 QStringLiteral("Рубашка фишек"));
    }

    void texts_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("OK") << "cmd_0" << QString::fromUtf8("ОК");
        QTest::newRow("Cancel") << "cmd_1" << QString::fromUtf8("&Отмена");
        QTest::newRow("Assorted") << "chk" << QString::fromUtf8("Ассорти");
    }
    void texts() {
        QFETCH(QString, control);
        QFETCH(QString, text);
        FakeGame game;
        ShirtChoice choice;
        const frmShirt dialog(game, choice, nullptr);
        QCOMPARE(dialog.findChild<QAbstractButton*>(control)->text(), text);
    }
};

QTEST_MAIN(TestFrmShirt)
#include "tst_frmshirt.moc"
