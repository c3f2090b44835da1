#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>

class QPainter;

namespace korvex {

// Lines of text printed onto a window, top down from its top-left corner. The window keeps
// them and draws them on every paint, so they survive being covered by another window.
// Every line with a number has its number at one common column just right of the widest
// label, so that the numbers line up in a proportional font.
//
// The lines stand at the pitch the font's own design gives its size. Qt's rounded metrics
// differ between releases (6.4 rounds a line gap of half a pixel up, 6.8 drops it), and the
// lines would move with them.
class PrintSurface
{
public:
    struct Line
    {
        QString label;
        QString number;
    };

    PrintSurface(const QFont &font, const QColor &initialColour);

    void clear();
    void printLine(const QString &label = {}, const QString &number = {});

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour) { m_colour = colour; }

    const QList<Line> &lines() const { return m_lines; }
    QFont font() const { return m_font; }

    // Draws the lines, stepping them so that maxLines fit into maxHeight.
    void paint(QPainter &painter, int maxLines, int maxHeight) const;

private:
    struct LineMetrics
    {
        int ascent = 0;
        int height = 0;      // ascent and descent
        int lineSpacing = 0; // the height and the gap between lines
    };
    static LineMetrics lineMetrics(const QFont &font);

    QList<Line> m_lines;
    QFont m_font;
    QColor m_colour;
    LineMetrics m_metrics;
};

} // namespace korvex
