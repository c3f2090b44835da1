#pragma once

class QWidget;

// Shows a window and waits until it can take input.
bool showAndActivate(QWidget *window);
