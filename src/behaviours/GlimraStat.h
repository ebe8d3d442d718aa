#pragma once

#include <cstdint>

#include "behaviours/GlimraFade.h"
#include "engine/GlimraCell.h"

// Behaviour parameters, copied from the settings when an engine is made.
extern GlimraRgb StaticStartColor;
extern GlimraRgb StaticMidColor;
extern GlimraRgb StaticEndColor;
extern int32_t StaticStates;
extern GlimraRgb FlipperStartColor;
extern GlimraRgb FlipperMidColor;
extern GlimraRgb FlipperEndColor;
extern int32_t FlipperStates;

// A glyph that morphs out of the picture its cell showed: during the first half of its fade the
// new glyph is ORed over the captured picture, brightening; then it is shown alone, fading. Then
// it dies and its last colour stays on screen.
class vGlimraStatic : public vGlimraCreature {
public:
    class Meta : public GlimraCreatureClass {
    public:
        Meta() : GlimraCreatureClass("vGlimraStatic") {}
        std::unique_ptr<vGlimraCreature> Create() const override;
        void PrepareGlyphs(Pixmap& dc, int32_t glyphWidth, int32_t glyphHeight) const override;
        // Any row but the bottom one.
        int32_t ChooseStartCell(int32_t last) const override;
        CreatureClassRef AlphabetClass() const override;
        int32_t ConfiguredStates() const override;
        // The colour of a step of this class's fade.
        uint32_t StepColour(int32_t step) const;

    protected:
        Meta(const char* name) : GlimraCreatureClass(name) {}
        virtual void FadeColours(GlimraRgb& start, GlimraRgb& mid, GlimraRgb& end) const;
    };

    vGlimraStatic() : vGlimraStatic(Class()) {}
    static CreatureClassRef Class();
    CreatureClassRef InstanceClass() const override { return m_class; }

    void Tick(int32_t counter) override;
    void Draw(Pixmap& dc, int32_t left, int32_t top, int32_t width, int32_t height) override;
    // Glyph and background are fixed once the first Draw has captured the background.
    int64_t PictureKey() const override { return State; }

    bool BackgroundTaken = false;
    Pixmap Background;
    int32_t Glyph = 0;

protected:
    // The class is passed down because a flipper under construction must already find its own
    // strips, which a virtual call from this constructor would not reach.
    explicit vGlimraStatic(CreatureClassRef ownClass);

private:
    const Meta* MetaClass() const;
    CreatureClassRef m_class;
};

// A static that, when its fade is over, replaces itself with a new flipper in the same cell, so
// the cell keeps flickering until something else is placed into it.
class vGlimraFlipper : public vGlimraStatic {
public:
    class Meta : public vGlimraStatic::Meta {
    public:
        Meta() : vGlimraStatic::Meta("vGlimraFlipper") {}
        std::unique_ptr<vGlimraCreature> Create() const override;
        CreatureClassRef AlphabetClass() const override;
        int32_t ConfiguredStates() const override;

    protected:
        void FadeColours(GlimraRgb& start, GlimraRgb& mid, GlimraRgb& end) const override;
    };

    vGlimraFlipper() : vGlimraStatic(Class()) {}
    static CreatureClassRef Class();

    void Tick(int32_t counter) override;
};

// Registers the static (weight 50) and the flipper (weight 0), in that order.
void InitializeGlimraStat();
// Restores the parameters' defaults.
void FinalizeGlimraStat();
