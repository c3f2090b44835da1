#pragma once

#include <QPixmap>
#include <QProxyStyle>

namespace korvex {

// Fusion, with two changes.
//
// Command buttons are drawn as the windows were designed: a flat face in the button's own
// colour inside the raised 3-D edge of a classic push button, sunken while pressed, and a
// dotted focus rectangle. A style sheet could do much of this, but costs start-up time.
//
// The group-box frame's pixmap is read as the PNG it is. Fusion reads it by file name, which
// makes Qt load every image-format plugin it has before the first paint.
class WindowStyle : public QProxyStyle
{
    Q_OBJECT

public:
    WindowStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption *option,
                         const QWidget *widget) const override;

private:
    void drawGroupBoxFrame(const QStyleOption *option, QPainter *painter,
                           const QWidget *widget) const;

    QPixmap m_groupBoxFrame;
};

} // namespace korvex
