#pragma once

#include <cstdint>

#include "raster/Pixmap.h"

// The block operations the core draws with. Each works on the width x height rectangle at (dx, dy)
// of the destination and the same-sized rectangle at (sx, sy) of the source. None of them fails:
// a destination pixel outside the destination is skipped, and so is one whose source pixel lies
// outside the source, which keeps its old value (GDI's rule; the glyph strips' one-pixel slot
// offset relies on it). Zero or negative sizes do nothing. Source and destination may be the same
// pixmap only when the rectangles do not overlap. A destination that tracks damage has the written
// rectangle noted; OrRect, which reads the destination anyway, notes it only when some bit was added.

// SRCCOPY.
void CopyRect(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height, const Pixmap& src,
              int32_t sx, int32_t sy);

// SRCPAINT: destination := destination OR source.
void OrRect(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height, const Pixmap& src, int32_t sx,
            int32_t sy);

// BLACKNESS; reads no source.
void FillBlack(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height);

// A 1:1 copy of the source rectangle, reflected left-right and/or top-bottom: with mirrorX the
// destination's leftmost column receives the source rectangle's rightmost column. It is what a
// StretchBlt with negative source extents of the same size does.
void CopyMirrored(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height, const Pixmap& src,
                  int32_t sx, int32_t sy, bool mirrorX, bool mirrorY);
