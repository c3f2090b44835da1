#include "resultsnotice.h"

#include "announcement.h"

#include <QAccessibleWidget>

namespace korvex {
namespace {

QAccessibleInterface *accessibleNotice(const QString &className, QObject *object)
{
    if (className == QLatin1String(ResultsNotice::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<ResultsNotice *>(object),
                                     kAnnouncesResults ? QAccessible::StaticText
                                                       : QAccessible::Notification);
    return nullptr;
}

} // namespace

ResultsNotice::ResultsNotice(QWidget *parent)
    : QWidget(parent)
{
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleNotice), true);
    Q_UNUSED(factoryInstalled);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

// A notification is spoken as it appears, so it must already hold the new lines.
void ResultsNotice::showLines(const QStringList &lines)
{
    hide();
    setAccessibleDescription(lines.join(QLatin1Char('\n')));
    setVisible(!lines.isEmpty());
    if (kAnnouncesResults && !lines.isEmpty())
        announce(this, accessibleDescription(), Politeness::Polite);
}

} // namespace korvex
