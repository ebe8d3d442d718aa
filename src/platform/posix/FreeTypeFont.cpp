#include "platform/posix/FreeTypeFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>

#include "raster/Color.h"

namespace {

// Windows symbol fonts put the glyph of byte c at U+F000 + c, so that a byte means the same glyph
// whatever the code page.
constexpr FT_ULong SymbolBase = 0xF000;

// Above this weight GDI wants a bold face, and emboldens one that is not.
constexpr int32_t BoldThreshold = 550;

// Far above any glyph cell a screen can hold: a hand-edited size cannot ask for absurd bitmaps.
constexpr int64_t MaxEmPixels = 16384;

// What TextOutA makes of bytes 0x80..0x9F under DEFAULT_CHARSET on a western system (Windows-1252)
// when the face is not a symbol font; the other bytes are Latin-1 already. The unassigned five map
// to themselves, as Windows' conversion does.
constexpr uint16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

FT_ULong UnicodeOfWindows1252(uint8_t code) {
    if (code >= 0x80 && code < 0xA0)
        return Windows1252High[code - 0x80];
    return code;
}

// A 26.6 value rounded to whole pixels the way GDI rounds its scaled metrics: to nearest.
int32_t RoundedPixels(FT_Long value26Dot6) {
    return static_cast<int32_t>((value26Dot6 + 32) >> 6);
}

struct VerticalExtent {
    FT_Long Ascent = 0;
    FT_Long Descent = 0;
};

// The ascent and descent, in font units, that bound GDI's character cell.
VerticalExtent WindowsExtent(FT_Face face) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0)
        return {os2->usWinAscent, os2->usWinDescent};
    auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    if (hhea && hhea->Ascender - hhea->Descender > 0)
        return {hhea->Ascender, -hhea->Descender};
    return {face->ascender, -face->descender};
}

// lfHeight as GDI reads it: negative is the em in pixels; positive is the cell height, which the em
// is scaled to (rounded as MulDiv rounds); zero asks for GDI's default, a 16-pixel cell.
int64_t EmPixels(int32_t lfHeight, FT_Face face, const VerticalExtent& extent) {
    constexpr int64_t DefaultCellHeight = 16;
    if (lfHeight < 0)
        return std::clamp<int64_t>(-static_cast<int64_t>(lfHeight), 1, MaxEmPixels);
    int64_t cellHeight = lfHeight > 0 ? lfHeight : DefaultCellHeight;
    int64_t cellUnits = extent.Ascent + extent.Descent;
    if (cellUnits <= 0)
        return std::clamp<int64_t>(cellHeight, 1, MaxEmPixels);
    int64_t em = (cellHeight * face->units_per_EM + cellUnits / 2) / cellUnits;
    return std::clamp<int64_t>(em, 1, MaxEmPixels);
}

// GDI's grey anti-aliasing samples each pixel 4 x 4 times: 17 levels from empty to full. Rounding
// FreeType's 256 levels to those makes a pixel that is all but covered take the exact text colour,
// as it does on Windows, which thin diagonal strokes rely on.
constexpr uint32_t CoverageLevels = 16;

uint32_t Blend(uint32_t foreground, uint32_t background, uint32_t level, int shift) {
    uint32_t f = (foreground >> shift) & 0xFF;
    uint32_t b = (background >> shift) & 0xFF;
    return ((f * level + b * (CoverageLevels - level) + CoverageLevels / 2) / CoverageLevels) << shift;
}

uint32_t BlendPixel(uint32_t foreground, uint32_t background, uint32_t level) {
    return Blend(foreground, background, level, 16) | Blend(foreground, background, level, 8) |
           Blend(foreground, background, level, 0);
}

// The coverage of a pixel of the rendered glyph, 0..CoverageLevels.
uint32_t Coverage(const FT_Bitmap& bitmap, unsigned x, unsigned y) {
    const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        return (row[x / 8] & (0x80 >> (x % 8))) ? CoverageLevels : 0;
    uint32_t grays = bitmap.num_grays > 1 ? bitmap.num_grays : 256;
    return (row[x] * CoverageLevels + (grays - 1) / 2) / (grays - 1);
}

void FillBlack(Pixmap& target, int32_t width, int32_t height) {
    int32_t right = std::min(width, target.Width());
    int32_t bottom = std::min(height, target.Height());
    for (int32_t y = 0; y < bottom; ++y)
        std::fill(target.Row(y), target.Row(y) + std::max(right, 0), 0u);
}

} // namespace

std::shared_ptr<FT_LibraryRec_> NewFreeTypeLibrary() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return nullptr;
    return std::shared_ptr<FT_LibraryRec_>(library, [](FT_Library doomed) { FT_Done_FreeType(doomed); });
}

std::unique_ptr<FreeTypeFont> FreeTypeFont::Open(std::shared_ptr<FT_LibraryRec_> library,
                                                 const std::string& file, int index,
                                                 const GlimraLogFont& logFont) {
    FT_Face face = nullptr;
    if (!library || file.empty() || FT_New_Face(library.get(), file.c_str(), index, &face) != 0)
        return nullptr;
    return std::unique_ptr<FreeTypeFont>(new FreeTypeFont(std::move(library), face, logFont));
}

std::unique_ptr<FreeTypeFont> FreeTypeFont::Unusable(std::shared_ptr<FT_LibraryRec_> library,
                                                     const GlimraLogFont& logFont) {
    return std::unique_ptr<FreeTypeFont>(new FreeTypeFont(std::move(library), nullptr, logFont));
}

FreeTypeFont::FreeTypeFont(std::shared_ptr<FT_LibraryRec_> library, FT_FaceRec_* face,
                           const GlimraLogFont& logFont)
    : m_library(std::move(library)), m_face(face) {
    if (!m_face)
        return;
    if (m_face->family_name)
        m_familyName = m_face->family_name;
    m_symbol = FT_Select_Charmap(m_face, FT_ENCODING_MS_SYMBOL) == 0;
    if (!m_symbol)
        FT_Select_Charmap(m_face, FT_ENCODING_UNICODE);

    VerticalExtent extent = WindowsExtent(m_face);
    int64_t em = EmPixels(logFont.lfHeight, m_face, extent);
    if (FT_Set_Pixel_Sizes(m_face, 0, static_cast<FT_UInt>(em)) != 0)
        return;

    int32_t weight = logFont.lfWeight == 0 ? 400 : logFont.lfWeight;
    m_emboldened = weight > BoldThreshold && !(m_face->style_flags & FT_STYLE_FLAG_BOLD);

    const FT_Size_Metrics& size = m_face->size->metrics;
    m_ascent = RoundedPixels(FT_MulFix(extent.Ascent, size.y_scale));
    int32_t descent = RoundedPixels(FT_MulFix(extent.Descent, size.y_scale));
    m_metrics.Height = m_ascent + descent;
    m_metrics.MaxCharWidth = RoundedPixels(FT_MulFix(m_face->bbox.xMax - m_face->bbox.xMin, size.x_scale));
    if (m_emboldened)
        ++m_metrics.MaxCharWidth;
}

FreeTypeFont::~FreeTypeFont() {
    if (m_face)
        FT_Done_Face(m_face);
}

unsigned FreeTypeFont::GlyphIndex(uint8_t code) const {
    if (!m_symbol)
        return FT_Get_Char_Index(m_face, UnicodeOfWindows1252(code));
    // Older symbol fonts map the bytes themselves rather than U+F000 + byte.
    unsigned index = FT_Get_Char_Index(m_face, SymbolBase + code);
    return index ? index : FT_Get_Char_Index(m_face, code);
}

void FreeTypeFont::DrawChar(Pixmap& target, uint8_t code, uint32_t colorRef) const {
    if (!m_face || m_metrics.Height == 0 || target.IsEmpty())
        return;
    if (FT_Load_Glyph(m_face, GlyphIndex(code), FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0)
        return;
    FT_GlyphSlot slot = m_face->glyph;
    int32_t advance = RoundedPixels(slot->advance.x);
    if (m_emboldened && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        // One pixel wider and no taller: the cell grows by that pixel and the glyph stays inside the
        // ascent and descent.
        FT_Outline_EmboldenXY(&slot->outline, 64, 0);
        ++advance;
    }
    // TextOutA with an opaque background paints the character's cell before the glyph.
    FillBlack(target, advance, m_metrics.Height);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
        return;

    const FT_Bitmap& bitmap = slot->bitmap;
    uint32_t color = PixelFromColorRef(colorRef);
    int32_t left = slot->bitmap_left;
    int32_t top = m_ascent - slot->bitmap_top;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        int32_t y = top + static_cast<int32_t>(row);
        if (y < 0 || y >= target.Height())
            continue;
        for (unsigned column = 0; column < bitmap.width; ++column) {
            int32_t x = left + static_cast<int32_t>(column);
            uint32_t level = Coverage(bitmap, column, row);
            if (level == 0 || !target.Contains(x, y))
                continue;
            target.SetPixel(x, y, BlendPixel(color, target.Pixel(x, y), level));
        }
    }
}
