#pragma once

#include <memory>
#include <string>

#include "glyphs/GlimraRasteriser.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

// A FreeType library for fonts to share; nil when FreeType cannot start. Fonts keep it alive.
[[nodiscard]] std::shared_ptr<FT_LibraryRec_> NewFreeTypeLibrary();

// One face at one size, measured and drawn as GDI would measure and draw it, so that a grid laid
// out on Linux has the cells it has on Windows.
//
// The cell: GDI's tmAscent and tmDescent are the OS/2 usWinAscent and usWinDescent (hhea's ascender
// and descender when those are zero or missing) scaled to the em and rounded to whole pixels each;
// tmHeight is their sum. tmMaxCharWidth is the face's bounding box width (head xMax - xMin) scaled
// and rounded, plus one pixel when the face is emboldened, as GDI widens every emboldened glyph by a
// pixel. FreeType's own size metrics (hhea, rounded outwards) would give other numbers, so they are
// not used.
//
// Of the LOGFONT only the face name, height, weight and italic flag choose the font: the settings
// change nothing else.
class FreeTypeFont final : public GlimraFont {
public:
    ~FreeTypeFont() override;
    FreeTypeFont(const FreeTypeFont&) = delete;
    FreeTypeFont& operator=(const FreeTypeFont&) = delete;

    GlimraTextMetrics Metrics() const override { return m_metrics; }
    void DrawChar(Pixmap& target, uint8_t code, uint32_t colorRef) const override;

    // The family of the face that was chosen: the requested one when a face of that name was found,
    // else the substitute's. Empty when the system has no usable face at all; such a font measures
    // 0 and draws nothing.
    const std::string& FamilyName() const { return m_familyName; }
    // A heavy weight was asked of a face that has none, so outlines are thickened.
    bool IsEmboldened() const { return m_emboldened; }

    // The face at index of file; nil when FreeType cannot open it. How the file was found (by
    // fontconfig, or given outright) is the caller's business, so that every face of the program
    // draws the same glyphs from the same file.
    [[nodiscard]] static std::unique_ptr<FreeTypeFont> Open(std::shared_ptr<FT_LibraryRec_> library,
                                                            const std::string& file, int index,
                                                            const GlimraLogFont& logFont);
    // The font of a system without a usable face: it measures 0 and draws nothing.
    [[nodiscard]] static std::unique_ptr<FreeTypeFont> Unusable(std::shared_ptr<FT_LibraryRec_> library,
                                                                const GlimraLogFont& logFont);

private:
    FreeTypeFont(std::shared_ptr<FT_LibraryRec_> library, FT_FaceRec_* face, const GlimraLogFont& logFont);

    unsigned GlyphIndex(uint8_t code) const;

    // The library must outlive the face, and a font may outlive the rasteriser that made it.
    std::shared_ptr<FT_LibraryRec_> m_library;
    FT_FaceRec_* m_face = nullptr;
    std::string m_familyName;
    GlimraTextMetrics m_metrics;
    int32_t m_ascent = 0;
    bool m_symbol = false;
    bool m_emboldened = false;
};
