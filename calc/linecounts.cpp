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

// Both diagonal directions together are what the total leaves after the straight runs.
// The steps have no side effects, so checking the partial results together finds an
// overflow exactly when working through them one by one would.
std::optional<double> Diagonal(std::int16_t R, std::int16_t N, std::int16_t C)
{
    const auto total = Total(R, N, C);
    const auto vertical = Vertical(R, N, C);
    const auto horizontal = Horizontal(R, N, C);
    if (!total || !vertical || !horizontal)
        return std::nullopt;
    Checked16 k;
    std::int16_t t = k.subtract(*total, *vertical);
    t = k.subtract(t, *horizontal);
    const auto bothDirections = k.result(t);
    if (!bothDirections)
        return std::nullopt;
    // Always even, so the halving is exact.
    return static_cast<double>(*bothDirections) / 2.0;
}

std::optional<LineCounts> ComputeLineCounts(std::int16_t R, std::int16_t N, std::int16_t C)
{
    const auto horizontal = Horizontal(R, N, C);
    const auto vertical = Vertical(R, N, C);
    const auto diagonal = Diagonal(R, N, C);
    const auto total = Total(R, N, C);
    if (!horizontal || !vertical || !diagonal || !total)
        return std::nullopt;
    return LineCounts{*horizontal, *vertical, *diagonal, *total};
}

} // namespace korvex
