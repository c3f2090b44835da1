#pragma once

#include <cstdint>

namespace korvex {

// The three numbers typed into the main window, each kept up to date by its box.
struct StoredInputs
{
    std::int16_t Rows = 0;
    std::int16_t Columns = 0;
    std::int16_t ConnectionLength = 0;
};

} // namespace korvex
