#pragma once

#include <cstdint>
#include <optional>

namespace korvex {

// How many straight runs of a connection length fit on a board of rows by columns.
// Diagonal counts one diagonal direction; Total counts both.
struct LineCounts
{
    std::int16_t Horizontal = 0;
    std::int16_t Vertical = 0;
    double Diagonal = 0.0;
    std::int16_t Total = 0;

    friend bool operator==(const LineCounts &, const LineCounts &) = default;
};

// Each count is worked out in 16-bit signed arithmetic, one checked step at a time, in a
// fixed order of steps. The order matters: it decides which boards overflow. An empty
// result means that some step overflowed.
std::optional<std::int16_t> Horizontal(std::int16_t rows, std::int16_t columns,
                                       std::int16_t connectionLength);
std::optional<std::int16_t> Vertical(std::int16_t rows, std::int16_t columns,
                                     std::int16_t connectionLength);
std::optional<double> Diagonal(std::int16_t rows, std::int16_t columns,
                               std::int16_t connectionLength);
std::optional<std::int16_t> Total(std::int16_t rows, std::int16_t columns,
                                  std::int16_t connectionLength);

// All four counts, obtained in the order Horizontal, Vertical, Diagonal, Total.
std::optional<LineCounts> ComputeLineCounts(std::int16_t rows, std::int16_t columns,
                                            std::int16_t connectionLength);

} // namespace korvex
