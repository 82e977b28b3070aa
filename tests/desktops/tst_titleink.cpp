// SPDX-License-Identifier: GPL-3.0-or-later
// The scroll verdict on ink series read from real title bars, and on the same series with the
// title frozen part of the way.
#include "titleink.h"

#include <QTest>

using desktops::InkBox;

Q_DECLARE_METATYPE(InkBox)

namespace {

QList<InkBox> Series(std::initializer_list<std::pair<int, int>> boxes) {
    QList<InkBox> inks;
    for (const auto& [left, right] : boxes)
        inks << InkBox{left, right};
    return inks;
}

// mutter 48 under X11: the word leaves, then comes back elided ("С…", "Сд…") within the bar.
const QList<InkBox> kElidedReturn = Series(
    {{103, 174}, {113, 174}, {122, 171}, {126, 167}, {131, 162}, {134, 159}, {138, 155},
     {144, 150}, {163, 174}, {158, 169}, {153, 174}, {148, 170}, {144, 165}, {139, 171},
     {135, 166}, {130, 170}, {125, 166}, {121, 170}, {116, 173}, {111, 168}, {107, 172},
     {104, 174}, {103, 174}});
// A bar wide enough for every step: the returning word stands out past the title's end.
const QList<InkBox> kPlainReturn =
    Series({{100, 160}, {108, 152}, {116, 144}, {124, 136}, {150, 190}, {130, 175}, {100, 160}});

QList<InkBox> FrozenAfter(const QList<InkBox>& inks, qsizetype last) {
    QList<InkBox> frozen = inks.first(last + 1);
    while (frozen.size() < inks.size())
        frozen << inks[last];
    return frozen;
}

} // namespace

class TestTitleInk : public QObject {
    Q_OBJECT
private slots:
    void judgesScroll_data();
    void judgesScroll();
};

void TestTitleInk::judgesScroll_data() {
    QTest::addColumn<QList<InkBox>>("inks");
    QTest::addColumn<QString>("verdict"); // the start of the complaint, empty when it passes

    QTest::newRow("elided return") << kElidedReturn << QString();
    QTest::newRow("plain return") << kPlainReturn << QString();
    QTest::newRow("frozen standing") << FrozenAfter(kElidedReturn, 0)
                                     << QStringLiteral("the word was not seen leaving");
    QTest::newRow("frozen once gone") << FrozenAfter(kElidedReturn, 7)
                                      << QStringLiteral("the word was not seen coming back");
    QTest::newRow("frozen half gone") << FrozenAfter(kPlainReturn, 2)
                                      << QStringLiteral("the word was not seen coming back");
}

void TestTitleInk::judgesScroll() {
    QFETCH(QList<InkBox>, inks);
    QFETCH(QString, verdict);
    const QString judged = desktops::JudgeScroll(inks);
    if (verdict.isEmpty())
        QVERIFY2(judged.isEmpty(), qPrintable(judged));
    else
        QVERIFY2(judged.startsWith(verdict), qPrintable(judged));
}

QTEST_APPLESS_MAIN(TestTitleInk)
#include "tst_titleink.moc"
