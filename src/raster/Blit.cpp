#include "raster/Blit.h"

#include <algorithm>
#include <cstring>

namespace {

// The span of offsets i in [0, length) for which both d0 + i lies in [0, dLimit) and the source
// coordinate (s0 + i, or s0 + length - 1 - i when reversed) lies in [0, sLimit). It is contiguous.
struct Span {
    int64_t first = 0;
    int64_t last = -1; // inclusive
    bool IsEmpty() const { return last < first; }
};

Span ValidOffsets(int64_t d0, int64_t dLimit, int64_t s0, int64_t sLimit, int64_t length, bool reversed) {
    Span span{0, length - 1};
    span.first = std::max(span.first, -d0);
    span.last = std::min(span.last, dLimit - 1 - d0);
    if (!reversed) {
        span.first = std::max(span.first, -s0);
        span.last = std::min(span.last, sLimit - 1 - s0);
    } else {
        // source = s0 + length - 1 - i must satisfy 0 <= source < sLimit.
        span.first = std::max(span.first, s0 + length - sLimit);
        span.last = std::min(span.last, s0 + length - 1);
    }
    return span;
}

// Combine(out, in, count) writes a row of destination pixels and answers whether it may have changed
// any. Only a rectangle in which some row may have changed is noted as damage. Copies answer true
// without looking: reading the destination first would turn the stores, which the processor lets
// run ahead, into loads that it waits for, on a surface that is mostly out of cache. An OR reads the
// destination anyway, so it knows.
template <typename Combine>
void Blit(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height, const Pixmap& src, int32_t sx,
          int32_t sy, bool mirrorX, bool mirrorY, Combine combine) {
    if (width <= 0 || height <= 0 || dst.IsEmpty() || src.IsEmpty())
        return;
    // A glyph's copy into a cell lies inside both pixmaps nearly always: at the smallest font a
    // cell is two pixels, and working out the clipped spans would cost more than the copy.
    if (!mirrorX && !mirrorY && dx >= 0 && dy >= 0 && sx >= 0 && sy >= 0 && width <= dst.Width() - dx &&
        height <= dst.Height() - dy && width <= src.Width() - sx && height <= src.Height() - sy) {
        bool changed = false;
        for (int32_t j = 0; j < height; ++j)
            changed |= combine(dst.Row(dy + j) + dx, src.Row(sy + j) + sx, width);
        if (changed)
            dst.NoteDamage(dx, dy, width, height);
        return;
    }
    const Span xs = ValidOffsets(dx, dst.Width(), sx, src.Width(), width, mirrorX);
    const Span ys = ValidOffsets(dy, dst.Height(), sy, src.Height(), height, mirrorY);
    if (xs.IsEmpty() || ys.IsEmpty())
        return;
    const int64_t count = xs.last - xs.first + 1;
    bool changed = false;
    for (int64_t j = ys.first; j <= ys.last; ++j) {
        const int64_t srcY = mirrorY ? sy + height - 1 - j : sy + j;
        // Only pixels inside both rows are addressed: a row pointer is never offset outside its row.
        uint32_t* out = dst.Row(static_cast<int32_t>(dy + j)) + (dx + xs.first);
        const uint32_t* in = src.Row(static_cast<int32_t>(srcY));
        if (!mirrorX) {
            changed |= combine(out, in + (sx + xs.first), count);
            continue;
        }
        for (int64_t i = 0; i < count; ++i) {
            const uint32_t pixel = in[sx + width - 1 - (xs.first + i)];
            changed |= combine(out + i, &pixel, 1);
        }
    }
    if (changed)
        dst.NoteDamage(static_cast<int32_t>(dx + xs.first), static_cast<int32_t>(dy + ys.first),
                       static_cast<int32_t>(count), static_cast<int32_t>(ys.last - ys.first + 1));
}

// Function objects rather than functions, so that each Blit instance inlines its row operation.
struct CopyRow {
    bool operator()(uint32_t* out, const uint32_t* in, int64_t count) const {
        if (count >= 64) {
            std::memcpy(out, in, static_cast<size_t>(count) * sizeof(uint32_t));
            return true;
        }
        // A glyph's row is a few pixels: copies of a size the compiler knows are moves in place,
        // where a call to memcpy for each of them costs more than the copy.
        int64_t i = 0;
        for (; i + 8 <= count; i += 8)
            std::memcpy(out + i, in + i, 8 * sizeof(uint32_t));
        if (count - i >= 4) {
            std::memcpy(out + i, in + i, 4 * sizeof(uint32_t));
            i += 4;
        }
        if (count - i >= 2) {
            std::memcpy(out + i, in + i, 2 * sizeof(uint32_t));
            i += 2;
        }
        if (count - i >= 1)
            out[i] = in[i];
        return true;
    }
};

struct OrRow {
    bool operator()(uint32_t* out, const uint32_t* in, int64_t count) const {
        uint32_t added = 0;
        for (int64_t i = 0; i < count; ++i) {
            added |= in[i] & ~out[i];
            out[i] |= in[i];
        }
        return added != 0;
    }
};

} // namespace

void CopyRect(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height, const Pixmap& src,
              int32_t sx, int32_t sy) {
    Blit(dst, dx, dy, width, height, src, sx, sy, false, false, CopyRow{});
}

void OrRect(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height, const Pixmap& src, int32_t sx,
            int32_t sy) {
    Blit(dst, dx, dy, width, height, src, sx, sy, false, false, OrRow{});
}

void FillBlack(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || dst.IsEmpty())
        return;
    const int64_t x0 = std::max<int64_t>(dx, 0);
    const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(dx) + width, dst.Width());
    const int64_t y0 = std::max<int64_t>(dy, 0);
    const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(dy) + height, dst.Height());
    if (x1 <= x0 || y1 <= y0)
        return;
    dst.NoteDamage(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
                   static_cast<int32_t>(y1 - y0));
    for (int64_t y = y0; y < y1; ++y) {
        uint32_t* row = dst.Row(static_cast<int32_t>(y));
        // A cell's row is a few pixels, for which a call to memset costs more than the stores; a
        // plain loop would become that call, so these are stores of sizes the compiler knows.
        if (x1 - x0 <= 8) {
            static constexpr uint32_t Zeros[4] = {};
            uint32_t* out = row + x0;
            int64_t left = x1 - x0;
            if (left >= 4) {
                std::memcpy(out, Zeros, sizeof Zeros);
                left -= 4;
                out += 4;
            }
            if (left >= 4) {
                std::memcpy(out, Zeros, sizeof Zeros);
                left -= 4;
                out += 4;
            }
            if (left >= 2) {
                std::memcpy(out, Zeros, 2 * sizeof(uint32_t));
                left -= 2;
                out += 2;
            }
            if (left >= 1)
                *out = 0;
        } else {
            std::fill(row + x0, row + x1, 0u);
        }
    }
}

void CopyMirrored(Pixmap& dst, int32_t dx, int32_t dy, int32_t width, int32_t height, const Pixmap& src,
                  int32_t sx, int32_t sy, bool mirrorX, bool mirrorY) {
    Blit(dst, dx, dy, width, height, src, sx, sy, mirrorX, mirrorY, CopyRow{});
}
