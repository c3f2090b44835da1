#include "calculationlog.h"

#include <QByteArray>
#include <QFile>
#include <QScopeGuard>

#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex {
namespace {

using namespace std::chrono_literals;

QByteArray recordLine(const char *label, std::int16_t value)
{
    return '"' + QByteArray(label) + "\"," + QByteArray::number(value) + "\r\n";
}

// Another Korvex holds the lock only while it appends one record. A lock still held after a
// second belongs to some other program, and the calculation does not wait for it any longer.
bool lockForAppending(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Returns how many bytes of data reached the file, stopping at the first failure.
qsizetype writeAll(int fd, const QByteArray &data)
{
    qsizetype written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, data.size() - written);
        if (n > 0)
            written += n;
        else if (n == 0 || errno != EINTR)
            break;
    }
    return written;
}

} // namespace

bool AppendCalculationRecord(const QString &path, std::int16_t rows, std::int16_t columns,
                             std::int16_t connectionLength)
{
    if (path.isEmpty())
        return false;
    const QByteArray record = recordLine("Columns:", rows) + recordLine("Rows:", columns)
                              + recordLine("Connection Length:", connectionLength) + "\r\n";

    // Without O_NONBLOCK, opening a named pipe would wait until something reads from it.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });

    struct stat before;
    if (!lockForAppending(fd) || ::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)
        || !(before.st_mode & S_IWUSR))
        return false;

    const qsizetype written = writeAll(fd, record);
    if (written == record.size())
        return true;

    // A write cut short (a full disk) leaves part of the record behind; cut it away so that
    // the file holds whole records only. Every Korvex appends under the lock, so the file is
    // still its size before plus our part, unless a program that ignores the lock appended
    // after us: then our part is no longer at the end and cutting would lose that program's.
    struct stat after;
    if (written > 0 && ::fstat(fd, &after) == 0 && after.st_size == before.st_size + written) {
        [[maybe_unused]] const int truncated = ::ftruncate(fd, before.st_size);
    }
    return false;
}

} // namespace korvex
