#include "applicationinfo.h"

#include "applicationsettings.h"

namespace korvex {

QString applicationTitle()
{
    return QString::fromLatin1(kApplicationTitle);
}

QString versionNumber()
{
    return QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}

QString applicationId()
{
    return QString::fromLatin1(kApplicationId);
}

} // namespace korvex
