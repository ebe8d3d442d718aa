#include "behaviours/BehaviourWorld.h"

#include "raster/Blit.h"
#include "support/PixmapExpect.h"

namespace {

class Static : public BehaviourWorld {
protected:
    void FillCell(int32_t column, int32_t row, uint32_t pixel) {
        for (int32_t y = row * GlyphHeight; y < (row + 1) * GlyphHeight; ++y)
            for (int32_t x = column * GlyphWidth; x < (column + 1) * GlyphWidth; ++x)
                surface.SetPixel(x, y, pixel);
    }
    Pixmap CellPicture(int32_t column, int32_t row) const {
        Pixmap picture(GlyphWidth, GlyphHeight);
        CopyRect(picture, 0, 0, GlyphWidth, GlyphHeight, surface, column * GlyphWidth, row * GlyphHeight);
        return picture;
    }
    // The glyph image of a slot of a strip, upright: the world's record mirrors left to right.
    static Pixmap SlotImage(CreatureClassRef key, int32_t state, int32_t slot) {
        const vGlimraAlphabet* alphabet = FindAlphabet(key, state);
        Pixmap image(GlyphWidth, GlyphHeight);
        CopyRect(image, 0, 0, GlyphWidth, GlyphHeight, alphabet->Bitmap, alphabet->SlotLeft(slot), 0);
        return image;
    }
};

} // namespace

TEST_F(Static, NeverStartsInTheBottomRow) {
    Prepare(1, 45);
    std::vector<int> rows(45, 0);
    for (int i = 0; i < 20000; ++i)
        ++rows[static_cast<size_t>(vGlimraStatic::Class()->ChooseStartCell(44))];
    EXPECT_EQ(rows[44], 0);
    for (int32_t row = 0; row < 44; ++row)
        EXPECT_GT(rows[static_cast<size_t>(row)], 0) << row;
    EXPECT_EQ(vGlimraStatic::Class()->ChooseStartCell(0), 0) << "a one-row column";
    EXPECT_EQ(vGlimraFlipper::Class()->ChooseStartCell(0), 0);
}

TEST_F(Static, FirstHalfOrsTheNewGlyphOverTheOldPictureSecondHalfShowsItAlone) {
    // Red background under a green glyph: the OR keeps both visible.
    StaticStartColor = {0, 0, 0};
    StaticMidColor = {0, 240, 0};
    StaticEndColor = {0, 60, 0};
    StaticStates = 4;
    Prepare(1, 3);
    FillCell(0, 1, 0x800000);
    const Pixmap old = CellPicture(0, 1);
    ScriptedRandomDraws glyph({7});
    CellAt(0, 1)->Spawn(vGlimraStatic::Class());
    auto* creature = At<vGlimraStatic>(0, 1);
    ASSERT_EQ(creature->Glyph, 7);
    for (int32_t tick = 1; tick <= 3; ++tick) {
        Step();
        ASSERT_EQ(creature->State, tick);
        Pixmap expected = SlotImage(vGlimraStatic::Class(), tick, 7);
        if (tick <= 2) // half = 4 div 2
            OrRect(expected, 0, 0, GlyphWidth, GlyphHeight, old, 0, 0);
        ASSERT_TRUE(PixmapsEqual(CellPicture(0, 1), expected)) << "tick " << tick;
    }
    const Pixmap last = CellPicture(0, 1);
    Step();
    EXPECT_EQ(creature->State, 4) << "finished: no strip, nothing painted";
    EXPECT_TRUE(PixmapsEqual(CellPicture(0, 1), last));
    Step();
    EXPECT_EQ(At<vGlimraStatic>(0, 1)->State, -1);
    Step();
    EXPECT_EQ(CellAt(0, 1)->Creature(), nullptr);
    EXPECT_TRUE(PixmapsEqual(CellPicture(0, 1), last)) << "the new glyph stays in its last colour";
}

TEST_F(Static, AStaticsGlyphIsAlwaysACharacterOfTheRange) {
    GlobalGraphProps()->StartChar = 65;
    GlobalGraphProps()->EndChar = 74;
    Prepare(1, 2);
    for (int i = 0; i < 2000; ++i) {
        vGlimraStatic creature;
        ASSERT_GE(creature.Glyph, 0);
        ASSERT_LT(creature.Glyph, 10);
    }
    EXPECT_EQ(FindAlphabet(vGlimraStatic::Class(), 0)->SlotCount, 10) << "no blank slots";
    EXPECT_EQ(FindAlphabet(vGlimraFlipper::Class(), 5)->SlotCount, 10);
}

TEST_F(Static, AFlipperCyclesEveryNTicksWithANewGlyph) {
    Prepare(1, 2);
    CellAt(0, 0)->Place(std::make_unique<vGlimraFlipper>());
    std::vector<vGlimraFlipper*> generations{At<vGlimraFlipper>(0, 0)};
    std::vector<uint32_t> brightest;
    for (int tick = 0; tick < 12; ++tick) {
        Step();
        auto* current = At<vGlimraFlipper>(0, 0);
        ASSERT_NE(current, nullptr);
        if (current != generations.back())
            generations.push_back(current);
        brightest.push_back(Brightest(0, 0));
    }
    // A flipper placed during a walk shows steps 0..5 on six ticks; this one was placed before the
    // walk, so it shows 1..5 and is replaced on its sixth tick, by one that shows step 0 at once.
    EXPECT_EQ(generations.size(), 3u);
    EXPECT_EQ(brightest[4], Pixel(0, 129, 0));
    EXPECT_EQ(brightest[11], Pixel(0, 129, 0));
    EXPECT_EQ(At<vGlimraFlipper>(0, 0)->State, 0);
    // The flickering cell goes through 0..5, with each new glyph starting from the old picture.
    EXPECT_EQ(brightest[6], Pixel(0, 85, 66) | brightest[5]);
    EXPECT_EQ(brightest[8], Pixel(0, 255, 198) | Pixel(0, 129, 0))
        << "the old glyph's colour ORed under the mid colour";
    EXPECT_EQ(brightest[9], Pixel(0, 192, 99));
}

TEST_F(Static, AStaticSpawnedOverAFlipperDestroysItAndItsCapture) {
    Prepare(1, 3);
    CellAt(0, 1)->Place(std::make_unique<vGlimraFlipper>());
    Step();
    ASSERT_TRUE(At<vGlimraFlipper>(0, 1)->BackgroundTaken);
    CellAt(0, 1)->Spawn(vGlimraStatic::Class());
    EXPECT_EQ(At<vGlimraFlipper>(0, 1), nullptr);
    ASSERT_NE(At<vGlimraStatic>(0, 1), nullptr);
    EXPECT_FALSE(At<vGlimraStatic>(0, 1)->BackgroundTaken);
    Step();
    EXPECT_TRUE(At<vGlimraStatic>(0, 1)->BackgroundTaken);
}

TEST_F(Static, WithoutAnyGlyphSlotItCapturesFadesAndDiesOnTimeShowingNothing) {
    GlobalGraphProps()->StartChar = 50;
    GlobalGraphProps()->EndChar = 40;
    StaticStates = 3;
    Prepare(1, 2);
    FillCell(0, 0, 0x123456);
    const Pixmap before = surface;
    CellAt(0, 0)->Spawn(vGlimraStatic::Class());
    EXPECT_EQ(At<vGlimraStatic>(0, 0)->Glyph, 0);
    for (int tick = 0; tick < 3; ++tick)
        Step();
    EXPECT_TRUE(At<vGlimraStatic>(0, 0)->BackgroundTaken);
    EXPECT_EQ(At<vGlimraStatic>(0, 0)->State, 3);
    Step();
    Step();
    EXPECT_EQ(CellAt(0, 0)->Creature(), nullptr);
    EXPECT_TRUE(PixmapsEqual(surface, before));
}

TEST_F(Static, DegenerateStateCountsActAsTwoStepsForBothClasses) {
    StaticStates = 0;
    FlipperStates = -3;
    Prepare(1, 2);
    EXPECT_EQ(vGlimraStatic().StateCount, 2);
    EXPECT_EQ(vGlimraFlipper().StateCount, 2);
    EXPECT_NE(FindAlphabet(vGlimraFlipper::Class(), 1), nullptr);
    EXPECT_EQ(FindAlphabet(vGlimraFlipper::Class(), 2), nullptr);
    StaticStates = INT32_MAX;
    EXPECT_EQ(vGlimraStatic().StateCount, MaxFadeStates);
}
