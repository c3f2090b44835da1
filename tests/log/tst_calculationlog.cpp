#include "calculationlog.h"
#include "logfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <utility>
#else
#include <csignal>

#include <fcntl.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using korvex::AppendCalculationRecord;

namespace {

QByteArray contents(const QString &path)
{
    if (path.isEmpty())
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#ifndef Q_OS_WIN
int openFileDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}
#endif

} // namespace

class CalculationLogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void driveCIsTheHomeFolderWithoutDriveLetters_data();
    void driveCIsTheHomeFolderWithoutDriveLetters();
    void writesTheRecordBytes_data();
    void writesTheRecordBytes();
    void appendsAfterWhatIsThere();
    void failsWithoutTouchingTheFile_data();
    void failsWithoutTouchingTheFile();
    void appendsOfTwoProcessesAtOnceStayWhole();
#ifndef Q_OS_WIN
    void failedWriteLeavesNoFileOpen();
    void fullDiskLeavesWholeRecordsOnly();
    void specialFileIsLeftAloneAtOnce_data();
    void specialFileIsLeftAloneAtOnce();
#endif

private:
    std::unique_ptr<QTemporaryDir> m_driveC;
    QString m_logFile;
};

void CalculationLogTest::init()
{
    m_driveC = std::make_unique<QTemporaryDir>();
    QVERIFY(m_driveC->isValid());
    m_logFile = korvex::logFilePath(m_driveC->path());
    QCOMPARE(m_logFile, m_driveC->filePath(QStringLiteral("output.txt")));
}

// The home folder of the password entry stands in for a HOME that is not an absolute path;
// an absolute HOME that does not exist means there is no drive C.
void CalculationLogTest::driveCIsTheHomeFolderWithoutDriveLetters_data()
{
    QTest::addColumn<bool>("homeSet");
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("driveC");

#ifndef Q_OS_WIN
    const passwd *entry = ::getpwuid(::getuid());
    const QString passwordHome = entry ? QFile::decodeName(entry->pw_dir) : QString();
    const QString fallback = QDir::isAbsolutePath(passwordHome) && QFileInfo(passwordHome).isDir()
                                 ? passwordHome
                                 : QString();
    const QString existing = QDir::tempPath();

    QTest::newRow("HOME unset") << false << QByteArray() << fallback;
    QTest::newRow("HOME empty") << true << QByteArray() << fallback;
    QTest::newRow("HOME relative") << true << QByteArray("korvex-home") << fallback;
    QTest::newRow("HOME an existing folder") << true << QFile::encodeName(existing) << existing;
    QTest::newRow("HOME a missing folder")
        << true << QByteArray("/no/such/korvex/home") << QString();
#endif
}

void CalculationLogTest::driveCIsTheHomeFolderWithoutDriveLetters()
{
#ifdef Q_OS_WIN
    QCOMPARE(korvex::logFilePath(korvex::driveCFolder()), QStringLiteral("C:/output.txt"));
#else
    QFETCH(bool, homeSet);
    QFETCH(QByteArray, home);
    QFETCH(QString, driveC);

    const QByteArray savedHome = qgetenv("HOME");
    const bool hadHome = qEnvironmentVariableIsSet("HOME");
    const auto restoreHome = qScopeGuard([&] {
        if (hadHome)
            qputenv("HOME", savedHome);
        else
            qunsetenv("HOME");
    });
    if (homeSet)
        qputenv("HOME", home);
    else
        qunsetenv("HOME");

    QCOMPARE(korvex::driveCFolder(), driveC);
#endif
}

void CalculationLogTest::writesTheRecordBytes_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("connectionLength");
    QTest::addColumn<QByteArray>("record");

    QTest::newRow("6x7 C4") << 6 << 7 << 4
                            << QByteArray("\"Columns:\",6\r\n\"Rows:\",7\r\n"
                                          "\"Connection Length:\",4\r\n\r\n");
    QTest::newRow("6x7 C-1") << 6 << 7 << -1
                             << QByteArray("\"Columns:\",6\r\n\"Rows:\",7\r\n"
                                           "\"Connection Length:\",-1\r\n\r\n");
    QTest::newRow("widest values") << -32768 << -32768 << -32768
                                   << QByteArray("\"Columns:\",-32768\r\n\"Rows:\",-32768\r\n"
                                                 "\"Connection Length:\",-32768\r\n\r\n");
    QTest::newRow("32767x10 C0") << 32767 << 10 << 0
                                 << QByteArray("\"Columns:\",32767\r\n\"Rows:\",10\r\n"
                                               "\"Connection Length:\",0\r\n\r\n");
}

void CalculationLogTest::writesTheRecordBytes()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(int, connectionLength);
    QFETCH(QByteArray, record);

    QVERIFY(AppendCalculationRecord(m_logFile, rows, columns, connectionLength));
    QCOMPARE(contents(m_logFile), record);
}

void CalculationLogTest::appendsAfterWhatIsThere()
{
    QVERIFY(AppendCalculationRecord(m_logFile, 6, 7, 4));
    QCOMPARE(QFileInfo(m_logFile).size(), 51);
    QVERIFY(AppendCalculationRecord(m_logFile, 5, 5, 6));
    QCOMPARE(contents(m_logFile),
             QByteArray("\"Columns:\",6\r\n\"Rows:\",7\r\n\"Connection Length:\",4\r\n\r\n"
                        "\"Columns:\",5\r\n\"Rows:\",5\r\n\"Connection Length:\",6\r\n\r\n"));
}

// Each case holds for root as well, who may write almost anything.
void CalculationLogTest::failsWithoutTouchingTheFile_data()
{
    QTest::addColumn<QString>("situation");

    QTest::newRow("no folder for drive C") << QStringLiteral("missing drive");
    QTest::newRow("no drive C at all") << QStringLiteral("no drive");
    QTest::newRow("file marked read-only") << QStringLiteral("read-only");
    QTest::newRow("folder where the file should be") << QStringLiteral("folder");
#ifdef Q_OS_WIN
    QTest::newRow("file held open without sharing") << QStringLiteral("held");
#endif
}

void CalculationLogTest::failsWithoutTouchingTheFile()
{
    QFETCH(QString, situation);

    QString path = m_logFile;
    QByteArray before;
    if (situation == QLatin1String("missing drive")) {
        path = korvex::logFilePath(m_driveC->filePath(QStringLiteral("no-such-drive")));
    } else if (situation == QLatin1String("no drive")) {
        path = korvex::logFilePath(QString());
    } else if (situation == QLatin1String("read-only")) {
        QVERIFY(AppendCalculationRecord(path, 1, 2, 3));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        before = contents(path);
    } else if (situation == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    }
#ifdef Q_OS_WIN
    // Another program holds the file open and shares it with nobody.
    HANDLE holder = INVALID_HANDLE_VALUE;
    const auto release = [&holder] {
        if (holder != INVALID_HANDLE_VALUE)
            ::CloseHandle(std::exchange(holder, INVALID_HANDLE_VALUE));
    };
    const auto releaseAtEnd = qScopeGuard(release);
    if (situation == QLatin1String("held")) {
        QVERIFY(AppendCalculationRecord(path, 1, 2, 3));
        before = contents(path);
        holder = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_READ, 0,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(holder != INVALID_HANDLE_VALUE);
    }
#endif

    QElapsedTimer timer;
    timer.start();
    QVERIFY(!AppendCalculationRecord(path, 6, 7, 4));
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed()) + " ms"));
#ifdef Q_OS_WIN
    if (holder != INVALID_HANDLE_VALUE)
        QVERIFY(!korvex::removeLogFile(path));
    release();
#endif
    QCOMPARE(contents(path), before);
}

// Two processes append 500 records each to one file at the same time; each record lands
// whole, and each process's records keep their order.
void CalculationLogTest::appendsOfTwoProcessesAtOnceStayWhole()
{
    constexpr int count = 500;
    const QString helper =
        QCoreApplication::applicationDirPath() + QStringLiteral("/korvex_appendrecords");
#ifdef KORVEX_TEST_EMULATOR
    const QStringList emulator = QProcess::splitCommand(QStringLiteral(KORVEX_TEST_EMULATOR));
#else
    const QStringList emulator;
#endif
    QProcess writers[2];
    for (int rows : {1, 2}) {
        QStringList command = emulator;
        command << helper << QString::number(rows) << QString::number(count) << m_logFile;
        writers[rows - 1].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writers[rows - 1].start(command.takeFirst(), command);
    }
    for (QProcess &writer : writers) {
        QVERIFY2(writer.waitForFinished(120'000), qPrintable(writer.errorString()));
        QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(writer.exitCode(), 0);
    }

    auto record = [](int rows, int columns) {
        return "\"Columns:\"," + QByteArray::number(rows) + "\r\n\"Rows:\","
               + QByteArray::number(columns) + "\r\n\"Connection Length:\",4\r\n\r\n";
    };
    const QByteArray log = contents(m_logFile);
    int next[2] = {1, 1};
    qsizetype at = 0;
    while (at < log.size()) {
        const QByteArray first = record(1, next[0]), second = record(2, next[1]);
        if (next[0] <= count && log.sliced(at).startsWith(first)) {
            at += first.size();
            ++next[0];
        } else if (next[1] <= count && log.sliced(at).startsWith(second)) {
            at += second.size();
            ++next[1];
        } else {
            QFAIL(qPrintable(
                QStringLiteral("no whole record at byte %1 of %2, after %3 and %4 records")
                    .arg(at)
                    .arg(log.size())
                    .arg(next[0] - 1)
                    .arg(next[1] - 1)));
        }
    }
    QCOMPARE(next[0] - 1, count);
    QCOMPARE(next[1] - 1, count);
}

#ifndef Q_OS_WIN
void CalculationLogTest::failedWriteLeavesNoFileOpen()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("needs /dev/full");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_logFile));

    const int openBefore = openFileDescriptors();
    QVERIFY(!AppendCalculationRecord(m_logFile, 6, 7, 4));
    QCOMPARE(openFileDescriptors(), openBefore);
}

// A file-size limit stands in for a full disk: the first write of the record comes back
// short, the next one fails. The limit is set in a child process, so that nothing else of
// the test runs under it, and ends with it, which frees the space again.
void CalculationLogTest::fullDiskLeavesWholeRecordsOnly()
{
    const QByteArray record("\"Columns:\",6\r\n\"Rows:\",7\r\n\"Connection Length:\",4\r\n\r\n");
    QVERIFY(AppendCalculationRecord(m_logFile, 6, 7, 4));

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{.rlim_cur = 67, .rlim_max = RLIM_INFINITY};
        ::_exit(::setrlimit(RLIMIT_FSIZE, &limit) == 0
                        && !AppendCalculationRecord(m_logFile, 6, 7, 4)
                    ? 0
                    : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the append did not fail");
    QCOMPARE(contents(m_logFile), record);

    QVERIFY(AppendCalculationRecord(m_logFile, 6, 7, 4));
    QCOMPARE(contents(m_logFile), record + record);
}

// A named pipe without a reader would block the opening; with one, the record would go to
// the reader; /dev/full fails each write. None of them is a log file.
void CalculationLogTest::specialFileIsLeftAloneAtOnce_data()
{
    QTest::addColumn<QString>("special");

    QTest::newRow("named pipe") << QStringLiteral("fifo");
    QTest::newRow("named pipe with a reader") << QStringLiteral("fifo with reader");
    QTest::newRow("link to /dev/full") << QStringLiteral("/dev/full");
}

void CalculationLogTest::specialFileIsLeftAloneAtOnce()
{
    QFETCH(QString, special);

    const QByteArray path = QFile::encodeName(m_logFile);
    int reader = -1;
    if (special.startsWith(QLatin1String("fifo"))) {
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
        if (special == QLatin1String("fifo with reader")) {
            reader = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(reader >= 0);
        }
    } else {
        QVERIFY(QFile::link(special, m_logFile));
    }
    const auto closeReader = qScopeGuard([reader] {
        if (reader >= 0)
            ::close(reader);
    });

    // Standard error goes to a file for the call; the alarm ends a test that would hang.
    QTemporaryFile errors;
    QVERIFY(errors.open());
    const int savedError = ::dup(STDERR_FILENO);
    ::dup2(errors.handle(), STDERR_FILENO);
    ::alarm(10);
    QElapsedTimer timer;
    timer.start();
    const bool appended = AppendCalculationRecord(m_logFile, 6, 7, 4);
    const bool removed = korvex::removeLogFile(m_logFile);
    const qint64 elapsed = timer.elapsed();
    ::alarm(0);
    ::dup2(savedError, STDERR_FILENO);
    ::close(savedError);

    QVERIFY(!appended);
    QVERIFY(!removed);
    QVERIFY2(elapsed < 500, qPrintable(QString::number(elapsed) + " ms"));
    QCOMPARE(errors.readAll(), QByteArray());
    struct stat status;
    QCOMPARE(::lstat(path.constData(), &status), 0);
    if (reader >= 0) {
        char byte;
        QVERIFY(::read(reader, &byte, 1) <= 0);
    }
}

#endif

QTEST_GUILESS_MAIN(CalculationLogTest)
#include "tst_calculationlog.moc"
