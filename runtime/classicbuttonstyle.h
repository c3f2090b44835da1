#pragma once

#include <QProxyStyle>

namespace korvex {

// Fusion, except for command buttons: they are drawn as the windows were designed, with a
// flat face in the button's own colour inside the raised 3-D edge of a classic push button,
// sunken while pressed, and a dotted focus rectangle. A style sheet could do much of this,
// but costs start-up time.
class ClassicButtonStyle : public QProxyStyle
{
    Q_OBJECT

public:
    ClassicButtonStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption *option,
                         const QWidget *widget) const override;
};

} // namespace korvex
