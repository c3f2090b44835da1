#pragma once

#include <QtGlobal>

class QObject;
class QString;

namespace korvex {

// Qt 6.8 and later can hand a screen reader a message to speak: on Windows as a UI Automation
// notification, on Linux as an AT-SPI announcement. Where it cannot, the results reach a
// screen reader as a notification element that appears (ResultsNotice).
inline constexpr bool kAnnouncesResults = QT_VERSION >= QT_VERSION_CHECK(6, 8, 0);

// Orca reads a message box as it opens, since Qt marks it as an alert; Qt's Windows plugin
// only plays the alert's sound, so a Windows screen reader would hear nothing but the OK
// button that takes the focus.
#ifdef Q_OS_WIN
inline constexpr bool kAnnouncesMessages = kAnnouncesResults;
#else
inline constexpr bool kAnnouncesMessages = false;
#endif

enum class Politeness { Polite, Assertive };

// Hands the message to the screen readers as coming from the source's accessible element.
// Does nothing where Qt cannot announce.
void announce(QObject *source, const QString &message, Politeness politeness);

} // namespace korvex
