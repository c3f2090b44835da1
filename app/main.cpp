// Korvex counts the straight runs of C cells that fit on a grid of M rows and N columns.
//
// Form1, the main window, keeps the three inputs, asks the line-count formulas (calc/) for
// the counts, prints them onto itself and appends the inputs to the calculation log (log/).
// It opens the output-file window Form2, which deletes that log, and the About window.

#include "applicationsetup.h"
#include "form1.h"
#include "logfile.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    korvex::setUpApplication();

    korvex::Form1 mainWindow(korvex::driveCFolder());
    mainWindow.show();
    return app.exec();
}
