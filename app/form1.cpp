#include "form1.h"
#include "ui_form1.h"

#include "applicationinfo.h"
#include "calculationlog.h"
#include "form2.h"
#include "frmabout.h"
#include "linecounts.h"
#include "loadpicture.h"
#include "logfile.h"
#include "messagebox.h"
#include "pixelfont.h"
#include "resultsnotice.h"
#include "textconversion.h"
#include "windowplacement.h"
#include "windowstyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>

namespace korvex {
namespace {

// The colour of results that cannot be real; the next Calculate prints in black again.
const QColor kUnrealisticColour(255, 0, 0);

constexpr int kPrintedLineCount = 5;

// A sign position (blank or minus), the digits, and a trailing blank.
QString printedNumber(double value)
{
    return QLatin1StringView(value < 0 ? "-" : " ") + QString::number(std::abs(value), 'f', 0)
           + QLatin1Char(' ');
}

bool isUnrealistic(const LineCounts &counts)
{
    return counts.Total <= 0 || counts.Horizontal <= 0 || counts.Vertical <= 0
           || counts.Diagonal <= 0;
}

} // namespace

Form1::Form1(const QString &driveFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::Form1>()),
      m_logFile(logFilePath(driveFolder)),
      m_surface(pixelFont(kLayoutFontFamily, 16), palette().color(QPalette::WindowText))
{
    ui->setupUi(this);
    useClassicColours(*this);
    setFixedSize(size());
    for (QLabel *label : {ui->Label2, ui->Label3, ui->Label4})
        label->setFont(pixelFont(kLayoutFontFamily, 13));
    ui->Label1->setFont(pixelFont(QStringLiteral("Calibri"), 27));
    ui->Label5->setText(tr("by the Korvex team v") + versionNumber());
    ui->Picture1->setPixmap(loadPicture(QStringLiteral(":/korvex/picture.png"), "png"));

    connect(ui->Text1, &QLineEdit::textChanged, this,
            [this] { storeInput(ui->Text1, m_inputs.ConnectionLength); });
    connect(ui->Text2, &QLineEdit::textChanged, this,
            [this] { storeInput(ui->Text2, m_inputs.Rows); });
    connect(ui->Text3, &QLineEdit::textChanged, this,
            [this] { storeInput(ui->Text3, m_inputs.Columns); });
    connect(ui->Command1, &QPushButton::clicked, this, &Form1::calculate);
    connect(ui->Command2, &QPushButton::clicked, this, &Form1::clear);
    connect(ui->Command3, &QPushButton::clicked, qApp, &QCoreApplication::quit);
    connect(ui->Command4, &QPushButton::clicked, this, &Form1::openAboutWindow);
    connect(ui->Command5, &QPushButton::clicked, this, &Form1::openOutputWindow);

    ui->Command1->setFocus();
}

Form1::~Form1()
{
    delete m_aboutWindow;
}

void Form1::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_surface.paint(painter, kPrintedLineCount, ui->Frame1->y());
}

// The other windows are not owned by this one, so closing it would leave them holding the
// program open.
void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    QCoreApplication::quit();
}

// A text that is no usable number stores 0, which Calculate then refuses as missing, and
// shows in red until it converts again.
void Form1::storeInput(QLineEdit *box, std::int16_t &input)
{
    const auto value = textToInteger(box->text().toStdString());
    input = value.value_or(0);

    QPalette palette = box->palette();
    palette.setColor(QPalette::Text,
                     value ? QApplication::palette(box).color(QPalette::Text) : Qt::red);
    box->setPalette(palette);
    const QString reason = value ? QString() : tr("Enter a whole number from -32768 to 32767");
    box->setToolTip(reason);
    // A screen reader cannot show the red, and Qt has no invalid-entry state to send it.
    box->setAccessibleDescription(value ? QString() : tr("Invalid entry. ") + reason);
}

void Form1::calculate()
{
    m_surface.clear();
    showPrintedResults();
    if (m_surface.colour() == kUnrealisticColour)
        m_surface.setColour(Qt::black);

    const auto [rows, columns, connectionLength] = m_inputs;
    if (rows == 0 || columns == 0 || connectionLength == 0) {
        showMessage(tr("You Must enter values!!"));
        return;
    }
    const auto counts = ComputeLineCounts(rows, columns, connectionLength);
    if (!counts) {
        showMessage(tr("Overflow: the values are too large to calculate"));
        return;
    }
    if (isUnrealistic(*counts)) {
        showMessage(tr("Error, Unrealistic value"));
        m_surface.setColour(kUnrealisticColour);
    }

    // A log that cannot be written is no reason to withhold the results.
    AppendCalculationRecord(m_logFile, rows, columns, connectionLength);

    m_surface.printLine(tr("Horizontal:     "), printedNumber(counts->Horizontal));
    m_surface.printLine(tr("Vertical:       "), printedNumber(counts->Vertical));
    m_surface.printLine(tr("Diagonal:       "), printedNumber(counts->Diagonal));
    m_surface.printLine();
    m_surface.printLine(tr("Total:          "), printedNumber(counts->Total));
    showPrintedResults();
}

void Form1::showPrintedResults()
{
    QStringList lines;
    for (const PrintSurface::Line &line : m_surface.lines())
        lines.append(line.label + line.number);
    ui->printedResults->showLines(lines);
    update();
}

void Form1::clear()
{
    m_surface.clear();
    showPrintedResults();
    const QString zero = QString::number(0);
    ui->Text1->setText(zero);
    ui->Text2->setText(zero);
    ui->Text3->setText(zero);
}

void Form1::openAboutWindow()
{
    if (!m_aboutWindow)
        m_aboutWindow = new frmAbout;
    m_aboutWindow->show();
    m_aboutWindow->raise();
    m_aboutWindow->activateWindow();
}

void Form1::openOutputWindow()
{
    if (!m_outputWindow)
        m_outputWindow = std::make_unique<Form2>(m_logFile);
    // It has no title bar to be moved by, so it must not open where it hides this window.
    if (!m_outputWindow->isVisible()) {
        const QRect buttonRow = ui->Frame1->geometry().translated(geometry().topLeft());
        m_outputWindow->move(placeBeside(visibleFrame(*this), buttonRow, m_outputWindow->size(),
                                         screen()->availableGeometry()));
    }
    m_outputWindow->show();
    m_outputWindow->raise();
    m_outputWindow->activateWindow();
}

} // namespace korvex
