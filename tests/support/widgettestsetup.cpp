#include "widgettestsetup.h"

#include <QTest>
#include <QWidget>

bool showAndActivate(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}
