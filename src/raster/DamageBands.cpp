#include "raster/DamageBands.h"

#include <algorithm>

const std::vector<PixRect>& DamageBands::Band(std::span<const PixRect> damage, int32_t gap) {
    m_bands.clear();
    int64_t top = INT64_MAX;
    int64_t bottom = INT64_MIN;
    for (const PixRect& rect : damage) {
        if (rect.Width <= 0 || rect.Height <= 0)
            continue;
        top = std::min<int64_t>(top, rect.Y);
        bottom = std::max(bottom, int64_t{rect.Y} + rect.Height);
    }
    if (bottom <= top)
        return m_bands;
    // Damage lies on a surface, at most MaxRows rows high; anything taller, or reaching past the
    // coordinates' range, is passed on as it is.
    if (bottom - top > MaxRows || bottom > INT32_MAX) {
        m_bands.assign(damage.begin(), damage.end());
        return m_bands;
    }

    // The rectangles in order of their top rows, by counting: a surface is a few thousand rows, and
    // the damage comes column by column, far from that order. m_starts[r] ends as the first
    // rectangle whose top is row top + r; a row is an edge where a rectangle starts or ends there.
    const auto rows = static_cast<size_t>(bottom - top);
    m_starts.assign(rows + 2, 0);
    for (const PixRect& rect : damage)
        if (rect.Width > 0 && rect.Height > 0)
            ++m_starts[static_cast<size_t>(rect.Y - top) + 1];
    for (size_t r = 1; r < m_starts.size(); ++r)
        m_starts[r] += m_starts[r - 1];
    m_byRow.resize(static_cast<size_t>(m_starts.back()));
    // Filling moves each row's start to the next row's; a shift puts them back.
    for (const PixRect& rect : damage)
        if (rect.Width > 0 && rect.Height > 0)
            m_byRow[static_cast<size_t>(m_starts[static_cast<size_t>(rect.Y - top)]++)] = rect;
    for (size_t r = m_starts.size() - 1; r > 0; --r)
        m_starts[r] = m_starts[r - 1];
    m_starts[0] = 0;

    // Between two edges the same rectangles cross every row, so each such slice is worked out once,
    // from the rectangles crossing it kept in order of X; a slice whose spans equal those of the
    // slice right above lengthens its bands instead of adding some.
    m_active.clear();
    const auto byX = [](const PixRect& a, const PixRect& b) { return a.X < b.X; };
    size_t above = 0;
    auto sliceTop = static_cast<int32_t>(top);
    size_t next = 0;
    while (sliceTop < bottom) {
        std::erase_if(m_active, [sliceTop](const PixRect& rect) { return rect.Y + rect.Height <= sliceTop; });
        const auto row = static_cast<size_t>(sliceTop - top);
        for (; next < static_cast<size_t>(m_starts[row + 1]); ++next)
            m_active.insert(std::upper_bound(m_active.begin(), m_active.end(), m_byRow[next], byX),
                            m_byRow[next]);
        // The slice ends where a crossing rectangle ends or the next one starts.
        int32_t sliceBottom = next < m_byRow.size() ? m_byRow[next].Y : static_cast<int32_t>(bottom);
        for (const PixRect& rect : m_active)
            sliceBottom = std::min(sliceBottom, rect.Y + rect.Height);
        m_spans.clear();
        for (const PixRect& rect : m_active) {
            if (!m_spans.empty() && rect.X <= m_spans.back().X + m_spans.back().Width + gap) {
                PixRect& span = m_spans.back();
                span.Width = std::max(span.X + span.Width, rect.X + rect.Width) - span.X;
                continue;
            }
            m_spans.push_back({rect.X, sliceTop, rect.Width, sliceBottom - sliceTop});
        }
        const size_t first = m_bands.size();
        const bool stacks =
            !m_spans.empty() && first - above == m_spans.size() &&
            m_bands[above].Y + m_bands[above].Height == sliceTop &&
            std::equal(m_spans.begin(), m_spans.end(), m_bands.begin() + static_cast<std::ptrdiff_t>(above),
                       [](const PixRect& a, const PixRect& b) { return a.X == b.X && a.Width == b.Width; });
        if (stacks) {
            for (size_t k = above; k < first; ++k)
                m_bands[k].Height += sliceBottom - sliceTop;
        } else if (!m_spans.empty()) {
            above = first;
            m_bands.insert(m_bands.end(), m_spans.begin(), m_spans.end());
        }
        sliceTop = sliceBottom;
    }
    return m_bands;
}
