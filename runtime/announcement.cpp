#include "announcement.h"

#include <QAccessible>
#include <QString>

namespace korvex {

void announce(QObject *source, const QString &message, Politeness politeness)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent event(source, message);
    event.setPoliteness(politeness == Politeness::Assertive
                            ? QAccessible::AnnouncementPoliteness::Assertive
                            : QAccessible::AnnouncementPoliteness::Polite);
    QAccessible::updateAccessibility(&event);
#else
    Q_UNUSED(source);
    Q_UNUSED(message);
    Q_UNUSED(politeness);
#endif
}

} // namespace korvex
