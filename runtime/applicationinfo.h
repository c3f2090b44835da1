#pragma once

#include <QString>

namespace korvex {

// The application's title, "Korvex".
QString applicationTitle();

// The version as major.minor.revision, each number in plain decimal.
QString versionNumber();

} // namespace korvex
