#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace korvex {

// Converts the whole text of an input box to a 16-bit signed integer. Accepted: blanks
// (spaces, tabs) around the number, one optional leading sign, decimal digits and an
// optional fractional part, which is rounded to the nearest integer with ties going to
// the even neighbour. Anything else, and any value outside -32768..32767 after rounding,
// gives no value.
std::optional<std::int16_t> textToInteger(std::string_view text);

} // namespace korvex
