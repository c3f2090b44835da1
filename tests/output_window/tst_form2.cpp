#include "applicationsetup.h"
#include "form1.h"
#include "logfile.h"
#include "messageboxcatcher.h"
#include "widgettestsetup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QScreen>
#include <QStyle>
#include <QTest>

#ifdef Q_OS_WIN
#include <QScopeGuard>

#include <qt_windows.h>
#else
#include <sys/stat.h>
#endif

using korvex::Form1;

class Form2Test : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void opensAsABorderlessWindowOfItsOwn();
    void opensBesideTheMainWindowClearOfItsButtons_data();
    void opensBesideTheMainWindowClearOfItsButtons();
    void deleteRemovesTheLogOnceAndTheNextCalculateMakesItAnew();
    void failedDeletionShowsNothingAndChangesNothing_data();
    void failedDeletionShowsNothingAndChangesNothing();
    void viewOutputDoesNothing();
    void returnHidesAndOutputBringsBackTheSameWindow();

private:
    QWidget *openOutputWindow();
    void calculate(const QString &rows, const QString &columns, const QString &connectionLength);
    template <typename T> T *in(QWidget *window, const char *name)
    {
        return window->findChild<T *>(name);
    }

    std::unique_ptr<QTemporaryDir> m_driveC;
    QString m_logFile;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<MessageBoxCatcher> m_messages;
};

void Form2Test::initTestCase()
{
    korvex::setUpApplication();
}

void Form2Test::init()
{
    m_driveC = std::make_unique<QTemporaryDir>();
    m_logFile = korvex::logFilePath(m_driveC->path());
    m_form = std::make_unique<Form1>(m_driveC->path());
    m_messages = std::make_unique<MessageBoxCatcher>();
    QVERIFY(showAndActivate(m_form.get()));
}

void Form2Test::cleanup()
{
    m_form.reset();
    m_messages.reset();
}

QWidget *Form2Test::openOutputWindow()
{
    QTest::mouseClick(in<QPushButton>(m_form.get(), "Command5"), Qt::LeftButton);
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("Form2"))
            return window;
    }
    return nullptr;
}

void Form2Test::calculate(const QString &rows, const QString &columns,
                          const QString &connectionLength)
{
    in<QLineEdit>(m_form.get(), "Text2")->setText(rows);
    in<QLineEdit>(m_form.get(), "Text3")->setText(columns);
    in<QLineEdit>(m_form.get(), "Text1")->setText(connectionLength);
    QTest::mouseClick(in<QPushButton>(m_form.get(), "Command1"), Qt::LeftButton);
}

void Form2Test::opensAsABorderlessWindowOfItsOwn()
{
    QWidget *window = openOutputWindow();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window->parentWidget(), nullptr);
    QCOMPARE(window->size(), QSize(312, 399));
    QCOMPARE(in<QLabel>(window, "Label1")->text(),
             QStringLiteral("A File Outupt.txt has been made on your C drive, this holds "
                            "information about all previous calculations done. This File will "
                            "be remade each time you press Calculate. If you do not have a drive "
                            "with letter C, this step won't be carried out"));
    QCOMPARE(in<QPushButton>(window, "Command1")->text(), QStringLiteral("View Output "));

    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget(), in<QPushButton>(window, "Command1"));
    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, QStringList({"Command2", "Command3", "Text1", "Command1"}));
}

void Form2Test::opensBesideTheMainWindowClearOfItsButtons_data()
{
    QTest::addColumn<Qt::Alignment>("mainWindowAt");
    QTest::addColumn<int>("side"); // 1 right of it, -1 left of it, 0 wherever is clear

    QTest::newRow("main window at the left") << Qt::Alignment(Qt::AlignLeft) << 1;
    QTest::newRow("main window at the right") << Qt::Alignment(Qt::AlignRight) << -1;
    QTest::newRow("main window in the middle") << Qt::Alignment(Qt::AlignHCenter) << 0;
}

void Form2Test::opensBesideTheMainWindowClearOfItsButtons()
{
    QFETCH(Qt::Alignment, mainWindowAt);
    QFETCH(int, side);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QRect frame = m_form->frameGeometry();
    QVERIFY(screen.width() < frame.width() + 2 * 312);
    m_form->move(QStyle::alignedRect(Qt::LeftToRight, mainWindowAt | Qt::AlignTop, frame.size(),
                                     screen.adjusted(0, 40, 0, 0))
                     .topLeft());
    frame = m_form->frameGeometry();

    QWidget *window = openOutputWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    if (side > 0)
        QCOMPARE(window->pos(), QPoint(frame.right() + 1, frame.top()));
    else if (side < 0)
        QCOMPARE(window->pos(), QPoint(frame.left() - 312, frame.top()));
    QVERIFY(screen.contains(window->geometry()));
    for (const char *name : {"Command1", "Command2", "Command3", "Command4", "Command5"}) {
        const QPushButton *button = in<QPushButton>(m_form.get(), name);
        const QRect onScreen(m_form->geometry().topLeft() + button->mapTo(m_form.get(), QPoint()),
                             button->size());
        QVERIFY2(!window->geometry().intersects(onScreen), name);
    }
}

void Form2Test::deleteRemovesTheLogOnceAndTheNextCalculateMakesItAnew()
{
    calculate("6", "7", "4");
    calculate("5", "5", "6");
    QVERIFY(QFile::exists(m_logFile));
    m_messages->messages.clear();

    QWidget *window = openOutputWindow();
    QPushButton *deleteOutput = in<QPushButton>(window, "Command2");
    QTest::mouseClick(deleteOutput, Qt::LeftButton);
    QVERIFY(!QFile::exists(m_logFile));
    QCOMPARE(m_messages->texts(), QStringList{"Output.txt Deleted"});
    QCOMPARE(m_messages->messages.first().title, QStringLiteral("Korvex"));
    QCOMPARE(m_messages->messages.first().icon, QMessageBox::NoIcon);

    QTest::mouseClick(deleteOutput, Qt::LeftButton);
    QCOMPARE(m_messages->messages.size(), 1);

    calculate("6", "7", "4");
    QFile log(m_logFile);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(),
             QByteArray("\"Columns:\",6\r\n\"Rows:\",7\r\n\"Connection Length:\",4\r\n\r\n"));
}

// Each case also holds when the tests run as root.
void Form2Test::failedDeletionShowsNothingAndChangesNothing_data()
{
    QTest::addColumn<QString>("situation");

    QTest::newRow("no log file") << QStringLiteral("none");
    QTest::newRow("log file marked read-only") << QStringLiteral("read-only");
    QTest::newRow("folder where the log should be") << QStringLiteral("folder");
#ifdef Q_OS_WIN
    QTest::newRow("log file held open by another program") << QStringLiteral("held");
#else
    QTest::newRow("named pipe where the log should be") << QStringLiteral("fifo");
#endif
}

void Form2Test::failedDeletionShowsNothingAndChangesNothing()
{
    QFETCH(QString, situation);

    if (situation == QLatin1String("read-only")) {
        calculate("6", "7", "4");
        QVERIFY(QFile::setPermissions(m_logFile, QFileDevice::ReadOwner));
    } else if (situation == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(m_logFile));
    }
#ifdef Q_OS_WIN
    HANDLE holder = INVALID_HANDLE_VALUE;
    const auto release = qScopeGuard([&holder] {
        if (holder != INVALID_HANDLE_VALUE)
            ::CloseHandle(holder);
    });
    if (situation == QLatin1String("held")) {
        calculate("6", "7", "4");
        holder =
            ::CreateFileW(reinterpret_cast<const wchar_t *>(m_logFile.utf16()), GENERIC_READ,
                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        QVERIFY(holder != INVALID_HANDLE_VALUE);
    }
#else
    if (situation == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(m_logFile).constData(), 0644), 0);
#endif
    const bool existedBefore = QFileInfo::exists(m_logFile);

    QTest::mouseClick(in<QPushButton>(openOutputWindow(), "Command2"), Qt::LeftButton);
    QVERIFY(m_messages->messages.isEmpty());
    QCOMPARE(QFileInfo::exists(m_logFile), existedBefore);
}

void Form2Test::viewOutputDoesNothing()
{
    calculate("6", "7", "4");
    QWidget *window = openOutputWindow();
    QLineEdit *text = in<QLineEdit>(window, "Text1");
    QTest::keyClicks(text, QStringLiteral("my notes"));

    QTest::mouseClick(in<QPushButton>(window, "Command1"), Qt::LeftButton);
    QVERIFY(m_messages->messages.isEmpty());
    QVERIFY(window->isVisible());
    QCOMPARE(text->text(), QStringLiteral("my notes"));
    QCOMPARE(QFileInfo(m_logFile).size(), 51);
}

void Form2Test::returnHidesAndOutputBringsBackTheSameWindow()
{
    QWidget *window = openOutputWindow();
    QTest::keyClicks(in<QLineEdit>(window, "Text1"), QStringLiteral("kept"));

    QTest::mouseClick(in<QPushButton>(window, "Command3"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QVERIFY(m_form->isVisible());

    QCOMPARE(openOutputWindow(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(in<QLineEdit>(window, "Text1")->text(), QStringLiteral("kept"));
}

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
