#include "printsurface.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRawFont>
#include <QtEndian>

#include <algorithm>

namespace korvex {

PrintSurface::PrintSurface(const QFont &font, const QColor &initialColour)
    : m_font(font),
      m_colour(initialColour),
      m_metrics(lineMetrics(font))
{ }

// From the font's horizontal header: its ascender, descender and line gap in design units,
// each scaled to the pixel size and rounded on its own. A font without that table, such as a
// Windows bitmap font, has whole-pixel metrics, which Qt passes on as they are.
PrintSurface::LineMetrics PrintSurface::lineMetrics(const QFont &font)
{
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray header = raw.fontTable("hhea");
    if (header.size() < 10 || raw.unitsPerEm() <= 0) {
        const QFontMetrics metrics(font);
        return {metrics.ascent(), metrics.height(), metrics.lineSpacing()};
    }
    const auto scaled = [&](int offset) {
        const auto designUnits = qFromBigEndian<qint16>(header.constData() + offset);
        return qRound(designUnits * raw.pixelSize() / raw.unitsPerEm());
    };
    const int ascent = scaled(4);
    const int height = ascent - scaled(6);
    return {ascent, height, height + scaled(8)};
}

void PrintSurface::clear()
{
    m_lines.clear();
}

void PrintSurface::printLine(const QString &label, const QString &number)
{
    m_lines.append({label, number});
}

void PrintSurface::paint(QPainter &painter, int maxLines, int maxHeight) const
{
    const QFontMetrics metrics(m_font);
    // Drop the gap between lines when the full line spacing would not fit.
    const int lineStep =
        m_metrics.lineSpacing * maxLines <= maxHeight ? m_metrics.lineSpacing : m_metrics.height;
    int numberColumn = 0;
    for (const Line &line : m_lines)
        numberColumn = std::max(numberColumn, metrics.horizontalAdvance(line.label));

    painter.setFont(m_font);
    painter.setPen(m_colour);
    int baseline = m_metrics.ascent;
    for (const Line &line : m_lines) {
        painter.drawText(0, baseline, line.label);
        painter.drawText(numberColumn, baseline, line.number);
        baseline += lineStep;
    }
}

} // namespace korvex
