#pragma once

#include <QStringList>
#include <QWidget>

namespace korvex {

// The printed results as a screen reader meets them. The window paints its results, which no
// screen reader can read, so this empty widget lies over the results area, carries the lines
// in its description and is shown only while there are results. It reports itself as a
// notification: Orca speaks a notification when it appears, wherever the focus is, and a
// hidden one cannot be read out stale.
class ResultsNotice : public QWidget
{
    Q_OBJECT

public:
    explicit ResultsNotice(QWidget *parent = nullptr);

    void showLines(const QStringList &lines);
};

} // namespace korvex
