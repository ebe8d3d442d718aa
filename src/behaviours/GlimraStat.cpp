#include "behaviours/GlimraStat.h"

#include "engine/GlimraRandom.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"
#include "raster/Blit.h"

namespace {

const vGlimraStatic::Meta g_staticClass;
const vGlimraFlipper::Meta g_flipperClass;

constexpr GlimraRgb Black{0, 0, 0};
constexpr GlimraRgb BrightGreen{0, 255, 198};
constexpr GlimraRgb DarkGreen{0, 128, 0};

} // namespace

GlimraRgb StaticStartColor = Black;
GlimraRgb StaticMidColor = BrightGreen;
GlimraRgb StaticEndColor = DarkGreen;
int32_t StaticStates = 12;
GlimraRgb FlipperStartColor = Black;
GlimraRgb FlipperMidColor = BrightGreen;
GlimraRgb FlipperEndColor = DarkGreen;
int32_t FlipperStates = 6;

std::unique_ptr<vGlimraCreature> vGlimraStatic::Meta::Create() const {
    return std::make_unique<vGlimraStatic>();
}

void vGlimraStatic::Meta::PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const {
    RenderGlyphStrips(
        dc, glyphWidth, glyphHeight, AlphabetClass(), ConfiguredStates(),
        [this](int32_t step) { return StepColour(step); }, 0);
}

int32_t vGlimraStatic::Meta::ChooseStartCell(int32_t last) const {
    return Random(last);
}

CreatureClassRef vGlimraStatic::Meta::AlphabetClass() const {
    return &g_staticClass;
}

int32_t vGlimraStatic::Meta::ConfiguredStates() const {
    return BoundedStates(StaticStates);
}

uint32_t vGlimraStatic::Meta::StepColour(int32_t step) const {
    GlimraRgb start, mid, end;
    FadeColours(start, mid, end);
    return ThreeColourFade(start, mid, end, ConfiguredStates(), step);
}

void vGlimraStatic::Meta::FadeColours(GlimraRgb& start, GlimraRgb& mid, GlimraRgb& end) const {
    start = StaticStartColor;
    mid = StaticMidColor;
    end = StaticEndColor;
}

CreatureClassRef vGlimraStatic::Class() {
    return &g_staticClass;
}

vGlimraStatic::vGlimraStatic(CreatureClassRef ownClass) : m_class(ownClass) {
    Cyclic = false;
    StateCount = MetaClass()->ConfiguredStates();
    const vGlimraAlphabet* alphabet = FindAlphabet(MetaClass()->AlphabetClass(), 0);
    Glyph = Random(alphabet != nullptr ? alphabet->SlotCount : 0);
}

const vGlimraStatic::Meta* vGlimraStatic::MetaClass() const {
    return static_cast<const Meta*>(m_class);
}

void vGlimraStatic::Tick(int32_t counter) {
    if (IsFinished()) {
        Kill();
        return;
    }
    vGlimraCreature::Tick(counter);
}

void vGlimraStatic::Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) {
    // Right after the capture the cell holds the background already: copying it back would write
    // every pixel with its own value.
    bool backgroundShown = false;
    if (!BackgroundTaken) {
        Background = Pixmap(width, height);
        CopyRect(Background, 0, 0, width, height, dc, left, top);
        BackgroundTaken = true;
        backgroundShown = true;
    }
    const vGlimraAlphabet* alphabet = FindAlphabet(MetaClass()->AlphabetClass(), State);
    if (alphabet == nullptr)
        return;
    if (alphabet->SlotLeft(Glyph) < 0)
        return;
    // Composed straight onto the surface: the result equals composing in a fresh, black cell-sized
    // picture and copying that, without a picture per draw.
    if (State <= MetaClass()->ConfiguredStates() / 2) {
        if (!backgroundShown)
            CopyRect(dc, left, top, width, height, Background, 0, 0);
        OrSlot(dc, left, top, width, height, *alphabet, Glyph);
    } else {
        // The black only shows where the strip ends short of the cell, or where a strip beyond the
        // memory budget has no pixels to copy.
        const Pixmap& strip = alphabet->Bitmap;
        if (!alphabet->HasPixels() || alphabet->SlotLeft(Glyph) + width > strip.Width() ||
            height > strip.Height())
            FillBlack(dc, left, top, width, height);
        CopySlot(dc, left, top, width, height, *alphabet, Glyph);
    }
}

std::unique_ptr<vGlimraCreature> vGlimraFlipper::Meta::Create() const {
    return std::make_unique<vGlimraFlipper>();
}

CreatureClassRef vGlimraFlipper::Meta::AlphabetClass() const {
    return &g_flipperClass;
}

int32_t vGlimraFlipper::Meta::ConfiguredStates() const {
    return BoundedStates(FlipperStates);
}

void vGlimraFlipper::Meta::FadeColours(GlimraRgb& start, GlimraRgb& mid, GlimraRgb& end) const {
    start = FlipperStartColor;
    mid = FlipperMidColor;
    end = FlipperEndColor;
}

CreatureClassRef vGlimraFlipper::Class() {
    return &g_flipperClass;
}

void vGlimraFlipper::Tick(int32_t counter) {
    vGlimraStatic::Tick(counter);
    if (IsFinished() && Cell != nullptr) {
        // This Place destroys the running flipper; nothing of it may be touched afterwards.
        Cell->Place(std::make_unique<vGlimraFlipper>());
        return;
    }
}

void InitializeGlimraStat() {
    RegisterCreatureClass(vGlimraStatic::Class(), 50);
    RegisterCreatureClass(vGlimraFlipper::Class(), 0);
}

void FinalizeGlimraStat() {
    StaticStartColor = Black;
    StaticMidColor = BrightGreen;
    StaticEndColor = DarkGreen;
    StaticStates = 12;
    FlipperStartColor = Black;
    FlipperMidColor = BrightGreen;
    FlipperEndColor = DarkGreen;
    FlipperStates = 6;
}
