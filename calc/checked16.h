#pragma once

#include <cstdint>
#include <optional>

namespace korvex {

// Carries out a sequence of 16-bit signed operations and remembers whether any of them
// overflowed. Each operation forms the exact result of its operands; a result outside
// -32768..32767 marks the whole sequence as failed. Once failed, later operations only
// keep the failure, so a formula can be written as the plain list of its steps.
class Checked16
{
public:
    std::int16_t add(std::int16_t a, std::int16_t b) { return fit(std::int32_t{a} + b); }
    std::int16_t subtract(std::int16_t a, std::int16_t b) { return fit(std::int32_t{a} - b); }
    std::int16_t multiply(std::int16_t a, std::int16_t b) { return fit(std::int32_t{a} * b); }

    std::optional<std::int16_t> result(std::int16_t value) const
    {
        if (m_overflowed)
            return std::nullopt;
        return value;
    }

private:
    std::int16_t fit(std::int32_t exact)
    {
        if (exact < INT16_MIN || exact > INT16_MAX) {
            m_overflowed = true;
            return 0;
        }
        return static_cast<std::int16_t>(exact);
    }

    bool m_overflowed = false;
};

} // namespace korvex
