#pragma once

#include <QFont>

namespace korvex {

// The windows were laid out at 96 dpi, so their font sizes are whole pixels; as points most
// of them would be fractions, which a stored form cannot hold.
inline QFont pixelFont(const QString &family, int pixelSize)
{
    QFont font(family);
    font.setPixelSize(pixelSize);
    return font;
}

inline const QString kLayoutFontFamily = QStringLiteral("MS Sans Serif");

} // namespace korvex
