#include "windowstyle.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <qdrawutil.h>

namespace korvex {
namespace {

// The bevel takes two pixels on each side; the focus rectangle lies inside it.
constexpr int kFocusRectInset = 4;

const QColor kGroupBoxLine(117, 117, 117, 50);
const QColor kGroupBoxShadow(0, 0, 0, 7);
const QColor kGroupBoxTint(0, 0, 0, 3);

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

WindowStyle::WindowStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{ }

void WindowStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                QPainter *painter, const QWidget *widget) const
{
    switch (element) {
    case PE_PanelButtonCommand:
        qDrawWinButton(painter, option->rect, option->palette,
                       option->state & (State_Sunken | State_On), &option->palette.button());
        return;
    case PE_FrameFocusRect:
        // A button draws its own, in drawControl().
        if (qobject_cast<const QPushButton *>(widget))
            return;
        break;
    case PE_FrameGroupBox:
        drawGroupBoxFrame(option, painter, widget);
        return;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

// The frame Fusion drew up to Qt 6.6, from a picture that later releases neither draw nor
// ship: a faint grey line with its corners cut, a shadow just inside it and a faint tint
// within, below the title.
void WindowStyle::drawGroupBoxFrame(const QStyleOption *option, QPainter *painter,
                                    const QWidget *widget) const
{
    constexpr int groupBoxTopMargin = 3;
    int topMargin = groupBoxTopMargin;
    const auto *groupBox = qobject_cast<const QGroupBox *>(widget);
    if (!groupBox || groupBox->isCheckable() || !groupBox->title().isEmpty())
        topMargin += qMax(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height());
    // The line runs through the second row and column from the top left and through the last
    // ones at the bottom right.
    const QRect line = option->rect.adjusted(1, topMargin + 1, 0, 0);
    const QRect shadow = line.adjusted(1, 1, -1, -1);
    const auto edges = [painter](const QRect &rect, int cut, const QColor &colour) {
        painter->fillRect(rect.left() + cut, rect.top(), rect.width() - 2 * cut, 1, colour);
        painter->fillRect(rect.left() + cut, rect.bottom(), rect.width() - 2 * cut, 1, colour);
        painter->fillRect(rect.left(), rect.top() + 1, 1, rect.height() - 2, colour);
        painter->fillRect(rect.right(), rect.top() + 1, 1, rect.height() - 2, colour);
    };
    painter->fillRect(shadow.adjusted(1, 1, -1, -1), kGroupBoxTint);
    edges(shadow, 0, kGroupBoxShadow);
    edges(line, 1, kGroupBoxLine);
}

void WindowStyle::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                              const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && option->state & State_HasFocus)
        drawDottedRectangle(painter, subElementRect(SE_PushButtonFocusRect, option, widget),
                            option->palette.buttonText().color());
}

int WindowStyle::pixelMetric(PixelMetric metric, const QStyleOption *option,
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

QRect WindowStyle::subElementRect(SubElement element, const QStyleOption *option,
                                  const QWidget *widget) const
{
    if (element == SE_PushButtonFocusRect)
        return option->rect.adjusted(kFocusRectInset, kFocusRectInset, -kFocusRectInset,
                                     -kFocusRectInset);
    return QProxyStyle::subElementRect(element, option, widget);
}

QPalette WindowStyle::standardPalette() const
{
    const QColor window(239, 239, 239);
    const QColor disabledText(190, 190, 190);
    const QColor highlight(48, 140, 198);
    QPalette palette(Qt::black, window, window.lighter(150), window.darker(150), window.darker(130),
                     Qt::black, Qt::white);
    palette.setBrush(QPalette::Midlight, window.darker(130).lighter(110));
    palette.setBrush(QPalette::Shadow, window.darker(150).darker(135));
    palette.setBrush(QPalette::HighlightedText, Qt::white);
    palette.setBrush(QPalette::Highlight, highlight);
    palette.setBrush(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    palette.setBrush(QPalette::Disabled, QPalette::Text, disabledText);
    palette.setBrush(QPalette::Disabled, QPalette::WindowText, disabledText);
    palette.setBrush(QPalette::Disabled, QPalette::ButtonText, disabledText);
    palette.setBrush(QPalette::Disabled, QPalette::Base, window);
    palette.setBrush(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
    return palette;
}

void useClassicColours(QWidget &window)
{
    QPalette colours = window.palette().resolve(QApplication::style()->standardPalette());
    colours.setResolveMask(~QPalette::ResolveMask(0));
    window.setPalette(colours);
}

} // namespace korvex
