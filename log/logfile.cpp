#include "logfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

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
    // An unset, empty or relative HOME must not put the log at the root of the file system
    // or wherever Korvex was started: the password entry knows the home folder then.
    QString home = qEnvironmentVariable("HOME");
    if (!QDir::isAbsolutePath(home)) {
        const passwd *entry = ::getpwuid(::getuid());
        home = entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
    }
    return QDir::isAbsolutePath(home) && QFileInfo(home).isDir() ? home : QString();
#endif
}

QString logFilePath(const QString &driveFolder)
{
    if (driveFolder.isEmpty())
        return {};
    return QDir(driveFolder).filePath(kLogFile.mid(kDrivePrefixLength));
}

bool removeLogFile(const QString &path)
{
    // Looked at, not opened: opening a named pipe would wait for its other end.
    const QFileInfo file(path);
    return file.isFile() && file.permission(QFileDevice::WriteOwner) && QFile::remove(path);
}

} // namespace korvex
