#pragma once

#include <QPixmap>
#include <QProxyStyle>

namespace korvex {

// Fusion, which draws the buttons in the windows' own colour on every platform, with one
// change: the group-box frame's pixmap is read as the PNG it is. Fusion reads it by file
// name, which makes Qt load every image-format plugin it has before the first paint.
class WindowStyle : public QProxyStyle
{
public:
    WindowStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;

private:
    QPixmap m_groupBoxFrame;
};

} // namespace korvex
