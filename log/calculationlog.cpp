#include "calculationlog.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvex {
namespace {

QByteArray recordLine(const char *label, std::int16_t value)
{
    return '"' + QByteArray(label) + "\"," + QByteArray::number(value) + "\r\n";
}

constexpr QIODevice::OpenMode kAppending =
    QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;

#ifdef Q_OS_WIN

// Pipes and devices do not stand in a drive's folders on Windows.
bool openForAppending(QFile &file)
{
    const QFileInfo existing(file.fileName());
    if (existing.exists() && !(existing.isFile() && existing.permission(QFileDevice::WriteOwner)))
        return false;
    return file.open(kAppending);
}

#else

// Another Korvex holds the lock only while it appends one record. A lock still held after a
// second belongs to some other program, and the calculation does not wait for it any longer.
bool lockForAppending(int fd)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Opens only a regular file whose owner may write it, locked against other Korvex processes.
// Without O_NONBLOCK, opening a named pipe would wait until something reads from it.
bool openForAppending(QFile &file)
{
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat status;
    if (!lockForAppending(fd) || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
        || !(status.st_mode & S_IWUSR)
        || !file.open(fd, kAppending, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

#endif

} // namespace

bool AppendCalculationRecord(const QString &path, std::int16_t rows, std::int16_t columns,
                             std::int16_t connectionLength)
{
    if (path.isEmpty())
        return false;
    const QByteArray record = recordLine("Columns:", rows) + recordLine("Rows:", columns)
                              + recordLine("Connection Length:", connectionLength) + "\r\n";

    QFile file(path);
    if (!openForAppending(file))
        return false;
    const qint64 before = file.size();
    const qint64 written = file.write(record);
    if (written == record.size())
        return true;

    // A write cut short (a full disk) leaves part of the record behind; cut it away so that
    // the file holds whole records only. Every Korvex appends under the lock, so the file is
    // still its size before plus our part, unless a program that ignores the lock appended
    // after us: then our part is no longer at the end and cutting would lose that program's.
    if (written > 0 && file.size() == before + written)
        file.resize(before);
    return false;
}

} // namespace korvex
