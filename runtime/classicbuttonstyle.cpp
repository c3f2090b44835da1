#include "classicbuttonstyle.h"

#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <qdrawutil.h>

namespace korvex {
namespace {

// The bevel takes two pixels on each side; the focus rectangle lies inside it.
constexpr int kFocusRectInset = 4;

// Every other pixel, as the classic focus rectangle is drawn.
void drawDottedRectangle(QPainter *painter, const QRect &rect, const QColor &colour)
{
    const QBrush dots(colour, Qt::Dense4Pattern);
    painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), dots);
    painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), dots);
    painter->fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), dots);
    painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), dots);
}

} // namespace

ClassicButtonStyle::ClassicButtonStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{ }

void ClassicButtonStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                       QPainter *painter, const QWidget *widget) const
{
    if (element == PE_PanelButtonCommand) {
        qDrawWinButton(painter, option->rect, option->palette,
                       option->state & (State_Sunken | State_On), &option->palette.button());
        return;
    }
    // The button draws its own, below.
    if (element == PE_FrameFocusRect && qobject_cast<const QPushButton *>(widget))
        return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void ClassicButtonStyle::drawControl(ControlElement element, const QStyleOption *option,
                                     QPainter *painter, const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && option->state & State_HasFocus)
        drawDottedRectangle(painter, subElementRect(SE_PushButtonFocusRect, option, widget),
                            option->palette.buttonText().color());
}

int ClassicButtonStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
                                    const QWidget *widget) const
{
    switch (metric) {
    case PM_ButtonShiftHorizontal:
    case PM_ButtonShiftVertical:
        return 1;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QRect ClassicButtonStyle::subElementRect(SubElement element, const QStyleOption *option,
                                         const QWidget *widget) const
{
    if (element == SE_PushButtonFocusRect)
        return option->rect.adjusted(kFocusRectInset, kFocusRectInset, -kFocusRectInset,
                                     -kFocusRectInset);
    return QProxyStyle::subElementRect(element, option, widget);
}

} // namespace korvex
