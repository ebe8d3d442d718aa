#include "engine/GridEdge.h"

#include <cassert>
#include <cstdlib>

namespace {

// A finite, non-negative double as mantissa × 2^exponent, the mantissa below 2^53.
struct BinaryValue {
    uint64_t mantissa = 0;
    int32_t exponent = 0;
};

constexpr uint64_t Bit53 = uint64_t{1} << 53;

// Rounds kept × 2^exponent, plus the bits dropped below it, to nearest, ties to even: `guard` is the
// highest dropped bit, `sticky` whether any bit below it was set.
BinaryValue RoundToDouble(uint64_t kept, bool guard, bool sticky, int32_t exponent) {
    if (guard && (sticky || (kept & 1) != 0))
        ++kept;
    if (kept == Bit53) {
        kept >>= 1;
        ++exponent;
    }
    return {kept, exponent};
}

// numerator / denominator, rounded to the nearest double, by long division one bit at a time.
BinaryValue Divide(uint64_t numerator, uint64_t denominator) {
    if (numerator == 0)
        return {};
    uint64_t quotient = numerator / denominator;
    uint64_t remainder = numerator % denominator;
    int32_t exponent = 0;
    // 53 bits of mantissa and one more to round by; numerators below 2^32 never need fewer.
    while (quotient < Bit53) {
        remainder <<= 1;
        quotient <<= 1;
        if (remainder >= denominator) {
            remainder -= denominator;
            quotient |= 1;
        }
        --exponent;
    }
    assert(quotient < 2 * Bit53);
    return RoundToDouble(quotient >> 1, (quotient & 1) != 0, remainder != 0, exponent + 1);
}

// factor × value, rounded to the nearest double; factor below 2^32.
BinaryValue Multiply(uint64_t factor, BinaryValue value) {
    // The exact product has at most 32 + 53 bits: keep it as high and low words.
    const uint64_t lowPart = factor * (value.mantissa & 0xFFFFFFFFu);
    const uint64_t highPart = factor * (value.mantissa >> 32);
    uint64_t low = lowPart + (highPart << 32);
    const uint64_t high = (highPart >> 32) + (low < lowPart ? 1 : 0);
    int32_t bits = 0;
    if (high != 0) {
        bits = 64;
        for (uint64_t h = high; h != 0; h >>= 1)
            ++bits;
    } else {
        for (uint64_t l = low; l != 0; l >>= 1)
            ++bits;
    }
    if (bits <= 53)
        return {low, value.exponent};
    const int32_t drop = bits - 53; // at most 32, so every shift below stays inside a word
    const uint64_t kept = (low >> drop) | (high << (64 - drop));
    const bool guard = ((low >> (drop - 1)) & 1) != 0;
    const bool sticky = (low & ((uint64_t{1} << (drop - 1)) - 1)) != 0;
    return RoundToDouble(kept, guard, sticky, value.exponent + drop);
}

uint64_t Truncate(BinaryValue value) {
    if (value.exponent >= 0)
        return value.mantissa << value.exponent; // callers' values fit: they are below the extent
    if (value.exponent <= -64)
        return 0;
    return value.mantissa >> -value.exponent;
}

} // namespace

int32_t GridEdge(int32_t index, int32_t extent, int32_t count) {
    assert(count > 0);
    if (count <= 0 || index == 0 || extent == 0)
        return 0;
    // Rounding to nearest and truncating toward zero are both symmetric in sign.
    const bool negative = (index < 0) != (extent < 0);
    const uint64_t magnitude =
        Truncate(Multiply(static_cast<uint64_t>(std::llabs(index)),
                          Divide(static_cast<uint64_t>(std::llabs(extent)), static_cast<uint64_t>(count))));
    const auto result = static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(negative ? -result : result);
}

std::span<const int32_t> GridLayout::Edges(int32_t extent, int32_t count) {
    if (count <= 0)
        return {};
    if (extent != m_extent || count != m_count || m_edges.empty()) {
        m_edges.resize(static_cast<size_t>(count) + 1);
        for (int32_t index = 0; index <= count; ++index)
            m_edges[static_cast<size_t>(index)] = GridEdge(index, extent, count);
        m_extent = extent;
        m_count = count;
    }
    return m_edges;
}
