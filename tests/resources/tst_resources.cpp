// SPDX-License-Identifier: GPL-3.0-or-later
#include "programicon.h"
#include "stringtable.h"
#include "textfit.h"
#include "version.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// The ids a window layout stores in place of captions: text and title properties that hold a
// decimal number, in the order of the file.
QList<int> StoredIds(const QString& layoutFile) {
    QFile file(layoutFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    QList<int> ids;
    QString property;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"property") {
            property = xml.attributes().value(QLatin1String("name")).toString();
        } else if (xml.name() == u"string" && (property == u"text" || property == u"title")) {
            bool isNumber = false;
            const int id = xml.readElementText().toInt(&isNumber);
            if (isNumber)
                ids << id;
        }
    }
    return ids;
}

} // namespace

// The string table, the version record, the pictures and the label fitting.
class TestResources : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { res::InitResources(); }

    void lookupsAgree();
    void storedIdsHaveTexts_data();
    void storedIdsHaveTexts();
    void absentIdsAndOtherCaptions_data();
    void absentIdsAndOtherCaptions();
    void versionRecord();
    void shirtPictures_data();
    void shirtPictures();
    void shirtPicturesAllDiffer();
    void icons_data();
    void icons();
    void labelsShrinkOnlyWhenTheyMust();
    void programIconSizes_data();
    void programIconSizes();
    void programIconKeepsNoPicture();
};

// The texts themselves are checked where the windows show them. The table is searched by
// halving, so an entry out of order or an id given twice would hide texts: every id answers
// alike through each lookup, and all 22 texts are found, each a different one.
void TestResources::lookupsAgree() {
    QStringList texts;
    for (int id = -5; id <= 100; ++id) {
        const QString text = res::LoadResString(id);
        QCOMPARE(res::HasResString(id), !text.isEmpty());
        if (!text.isEmpty()) {
            texts << text;
            QCOMPARE(res::CaptionFromStoredId(QString::number(id)), text);
        }
    }
    QCOMPARE(texts.size(), 22);
    texts.removeDuplicates();
    QCOMPARE(texts.size(), 22);
    QCOMPARE(res::LoadResString(31), QStringLiteral("notepad.exe help.txt"));
}

void TestResources::storedIdsHaveTexts_data() {
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QList<int>>("ids");
    // Each menu text on exactly one item; the two dialogs share the ОК text.
    QTest::newRow("main window") << "frmgame.ui"
                                 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    QTest::newRow("tile-back chooser") << "frmshirt.ui" << QList<int>{50, 51, 60};
    QTest::newRow("about box") << "frmabout.ui" << QList<int>{41, 42, 50};
}

// What a window replaces when it loads is what its layout stores, read from the layout file
// itself, and the table has a text for each of those ids.
void TestResources::storedIdsHaveTexts() {
    QFETCH(QString, layout);
    QFETCH(QList<int>, ids);
    QList<int> stored = StoredIds(QStringLiteral(SDVIGUL_SOURCE_DIR "/resources/") + layout);
    std::sort(stored.begin(), stored.end());
    QCOMPARE(stored, ids);
    for (const int id : std::as_const(stored))
        QVERIFY2(res::HasResString(id), qPrintable(QString::number(id)));
}

void TestResources::absentIdsAndOtherCaptions_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown");
    QTest::newRow("separator") << "-"
                               << "-";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("plain text") << "Ход:"
                                << "Ход:";
    QTest::newRow("absent id") << "12"
                               << "12";
    QTest::newRow("negative") << "-1"
                              << "-1";
    QTest::newRow("hex is no id") << "0x32"
                                  << "0x32";
    QTest::newRow("ОК in Cyrillic") << "50"
                                    << "ОК";
}

void TestResources::absentIdsAndOtherCaptions() {
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    QCOMPARE(res::CaptionFromStoredId(caption), shown);
    // Cyrillic О and К, not Latin O and K.
    QCOMPARE(res::LoadResString(50).toUtf8(), QByteArray("\xD0\x9E\xD0\x9A"));
    QVERIFY(res::LoadResString(12).isEmpty());
    QVERIFY(!res::HasResString(-1));
}

void TestResources::versionRecord() {
    QCOMPARE(QString::fromUtf8(version::ProductName), QStringLiteral("\"Сдвигуль\""));
    QCOMPARE(QString::fromUtf8(version::ProductName).size(), 10);
    // The numbers come from the project's version; the file version writes them padded: minor
    // with two digits, revision with four ("2.02.0021").
    QCOMPARE(QString::fromLatin1(version::FileVersion),
             QStringLiteral("%1.%2.%3")
                 .arg(version::Major)
                 .arg(version::Minor, 2, 10, QLatin1Char('0'))
                 .arg(version::Revision, 4, 10, QLatin1Char('0')));
    QCOMPARE(QByteArray(version::ProductVersion), QByteArray(version::FileVersion));
    QCOMPARE(QString::fromUtf8(version::FileDescription),
             QStringLiteral("Классическая игра в сдвигуль. Цель - расположить фишки по возрастанию "
                            "номера слева направо и сверху вниз. Время и количество ходов "
                            "неограниченны.   "));
    const QString company = QString::fromUtf8(version::CompanyName);
    QVERIFY(company.contains(QLatin1String("@example.org")));
    QVERIFY(!company.contains(QLatin1Char('\n')));
    QCOMPARE(res::AppTitle(), QStringLiteral("Сдвигуль"));
}

void TestResources::shirtPictures_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("scale");
    for (int k = 0; k < 15; ++k) {
        const QString name = QStringLiteral(":/shirts/shirt%1").arg(k, 2, 10, QLatin1Char('0'));
        QTest::addRow("%d", k) << name + QStringLiteral(".png") << 1;
        // The same picture drawn for screens of twice the density.
        QTest::addRow("%d@2x", k) << name + QStringLiteral("@2x.png") << 2;
    }
}

void TestResources::shirtPictures() {
    QFETCH(QString, path);
    QFETCH(int, scale);
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(48, 48) * scale);
    QCOMPARE(image.devicePixelRatio(), qreal(scale));
    QCOMPARE(image.format(), QImage::Format_Indexed8); // 8 bits per pixel
    QVERIFY(image.hasAlphaChannel());
    // A mask, not a blend: every colour is fully opaque or fully transparent.
    for (QRgb colour : image.colorTable())
        QVERIFY(qAlpha(colour) == 0 || qAlpha(colour) == 255);
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(47, 0), QPoint(0, 47), QPoint(47, 47), QPoint(1, 1), QPoint(46, 46)})
        QCOMPARE(qAlpha(image.pixel(corner * scale)), 0);
    for (const QPoint inside : {QPoint(24, 24), QPoint(24, 1), QPoint(1, 24), QPoint(46, 24)})
        QCOMPARE(qAlpha(image.pixel(inside * scale)), 255);
}

void TestResources::shirtPicturesAllDiffer() {
    // Any two backs must differ visibly: the mean colour difference per pixel is large.
    QList<QImage> images;
    for (int k = 0; k < 15; ++k)
        images << QImage(QStringLiteral(":/shirts/shirt%1.png").arg(k, 2, 10, QLatin1Char('0')))
                      .convertToFormat(QImage::Format_ARGB32);
    for (int a = 0; a < 15; ++a) {
        for (int b = a + 1; b < 15; ++b) {
            qint64 difference = 0;
            for (int y = 0; y < 48; ++y)
                for (int x = 0; x < 48; ++x) {
                    const QRgb p = images[a].pixel(x, y);
                    const QRgb q = images[b].pixel(x, y);
                    difference += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) +
                                  qAbs(qBlue(p) - qBlue(q));
                }
            QVERIFY2(difference / (48 * 48) >= 15,
                     qPrintable(QStringLiteral("pictures %1 and %2 look alike").arg(a).arg(b)));
        }
    }
}

void TestResources::icons_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("maxColours");
    QTest::newRow("16") << ":/icons/sdvigul-16.png" << 16 << 16;
    QTest::newRow("32") << ":/icons/sdvigul-32.png" << 32 << 16;
    QTest::newRow("about layout") << ":/icons/about-layout-32.png" << 32 << 16;
    // The window icon's larger sizes, drawn smooth.
    QTest::newRow("48") << ":/icons/sdvigul-48.png" << 48 << 256;
    QTest::newRow("64") << ":/icons/sdvigul-64.png" << 64 << 256;
    QTest::newRow("128") << ":/icons/sdvigul-128.png" << 128 << 256;
    QTest::newRow("256") << ":/icons/sdvigul-256.png" << 256 << 256;
}

void TestResources::icons() {
    QFETCH(QString, path);
    QFETCH(int, size);
    QFETCH(int, maxColours);
    const QImage image(path);
    QCOMPARE(image.size(), QSize(size, size));
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QVERIFY(image.colorCount() <= maxColours);
    QCOMPARE(qAlpha(image.pixel(size / 2, size / 2)), 255);
}

void TestResources::labelsShrinkOnlyWhenTheyMust() {
    QLabel roomy(QStringLiteral("Ход:"));
    roomy.resize(200, 20);
    const QFont before = roomy.font();
    res::FitLabelText(&roomy);
    QCOMPARE(roomy.font(), before);
    QVERIFY(!roomy.testAttribute(Qt::WA_SetFont));

    QLabel tight(QStringLiteral("Время:"));
    tight.resize(36, 17);
    const QFont fitted = res::FitLabelText(&tight);
    QVERIFY(QFontMetricsF(fitted).horizontalAdvance(tight.text()) <= 36);

    QLabel wrapped(QString::fromUtf8(version::FileDescription));
    wrapped.setWordWrap(true);
    wrapped.resize(227, 53);
    const QFont small = res::FitLabelText(&wrapped);
    const QRectF needed =
        QFontMetricsF(small).boundingRect(QRectF(0, 0, 227, 53), Qt::TextWordWrap, wrapped.text());
    QVERIFY(needed.height() <= 53);
    QVERIFY(small.pointSizeF() >= 6.0);
}

void TestResources::programIconSizes_data() {
    QTest::addColumn<bool>("small");
    QTest::addColumn<int>("place");
    QTest::addColumn<int>("shown");
    QTest::newRow("between two sizes: the larger, scaled down") << false << 20 << 20;
    QTest::newRow("larger than any: the largest, not blown up") << false << 300 << 256;
    QTest::newRow("below the smallest") << false << 8 << 8;
    QTest::newRow("small set, between its sizes") << true << 24 << 24;
    QTest::newRow("small set, larger than its sizes") << true << 64 << 32;
}

void TestResources::programIconSizes() {
    QFETCH(bool, small);
    QFETCH(int, place);
    QFETCH(int, shown);
    const QIcon icon = small ? res::SmallProgramIcon() : res::ProgramIcon();
    const QPixmap picture = icon.pixmap(QSize(place, place), 1.0);
    QCOMPARE(picture.size(), QSize(shown, shown));
    QCOMPARE(icon.actualSize(QSize(place, place)), QSize(shown, shown));
    // A picture, not an empty square of that size.
    QCOMPARE(qAlpha(picture.toImage().pixel(shown / 2, shown / 2)), 255);
}

// Every request decodes afresh: nothing of the large sizes stays in memory after the window's
// icon was converted for the desktop.
void TestResources::programIconKeepsNoPicture() {
    const QIcon icon = res::ProgramIcon();
    const QPixmap first = icon.pixmap(QSize(256, 256), 1.0);
    const QPixmap again = icon.pixmap(QSize(256, 256), 1.0);
    QCOMPARE(again.toImage(), first.toImage());
    QVERIFY(again.cacheKey() != first.cacheKey());
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
