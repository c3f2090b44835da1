#include "applicationsetup.h"
#include "form1.h"
#include "linecounts.h"
#include "logfile.h"
#include "messageboxcatcher.h"
#include "printedresults.h"
#include "textconversion.h"
#include "widgettestsetup.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using korvex::Form1;

// A user who presses anything in any order. A model of what the program should show and
// store is kept beside it and compared after every action. Set KORVEX_RANDOM_WALK_SEED to
// replay a walk.
class RandomWalkTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void staysConsistentThroughRandomUse();

private:
    void click(const char *windowName, const char *button);
    QString randomText();
    void calculate();
    void checkConsistency(int step);

    QRandomGenerator m_random;
    QTemporaryDir m_driveC;
    QString m_logFile;
    std::unique_ptr<Form1> m_form;
    MessageBoxCatcher m_messages;

    // The model.
    QStringList m_expectedPrinted;
    QByteArray m_expectedLog;
    QStringList m_expectedMessages;
    int m_loggedCalculations = 0;
};

void RandomWalkTest::initTestCase()
{
    korvex::setUpApplication();
    bool seeded = false;
    quint32 seed = qEnvironmentVariableIntValue("KORVEX_RANDOM_WALK_SEED", &seeded);
    if (!seeded)
        seed = QRandomGenerator::global()->generate();
    qInfo("random walk seed: %u (KORVEX_RANDOM_WALK_SEED=%u replays it)", seed, seed);
    m_random.seed(seed);

    m_logFile = korvex::logFilePath(m_driveC.path());
    m_form = std::make_unique<Form1>(m_driveC.path());
    QVERIFY(showAndActivate(m_form.get()));
}

void RandomWalkTest::click(const char *windowName, const char *button)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String(windowName)) {
            QTest::mouseClick(window->findChild<QPushButton *>(button), Qt::LeftButton);
            return;
        }
    }
    QFAIL(windowName);
}

// Mostly numbers a user would type, sometimes anything.
QString RandomWalkTest::randomText()
{
    if (m_random.bounded(3) != 0)
        return QString::number(m_random.bounded(-10, 130));
    static const QString alphabet = QStringLiteral("0123456789012345678 -+.e\tx");
    QString text;
    const int length = m_random.bounded(7);
    for (int i = 0; i < length; ++i)
        text.append(alphabet.at(m_random.bounded(alphabet.size())));
    return text;
}

void RandomWalkTest::calculate()
{
    const auto &inputs = m_form->storedInputs();
    m_expectedPrinted.clear();
    if (inputs.Rows == 0 || inputs.Columns == 0 || inputs.ConnectionLength == 0) {
        m_expectedMessages.append(QStringLiteral("You Must enter values!!"));
    } else if (const auto counts = korvex::ComputeLineCounts(inputs.Rows, inputs.Columns,
                                                             inputs.ConnectionLength)) {
        if (counts->Horizontal <= 0 || counts->Vertical <= 0 || counts->Diagonal <= 0
            || counts->Total <= 0)
            m_expectedMessages.append(QStringLiteral("Error, Unrealistic value"));
        m_expectedPrinted =
            resultLines(counts->Horizontal, counts->Vertical, int(counts->Diagonal), counts->Total);
        m_expectedLog += QStringLiteral("\"Columns:\",%1\r\n\"Rows:\",%2\r\n"
                                        "\"Connection Length:\",%3\r\n\r\n")
                             .arg(inputs.Rows)
                             .arg(inputs.Columns)
                             .arg(inputs.ConnectionLength)
                             .toLatin1();
        ++m_loggedCalculations;
    } else {
        m_expectedMessages.append(
            QStringLiteral("Overflow: the values are too large to calculate"));
    }
    click("Form1", "Command1");
}

void RandomWalkTest::checkConsistency(int step)
{
    const QString where = QStringLiteral("after step %1").arg(step);
    const auto &inputs = m_form->storedInputs();
    const std::pair<const char *, std::int16_t> boxes[] = {
        {"Text1", inputs.ConnectionLength}, {"Text2", inputs.Rows}, {"Text3", inputs.Columns}};
    for (const auto &[name, stored] : boxes) {
        const QString text = m_form->findChild<QLineEdit *>(name)->text();
        QVERIFY2(korvex::textToInteger(text.toStdString()).value_or(0) == stored,
                 qPrintable(where + QLatin1Char(' ') + QLatin1String(name)));
    }
    QVERIFY2(printedText(*m_form) == m_expectedPrinted, qPrintable(where));
    QVERIFY2(m_messages.texts() == m_expectedMessages, qPrintable(where));
    QFile log(m_logFile);
    const QByteArray logged = log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    QVERIFY2(logged == m_expectedLog, qPrintable(where));
}

void RandomWalkTest::staysConsistentThroughRandomUse()
{
    const char *const boxes[] = {"Text1", "Text2", "Text3"};
    constexpr int kSteps = 3000;
    for (int step = 1; step <= kSteps; ++step) {
        switch (m_random.bounded(13)) {
        case 0:
        case 1:
        case 9:
        case 10:
        case 11:
        case 12: {
            auto *box = m_form->findChild<QLineEdit *>(boxes[m_random.bounded(3)]);
            box->setFocus();
            box->selectAll();
            QTest::keyClick(box, Qt::Key_Delete);
            QTest::keyClicks(box, randomText());
            break;
        }
        case 2: {
            auto *box = m_form->findChild<QLineEdit *>(boxes[m_random.bounded(3)]);
            QTest::keyClick(box, m_random.bounded(2) ? Qt::Key_Backspace : Qt::Key_5);
            break;
        }
        case 3:
        case 4:
            calculate();
            break;
        case 5:
            m_expectedPrinted.clear();
            click("Form1", "Command2");
            break;
        case 6:
            click("Form1", m_random.bounded(2) ? "Command4" : "Command5");
            break;
        case 7:
            click("Form1", "Command5");
            if (!m_expectedLog.isEmpty())
                m_expectedMessages.append(QStringLiteral("Output.txt Deleted"));
            m_expectedLog.clear();
            click("Form2", "Command2");
            break;
        case 8:
            click("Form1", "Command4");
            click("frmAbout", "cmdOK");
            click("Form1", "Command5");
            click("Form2", "Command3");
            break;
        }
        checkConsistency(step);
        if (QTest::currentTestFailed())
            return;
    }
    qInfo("%d steps, %d calculations printed and logged, %lld messages", kSteps,
          m_loggedCalculations, qlonglong(m_expectedMessages.size()));
}

QTEST_MAIN(RandomWalkTest)
#include "tst_randomwalk.moc"
