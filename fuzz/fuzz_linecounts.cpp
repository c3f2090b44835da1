// Takes rows, columns and connection length as three 16-bit integers (the first six bytes,
// in the host's byte order) and checks ComputeLineCounts against the closed forms worked
// out in 64 bits: a result must equal them, and an overflow must be explainable. The same
// numbers also go through each Checked16 operation on its own, which must fail exactly
// when the exact result leaves the 16-bit range.

#include "checked16.h"
#include "linecounts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

using i64 = std::int64_t;

bool fits16(i64 value)
{
    return value >= INT16_MIN && value <= INT16_MAX;
}

[[noreturn]] void fail(const char *what, i64 R, i64 N, i64 C)
{
    std::fprintf(stderr, "ComputeLineCounts(%lld, %lld, %lld): %s\n", static_cast<long long>(R),
                 static_cast<long long>(N), static_cast<long long>(C), what);
    std::abort();
}

template <typename Operation>
void checkOperation(const char *name, std::int16_t a, std::int16_t b, i64 exact,
                    Operation operation)
{
    korvex::Checked16 k;
    const auto value = k.result(operation(k, a, b));
    if (value.has_value() != fits16(exact) || (value && *value != exact)) {
        std::fprintf(stderr, "Checked16::%s(%d, %d) gives %s for %lld\n", name, a, b,
                     value ? "a value" : "an overflow", static_cast<long long>(exact));
        std::abort();
    }
    // A failure sticks, whatever comes after it.
    if (!value && k.result(k.add(0, 0)))
        std::abort();
}

void checkOperations(std::int16_t a, std::int16_t b)
{
    checkOperation(
        "add", a, b, i64{a} + b,
        [](korvex::Checked16 &k, std::int16_t x, std::int16_t y) { return k.add(x, y); });
    checkOperation(
        "subtract", a, b, i64{a} - b,
        [](korvex::Checked16 &k, std::int16_t x, std::int16_t y) { return k.subtract(x, y); });
    checkOperation(
        "multiply", a, b, i64{a} * b,
        [](korvex::Checked16 &k, std::int16_t x, std::int16_t y) { return k.multiply(x, y); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3 * sizeof(std::int16_t))
        return 0;
    std::int16_t inputs[3];
    std::memcpy(inputs, data, sizeof inputs);
    const i64 R = inputs[0];
    const i64 N = inputs[1];
    const i64 C = inputs[2];

    checkOperations(inputs[0], inputs[1]);
    checkOperations(inputs[1], inputs[2]);

    const i64 horizontal = R * (N - C + 1);
    const i64 vertical = N * (R - C + 1);
    const i64 diagonal = (R - C + 1) * (N - C + 1);
    const i64 total = 4 * R * N + 2 * C * C - 3 * R * C - 3 * N * C + 3 * R + 3 * N - 4 * C + 2;
    if (total != horizontal + vertical + 2 * diagonal)
        fail("the closed forms themselves disagree", R, N, C);

    const auto counts = korvex::ComputeLineCounts(inputs[0], inputs[1], inputs[2]);

    // The counts one by one must say the same as all four together.
    const auto h = korvex::Horizontal(inputs[0], inputs[1], inputs[2]);
    const auto v = korvex::Vertical(inputs[0], inputs[1], inputs[2]);
    const auto d = korvex::Diagonal(inputs[0], inputs[1], inputs[2]);
    const auto t = korvex::Total(inputs[0], inputs[1], inputs[2]);
    if (counts.has_value() != (h && v && d && t))
        fail("the single counts and ComputeLineCounts disagree on overflow", R, N, C);
    if (counts
        && (counts->Horizontal != *h || counts->Vertical != *v || counts->Diagonal != *d
            || counts->Total != *t))
        fail("the single counts and ComputeLineCounts disagree on a value", R, N, C);

    if (counts) {
        if (counts->Horizontal != horizontal || counts->Vertical != vertical
            || counts->Diagonal != static_cast<double>(diagonal) || counts->Total != total)
            fail("a count differs from its closed form", R, N, C);
    }

    // Whatever the order of the steps, no partial result of a sum can be larger than the
    // sum of its terms' sizes, nor a partial product larger than the product with every
    // factor raised to at least 1. When all those bounds fit, nothing may overflow.
    const i64 r = std::max<i64>(std::abs(R), 1);
    const i64 n = std::max<i64>(std::abs(N), 1);
    const i64 c = std::max<i64>(std::abs(C), 1);
    const bool boundsFit =
        fits16(n * r + c * r + r) && fits16(n * r + n * c + n)
        && fits16(4 * r * n + 2 * c * c + 3 * n * c + 3 * r * c + 3 * n + 3 * r + 4 * c + 2)
        && fits16(std::abs(total) + std::abs(vertical) + std::abs(horizontal));
    if (boundsFit && !counts)
        fail("overflowed although every partial result fits", R, N, C);

    // A board with at least C rows and columns overflows exactly when 4RN or 4RN + 2CC,
    // the first partial results of the total, do not fit.
    if (C >= 1 && R >= C && N >= C) {
        const bool leadingTermsFit = fits16(4 * R * N) && fits16(4 * R * N + 2 * C * C);
        if (leadingTermsFit != counts.has_value())
            fail(leadingTermsFit ? "overflowed although the leading terms fit"
                                 : "gave counts although a leading term does not fit",
                 R, N, C);
    }
    return 0;
}
