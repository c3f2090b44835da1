#pragma once

#include <QString>

namespace korvex {

// The folder that stands for drive C: the drive itself on Windows, the user's home folder
// on hosts without drive letters. Empty when there is no such folder: then there is no
// drive C, and the log is neither written nor deleted.
QString driveCFolder();

// Where the calculation log lives when driveFolder stands for drive C; empty without one.
QString logFilePath(const QString &driveFolder);

// Deletes the log file at path and tells whether it did. Only a regular file is deleted, and
// not one marked read-only: a file whose owner may not write it counts as read-only, as on
// Windows, even for a user (such as root) whom the system would let delete it anyway.
bool removeLogFile(const QString &path);

} // namespace korvex
