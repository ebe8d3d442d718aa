#pragma once

#include <string>
#include <vector>

#include "glyphs/GlimraRasteriser.h"

// A rasteriser that needs no font: it draws solid boxes whose size depends on the character code,
// so pictures are identical on every platform. A character's image: a box of the full colour at the
// top left, (1 + code % 4) wide and (2 + code % 5) high, and one pixel of half the colour (an
// anti-aliased edge) to the right of the box's top row. Cell: |lfHeight| + 1 high and half that + 1
// wide (14 x 8 for lfHeight -13).
class FakeRasteriser : public GlimraRasteriser {
public:
    int32_t PixelsPerInch() const override { return pixelsPerInch; }
    std::unique_ptr<GlimraFont> CreateFont(const GlimraLogFont& logFont) override;
    bool RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) override {
        registered.push_back(fontFile + "|" + resourceFile);
        return true;
    }
    void UnregisterFontFile(const std::string& fontFile, const std::string& resourceFile) override {
        unregistered.push_back(fontFile + "|" + resourceFile);
    }

    int32_t pixelsPerInch = 96;
    // When set, every font measures this instead (the boxes still follow lfHeight).
    GlimraTextMetrics forcedMetrics{};
    int fontsCreated = 0;
    std::vector<std::string> registered;
    std::vector<std::string> unregistered;
};

// The image FakeRasteriser draws for a code, on a black w x h pixmap.
Pixmap FakeGlyphImage(int32_t width, int32_t height, uint8_t code, uint32_t colorRef);

// Installs a FakeRasteriser for the life of the object.
class ScopedFakeRasteriser {
public:
    ScopedFakeRasteriser() { InstallRasteriser(&rasteriser); }
    ~ScopedFakeRasteriser() { InstallRasteriser(nullptr); }
    FakeRasteriser rasteriser;
};
