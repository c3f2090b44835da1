#pragma once

#include <QString>

namespace korvex {

// The application's title, "Korvex".
QString applicationTitle();

// The version as major.minor.revision, each number in plain decimal.
QString versionNumber();

// The reverse-DNS id that names the desktop entry, without its ".desktop".
QString applicationId();

} // namespace korvex
