#include "logfile.h"

#include <QDir>
#include <QFile>

namespace korvex {
namespace {

constexpr QLatin1StringView kLogFile("C:/output.txt");
constexpr qsizetype kDrivePrefixLength = 3; // "C:/"

} // namespace

QString driveCFolder()
{
#ifdef Q_OS_WIN
    return kLogFile.left(kDrivePrefixLength);
#else
    return QDir::homePath();
#endif
}

QString logFilePath(const QString &driveFolder)
{
    return QDir(driveFolder).filePath(kLogFile.mid(kDrivePrefixLength));
}

bool isMarkedReadOnly(const QString &path)
{
    return QFile::exists(path) && !(QFile::permissions(path) & QFileDevice::WriteOwner);
}

} // namespace korvex
