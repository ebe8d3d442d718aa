#include "platform/web/WebCanvasPresenter.h"

#include <algorithm>

void WebCanvasPresenter::Resize(int32_t width, int32_t height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_rgba.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0xFF000000u);
    m_whole = true;
}

void WebCanvasPresenter::Present(Pixmap& surface) {
    m_rects.clear();
    const auto add = [&](const PixRect& rect) {
        const int32_t right = std::min(rect.X + rect.Width, std::min(m_width, surface.Width()));
        const int32_t bottom = std::min(rect.Y + rect.Height, std::min(m_height, surface.Height()));
        const PixRect clipped{std::max(rect.X, 0), std::max(rect.Y, 0), 0, 0};
        if (right <= clipped.X || bottom <= clipped.Y)
            return;
        const PixRect inside{clipped.X, clipped.Y, right - clipped.X, bottom - clipped.Y};
        Convert(surface, inside);
        m_rects.insert(m_rects.end(), {inside.X, inside.Y, inside.Width, inside.Height});
    };
    if (m_whole)
        add({0, 0, m_width, m_height});
    else
        for (const PixRect& band : m_bands.Band(surface.Damage(), BandGap))
            add(band);
    m_whole = false;
    surface.ClearDamage();
}

void WebCanvasPresenter::Convert(const Pixmap& surface, const PixRect& rect) {
    // WebAssembly is little-endian: the canvas's R, G, B, A bytes are one word 0xAABBGGRR, and
    // whole words let the compiler convert several pixels at once.
    for (int32_t y = rect.Y; y < rect.Y + rect.Height; ++y) {
        const uint32_t* source = surface.Row(y) + rect.X;
        uint32_t* target = m_rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(m_width) + rect.X;
        for (int32_t x = 0; x < rect.Width; ++x) {
            const uint32_t pixel = source[x];
            target[x] =
                0xFF000000u | (pixel & 0x0000FF00u) | ((pixel >> 16) & 0xFFu) | ((pixel & 0xFFu) << 16);
        }
    }
}
