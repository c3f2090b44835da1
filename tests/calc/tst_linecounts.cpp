#include "linecounts.h"

#include <QTest>

#include <cstdint>

using korvex::ComputeLineCounts;
using korvex::LineCounts;

namespace {

struct ClosedForms
{
    std::int64_t horizontal;
    std::int64_t vertical;
    std::int64_t diagonal;
    std::int64_t total;
};

// The counts worked out in 64 bits, where nothing can overflow.
ClosedForms closedForms(std::int64_t R, std::int64_t N, std::int64_t C)
{
    return {R * (N - C + 1), N * (R - C + 1), (R - C + 1) * (N - C + 1),
            4 * R * N + 2 * C * C - 3 * R * C - 3 * N * C + 3 * R + 3 * N - 4 * C + 2};
}

bool fits16(std::int64_t value)
{
    return value >= INT16_MIN && value <= INT16_MAX;
}

} // namespace

class LineCountsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void countsBoards_data();
    void countsBoards();
    void overflowFails_data();
    void overflowFails();
    void everyBoardOverflowsOrMatchesTheClosedForms();
    void squareEnoughBoardsOverflowExactlyWhenTheLeadingTermsDoNotFit();
};

void LineCountsTest::countsBoards_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("connectionLength");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");
    QTest::addColumn<double>("diagonal");
    QTest::addColumn<int>("total");

    QTest::newRow("6x7 C4") << 6 << 7 << 4 << 24 << 21 << 12.0 << 69;
    QTest::newRow("7x6 C4") << 7 << 6 << 4 << 21 << 24 << 12.0 << 69;
    QTest::newRow("3x3 C3") << 3 << 3 << 3 << 3 << 3 << 1.0 << 8;
    QTest::newRow("1x1 C1") << 1 << 1 << 1 << 1 << 1 << 1.0 << 4;
    QTest::newRow("5x5 C6") << 5 << 5 << 6 << 0 << 0 << 0.0 << 0;
    QTest::newRow("10x2 C4") << 10 << 2 << 4 << -10 << 14 << -7.0 << -10;
    QTest::newRow("6x7 C-1") << 6 << 7 << -1 << 54 << 56 << 72.0 << 254;
    QTest::newRow("90x90 C4") << 90 << 90 << 4 << 7830 << 7830 << 7569.0 << 30798;
    QTest::newRow("1169x7 C4") << 1169 << 7 << 4 << 4676 << 8162 << 4664.0 << 22166;
    QTest::newRow("1x1 C127") << 1 << 1 << 127 << -125 << -125 << 15625.0 << 31000;
    QTest::newRow("100x1 C100") << 100 << 1 << 100 << -9800 << 1 << -98.0 << -9995;
    QTest::newRow("-125x1 C66: a step at exactly 32767")
        << -125 << 1 << 66 << 8000 << -190 << 12160.0 << 32130;
    QTest::newRow("-8192x0 C0: 4R at exactly -32768")
        << -8192 << 0 << 0 << -8192 << 0 << -8191.0 << -24574;
    QTest::newRow("-3x4 C2") << -3 << 4 << 2 << -9 << -16 << -12.0 << -49;
}

void LineCountsTest::countsBoards()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, connectionLength);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);
    QFETCH(double, diagonal);
    QFETCH(int, total);

    const auto counts = ComputeLineCounts(rows, columns, connectionLength);
    QVERIFY(counts.has_value());
    QCOMPARE(int{counts->Horizontal}, horizontal);
    QCOMPARE(int{counts->Vertical}, vertical);
    QCOMPARE(counts->Diagonal, diagonal);
    QCOMPARE(int{counts->Total}, total);

    // Each count on its own gives the same as all four together.
    QCOMPARE(korvex::Horizontal(rows, columns, connectionLength),
             std::optional(counts->Horizontal));
    QCOMPARE(korvex::Vertical(rows, columns, connectionLength), std::optional(counts->Vertical));
    QCOMPARE(korvex::Diagonal(rows, columns, connectionLength), std::optional(counts->Diagonal));
    QCOMPARE(korvex::Total(rows, columns, connectionLength), std::optional(counts->Total));
}

void LineCountsTest::overflowFails_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("connectionLength");

    QTest::newRow("91x91 C4: 4RN") << 91 << 91 << 4;
    QTest::newRow("1170x7 C4: 4RN + 2CC") << 1170 << 7 << 4;
    QTest::newRow("1x1 C128: 2CC") << 1 << 1 << 128;
    QTest::newRow("1x1 C-128: 2CC") << 1 << 1 << -128;
    QTest::newRow("200x1 C100: 3RC") << 200 << 1 << 100;
    QTest::newRow("8192x1 C1: 4R") << 8192 << 1 << 1;
    QTest::newRow("-8193x1 C1: 4R below the range") << -8193 << 1 << 1;
    QTest::newRow("-100x100 C1: 4RN below the range") << -100 << 100 << 1;
    QTest::newRow("32767x32767 C32767") << 32767 << 32767 << 32767;
    QTest::newRow("-32768x-32768 C-32768") << -32768 << -32768 << -32768;
}

void LineCountsTest::overflowFails()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, connectionLength);

    QVERIFY(!ComputeLineCounts(rows, columns, connectionLength));
    QVERIFY(!korvex::Total(rows, columns, connectionLength));
    QVERIFY(!korvex::Diagonal(rows, columns, connectionLength));
}

// Whatever overflows, nothing that comes back may differ from the exact counts.
void LineCountsTest::everyBoardOverflowsOrMatchesTheClosedForms()
{
    const QList<int> sides = {-32768, -8193, -300, -91, -17,  -5,   -1,   0,    1,    2,
                              3,      4,     5,    6,   7,    9,    13,   50,   90,   91,
                              100,    127,   128,  200, 1169, 1170, 4095, 8191, 8192, 32767};
    int computed = 0;
    int overflowed = 0;
    for (int C = -130; C <= 130; ++C) {
        for (const int R : sides) {
            for (const int N : sides) {
                const auto counts = ComputeLineCounts(R, N, C);
                if (!counts) {
                    ++overflowed;
                    continue;
                }
                ++computed;
                const ClosedForms exact = closedForms(R, N, C);
                if (counts->Horizontal != exact.horizontal || counts->Vertical != exact.vertical
                    || counts->Diagonal != static_cast<double>(exact.diagonal)
                    || counts->Total != exact.total)
                    QFAIL(qPrintable(QStringLiteral("%1x%2 C%3").arg(R).arg(N).arg(C)));
                QCOMPARE(static_cast<double>(counts->Total),
                         counts->Horizontal + counts->Vertical + 2 * counts->Diagonal);
            }
        }
    }
    // Both outcomes must really occur for the sweep to mean anything.
    QVERIFY(computed > 10000);
    QVERIFY(overflowed > 10000);
}

// For a board with at least C rows and columns, only 4RN and 4RN + 2CC can overflow.
void LineCountsTest::squareEnoughBoardsOverflowExactlyWhenTheLeadingTermsDoNotFit()
{
    for (int C = 1; C <= 127; C += 7) {
        for (int R = C; R <= 200; R += 3) {
            for (int N = C; N <= 200; N += 5) {
                const bool leadingTermsFit =
                    fits16(4LL * R * N) && fits16(4LL * R * N + 2LL * C * C);
                if (ComputeLineCounts(R, N, C).has_value() != leadingTermsFit)
                    QFAIL(qPrintable(QStringLiteral("%1x%2 C%3").arg(R).arg(N).arg(C)));
            }
        }
    }
}

QTEST_GUILESS_MAIN(LineCountsTest)
#include "tst_linecounts.moc"
