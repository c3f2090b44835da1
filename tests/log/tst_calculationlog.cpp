#include "calculationlog.h"
#include "logfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using korvex::AppendCalculationRecord;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int openFileDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size();
}

} // namespace

class CalculationLogTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void driveCIsTheHomeFolderWithoutDriveLetters();
    void writesTheRecordBytes_data();
    void writesTheRecordBytes();
    void appendsAfterWhatIsThere();
    void failsWithoutTouchingTheFile_data();
    void failsWithoutTouchingTheFile();
    void failedWriteLeavesNoFileOpen();

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

void CalculationLogTest::driveCIsTheHomeFolderWithoutDriveLetters()
{
#ifdef Q_OS_WIN
    QCOMPARE(korvex::logFilePath(korvex::driveCFolder()), QStringLiteral("C:/output.txt"));
#else
    QCOMPARE(korvex::logFilePath(korvex::driveCFolder()),
             QDir::home().filePath(QStringLiteral("output.txt")));
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
    QTest::newRow("file marked read-only") << QStringLiteral("read-only");
    QTest::newRow("folder where the file should be") << QStringLiteral("folder");
}

void CalculationLogTest::failsWithoutTouchingTheFile()
{
    QFETCH(QString, situation);

    QString path = m_logFile;
    QByteArray before;
    if (situation == QLatin1String("missing drive")) {
        path = korvex::logFilePath(m_driveC->filePath(QStringLiteral("no-such-drive")));
    } else if (situation == QLatin1String("read-only")) {
        QVERIFY(AppendCalculationRecord(path, 1, 2, 3));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        before = contents(path);
    } else {
        QVERIFY(QDir().mkdir(path));
    }

    QVERIFY(!AppendCalculationRecord(path, 6, 7, 4));
    QCOMPARE(contents(path), before);
}

void CalculationLogTest::failedWriteLeavesNoFileOpen()
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("needs /dev/full");
    QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_logFile));

    const int openBefore = openFileDescriptors();
    QVERIFY(!AppendCalculationRecord(m_logFile, 6, 7, 4));
    QCOMPARE(openFileDescriptors(), openBefore);
}

QTEST_GUILESS_MAIN(CalculationLogTest)
#include "tst_calculationlog.moc"
