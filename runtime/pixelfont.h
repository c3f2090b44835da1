#pragma once

#include <QFont>

namespace korvex {

// The windows were laid out at 96 dpi, so their font sizes are whole pixels; as points most
// of them would be fractions, which a stored form cannot hold. A family that is not installed
// gives way to its stand-in (QFont::insertSubstitution) here: left to Qt, it would first have
// every installed font sorted by its likeness to the missing one.
QFont pixelFont(const QString &family, int pixelSize);

inline const QString kLayoutFontFamily = QStringLiteral("MS Sans Serif");

} // namespace korvex
