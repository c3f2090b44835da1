#include "resultsnotice.h"

#include <QAccessibleWidget>

namespace korvex {
namespace {

QAccessibleInterface *accessibleNotice(const QString &className, QObject *object)
{
    if (className == QLatin1String(ResultsNotice::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<ResultsNotice *>(object),
                                     QAccessible::Notification);
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

// Showing the notice is the announcement, so it must already hold the new lines.
void ResultsNotice::showLines(const QStringList &lines)
{
    hide();
    setAccessibleDescription(lines.join(QLatin1Char('\n')));
    setVisible(!lines.isEmpty());
}

} // namespace korvex
