#pragma once

#include <QProxyStyle>

namespace korvex {

// Fusion, with three changes.
//
// Command buttons are drawn as the windows were designed: a flat face in the button's own
// colour inside the raised 3-D edge of a classic push button, sunken while pressed, and a
// dotted focus rectangle. A style sheet could do much of this, but costs start-up time.
//
// Its standard palette is Fusion's light one on every desktop: Fusion turns it dark where the
// desktop is dark, and the windows' stored colours are made for a light one.
//
// The group-box frame is drawn as Fusion drew it up to Qt 6.6, so that it looks the same on
// every Qt. Fusion read it from a picture by file name, which also made Qt load every
// image-format plugin it has before the first paint.
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
    QPalette standardPalette() const override;

private:
    void drawGroupBoxFrame(const QStyleOption *option, QPainter *painter,
                           const QWidget *widget) const;
};

// Gives a window, and so every control in it, the light colours of WindowStyle's standard
// palette beneath the colours its stored layout sets. The layouts colour the windows and
// leave the rest to the desktop, whose dark colours would put pale text on the windows' light
// blue; and Qt hands text boxes and buttons the colours of the desktop's theme, but never
// where a window sets every colour itself.
void useClassicColours(QWidget &window);

} // namespace korvex
