#pragma once

#include <QStringList>

namespace korvex {
class Form1;
}

// What the main window has printed, one string per line: the label and then the number.
QStringList printedText(const korvex::Form1 &form);

// The five lines a calculation prints, each number with its sign position and a trailing
// blank.
QStringList resultLines(int horizontal, int vertical, int diagonal, int total);
