#include "form2.h"
#include "ui_form2.h"

#include "logfile.h"
#include "messagebox.h"
#include "pixelfont.h"
#include "windowstyle.h"

namespace korvex {

Form2::Form2(const QString &logFile, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      ui(std::make_unique<Ui::Form2>()),
      m_logFile(logFile)
{
    ui->setupUi(this);
    useClassicColours(*this);
    setFixedSize(size());
    ui->Label1->setFont(pixelFont(kLayoutFontFamily, 16));
    // View Output has never had anything to show.
    connect(ui->Command2, &QPushButton::clicked, this, &Form2::deleteLogFile);
    connect(ui->Command3, &QPushButton::clicked, this, &QWidget::hide);
    ui->Command1->setFocus();
}

Form2::~Form2() = default;

// Deleting is silent when it fails: a missing file, a read-only one, a pipe, no drive.
void Form2::deleteLogFile()
{
    if (removeLogFile(m_logFile))
        showMessage(tr("Output.txt Deleted"));
}

} // namespace korvex
