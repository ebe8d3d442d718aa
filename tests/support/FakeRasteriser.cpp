#include "support/FakeRasteriser.h"

#include <cstdlib>

#include "raster/Blit.h"
#include "raster/Color.h"

namespace {

class FakeFont : public GlimraFont {
public:
    explicit FakeFont(const GlimraLogFont& logFont) : m_logFont(logFont) {}
    GlimraTextMetrics Metrics() const override {
        const int32_t height = std::abs(m_logFont.lfHeight) + 1;
        return {height, height / 2 + 1};
    }
    void DrawChar(Pixmap& target, uint8_t code, uint32_t colorRef) const override {
        const GlimraTextMetrics metrics = Metrics();
        CopyRect(target, 0, 0, metrics.MaxCharWidth, metrics.Height,
                 FakeGlyphImage(metrics.MaxCharWidth, metrics.Height, code, colorRef), 0, 0);
    }

private:
    GlimraLogFont m_logFont;
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
    return std::make_unique<FakeFont>(logFont);
}
