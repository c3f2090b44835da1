#pragma once

#include <QString>

namespace korvex {

// The folder that stands for drive C: the drive itself on Windows, the user's home folder
// on hosts without drive letters.
QString driveCFolder();

// Where the calculation log lives when driveFolder stands for drive C.
QString logFilePath(const QString &driveFolder);

// A file whose owner may not write it counts as read-only, as on Windows, even for a user
// (such as root) whom the system would let write it anyway.
bool isMarkedReadOnly(const QString &path);

} // namespace korvex
