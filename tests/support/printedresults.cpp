#include "printedresults.h"

#include "form1.h"

QStringList printedText(const korvex::Form1 &form)
{
    QStringList lines;
    for (const auto &line : form.printSurface().lines())
        lines.append(line.label + line.number);
    return lines;
}

QStringList resultLines(int horizontal, int vertical, int diagonal, int total)
{
    const auto number = [](int value) {
        return (value < 0 ? QStringLiteral("-") : QStringLiteral(" "))
               + QString::number(std::abs(value)) + QLatin1Char(' ');
    };
    return {QStringLiteral("Horizontal:     ") + number(horizontal),
            QStringLiteral("Vertical:       ") + number(vertical),
            QStringLiteral("Diagonal:       ") + number(diagonal), QString(),
            QStringLiteral("Total:          ") + number(total)};
}
