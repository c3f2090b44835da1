#include "linecounts.h"

#include "checked16.h"

namespace korvex {

// R, N and C below are the rows, the columns and the connection length.

std::optional<std::int16_t> Horizontal(std::int16_t R, std::int16_t N, std::int16_t C)
{
    Checked16 k;
    std::int16_t a = k.multiply(N, R);
    const std::int16_t b = k.multiply(C, R);
    a = k.subtract(a, b);
    a = k.add(a, R);
    return k.result(a);
}

std::optional<std::int16_t> Vertical(std::int16_t R, std::int16_t N, std::int16_t C)
{
    Checked16 k;
    const std::int16_t b = k.multiply(N, C);
    std::int16_t a = k.multiply(N, R);
    a = k.subtract(a, b);
    a = k.add(a, N);
    return k.result(a);
}

std::optional<std::int16_t> Total(std::int16_t R, std::int16_t N, std::int16_t C)
{
    Checked16 k;
    std::int16_t t = k.multiply(R, 4);
    t = k.multiply(t, N);
    std::int16_t u = k.multiply(C, C);
    u = k.multiply(u, 2);
    t = k.add(t, u);
    u = k.multiply(N, 3);
    u = k.multiply(u, C);
    t = k.subtract(t, u);
    u = k.multiply(R, 3);
    u = k.multiply(u, C);
    t = k.subtract(t, u);
    u = k.multiply(N, 3);
    t = k.add(t, u);
    u = k.multiply(R, 3);
    t = k.add(t, u);
    u = k.multiply(C, 4);
    t = k.subtract(t, u);
    t = k.add(t, 2);
    return k.result(t);
}

namespace {

// Both diagonal directions together are what the total leaves after the straight runs;
// one direction is half of that, always a whole number.
std::optional<double> oneDiagonalDirection(std::optional<std::int16_t> total,
                                           std::optional<std::int16_t> vertical,
                                           std::optional<std::int16_t> horizontal)
{
    if (!total || !vertical || !horizontal)
        return std::nullopt;
    Checked16 k;
    std::int16_t t = k.subtract(*total, *vertical);
    t = k.subtract(t, *horizontal);
    const auto bothDirections = k.result(t);
    if (!bothDirections)
        return std::nullopt;
    return static_cast<double>(*bothDirections) / 2.0;
}

} // namespace

std::optional<double> Diagonal(std::int16_t R, std::int16_t N, std::int16_t C)
{
    return oneDiagonalDirection(Total(R, N, C), Vertical(R, N, C), Horizontal(R, N, C));
}

// The steps have no side effects, so the diagonal can reuse the other three counts: it
// overflows exactly when working through its own steps would.
std::optional<LineCounts> ComputeLineCounts(std::int16_t R, std::int16_t N, std::int16_t C)
{
    const auto horizontal = Horizontal(R, N, C);
    const auto vertical = Vertical(R, N, C);
    const auto total = Total(R, N, C);
    const auto diagonal = oneDiagonalDirection(total, vertical, horizontal);
    if (!diagonal)
        return std::nullopt;
    return LineCounts{*horizontal, *vertical, *diagonal, *total};
}

} // namespace korvex
