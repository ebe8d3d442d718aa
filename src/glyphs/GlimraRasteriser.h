#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/GlimraInstalled.h"
#include "raster/Pixmap.h"

// The glyph rasteriser seam: how the portable glyph code (GlimraGraph) reaches a platform's fonts.
//
// The platform installs one rasteriser before the modules start (InstallRasteriser) and removes it
// after they have shut down. The glyph module calls it at start-up to register the bundled font,
// when it measures the glyph cell, and when it renders the glyph strips at saver start; never per
// tick. Failures are never errors here: a font file that cannot be registered is ignored, and a
// face the platform does not know is replaced by one of its own choosing, as GDI does.

// The LOGFONTA record, field for field and byte for byte (60 bytes), so that the Windows rasteriser
// can hand it to GDI unchanged.
struct GlimraLogFont {
    int32_t lfHeight;
    int32_t lfWidth;
    int32_t lfEscapement;
    int32_t lfOrientation;
    int32_t lfWeight;
    uint8_t lfItalic;
    uint8_t lfUnderline;
    uint8_t lfStrikeOut;
    uint8_t lfCharSet;
    uint8_t lfOutPrecision;
    uint8_t lfClipPrecision;
    uint8_t lfQuality;
    uint8_t lfPitchAndFamily;
    char lfFaceName[32];
};
static_assert(sizeof(GlimraLogFont) == 60, "GlimraLogFont must have the layout of LOGFONTA");

// The two text metrics the glyph cell is measured from, as GDI's GetTextMetrics reports them.
struct GlimraTextMetrics {
    int32_t Height = 0;       // tmHeight: ascent + descent, in pixels
    int32_t MaxCharWidth = 0; // tmMaxCharWidth, in pixels
};

// A font made from a GlimraLogFont: the equivalent of an HFONT.
class GlimraFont {
public:
    virtual ~GlimraFont() = default;
    virtual GlimraTextMetrics Metrics() const = 0;
    // Draws the byte-coded character at (0, 0) of target, as TextOutA does with an opaque black
    // background: the character's cell is black and the glyph is colorRef (0x00BBGGRR), each
    // anti-aliased edge pixel the colour scaled by its coverage. Clipped to target.
    virtual void DrawChar(Pixmap& target, uint8_t code, uint32_t colorRef) const = 0;
};

class GlimraRasteriser {
public:
    virtual ~GlimraRasteriser() = default;
    // LOGPIXELSY of the screen: by default the density the face that shows the glyphs has told,
    // 96 until it has. A rasteriser that measures its screen itself (GDI) answers that instead.
    virtual int32_t PixelsPerInch() const { return m_pixelsPerInch; }
    // Told by the face once it has found its screen's density, before the glyphs are measured;
    // sizes in points become pixels by it. A value below 1 means 96. Fonts made before a change
    // keep their size.
    void SetPixelsPerInch(int32_t pixelsPerInch) { m_pixelsPerInch = pixelsPerInch > 0 ? pixelsPerInch : 96; }
    // Never nil: an unknown or empty face name gives the platform's substitute.
    virtual std::unique_ptr<GlimraFont> CreateFont(const GlimraLogFont& logFont) = 0;
    // Makes the faces of fontFile findable by name until UnregisterFontFile. resourceFile is where a
    // platform that needs a font resource file (.FOT) writes it; others ignore it.
    virtual bool RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) = 0;
    virtual void UnregisterFontFile(const std::string& fontFile, const std::string& resourceFile) = 0;

private:
    int32_t m_pixelsPerInch = 96;
};

// The installed rasteriser, or nil: without one, fonts measure 0 and draw nothing.
inline void InstallRasteriser(GlimraRasteriser* rasteriser) {
    GlimraInstalled<GlimraRasteriser>::Install(rasteriser);
}
inline GlimraRasteriser* InstalledRasteriser() {
    return GlimraInstalled<GlimraRasteriser>::Get();
}
