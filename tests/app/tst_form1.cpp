#include "announcement.h"
#include "applicationsetup.h"
#include "form1.h"
#include "logfile.h"
#include "messageboxcatcher.h"
#include "printedresults.h"
#include "widgettestsetup.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using korvex::Form1;

namespace {

const QString kMissing = QStringLiteral("You Must enter values!!");
const QString kUnrealistic = QStringLiteral("Error, Unrealistic value");
const QString kOverflow = QStringLiteral("Overflow: the values are too large to calculate");

// How many pixels of the results area, left of the labels and above the button row, are
// drawn in colour.
int pixelsInColour(Form1 &form, const QColor &colour)
{
    const QImage image = form.grab(QRect(0, 0, 232, 96)).toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}

// What a screen reader is handed: every announcement, and the description of a notification
// each time it appears.
QStringList &heard()
{
    static QStringList texts;
    return texts;
}

void hearAnnouncement(QAccessibleEvent *event)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    if (event->type() == QAccessible::Announcement)
        heard().append(static_cast<QAccessibleAnnouncementEvent *>(event)->message());
#else
    Q_UNUSED(event);
#endif
}

// Qt before 6.8 hands an update handler nothing while no screen reader runs, so a notification
// is heard from the widget itself.
struct NotificationListener : QObject
{
    explicit NotificationListener(QWidget *widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        QAccessibleInterface *element = QAccessible::queryAccessibleInterface(object);
        if (event->type() == QEvent::Show && element->role() == QAccessible::Notification)
            heard().append(element->text(QAccessible::Description));
        return false;
    }
};

} // namespace

class Form1Test : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void calculatePrintsWarnsAndLogs_data();
    void calculatePrintsWarnsAndLogs();
    void everyKeystrokeStoresTheBoxValue();
    void textThatIsNoNumberIsShownAndStoresZero();
    void aLongPastedTextStaysWhole_data();
    void aLongPastedTextStaysWhole();
    void unrealisticResultsStayRedUntilTheNextCalculate();
    void resultsAreDrawnAboveTheButtonRowAndSurviveRepaints();
    void tabVisitsTheControlsInTheirOrder();
    void enterPressesOnlyTheFocusedButton();
    void exitEndsTheProgram();
    void closingTheWindowEndsTheProgram();
    void infoAndOutputOpenOneWindowEach();
    void everyFocusableControlIsNamed();
    void resultsAreAnnouncedOnceAndNeverStale_data();
    void resultsAreAnnouncedOnceAndNeverStale();

private:
    QLineEdit *box(const char *name) { return m_form->findChild<QLineEdit *>(name); }
    QPushButton *button(const char *name) { return m_form->findChild<QPushButton *>(name); }
    void type(const char *boxName, const QString &text);
    void enter(const QString &rows, const QString &columns, const QString &connectionLength);
    void click(const char *buttonName) { QTest::mouseClick(button(buttonName), Qt::LeftButton); }

    std::unique_ptr<QTemporaryDir> m_driveC;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<MessageBoxCatcher> m_messages;
};

void Form1Test::initTestCase()
{
    korvex::setUpApplication();
}

void Form1Test::init()
{
    m_driveC = std::make_unique<QTemporaryDir>();
    m_form = std::make_unique<Form1>(m_driveC->path());
    m_messages = std::make_unique<MessageBoxCatcher>();
    QVERIFY(showAndActivate(m_form.get()));
}

void Form1Test::cleanup()
{
    m_form.reset();
    m_messages.reset();
}

// Replaces the box's whole text by typing over it.
void Form1Test::type(const char *boxName, const QString &text)
{
    QLineEdit *edit = box(boxName);
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Delete);
    else
        QTest::keyClicks(edit, text);
}

// Types into the three boxes from top to bottom.
void Form1Test::enter(const QString &rows, const QString &columns, const QString &connectionLength)
{
    type("Text2", rows);
    type("Text3", columns);
    type("Text1", connectionLength);
}

void Form1Test::calculatePrintsWarnsAndLogs_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("connectionLength");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("printed");
    QTest::addColumn<QColor>("colour");

    const QStringList none;
    const QColor black(Qt::black);
    const QColor red(Qt::red);
    QTest::newRow("6x7 C4") << "6"
                            << "7"
                            << "4" << none << resultLines(24, 21, 12, 69) << black;
    QTest::newRow("6x7 C-1") << "6"
                             << "7"
                             << "-1" << none << resultLines(54, 56, 72, 254) << black;
    QTest::newRow("10x2 C4") << "10"
                             << "2"
                             << "4" << QStringList{kUnrealistic} << resultLines(-10, 14, -7, -10)
                             << red;
    QTest::newRow("5x5 C6") << "5"
                            << "5"
                            << "6" << QStringList{kUnrealistic} << resultLines(0, 0, 0, 0) << red;
    QTest::newRow("90x90 C4") << "90"
                              << "90"
                              << "4" << none << resultLines(7830, 7830, 7569, 30798) << black;
    QTest::newRow("91x91 C4") << "91"
                              << "91"
                              << "4" << QStringList{kOverflow} << none << black;
    QTest::newRow("1x1 C128") << "1"
                              << "1"
                              << "128" << QStringList{kOverflow} << none << black;
    QTest::newRow("rows 0") << "0"
                            << "7"
                            << "4" << QStringList{kMissing} << none << black;
    QTest::newRow("connection length 0") << "6"
                                         << "7"
                                         << "0" << QStringList{kMissing} << none << black;
    QTest::newRow("columns empty") << "6"
                                   << ""
                                   << "4" << QStringList{kMissing} << none << black;
    QTest::newRow("columns 12abc") << "6"
                                   << "12abc"
                                   << "4" << QStringList{kMissing} << none << black;
    QTest::newRow("rows 40000") << "40000"
                                << "7"
                                << "4" << QStringList{kMissing} << none << black;
    QTest::newRow("rows 6.5 rounds to 6") << "6.5"
                                          << " 7 "
                                          << "+4" << none << resultLines(24, 21, 12, 69) << black;
}

void Form1Test::calculatePrintsWarnsAndLogs()
{
    QFETCH(QString, rows);
    QFETCH(QString, columns);
    QFETCH(QString, connectionLength);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, printed);
    QFETCH(QColor, colour);

    enter(rows, columns, connectionLength);
    // While a message is up, nothing has been printed yet.
    QStringList printedWhileShown;
    m_messages->whileShown = [&] { printedWhileShown = printedText(*m_form); };
    click("Command1");

    QCOMPARE(m_messages->texts(), messages);
    for (const auto &message : std::as_const(m_messages->messages)) {
        QCOMPARE(message.title, QStringLiteral("Korvex"));
        QCOMPARE(message.icon, QMessageBox::NoIcon);
        QCOMPARE(message.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(message.applicationModal);
    }
    QVERIFY(printedWhileShown.isEmpty());
    QCOMPARE(printedText(*m_form), printed);
    QCOMPARE(m_form->printSurface().colour(), colour);

    const QString logFile = korvex::logFilePath(m_driveC->path());
    QCOMPARE(QFileInfo(logFile).exists(), !printed.isEmpty());
}

void Form1Test::everyKeystrokeStoresTheBoxValue()
{
    const auto &inputs = m_form->storedInputs();
    QCOMPARE(inputs.Rows, 0);
    QCOMPARE(box("Text2")->text(), QStringLiteral("0"));

    QLineEdit *rows = box("Text2");
    rows->setFocus();
    rows->selectAll();
    QTest::keyClick(rows, Qt::Key_1);
    QCOMPARE(inputs.Rows, 1);
    QTest::keyClick(rows, Qt::Key_2);
    QCOMPARE(inputs.Rows, 12);

    type("Text3", QStringLiteral("5"));
    QCOMPARE(inputs.Columns, 5);
    type("Text1", QStringLiteral("-3"));
    QCOMPARE(inputs.ConnectionLength, -3);

    click("Command2");
    QCOMPARE(inputs.Rows, 0);
    QCOMPARE(inputs.Columns, 0);
    QCOMPARE(inputs.ConnectionLength, 0);
    for (const char *name : {"Text1", "Text2", "Text3"})
        QCOMPARE(box(name)->text(), QStringLiteral("0"));
}

void Form1Test::textThatIsNoNumberIsShownAndStoresZero()
{
    QLineEdit *columns = box("Text3");
    const QColor normalText = columns->palette().color(QPalette::Text);
    QVERIFY(columns->toolTip().isEmpty());

    type("Text3", QStringLiteral("12abc"));
    QCOMPARE(m_form->storedInputs().Columns, 0);
    QCOMPARE(columns->palette().color(QPalette::Text), QColor(Qt::red));
    QCOMPARE(columns->toolTip(), QStringLiteral("Enter a whole number from -32768 to 32767"));
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(columns);
    QCOMPARE(accessible->text(QAccessible::Description),
             QStringLiteral("Invalid entry. Enter a whole number from -32768 to 32767"));

    for (int i = 0; i < 3; ++i)
        QTest::keyClick(columns, Qt::Key_Backspace);
    QCOMPARE(columns->text(), QStringLiteral("12"));
    QCOMPARE(m_form->storedInputs().Columns, 12);
    QCOMPARE(accessible->text(QAccessible::Description), QString());
    QCOMPARE(columns->palette().color(QPalette::Text), normalText);
    QVERIFY(columns->toolTip().isEmpty());
    QVERIFY(accessible->text(QAccessible::Description).isEmpty());

    QTest::keyClick(columns, Qt::Key_Backspace);
    QTest::keyClick(columns, Qt::Key_Backspace);
    QCOMPARE(m_form->storedInputs().Columns, 0);
    QCOMPARE(columns->palette().color(QPalette::Text), QColor(Qt::red));
    QVERIFY(m_messages->messages.isEmpty());
}

void Form1Test::aLongPastedTextStaysWhole_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("rows box") << "Form1"
                              << "Text2" << QStringList{kMissing};
    QTest::newRow("columns box") << "Form1"
                                 << "Text3" << QStringList{kMissing};
    QTest::newRow("connection length box") << "Form1"
                                           << "Text1" << QStringList{kMissing};
    QTest::newRow("output-file window's box") << "Form2"
                                              << "Text1" << QStringList();
}

void Form1Test::aLongPastedTextStaysWhole()
{
    QFETCH(QString, window);
    QFETCH(QString, boxName);
    QFETCH(QStringList, messages);

    enter(QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("4"));
    click("Command5");
    QLineEdit *edit = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == window)
            edit = top->findChild<QLineEdit *>(boxName);
    }
    QVERIFY(edit);

    const QString pasted(100'000, QLatin1Char('7'));
    QApplication::clipboard()->setText(pasted);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text().size(), pasted.size());

    click("Command1");
    QCOMPARE(m_messages->texts(), messages);
}

void Form1Test::unrealisticResultsStayRedUntilTheNextCalculate()
{
    const QColor initial = m_form->printSurface().colour();
    QVERIFY(initial != QColor(Qt::red));

    enter(QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("4"));
    click("Command1");
    QCOMPARE(m_form->printSurface().colour(), QColor(Qt::red));

    click("Command2");
    QVERIFY(printedText(*m_form).isEmpty());
    QCOMPARE(m_form->printSurface().colour(), QColor(Qt::red));

    // The zero test comes after the colour is reset.
    click("Command1");
    QCOMPARE(m_messages->texts(), QStringList({kUnrealistic, kMissing}));
    QCOMPARE(m_form->printSurface().colour(), QColor(Qt::black));
}

void Form1Test::resultsAreDrawnAboveTheButtonRowAndSurviveRepaints()
{
    enter(QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("4"));
    click("Command1");
    QCOMPARE(printedText(*m_form).size(), 5);

    // The four lines of text leave 223 pixels of pure red with Linux's fonts and 178 with Qt's own
    // font rendering on Windows, which smooths more of the edges.
    const int redPixels = pixelsInColour(*m_form, Qt::red);
    QVERIFY2(redPixels > 150, qPrintable(QString::number(redPixels) + " red pixels"));

    // The lines stand 18 pixels apart, as the 16-pixel font's design spaces them whatever Qt
    // rounds its metrics to, and the total follows an empty line. A line's top is its first
    // row with a pixel at least half covered in red.
    const QImage results = m_form->grab(QRect(0, 0, 232, 96)).toImage();
    QList<int> lineTops;
    bool inLine = false;
    for (int y = 0; y < results.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < results.width(); ++x)
            ink |= results.pixelColor(x, y).green() < 64;
        if (ink && !inLine)
            lineTops << y;
        inLine = ink;
    }
    QCOMPARE(lineTops.size(), 4);
    const int firstTop = lineTops.first();
    for (int &top : lineTops)
        top -= firstTop;
    QCOMPARE(lineTops, QList<int>({0, 18, 36, 72}));

    // The total line is the last one; it must be drawn in full above the button row.
    const QImage belowTheFrame =
        m_form->grab(QRect(0, 96, 232, 319 - 96)).toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < belowTheFrame.height(); ++y)
        for (int x = 0; x < belowTheFrame.width(); ++x)
            QVERIFY(belowTheFrame.pixelColor(x, y) != QColor(Qt::red));
    const QImage bottomRows = m_form->grab(QRect(0, 80, 232, 16)).toImage();
    bool totalLineDrawn = false;
    for (int y = 0; y < bottomRows.height(); ++y)
        for (int x = 0; x < bottomRows.width(); ++x)
            totalLineDrawn |= bottomRows.pixelColor(x, y) == QColor(Qt::red);
    QVERIFY(totalLineDrawn);

    m_form->repaint();
    QCOMPARE(pixelsInColour(*m_form, Qt::red), redPixels);

    click("Command2");
    QCOMPARE(pixelsInColour(*m_form, Qt::red), 0);
}

void Form1Test::tabVisitsTheControlsInTheirOrder()
{
    QCOMPARE(QApplication::focusWidget(), button("Command1"));
    const QStringList expected = {"Picture1", "Text1",    "Text2",    "Text3",   "Command2",
                                  "Command3", "Command4", "Command5", "Command1"};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(QApplication::focusWidget()->objectName());
    }
    QCOMPARE(visited, expected);
}

void Form1Test::enterPressesOnlyTheFocusedButton()
{
    enter(QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("4"));
    QTest::keyClick(box("Text1"), Qt::Key_Return);
    QTest::keyClick(box("Text1"), Qt::Key_Escape);
    QVERIFY(printedText(*m_form).isEmpty());

    button("Command1")->setFocus();
    QTest::keyClick(button("Command1"), Qt::Key_Return);
    QCOMPARE(printedText(*m_form), resultLines(24, 21, 12, 69));
    QTest::keyClick(button("Command1"), Qt::Key_Escape);
    QCOMPARE(printedText(*m_form), resultLines(24, 21, 12, 69));
}

void Form1Test::exitEndsTheProgram()
{
    QTimer::singleShot(0, m_form.get(), [this] { click("Command3"); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

void Form1Test::closingTheWindowEndsTheProgram()
{
    QTimer::singleShot(0, m_form.get(), [this] { m_form->close(); });
    QTimer::singleShot(5000, qApp, [] { QCoreApplication::exit(1); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

void Form1Test::infoAndOutputOpenOneWindowEach()
{
    const auto windowsNamed = [](const QString &name) {
        int count = 0;
        for (QWidget *window : QApplication::topLevelWidgets())
            count += window->objectName() == name && window->isVisible();
        return count;
    };
    click("Command4");
    click("Command4");
    click("Command5");
    click("Command5");
    QCOMPARE(windowsNamed(QStringLiteral("frmAbout")), 1);
    QCOMPARE(windowsNamed(QStringLiteral("Form2")), 1);
    // Neither window belongs to the main window.
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY(window->parentWidget() == nullptr);
}

void Form1Test::everyFocusableControlIsNamed()
{
    const auto name = [](QObject *object) {
        return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    };
    QCOMPARE(name(box("Text2")), QStringLiteral("Rows M"));
    QCOMPARE(name(box("Text3")), QStringLiteral("Columns N"));
    QCOMPARE(name(box("Text1")), QStringLiteral("Connection length C"));

    click("Command5");
    click("Command4");
    QStringList unnamed;
    int focusable = 0;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (!control->isVisible() || !(control->focusPolicy() & Qt::TabFocus))
                continue;
            ++focusable;
            if (name(control).trimmed().isEmpty())
                unnamed.append(window->objectName() + QLatin1Char('.') + control->objectName());
        }
    }
    // Nine in the main window, four in the output-file window and two in the About window.
    QCOMPARE(focusable, 9 + 4 + 2);
    QCOMPARE(unnamed, QStringList());
}

void Form1Test::resultsAreAnnouncedOnceAndNeverStale_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("connectionLength");
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("results");

    const QStringList none;
    QTest::newRow("6x7 C4 Calculate") << "6"
                                      << "7"
                                      << "4"
                                      << "Command1" << none << resultLines(24, 21, 12, 69);
    QTest::newRow("5x5 C6 Calculate")
        << "5"
        << "5"
        << "6"
        << "Command1" << QStringList{kUnrealistic} << resultLines(0, 0, 0, 0);
    QTest::newRow("abc x7 C4 Calculate") << "abc"
                                         << "7"
                                         << "4"
                                         << "Command1" << QStringList{kMissing} << none;
    QTest::newRow("91x91 C4 Calculate") << "91"
                                        << "91"
                                        << "4"
                                        << "Command1" << QStringList{kOverflow} << none;
    QTest::newRow("6x7 C4 Clear") << "6"
                                  << "7"
                                  << "4"
                                  << "Command2" << none << none;
}

// After earlier results, a screen reader hears the new ones once, after any message, and
// never the old ones; a hidden notice cannot be read out stale.
void Form1Test::resultsAreAnnouncedOnceAndNeverStale()
{
    QFETCH(QString, rows);
    QFETCH(QString, columns);
    QFETCH(QString, connectionLength);
    QFETCH(QString, buttonName);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, results);

    auto *notice = m_form->findChild<QWidget *>(QStringLiteral("printedResults"));
    QVERIFY(notice);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(notice);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("Results"));
    QVERIFY(!notice->isVisible());

    enter(QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("4"));
    click("Command1");
    QVERIFY(notice->isVisible());

    enter(rows, columns, connectionLength);
    heard().clear();
    NotificationListener notifications(notice);
    QAccessible::installUpdateHandler(hearAnnouncement);
    click(buttonName.toLatin1().constData());
    QAccessible::installUpdateHandler(nullptr);

    QCOMPARE(m_messages->texts(), messages);
    QStringList expected = korvex::kAnnouncesMessages ? messages : QStringList();
    if (!results.isEmpty())
        expected.append(results.join(QLatin1Char('\n')));
    QCOMPARE(heard(), expected);
    QCOMPARE(notice->isVisible(), !results.isEmpty());
    QCOMPARE(accessible->text(QAccessible::Description), results.join(QLatin1Char('\n')));
}

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
