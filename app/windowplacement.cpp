#include "windowplacement.h"

#include <QRect>
#include <QWidget>

#include <algorithm>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <dwmapi.h>
#endif

namespace korvex {

QPoint placeBeside(const QRect &mainWindow, const QRect &buttonRow, const QSize &size,
                   const QRect &screen)
{
    const auto onScreen = [&](int x, int y) {
        const int lastX = std::max(screen.left(), screen.right() + 1 - size.width());
        const int lastY = std::max(screen.top(), screen.bottom() + 1 - size.height());
        return QPoint(std::clamp(x, screen.left(), lastX), std::clamp(y, screen.top(), lastY));
    };
    // The preferred places first, so that they win a tie: top edges aligned, then to the
    // right.
    const int xs[] = {mainWindow.right() + 1, mainWindow.left() - size.width(), screen.left(),
                      screen.right() + 1 - size.width()};
    const int ys[] = {mainWindow.top(), buttonRow.bottom() + 1, buttonRow.top() - size.height(),
                      screen.top(), screen.bottom() + 1 - size.height()};

    // A screen too small for any of them: below the button row, even if that runs off it.
    QPoint best(onScreen(xs[0], 0).x(), buttonRow.bottom() + 1);
    qint64 leastCovered = -1;
    for (const int y : ys) {
        for (const int x : xs) {
            const QRect place(onScreen(x, y), size);
            if (place.intersects(buttonRow))
                continue;
            const QRect covered = place & mainWindow;
            const qint64 area = qint64(covered.width()) * covered.height();
            if (leastCovered < 0 || area < leastCovered) {
                leastCovered = area;
                best = place.topLeft();
            }
        }
    }
    return best;
}

QRect visibleFrame(const QWidget &window)
{
#ifdef Q_OS_WIN
    // Qt takes the invisible resize borders of Windows 10 off every frame, also off that of a
    // window that cannot be resized and has none, which leaves it a pixel inside the window's
    // own area. The desktop window manager knows the frame it draws, in physical pixels.
    const auto handle = reinterpret_cast<HWND>(window.winId());
    RECT frame;
    POINT clientOrigin{0, 0};
    RECT client;
    if (SUCCEEDED(
            ::DwmGetWindowAttribute(handle, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof frame))
        && ::ClientToScreen(handle, &clientOrigin) && ::GetClientRect(handle, &client)) {
        const qreal scale = window.devicePixelRatioF();
        const auto logical = [scale](LONG pixels) { return qRound(pixels / scale); };
        return window.geometry().marginsAdded(
            QMargins(logical(clientOrigin.x - frame.left), logical(clientOrigin.y - frame.top),
                     logical(frame.right - clientOrigin.x - client.right),
                     logical(frame.bottom - clientOrigin.y - client.bottom)));
    }
#endif
    // Without one (Wine has none), a frame holds at least the window's own area.
    return window.frameGeometry().united(window.geometry());
}

} // namespace korvex
