#pragma once

#include <QPoint>

class QRect;
class QSize;
class QWidget;

namespace korvex {

// Where a window that the user cannot move opens beside the main window: to its right with
// the top edges aligned where the screen has room, otherwise on the screen where it covers
// the least of the main window. It never covers the main window's button row.
QPoint placeBeside(const QRect &mainWindow, const QRect &buttonRow, const QSize &size,
                   const QRect &screen);

// The frame of a top-level window as the user sees it drawn.
QRect visibleFrame(const QWidget &window);

} // namespace korvex
