#include "glyphs/GlimraGraph.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "glyphs/GlimraBitmap.h"
#include "raster/Blit.h"

namespace {

vGlimraGraphProps* g_globalProps = nullptr;
vGlimraPropList* g_propList = nullptr;
std::string g_fontFilePath;
std::string g_fontResourcePath;

// The scratch images of strips without pixels, kept from draw to draw: one glyph, and the window
// of the strip a cell reads. They only grow.
Pixmap g_glyphScratch;
Pixmap g_windowScratch;
Pixmap g_window; // a view of g_windowScratch

int32_t ScreenPixelsPerInch() {
    const GlimraRasteriser* rasteriser = InstalledRasteriser();
    const int32_t ppi = rasteriser != nullptr ? rasteriser->PixelsPerInch() : 96;
    return ppi > 0 ? ppi : 96;
}

void SetFaceName(GlimraLogFont& logFont, std::string_view faceName) {
    std::memset(logFont.lfFaceName, 0, sizeof logFont.lfFaceName);
    const size_t length = std::min(faceName.size(), sizeof logFont.lfFaceName - 1);
    std::memcpy(logFont.lfFaceName, faceName.data(), length);
    // A zero byte inside the name ends it, as it would in a C string.
}

} // namespace

int32_t MulDiv(int32_t number, int32_t numerator, int32_t denominator) {
    if (denominator == 0)
        return -1;
    const int64_t product = int64_t{number} * numerator;
    const int64_t magnitude =
        (std::abs(product) + std::abs(int64_t{denominator}) / 2) / std::abs(int64_t{denominator});
    const int64_t result = ((product < 0) != (denominator < 0)) ? -magnitude : magnitude;
    if (result > INT32_MAX || result < INT32_MIN)
        return -1;
    return static_cast<int32_t>(result);
}

int32_t GlyphCount(int32_t first, int32_t last) {
    const int64_t count = int64_t{last} - first + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(count, 0, MaxGlyphsPerStrip));
}

vGlimraGraphProps::vGlimraGraphProps() {
    SetDefaults();
    FlipHorizontal = true;
    FlipVertical = false;
}

vGlimraGraphProps::~vGlimraGraphProps() {
    ReleaseFont();
}

void vGlimraGraphProps::SetDefaults() {
    LogFont = GlimraLogFont{};
    LogFont.lfHeight = -MulDiv(10, ScreenPixelsPerInch(), 72);
    LogFont.lfWeight = HeavyWeight;
    LogFont.lfCharSet = 1; // DEFAULT_CHARSET
    SetFaceName(LogFont, DefaultFaceName);
    StartChar = DefaultStartChar;
    EndChar = DefaultEndChar;
}

void vGlimraGraphProps::SetFont(std::string_view faceName, int32_t points, int32_t pixelsPerInch) {
    const int32_t ppi = pixelsPerInch > 0 ? pixelsPerInch : ScreenPixelsPerInch();
    // Negating MulDiv's -1 or INT32_MIN must not overflow; such sizes are bounded by the engine.
    const int32_t height = MulDiv(points, ppi, 72);
    LogFont.lfHeight = height == INT32_MIN ? INT32_MAX : -height;
    SetFaceName(LogFont, faceName);
}

int32_t vGlimraGraphProps::MeasureFont(int32_t which) const {
    if (which != 0 && which != 1)
        return 0;
    GlimraRasteriser* rasteriser = InstalledRasteriser();
    if (rasteriser == nullptr)
        return 0;
    const std::unique_ptr<GlimraFont> font = rasteriser->CreateFont(LogFont);
    if (!font)
        return 0;
    const GlimraTextMetrics metrics = font->Metrics();
    return which == 1 ? metrics.Height : metrics.MaxCharWidth;
}

void vGlimraGraphProps::UpdateGlyphSize() {
    GlyphHeight = MeasureFont(1);
    GlyphWidth = MeasureFont(0);
}

GlimraFont* vGlimraGraphProps::GetFont() {
    if (!m_font) {
        GlimraRasteriser* rasteriser = InstalledRasteriser();
        if (rasteriser != nullptr)
            m_font = rasteriser->CreateFont(LogFont);
    }
    return m_font.get();
}

void vGlimraGraphProps::ReleaseFont() {
    m_font.reset();
}

std::unique_ptr<vGlimraGraphProps> vGlimraGraphProps::Clone() const {
    auto copy = std::make_unique<vGlimraGraphProps>();
    copy->LogFont = LogFont;
    copy->GlyphHeight = GlyphHeight;
    copy->GlyphWidth = GlyphWidth;
    copy->FlipHorizontal = FlipHorizontal;
    copy->FlipVertical = FlipVertical;
    copy->StartChar = StartChar;
    copy->EndChar = EndChar;
    return copy;
}

std::string vGlimraGraphProps::FaceName() const {
    return std::string(LogFont.lfFaceName, strnlen(LogFont.lfFaceName, sizeof LogFont.lfFaceName));
}

vGlimraGraphProps* vGlimraPropList::PropsFor(CreatureClassRef creatureClass) {
    vGlimraGraphClass* entry = Find(creatureClass);
    if (entry == nullptr) {
        std::unique_ptr<vGlimraGraphProps> snapshot =
            g_globalProps != nullptr ? g_globalProps->Clone() : std::make_unique<vGlimraGraphProps>();
        entry = &Append(std::make_unique<vGlimraGraphClass>(creatureClass, std::move(snapshot)));
    }
    return entry->Props.get();
}

void InitializeGlimraGraph(const std::string& executableDirectory) {
    g_fontFilePath = executableDirectory + "GlimraCode.TTF";
    g_fontResourcePath = executableDirectory + "GlimraCode.FOT";
    if (GlimraRasteriser* rasteriser = InstalledRasteriser())
        (void)rasteriser->RegisterFontFile(g_fontFilePath, g_fontResourcePath);
    if (g_globalProps == nullptr)
        g_globalProps = new vGlimraGraphProps;
    if (g_propList == nullptr)
        g_propList = new vGlimraPropList;
}

void FinalizeGlimraGraph() {
    g_window = Pixmap();
    g_glyphScratch = Pixmap();
    g_windowScratch = Pixmap();
    delete g_globalProps;
    g_globalProps = nullptr;
    delete g_propList;
    g_propList = nullptr;
    if (GlimraRasteriser* rasteriser = InstalledRasteriser();
        rasteriser != nullptr && !g_fontFilePath.empty())
        rasteriser->UnregisterFontFile(g_fontFilePath, g_fontResourcePath);
}

const std::string& FontFilePath() {
    return g_fontFilePath;
}

const std::string& FontResourcePath() {
    return g_fontResourcePath;
}

vGlimraGraphProps* GlobalGraphProps() {
    return g_globalProps;
}

vGlimraGraphProps* GraphPropsFor(CreatureClassRef creatureClass) {
    return g_propList == nullptr ? nullptr : g_propList->PropsFor(creatureClass);
}

void UpdateGlobalGlyphSize() {
    if (g_globalProps != nullptr)
        g_globalProps->UpdateGlyphSize();
}

namespace {

// A character drawn on black in a colour into the width x height scratch, then copied, mirrored as
// the record says, to x = left of target: the one way both a strip and a window of one are painted.
void PaintGlyph(Pixmap& target, int32_t left, int32_t code, uint32_t colour, int32_t width, int32_t height,
                vGlimraGraphProps& props, Pixmap& scratch) {
    if (left < 0)
        return;
    FillBlack(scratch, 0, 0, width, height);
    if (GlimraFont* font = props.GetFont())
        font->DrawChar(scratch, static_cast<uint8_t>(code & 0xFF), colour);
    CopyMirrored(target, left, 0, width, height, scratch, 0, 0, props.FlipHorizontal, props.FlipVertical);
}

void EnsureSize(Pixmap& scratch, int32_t width, int32_t height) {
    if (scratch.Width() < width || scratch.Height() < height)
        scratch = Pixmap(std::max(width, scratch.Width()), std::max(height, scratch.Height()));
}

// What a strip without pixels would hold in the width x height area read from the left edge of
// slot `slot`, cut to the strip as a copy from it would be: the part of the cell a copy would leave
// untouched is not in the window. Nil when nothing would be read.
const Pixmap* StripWindow(const vGlimraAlphabet& alphabet, int32_t slot, int32_t width, int32_t height) {
    const int32_t windowLeft = alphabet.SlotLeft(slot);
    const int32_t windowWidth = std::min(width, alphabet.StripWidth - windowLeft);
    const int32_t windowHeight = std::min(height, alphabet.StripHeight);
    if (windowWidth <= 0 || windowHeight <= 0)
        return nullptr;
    EnsureSize(g_windowScratch, windowWidth, windowHeight);
    EnsureSize(g_glyphScratch, alphabet.SlotWidth, alphabet.SlotHeight);
    g_window = Pixmap::Wrap(g_windowScratch.Row(0), windowWidth, windowHeight, g_windowScratch.Stride());
    Pixmap glyph =
        Pixmap::Wrap(g_glyphScratch.Row(0), alphabet.SlotWidth, alphabet.SlotHeight, g_glyphScratch.Stride());
    FillBlack(g_window, 0, 0, windowWidth, windowHeight);
    vGlimraGraphProps* props = GraphPropsFor(alphabet.CreatureClass);
    if (props == nullptr)
        return &g_window;
    for (int32_t next = slot; next < alphabet.GlyphSlots; ++next) {
        const int32_t left = alphabet.SlotLeft(next) - windowLeft;
        if (left >= windowWidth)
            break;
        PaintGlyph(g_window, left, alphabet.FirstChar + next, alphabet.TextColour, alphabet.SlotWidth,
                   alphabet.SlotHeight, *props, glyph);
    }
    return &g_window;
}

} // namespace

void RenderGlyphStrips(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight, CreatureClassRef creatureClass,
                       int32_t stateCount, const std::function<uint32_t(int32_t)>& colourOfState,
                       int32_t blankSlots) {
    (void)dc;
    vGlimraGraphProps* props = GraphPropsFor(creatureClass);
    if (props == nullptr || glyphWidth <= 0 || glyphHeight <= 0)
        return;
    const int32_t first = props->StartChar;
    const int32_t count = GlyphCount(first, props->EndChar);
    blankSlots = std::clamp(blankSlots, 0, MaxGlyphsPerStrip);
    // A range reversed by fewer codes than there are blank slots still leaves some of them.
    const int64_t reversal = std::min<int64_t>(int64_t{props->EndChar} - first + 1, 0);
    const int32_t slotCount = static_cast<int32_t>(std::max<int64_t>(count + reversal + blankSlots, 0));
    // The class's font is made here, once, even for a range without characters, and kept.
    props->GetFont();
    Pixmap scratch(glyphWidth, glyphHeight);
    for (int32_t state = 0; state < stateCount; ++state) {
        vGlimraAlphabet* alphabet = FindAlphabet(creatureClass, state);
        if (alphabet == nullptr)
            alphabet = AddAlphabet(creatureClass, state, glyphWidth, glyphHeight, slotCount);
        if (alphabet == nullptr)
            continue;
        alphabet->TextColour = colourOfState(state);
        alphabet->FirstChar = first;
        alphabet->GlyphSlots = std::min(count, alphabet->SlotCount);
        if (!alphabet->HasPixels())
            continue;
        for (int32_t slot = 0; slot < alphabet->GlyphSlots; ++slot)
            PaintGlyph(alphabet->Bitmap, alphabet->SlotLeft(slot), first + slot, alphabet->TextColour,
                       glyphWidth, glyphHeight, *props, scratch);
        for (int32_t blank = 0; blank < blankSlots; ++blank) {
            const int32_t left = alphabet->SlotLeft(static_cast<int32_t>(count + reversal + blank));
            if (left < 0)
                continue;
            FillBlack(alphabet->Bitmap, left, 0, glyphWidth, glyphHeight);
        }
    }
}

namespace {

using BlockOperation = void (*)(Pixmap&, int32_t, int32_t, int32_t, int32_t, const Pixmap&, int32_t, int32_t);

void ApplySlot(BlockOperation operation, Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height,
               const vGlimraAlphabet& alphabet, int32_t slot) {
    const int32_t slotLeft = alphabet.SlotLeft(slot);
    if (slotLeft < 0)
        return;
    if (alphabet.HasPixels())
        operation(dc, left, top, width, height, alphabet.Bitmap, slotLeft, 0);
    else if (const Pixmap* window = StripWindow(alphabet, slot, width, height))
        operation(dc, left, top, window->Width(), window->Height(), *window, 0, 0);
}

} // namespace

void CopySlot(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height,
              const vGlimraAlphabet& alphabet, int32_t slot) {
    ApplySlot(CopyRect, dc, left, top, width, height, alphabet, slot);
}

void OrSlot(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height,
            const vGlimraAlphabet& alphabet, int32_t slot) {
    ApplySlot(OrRect, dc, left, top, width, height, alphabet, slot);
}

void DrawGlyph(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height,
               CreatureClassRef creatureClass, int32_t state, int32_t glyphIndex) {
    if (const vGlimraAlphabet* alphabet = FindAlphabet(creatureClass, state))
        CopySlot(dc, left, top, width, height, *alphabet, glyphIndex);
}
