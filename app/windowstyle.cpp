#include "windowstyle.h"

#include "loadpicture.h"

#include <QGroupBox>
#include <QStyleFactory>
#include <QStyleOption>
#include <qdrawutil.h>

namespace korvex {

WindowStyle::WindowStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))),
      m_groupBoxFrame(loadPicture(
          QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png"), "png"))
{ }

void WindowStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                QPainter *painter, const QWidget *widget) const
{
    if (element != PE_FrameGroupBox || m_groupBoxFrame.isNull()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // Fusion's own frame: the pixmap's border stretched below the title.
    constexpr int groupBoxTopMargin = 3;
    int topMargin = groupBoxTopMargin;
    const auto *groupBox = qobject_cast<const QGroupBox *>(widget);
    if (!groupBox || groupBox->isCheckable() || !groupBox->title().isEmpty())
        topMargin += qMax(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height());
    qDrawBorderPixmap(painter, option->rect.adjusted(0, topMargin, 0, 0), QMargins(6, 6, 6, 6),
                      m_groupBoxFrame);
}

} // namespace korvex
