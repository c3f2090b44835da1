#include "appendfile.h"

#include <QDir>
#include <QScopeGuard>

#include <chrono>
#include <thread>

#include <qt_windows.h>

namespace korvex {
namespace {

// Korvex processes lock this byte of the file while one of them appends, so that a record cut
// short can be taken back out, and under Wine, which writes at the end it last looked at, so
// that two records never meet. It lies far beyond any real end of the file: locks on Windows
// are mandatory, and a locked byte would make the reading or writing of other programs fail.
OVERLAPPED lockedByte()
{
    OVERLAPPED position{};
    position.OffsetHigh = 0x7fffffff;
    return position;
}

// Another Korvex holds the lock only while it appends one record. A lock still held after a
// second belongs to some other program, and the calculation does not wait for it any longer.
bool lockForAppending(HANDLE file)
{
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    OVERLAPPED position = lockedByte();
    while (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                         &position)) {
        if (::GetLastError() != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
        position = lockedByte();
    }
    return true;
}

void unlock(HANDLE file)
{
    OVERLAPPED position = lockedByte();
    ::UnlockFileEx(file, 0, 1, 0, &position);
}

// A handle that may only append cannot cut the file short, so a second one does it.
void truncate(const wchar_t *name, qint64 size)
{
    const HANDLE file = ::CreateFileW(name, FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    ::SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
    ::CloseHandle(file);
}

} // namespace

bool appendWhole(const QString &path, const QByteArray &bytes)
{
    const QString nativePath = QDir::toNativeSeparators(path);
    const auto *name = reinterpret_cast<const wchar_t *>(nativePath.utf16());
    // With append-only access, Windows puts each write at the end of the file as it is at
    // that moment, wherever other processes have written since. Reading and writing are
    // shared, deleting is not, so that the file cannot go while the record is written. A
    // program that holds the file open without sharing makes this fail at once.
    const HANDLE file = ::CreateFileW(name, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const auto closeFile = qScopeGuard([file] { ::CloseHandle(file); });
    // A device name such as NUL or COM1 opens the device. Windows refuses to open a file
    // marked read-only for writing, but Wine run as root does not, so the mark is read too.
    BY_HANDLE_FILE_INFORMATION information;
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &information)
        || information.dwFileAttributes & FILE_ATTRIBUTE_READONLY || !lockForAppending(file))
        return false;
    const auto unlockFile = qScopeGuard([file] { unlock(file); });

    LARGE_INTEGER before;
    if (!::GetFileSizeEx(file, &before))
        return false;
    DWORD written = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    if (::WriteFile(file, bytes.constData(), size, &written, nullptr) && written == size)
        return true;

    // As on other systems: a write cut short by a full disk is taken back out, unless a
    // program that ignores the lock has appended after it.
    LARGE_INTEGER after;
    if (written > 0 && ::GetFileSizeEx(file, &after) && after.QuadPart == before.QuadPart + written)
        truncate(name, before.QuadPart);
    return false;
}

} // namespace korvex
