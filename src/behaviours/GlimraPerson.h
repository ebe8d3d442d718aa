#pragma once

#include <cstdint>

#include "behaviours/GlimraFade.h"
#include "engine/GlimraCell.h"

// Behaviour parameters of the falling cascade, copied from the settings when an engine is made.
extern GlimraRgb CreatureStartColor;
extern GlimraRgb CreatureEndColor;
extern int32_t CreatureStates;
extern int32_t Volatility;
extern int32_t SpeedRange;

// The cascade's strips hold the range's characters followed by this many black slots, so that
// some glyphs of a track are blanks.
inline constexpr int32_t CascadeBlankSlots = 5;

// A creature that can step to the neighbouring cell above or below.
class vGlimraMover : public vGlimraCreature {
public:
    vGlimraMover() = default;
    // Detaches from its cell and places itself into the neighbour (destroying what lived there),
    // starting again at State 0; at the column's edge it kills itself instead.
    void Move() override;

    // 0 moves down, 1 moves up, anything else has no neighbour.
    uint8_t Direction = 0;
};

// Wipes a column black from top to bottom, one row per tick, destroying what lives there.
class vGlimraSweeper : public vGlimraMover {
public:
    class Meta : public GlimraCreatureClass {
    public:
        Meta() : GlimraCreatureClass("vGlimraSweeper") {}
        std::unique_ptr<vGlimraCreature> Create() const override;
        void PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const override;
    };

    vGlimraSweeper();
    static CreatureClassRef Class();
    CreatureClassRef InstanceClass() const override { return Class(); }

    void Tick(int32_t counter) override;
    // Blacks the cell, in every state, as long as its strip exists.
    void Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) override;
    // Black is black whatever the state: once the cell is wiped, it stays wiped.
    int64_t PictureKey() const override { return 0; }
};

// One glyph of a falling track. The lowest glyph of a track plants the next one in the cell
// below; as the walk goes top to bottom, the new one is ticked in the same pass, so the head moves
// one cell per active tick. Each glyph fades through its strips and, when done, dies or becomes a
// flipper.
class vGlimraPerson : public vGlimraCreature {
public:
    class Meta : public GlimraCreatureClass {
    public:
        Meta() : GlimraCreatureClass("vGlimraPerson") {}
        std::unique_ptr<vGlimraCreature> Create() const override;
        void PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const override;
        uint32_t StepColour(int32_t step) const;
    };

    vGlimraPerson();
    static CreatureClassRef Class();
    CreatureClassRef InstanceClass() const override { return Class(); }

    void Tick(int32_t counter) override;
    void Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) override;
    // The glyph never changes, so the colour step alone tells one picture from another: a glyph
    // waiting for its next active tick is not painted again.
    int64_t PictureKey() const override { return State; }
    virtual int32_t GlyphIndex() const { return Glyph; }

    int32_t Glyph = 0;
    // Acts only on ticks whose counter is a multiple of Speed; 0 and 1 act on every tick.
    int32_t Speed = 0;
};

// Registers the cascade and then the sweeper, both with weight 50.
void InitializeGlimraPerson();
// Restores the parameters' defaults.
void FinalizeGlimraPerson();
