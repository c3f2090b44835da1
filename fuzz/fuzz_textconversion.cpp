// Feeds arbitrary bytes to textToInteger and compares every answer with a reference
// conversion built from different parts: a regular expression for what is a number, the
// standard library's decimal parsing and its round-half-to-even.

#include "textconversion.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

namespace {

// The reference check runs on texts up to this length; longer ones are only converted,
// for the sanitizers to watch. std::regex recurses per character, so it must stay short.
constexpr std::size_t kReferenceLength = 64;

// A double holds every decimal of up to 15 significant digits closely enough that its
// nearest integer, ties to even, is the decimal's own.
constexpr std::size_t kExactDoubleDigits = 15;

std::optional<std::int16_t> inRange(double rounded)
{
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<std::int16_t>(rounded);
}

// Rounds the unsigned decimal digits[.digits] in body with the standard library.
double roundThroughDouble(const std::string &body)
{
    double value = 0.0;
    const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
    // Only when the regular expression let through something that is no decimal.
    if (error != std::errc{} || end != body.data() + body.size())
        std::abort();
    return std::nearbyint(value); // the default rounding mode sends ties to even
}

// The same for decimals too long for a double: the whole part is read as a 64-bit
// integer, and the fraction, less its trailing zeros, compares with "5" as a string
// exactly as its value compares with one half.
std::optional<double> roundExactly(const std::string &whole, std::string fraction)
{
    long long magnitude = 0;
    if (!whole.empty()) {
        const auto [end, error] =
            std::from_chars(whole.data(), whole.data() + whole.size(), magnitude);
        if (error == std::errc::result_out_of_range)
            return std::nullopt;
        if (error != std::errc{} || end != whole.data() + whole.size())
            std::abort();
    }
    fraction.erase(fraction.find_last_not_of('0') + 1);
    const int half = fraction.compare("5");
    if (half > 0 || (half == 0 && magnitude % 2 == 1))
        ++magnitude;
    return static_cast<double>(magnitude);
}

std::optional<std::int16_t> reference(const std::string &text)
{
    static const std::regex number(R"([ \t]*([+-]?)([0-9]*)(?:\.([0-9]*))?[ \t]*)");
    std::smatch match;
    if (!std::regex_match(text, match, number))
        return std::nullopt;
    const bool negative = match[1] == "-";
    const std::string whole = match[2];
    const std::string fraction = match[3];
    if (whole.empty() && fraction.empty())
        return std::nullopt;

    const std::string digits = whole + fraction;
    const auto firstSignificant = digits.find_first_not_of('0');
    const std::size_t significant =
        firstSignificant == std::string::npos ? 0 : digits.size() - firstSignificant;

    std::optional<double> rounded;
    if (significant <= kExactDoubleDigits)
        rounded = roundThroughDouble(whole + '.' + fraction);
    else
        rounded = roundExactly(whole, fraction);
    if (!rounded)
        return std::nullopt;
    return inRange(negative ? -*rounded : *rounded);
}

void report(const std::string &text, std::optional<std::int16_t> got,
            std::optional<std::int16_t> expected)
{
    std::fprintf(stderr, "textToInteger disagrees with the reference on \"");
    for (const char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\')
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02x", static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\": got ");
    got ? std::fprintf(stderr, "%d", *got) : std::fprintf(stderr, "no value");
    std::fprintf(stderr, ", expected ");
    expected ? std::fprintf(stderr, "%d", *expected) : std::fprintf(stderr, "no value");
    std::fprintf(stderr, "\n");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const auto got = korvex::textToInteger(text);
    if (size > kReferenceLength)
        return 0;

    const auto expected = reference(text);
    if (got != expected) {
        report(text, got, expected);
        std::abort();
    }
    return 0;
}
