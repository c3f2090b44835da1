#include "pixelfont.h"

#include <QFontDatabase>
#include <QHash>

namespace korvex {

QFont pixelFont(const QString &family, int pixelSize)
{
    // Each look-up costs fontconfig a pass over its substitution rules, so a family is looked
    // up once.
    static QHash<QString, QString> shownFamilies;
    auto shown = shownFamilies.constFind(family);
    if (shown == shownFamilies.cend()) {
        shown = shownFamilies.insert(
            family, QFontDatabase::hasFamily(family) ? family : QFont::substitute(family));
    }
    QFont font(*shown);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace korvex
