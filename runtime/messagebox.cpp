#include "messagebox.h"

#include "applicationinfo.h"

#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace korvex {

void showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    // Some desktops' themes put a check mark on OK.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace korvex
