// Times ComputeLineCounts, which works each count out in checked 16-bit steps, against the
// same counts from their closed forms in plain 64-bit arithmetic. Each iteration goes once
// through a fixed set of boards; the row's tag starts with the number of boards, so that
// linecounts.sh can give the time per call.

#include "linecounts.h"

#include <QTest>

#include <QList>

#include <cstdint>

namespace {

struct Board
{
    std::int16_t rows;
    std::int16_t columns;
    std::int16_t connectionLength;
};

} // namespace

Q_DECLARE_METATYPE(Board)

namespace {

// Sides from the smallest board to ones whose 4RN no longer fits 16 bits, and connection
// lengths around the usual four; some lengths exceed a side.
QList<Board> boardSet()
{
    const std::int16_t sides[] = {1, 3, 6, 7, 10, 19, 50, 100, 181, 1000};
    const std::int16_t lengths[] = {1, 3, 4, 5};
    QList<Board> result;
    for (const auto rows : sides)
        for (const auto columns : sides)
            for (const auto connectionLength : lengths)
                result.push_back({rows, columns, connectionLength});
    return result;
}

struct Counts64
{
    std::int64_t horizontal;
    std::int64_t vertical;
    std::int64_t diagonal;
    std::int64_t total;
};

// Kept out of line, as ComputeLineCounts is, so that both sides pay for a call per board.
[[gnu::noinline]] Counts64 closedForms(std::int64_t R, std::int64_t N, std::int64_t C)
{
    return {R * (N - C + 1), N * (R - C + 1), (R - C + 1) * (N - C + 1),
            4 * R * N + 2 * C * C - 3 * R * C - 3 * N * C + 3 * R + 3 * N - 4 * C + 2};
}

// Every iteration's checksum is stored here, so that no call can be left out.
volatile std::int64_t sink;

} // namespace

class LineCountsBenchmark : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void computeLineCounts_data() { addBoardSet(); }
    void computeLineCounts();
    void closedForms_data() { addBoardSet(); }
    void closedForms();

private:
    void addBoardSet();

    QList<Board> m_boards = boardSet();
    qsizetype m_overflowing = 0;
};

void LineCountsBenchmark::initTestCase()
{
    for (const auto &b : m_boards)
        m_overflowing += !korvex::ComputeLineCounts(b.rows, b.columns, b.connectionLength);
    // The set is meant to take both ways through the checked steps.
    QVERIFY(m_overflowing > 0);
    QVERIFY(m_overflowing < m_boards.size());
}

void LineCountsBenchmark::addBoardSet()
{
    QTest::addColumn<QList<Board>>("boards");
    QTest::addRow("%lld boards of which %lld overflow", qlonglong(m_boards.size()),
                  qlonglong(m_overflowing))
        << m_boards;
}

void LineCountsBenchmark::computeLineCounts()
{
    QFETCH(const QList<Board>, boards);
    QBENCHMARK
    {
        std::int64_t checksum = 0;
        for (const auto &b : boards) {
            const auto counts = korvex::ComputeLineCounts(b.rows, b.columns, b.connectionLength);
            checksum += counts ? counts->Horizontal + counts->Vertical
                                     + std::int64_t(counts->Diagonal) + counts->Total
                               : -1;
        }
        sink = checksum;
    }
}

void LineCountsBenchmark::closedForms()
{
    QFETCH(const QList<Board>, boards);
    QBENCHMARK
    {
        std::int64_t checksum = 0;
        for (const auto &b : boards) {
            const auto counts = ::closedForms(b.rows, b.columns, b.connectionLength);
            checksum += counts.horizontal + counts.vertical + counts.diagonal + counts.total;
        }
        sink = checksum;
    }
}

QTEST_GUILESS_MAIN(LineCountsBenchmark)

#include "bench_linecounts.moc"
