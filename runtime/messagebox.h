#pragma once

class QString;

namespace korvex {

// The program's message: one line of text, an OK button, no icon, the application's title
// as caption, in the system's own colours. Modal to the application; returns once the user
// has closed it.
void showMessage(const QString &text);

} // namespace korvex
