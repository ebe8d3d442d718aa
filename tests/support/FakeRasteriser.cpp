#include "support/FakeRasteriser.h"

#include <algorithm>
#include <cstdlib>

#include "raster/Blit.h"
#include "raster/Color.h"

namespace {

class FakeFont : public GlimraFont {
public:
    FakeFont(const GlimraLogFont& logFont, GlimraTextMetrics forced) : m_logFont(logFont), m_forced(forced) {}
    GlimraTextMetrics Metrics() const override {
        if (m_forced.Height != 0 || m_forced.MaxCharWidth != 0)
            return m_forced;
        return Natural();
    }
    void DrawChar(Pixmap& target, uint8_t code, uint32_t colorRef) const override {
        const GlimraTextMetrics metrics = Natural();
        CopyRect(target, 0, 0, metrics.MaxCharWidth, metrics.Height,
                 FakeGlyphImage(metrics.MaxCharWidth, metrics.Height, code, colorRef), 0, 0);
    }

private:
    GlimraTextMetrics Natural() const {
        // 64-bit: a hostile lfHeight of INT32_MIN has no 32-bit magnitude.
        const int64_t height = std::min<int64_t>(std::abs(int64_t{m_logFont.lfHeight}) + 1, 1 << 20);
        return {static_cast<int32_t>(height), static_cast<int32_t>(height / 2 + 1)};
    }

    GlimraLogFont m_logFont;
    GlimraTextMetrics m_forced;
};

} // namespace

Pixmap FakeGlyphImage(int32_t width, int32_t height, uint8_t code, uint32_t colorRef) {
    Pixmap image(width, height);
    const uint32_t full = PixelFromColorRef(colorRef);
    const uint32_t half = ((full >> 1) & 0x7F7F7F);
    const int32_t boxWidth = 1 + code % 4, boxHeight = 2 + code % 5;
    for (int32_t y = 0; y < boxHeight; ++y)
        for (int32_t x = 0; x < boxWidth; ++x)
            image.SetPixel(x, y, full);
    image.SetPixel(boxWidth, 0, half);
    return image;
}

std::unique_ptr<GlimraFont> FakeRasteriser::CreateFont(const GlimraLogFont& logFont) {
    ++fontsCreated;
    return std::make_unique<FakeFont>(logFont, forcedMetrics);
}
