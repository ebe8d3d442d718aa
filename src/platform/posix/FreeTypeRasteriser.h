#pragma once

#include <memory>
#include <string>
#include <vector>

#include "glyphs/GlimraRasteriser.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

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

private:
    friend class FreeTypeRasteriser;
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

// The rasteriser of the Linux programs: fontconfig finds faces, FreeType draws them.
//
// A face name is looked up first among the font files registered with RegisterFontFile (fontconfig's
// application fonts of the current configuration), then among every font fontconfig knows; a name
// nobody knows, or an empty one, gets fontconfig's best match, as GDI substitutes one of its own.
class FreeTypeRasteriser final : public GlimraRasteriser {
public:
    FreeTypeRasteriser();
    ~FreeTypeRasteriser() override;
    FreeTypeRasteriser(const FreeTypeRasteriser&) = delete;
    FreeTypeRasteriser& operator=(const FreeTypeRasteriser&) = delete;

    std::unique_ptr<GlimraFont> CreateFont(const GlimraLogFont& logFont) override {
        return CreateFreeTypeFont(logFont);
    }
    std::unique_ptr<FreeTypeFont> CreateFreeTypeFont(const GlimraLogFont& logFont);

    // False when fontconfig cannot read the file. resourceFile is a Windows notion and is ignored.
    bool RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;
    // fontconfig can only forget all application fonts at once: the other files this rasteriser
    // registered are added again, and application fonts that others added are lost.
    void UnregisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;

private:
    struct FaceLocation {
        std::string File;
        int Index = 0;
    };
    std::vector<FaceLocation> CandidateFaces(const std::string& family, int32_t weight, bool italic) const;

    std::shared_ptr<FT_LibraryRec_> m_library;
    std::vector<std::string> m_registeredFiles;
};
