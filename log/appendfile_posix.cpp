#include "appendfile.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex {
namespace {

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

constexpr QIODevice::OpenMode kAppending =
    QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;

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

} // namespace

bool appendWhole(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!openForAppending(file))
        return false;
    const qint64 before = file.size();
    const qint64 written = file.write(bytes);
    if (written == bytes.size())
        return true;

    // A write cut short (a full disk) leaves part of the bytes behind; cut it away so that
    // the file holds whole records only. Every Korvex appends under the lock, so the file is
    // still its size before plus our part, unless a program that ignores the lock appended
    // after us: then our part is no longer at the end and cutting would lose that program's.
    if (written > 0 && file.size() == before + written)
        file.resize(before);
    return false;
}

} // namespace korvex
