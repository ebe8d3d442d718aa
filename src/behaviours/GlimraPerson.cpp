#include "behaviours/GlimraPerson.h"

#include "behaviours/GlimraStat.h"
#include "engine/GlimraRandom.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"
#include "raster/Blit.h"

namespace {

const vGlimraSweeper::Meta g_sweeperClass;
const vGlimraPerson::Meta g_personClass;

constexpr GlimraRgb DefaultStart{0, 255, 198};
constexpr GlimraRgb DefaultEnd{0, 128, 0};

} // namespace

GlimraRgb CreatureStartColor = DefaultStart;
GlimraRgb CreatureEndColor = DefaultEnd;
int32_t CreatureStates = 8;
int32_t Volatility = 10;
int32_t SpeedRange = 3;

void vGlimraMover::Move() {
    if (Cell == nullptr)
        return;
    vGlimraCell* target = Direction == 0 ? Cell->NextCell() : Direction == 1 ? Cell->PreviousCell() : nullptr;
    if (target == nullptr) {
        Kill();
        return;
    }
    // Detached first, so that the old cell does not destroy this creature; the target owns it now.
    target->Place(Cell->Detach());
    State = 0;
}

std::unique_ptr<vGlimraCreature> vGlimraSweeper::Meta::Create() const {
    return std::make_unique<vGlimraSweeper>();
}

void vGlimraSweeper::Meta::PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const {
    (void)dc;
    vGlimraAlphabet* alphabet = FindAlphabet(&g_sweeperClass, 0);
    if (alphabet == nullptr)
        alphabet = AddAlphabet(&g_sweeperClass, 0, glyphWidth, glyphHeight, 1);
    if (alphabet == nullptr)
        return;
    const int32_t left = alphabet->SlotLeft(0);
    FillBlack(alphabet->Bitmap, left, 0, glyphWidth - left, glyphHeight);
}

vGlimraSweeper::vGlimraSweeper() {
    Cyclic = false;
    StateCount = 1;
}

CreatureClassRef vGlimraSweeper::Class() {
    return &g_sweeperClass;
}

void vGlimraSweeper::Tick(int32_t counter) {
    if (IsFinished()) {
        Move();
        return;
    }
    vGlimraCreature::Tick(counter);
}

void vGlimraSweeper::Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) {
    if (FindAlphabet(&g_sweeperClass, 0) != nullptr)
        FillBlack(dc, left, top, width, height);
}

std::unique_ptr<vGlimraCreature> vGlimraPerson::Meta::Create() const {
    return std::make_unique<vGlimraPerson>();
}

void vGlimraPerson::Meta::PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const {
    RenderGlyphStrips(
        dc, glyphWidth, glyphHeight, &g_personClass, BoundedStates(CreatureStates),
        [this](int32_t step) { return StepColour(step); }, CascadeBlankSlots);
}

uint32_t vGlimraPerson::Meta::StepColour(int32_t step) const {
    return TwoColourFade(CreatureStartColor, CreatureEndColor, BoundedStates(CreatureStates), step);
}

vGlimraPerson::vGlimraPerson() {
    Cyclic = false;
    StateCount = BoundedStates(CreatureStates);
    const vGlimraAlphabet* alphabet = FindAlphabet(&g_personClass, 0);
    Glyph = Random(alphabet != nullptr ? alphabet->SlotCount : 0);
    Speed = Random(SpeedRange);
}

CreatureClassRef vGlimraPerson::Class() {
    return &g_personClass;
}

void vGlimraPerson::Tick(int32_t counter) {
    if (IsFinished()) {
        Kill();
        // The draw is made whether or not there is a cell to place a flipper into.
        if (Random(100) >= Volatility || Cell == nullptr)
            return;
        // This Place destroys the running creature; nothing of it may be touched afterwards.
        Cell->Place(std::make_unique<vGlimraFlipper>());
        return;
    }
    if (Speed != 0 && counter % Speed != 0)
        return;
    if (Cell != nullptr && State == 1) {
        if (vGlimraCell* next = Cell->NextCell()) {
            auto successor = std::make_unique<vGlimraPerson>();
            successor->Speed = Speed;
            next->Place(std::move(successor));
        }
    }
    vGlimraCreature::Tick(counter);
}

void vGlimraPerson::Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) {
    DrawGlyph(dc, left, top, width, height, &g_personClass, State, Glyph);
}

void InitializeGlimraPerson() {
    RegisterCreatureClass(vGlimraPerson::Class(), 50);
    RegisterCreatureClass(vGlimraSweeper::Class(), 50);
}

void FinalizeGlimraPerson() {
    CreatureStartColor = DefaultStart;
    CreatureEndColor = DefaultEnd;
    CreatureStates = 8;
    Volatility = 10;
    SpeedRange = 3;
}
