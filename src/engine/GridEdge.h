#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Where cell `index` of `count` equal cells over `extent` pixels begins: Trunc(index × (extent / count)),
// with the division and the product each rounded to the nearest double, as SSE2 evaluates them. The
// board lays its columns and rows out this way, so the gaps of one pixel fall where that arithmetic
// puts them.
//
// It is computed in integers because the i686 build may evaluate doubles in x87 extended precision,
// where 15 × (768 / 45) truncates to 255 instead of 256: every build must place every pixel alike.
// `count` must be positive; a zero index or extent gives 0.
int32_t GridEdge(int32_t index, int32_t extent, int32_t count);

// The edges GridEdge(0..count, extent, count) of one layout, worked out when the layout changes
// rather than for every cell of every Draw: the last edge is the extent's own.
class GridLayout {
public:
    // Empty for a count below 1.
    std::span<const int32_t> Edges(int32_t extent, int32_t count);

private:
    int32_t m_extent = 0;
    int32_t m_count = 0;
    std::vector<int32_t> m_edges;
};
