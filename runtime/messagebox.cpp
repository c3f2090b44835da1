#include "messagebox.h"

#include "announcement.h"
#include "applicationinfo.h"
#include "windowstyle.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace korvex {

void showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    useClassicColours(box);
    // Some desktops' themes put a check mark on OK.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.setWindowModality(Qt::ApplicationModal);
    // Its size is fixed; without the hint, Windows would give it a frame to resize it by.
    box.setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    if (kAnnouncesMessages) {
        box.show();
        announce(&box, box.text(), Politeness::Assertive);
    }
    box.exec();
}

} // namespace korvex
