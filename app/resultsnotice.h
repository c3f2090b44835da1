#pragma once

#include <QStringList>
#include <QWidget>

namespace korvex {

// The printed results as a screen reader meets them. The window paints its results, which no
// screen reader can read, so this empty widget lies over the results area, carries the lines
// in its description and is shown only while there are results, so that it cannot be read
// out stale. New results are announced where Qt can announce (kAnnouncesResults); elsewhere
// the widget reports itself as a notification, which Orca speaks when it appears, wherever
// the focus is.
class ResultsNotice : public QWidget
{
    Q_OBJECT

public:
    explicit ResultsNotice(QWidget *parent = nullptr);

    void showLines(const QStringList &lines);
};

} // namespace korvex
