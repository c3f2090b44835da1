#include "applicationsetup.h"

#include "applicationinfo.h"
#include "loadpicture.h"
#include "pixelfont.h"
#include "windowstyle.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QStyle>
#include <QToolTip>

namespace korvex {

void setUpApplication()
{
    // Only the name: a display name would be appended to every window title.
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationVersion(versionNumber());
    // Wayland shells match the windows to the menu entry and its icon by this id.
    QGuiApplication::setDesktopFileName(applicationId());
    // The same look on every platform, with buttons in the windows' own colour.
    QApplication::setStyle(new WindowStyle);
    // Whatever colours the desktop has, the windows have those of a classic light desktop
    // (useClassicColours), and so do tooltips.
    QApplication::setPalette(QApplication::style()->standardPalette());
    QToolTip::setPalette(QApplication::palette());
    QApplication::setWindowIcon(QIcon(loadPicture(QStringLiteral(":/korvex/korvex.png"), "png")));

    // The windows name the fonts they were laid out with. Where those are missing, fonts of
    // the same metrics stand in, so that no caption outgrows its box.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Calibri"), QStringLiteral("Carlito"));
    // Most controls use it, and setting it here keeps the platform's default font from
    // being loaded at all.
    QApplication::setFont(pixelFont(kLayoutFontFamily, 11));
}

} // namespace korvex
