#include "messagebox.h"

#include "applicationinfo.h"

#include <QMessageBox>

namespace korvex {

void showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace korvex
