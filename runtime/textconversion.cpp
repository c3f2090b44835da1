#include "textconversion.h"

#include <algorithm>

namespace korvex {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Any magnitude above this is out of range, whatever the sign; capping at it keeps a long
// run of digits from overflowing while it is read.
constexpr std::int32_t kMagnitudeCap = 32769;

} // namespace

std::optional<std::int16_t> textToInteger(std::string_view text)
{
    text = trimmed(text);

    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);

    if (whole.empty() && fraction.empty())
        return std::nullopt;
    if (!std::all_of(whole.begin(), whole.end(), isDigit)
        || !std::all_of(fraction.begin(), fraction.end(), isDigit))
        return std::nullopt;

    std::int32_t magnitude = 0;
    for (const char digit : whole)
        magnitude = std::min(magnitude * 10 + (digit - '0'), kMagnitudeCap);

    if (!fraction.empty()) {
        const char first = fraction.front();
        const bool beyondHalf =
            std::any_of(fraction.begin() + 1, fraction.end(), [](char c) { return c != '0'; });
        const bool roundUp = first > '5' || (first == '5' && (beyondHalf || magnitude % 2 == 1));
        if (roundUp)
            magnitude = std::min(magnitude + 1, kMagnitudeCap);
    }

    const std::int32_t value = negative ? -magnitude : magnitude;
    if (value < INT16_MIN || value > INT16_MAX)
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

} // namespace korvex
