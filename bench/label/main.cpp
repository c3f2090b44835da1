// The least any window with text does: one label in a layout, in a window of the size of
// Korvex's main window. startup.sh measures Korvex against it as well as against the bare
// window, which loads no font at all.

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Label "));
    window.setFixedSize(462, 319);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Rows"), &window));
    window.show();
    return app.exec();
}
