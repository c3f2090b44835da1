#include "frmabout.h"
#include "ui_frmabout.h"

#include "applicationinfo.h"
#include "loadpicture.h"
#include "windowstyle.h"

#include <QCloseEvent>

namespace korvex {

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::frmAbout>())
{
    ui->setupUi(this);
    useClassicColours(*this);
    setFixedSize(size());
    ui->Picture1->setPixmap(loadPicture(QStringLiteral(":/korvex/korvex.png"), "png"));

    setWindowTitle(tr("About ") + applicationTitle());
    ui->lblVersion->setText(tr("Version ") + versionNumber());
    ui->lblTitle->setText(applicationTitle());

    connect(ui->cmdOK, &QPushButton::clicked, this, &QWidget::hide);
    ui->cmdOK->setFocus();
}

frmAbout::~frmAbout() = default;

// QDialog would close the window, which destroys its native window and so brings it back
// elsewhere, as a new window, on the next Info. Esc only hides it, as OK does.
void frmAbout::reject()
{
    hide();
}

void frmAbout::closeEvent(QCloseEvent *event)
{
    event->accept();
    deleteLater();
}

} // namespace korvex
