// The least a Qt Widgets program does to show a window: one empty window of the size of
// Korvex's main window. startup.sh measures Korvex against it.

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare "));
    window.setFixedSize(462, 319);
    window.show();
    return app.exec();
}
