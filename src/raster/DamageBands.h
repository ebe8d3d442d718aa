#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "raster/Pixmap.h"

// A tick's damage rewritten for a display server, which pays for every row of every rectangle it
// copies far more than for the pixels in it: the board notes cells down each column, and a copy of
// those costs a call per pixel row of each cell. Bands cover every damaged pixel and never overlap;
// damaged spans on the same rows become one rectangle when no more than gap pixels lie between
// them, and rows with the same spans stack into one rectangle.
//
// The object keeps its memory from one tick to the next, so that presenting allocates nothing
// once the damage has reached its usual size.
class DamageBands {
public:
    const std::vector<PixRect>& Band(std::span<const PixRect> damage, int32_t gap);

    static constexpr int64_t MaxRows = 1 << 16;

private:
    std::vector<PixRect> m_bands;
    std::vector<PixRect> m_byRow;
    std::vector<int32_t> m_starts;
    std::vector<PixRect> m_active;
    std::vector<PixRect> m_spans;
};
