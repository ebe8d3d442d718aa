#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/GlimraOwningList.h"
#include "glyphs/GlimraClassRef.h"
#include "glyphs/GlimraRasteriser.h"
#include "raster/Pixmap.h"

// The glyph font record: the font description, the glyph cell measured from it, the character
// range and the mirroring flags. One global record holds what the settings say; each behaviour
// class that draws glyphs gets its own copy on first request.
class vGlimraGraphProps {
public:
    vGlimraGraphProps();
    virtual ~vGlimraGraphProps();
    vGlimraGraphProps(const vGlimraGraphProps&) = delete;
    vGlimraGraphProps& operator=(const vGlimraGraphProps&) = delete;

    // Resets the font description and the character range; leaves the flips, the cell and Font.
    virtual void SetDefaults();
    // lfHeight := -MulDiv(points, pixels per inch, 72), and the face name, cut to 31 characters.
    // pixelsPerInch 0 asks the installed rasteriser (the screen). A font made before keeps
    // describing the old font.
    void SetFont(std::string_view faceName, int32_t points, int32_t pixelsPerInch = 0);
    // tmHeight (which 1) or tmMaxCharWidth (which 0) of a temporary font from LogFont; 0 otherwise.
    int32_t MeasureFont(int32_t which) const;
    void UpdateGlyphSize();
    // Made on first need and kept; nil when no rasteriser is installed.
    GlimraFont* GetFont();
    void ReleaseFont();
    std::unique_ptr<vGlimraGraphProps> Clone() const;

    std::string FaceName() const;

    GlimraLogFont LogFont{};
    int32_t GlyphHeight = 0;
    int32_t GlyphWidth = 0;
    int32_t StartChar = 0;
    int32_t EndChar = 0;
    bool FlipHorizontal = true;
    bool FlipVertical = false;

private:
    std::unique_ptr<GlimraFont> m_font;
};

class vGlimraGraphClass {
public:
    vGlimraGraphClass(CreatureClassRef creatureClass, std::unique_ptr<vGlimraGraphProps> props)
        : CreatureClass(creatureClass), Props(std::move(props)) {}

    CreatureClassRef Key() const { return CreatureClass; }

    CreatureClassRef CreatureClass;
    std::unique_ptr<vGlimraGraphProps> Props;
};

class vGlimraPropList : public GlimraOwningList<vGlimraGraphClass> {
public:
    vGlimraGraphClass* Find(CreatureClassRef creatureClass) const { return FindBy(creatureClass); }
    // The class's record; the first request takes a copy of the global record.
    vGlimraGraphProps* PropsFor(CreatureClassRef creatureClass);
};

inline constexpr const char* DefaultFaceName = "Japanese Generic1";
inline constexpr int32_t DefaultStartChar = 193;
inline constexpr int32_t DefaultEndChar = 237;
inline constexpr int32_t HeavyWeight = 900;

// Character codes beyond 255 draw their low byte, so a range of more than 256 codes only repeats
// glyphs; strips hold at most this many characters, which every range the dialog offers fits.
inline constexpr int32_t MaxGlyphsPerStrip = 256;

// The number of characters a strip holds for the range first..last: 0 when last < first.
int32_t GlyphCount(int32_t first, int32_t last);

// Round(number * numerator / denominator), halves away from zero; -1 when the denominator is 0 or
// the result does not fit, as Windows' MulDiv.
int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator);

// Registers the font file beside the executable (failures ignored) and makes the global record
// and the empty list. executableDirectory ends with a separator.
void InitializeGlimraGraph(const std::string& executableDirectory);
void FinalizeGlimraGraph();
const std::string& FontFilePath();
const std::string& FontResourcePath();

vGlimraGraphProps* GlobalGraphProps();
vGlimraGraphProps* GraphPropsFor(CreatureClassRef creatureClass);
void UpdateGlobalGlyphSize();

// Fills the strips (class, k) for k in 0..stateCount-1: every character of the class's range in
// colourOfState(k) (0x00BBGGRR) on black, mirrored as the class's record says, then blankSlots
// black slots. Existing strips are drawn over at their existing size.
void RenderGlyphStrips(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight, CreatureClassRef creatureClass,
                       int32_t stateCount, const std::function<uint32_t(int32_t)>& colourOfState,
                       int32_t blankSlots);

class vGlimraAlphabet;

// Copy (SRCCOPY) or OR (SRCPAINT) the width x height area of the strip that starts at slot's left
// edge onto (left, top) of dc, as one block operation from the strip does: nothing for a slot
// outside the strip, and cell pixels beyond the strip's edges keep their value. A strip without
// pixels is drawn from its class's font into a scratch window first, to the same picture.
void CopySlot(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height,
              const vGlimraAlphabet& alphabet, int32_t slot);
void OrSlot(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height,
            const vGlimraAlphabet& alphabet, int32_t slot);

// Copies the slot's width x height area of the strip (class, state) to (left, top) of dc; nothing
// when there is no such strip or slot.
void DrawGlyph(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height,
               CreatureClassRef creatureClass, int32_t state, int32_t glyphIndex);
