#pragma once

namespace korvex {

// Everything the application sets before its first window: its name and version, the style
// and icon that all windows share, and the fonts that stand in for missing ones.
void setUpApplication();

} // namespace korvex
