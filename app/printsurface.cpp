#include "printsurface.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace korvex {

PrintSurface::PrintSurface(const QFont &font, const QColor &initialColour)
    : m_font(font),
      m_colour(initialColour)
{ }

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
    // Drop the leading between lines when the full line spacing would not fit.
    const int lineStep =
        metrics.lineSpacing() * maxLines <= maxHeight ? metrics.lineSpacing() : metrics.height();
    int numberColumn = 0;
    for (const Line &line : m_lines)
        numberColumn = std::max(numberColumn, metrics.horizontalAdvance(line.label));

    painter.setFont(m_font);
    painter.setPen(m_colour);
    int baseline = metrics.ascent();
    for (const Line &line : m_lines) {
        painter.drawText(0, baseline, line.label);
        painter.drawText(numberColumn, baseline, line.number);
        baseline += lineStep;
    }
}

} // namespace korvex
