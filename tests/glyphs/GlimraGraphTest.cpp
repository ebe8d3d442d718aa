#include <gtest/gtest.h>

#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"
#include "raster/Blit.h"
#include "raster/Color.h"
#include "support/FakeRasteriser.h"
#include "support/PixmapExpect.h"

namespace {

const int g_keys[5] = {};
CreatureClassRef Key(int i) {
    return reinterpret_cast<CreatureClassRef>(&g_keys[i]);
}

class GlyphModules : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeGlimraGraph("/opt/saver/");
        InitializeGlimraBitmap();
        UpdateGlobalGlyphSize();
    }
    void TearDown() override {
        FinalizeGlimraBitmap();
        FinalizeGlimraGraph();
    }

    // The slot's glyph image cut out of a strip.
    static Pixmap Slot(const vGlimraAlphabet& alphabet, int32_t index) {
        Pixmap image(alphabet.SlotWidth, alphabet.SlotHeight);
        CopyRect(image, 0, 0, alphabet.SlotWidth, alphabet.SlotHeight, alphabet.Bitmap,
                 alphabet.SlotLeft(index), 0);
        return image;
    }

    static uint32_t Colour(int32_t state) { return RgbColorRef(0, 40 + 20 * state, 10 * state); }

    void Render(CreatureClassRef key, int32_t states, int32_t blanks) {
        Pixmap dc(1, 1);
        vGlimraGraphProps* global = GlobalGraphProps();
        RenderGlyphStrips(dc, global->GlyphWidth, global->GlyphHeight, key, states, Colour, blanks);
    }

    ScopedFakeRasteriser m_fake;
};

} // namespace

TEST_F(GlyphModules, DefaultsAreTenPointHeavyGenericFaceWithTheKatakanaRange) {
    const vGlimraGraphProps& props = *GlobalGraphProps();
    EXPECT_EQ(props.LogFont.lfHeight, -13);
    EXPECT_EQ(props.LogFont.lfWeight, 900);
    EXPECT_EQ(props.LogFont.lfCharSet, 1);
    EXPECT_EQ(props.LogFont.lfQuality, 0);
    EXPECT_EQ(props.FaceName(), "Japanese Generic1");
    EXPECT_EQ(props.StartChar, 193);
    EXPECT_EQ(props.EndChar, 237);
    EXPECT_TRUE(props.FlipHorizontal);
    EXPECT_FALSE(props.FlipVertical);
    EXPECT_EQ(props.GlyphHeight, 14) << "tmHeight of the font";
    EXPECT_EQ(props.GlyphWidth, 8) << "tmMaxCharWidth of the font";
    EXPECT_EQ(m_fake.rasteriser.registered,
              (std::vector<std::string>{"/opt/saver/GlimraCode.TTF|/opt/saver/GlimraCode.FOT"}));
}

TEST_F(GlyphModules, SetFontScalesPointsToTheScreenAndCutsLongFaceNames) {
    vGlimraGraphProps props;
    props.SetFont("Courier", 12, 120);
    EXPECT_EQ(props.LogFont.lfHeight, -20);
    m_fake.rasteriser.pixelsPerInch = 144;
    props.SetFont(std::string(300, 'x'), 10);
    EXPECT_EQ(props.LogFont.lfHeight, -20);
    EXPECT_EQ(props.FaceName(), std::string(31, 'x'));
    EXPECT_EQ(props.LogFont.lfFaceName[31], '\0');
    props.SetFont("", 10);
    EXPECT_EQ(props.FaceName(), "");
    // Zero asks the rasteriser for its default size; a negative size gives a positive height,
    // which asks for a cell height.
    props.SetFont("Face", 0, 96);
    EXPECT_EQ(props.LogFont.lfHeight, 0);
    props.SetFont("Face", -20, 96);
    EXPECT_EQ(props.LogFont.lfHeight, 27);
    props.SetFont("Face", INT32_MAX);
    EXPECT_EQ(props.LogFont.lfHeight, 1) << "MulDiv's overflow answer, negated";
    EXPECT_EQ(props.MeasureFont(2), 0);
    EXPECT_EQ(props.MeasureFont(-1), 0);
}

TEST(MulDiv, RoundsHalvesAwayFromZeroAndFailsLikeWindows) {
    EXPECT_EQ(MulDiv(10, 96, 72), 13);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 1, 0), -1);
    EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, 1), -1);
    EXPECT_EQ(MulDiv(INT32_MAX, INT32_MAX, INT32_MAX), INT32_MAX);
}

TEST_F(GlyphModules, AFontMadeBeforeSetFontKeepsDescribingTheOldFont) {
    vGlimraGraphProps props;
    GlimraFont* before = props.GetFont();
    ASSERT_NE(before, nullptr);
    props.SetFont("Other", 30, 96);
    EXPECT_EQ(props.GetFont(), before);
    EXPECT_EQ(props.GetFont()->Metrics().Height, 14);
    props.ReleaseFont();
    EXPECT_EQ(props.GetFont()->Metrics().Height, 41);
}

TEST_F(GlyphModules, ARecordPerClassIsASnapshotTakenOnFirstRequest) {
    vGlimraGraphProps* global = GlobalGraphProps();
    global->StartChar = 65;
    global->FlipVertical = true;
    vGlimraGraphProps* first = GraphPropsFor(Key(0));
    EXPECT_NE(first, global);
    EXPECT_EQ(first->StartChar, 65);
    EXPECT_TRUE(first->FlipVertical);
    EXPECT_EQ(first->GlyphWidth, 8);
    global->StartChar = 70;
    global->SetFont("Changed", 20, 96);
    EXPECT_EQ(GraphPropsFor(Key(0)), first);
    EXPECT_EQ(first->StartChar, 65);
    EXPECT_EQ(first->FaceName(), "Japanese Generic1");
    EXPECT_EQ(GraphPropsFor(Key(1))->StartChar, 70);
}

TEST_F(GlyphModules, EachSlotHoldsItsCharacterInItsStatesColourAndBlankSlotsAreBlack) {
    GlobalGraphProps()->FlipHorizontal = false;
    GlobalGraphProps()->StartChar = 60;
    GlobalGraphProps()->EndChar = 69;
    Render(Key(0), 3, 5);
    for (int32_t state = 0; state < 3; ++state) {
        const vGlimraAlphabet* alphabet = FindAlphabet(Key(0), state);
        ASSERT_NE(alphabet, nullptr);
        ASSERT_EQ(alphabet->SlotCount, 15);
        for (int32_t slot = 0; slot < 10; ++slot)
            ASSERT_TRUE(PixmapsEqual(Slot(*alphabet, slot),
                                     FakeGlyphImage(8, 14, static_cast<uint8_t>(60 + slot), Colour(state))))
                << "state " << state << " slot " << slot;
        for (int32_t slot = 10; slot < 15; ++slot)
            EXPECT_TRUE(RectIs(Slot(*alphabet, slot), 0, 0, 8, 14, 0)) << "blank slot " << slot;
        EXPECT_TRUE(RectIs(alphabet->Bitmap, 0, 0, 1, 14, 0)) << "column 0 belongs to no slot";
    }
    EXPECT_EQ(FindAlphabet(Key(0), 3), nullptr);
}

TEST_F(GlyphModules, MirroredSlotsAreTheCharacterReflected) {
    struct Case {
        bool horizontal, vertical;
    };
    int key = 0;
    for (Case c : {Case{true, false}, Case{false, true}, Case{true, true}}) {
        GlobalGraphProps()->FlipHorizontal = c.horizontal;
        GlobalGraphProps()->FlipVertical = c.vertical;
        Render(Key(key), 1, 0);
        const vGlimraAlphabet* alphabet = FindAlphabet(Key(key), 0);
        ++key;
        ASSERT_NE(alphabet, nullptr);
        for (int32_t slot = 0; slot < alphabet->SlotCount; slot += 7) {
            const Pixmap upright = FakeGlyphImage(8, 14, static_cast<uint8_t>(193 + slot), Colour(0));
            Pixmap expected(8, 14);
            CopyMirrored(expected, 0, 0, 8, 14, upright, 0, 0, c.horizontal, c.vertical);
            ASSERT_NE(expected, upright);
            ASSERT_TRUE(PixmapsEqual(Slot(*alphabet, slot), expected)) << c.horizontal << c.vertical << slot;
        }
    }
}

TEST_F(GlyphModules, AReversedRangeLeavesOnlyBlankSlotsAndCodesAbove255DrawTheirLowByte) {
    GlobalGraphProps()->StartChar = 100;
    GlobalGraphProps()->EndChar = 99;
    Render(Key(0), 1, 5);
    ASSERT_NE(FindAlphabet(Key(0), 0), nullptr);
    EXPECT_EQ(FindAlphabet(Key(0), 0)->SlotCount, 5);
    EXPECT_TRUE(RectIs(FindAlphabet(Key(0), 0)->Bitmap, 0, 0, 40, 14, 0));

    GlobalGraphProps()->EndChar = 97;
    Render(Key(1), 1, 5);
    ASSERT_NE(FindAlphabet(Key(1), 1 - 1), nullptr);
    EXPECT_EQ(FindAlphabet(Key(1), 0)->SlotCount, 3) << "reversed by two codes: five blanks less two";

    GlobalGraphProps()->EndChar = 90;
    Render(Key(3), 2, 5);
    EXPECT_EQ(FindAlphabet(Key(3), 0), nullptr) << "no slot, no strip";
    EXPECT_EQ(FindAlphabet(Key(3), 1), nullptr);

    GlobalGraphProps()->FlipHorizontal = false;
    GlobalGraphProps()->StartChar = 256 + 65;
    GlobalGraphProps()->EndChar = 256 + 66;
    Render(Key(2), 1, 0);
    EXPECT_TRUE(PixmapsEqual(Slot(*FindAlphabet(Key(2), 0), 1), FakeGlyphImage(8, 14, 66, Colour(0))));
}

TEST_F(GlyphModules, AHugeRangeIsBoundedBeforeAnythingIsAllocated) {
    GlobalGraphProps()->StartChar = INT32_MIN;
    GlobalGraphProps()->EndChar = INT32_MAX;
    Render(Key(0), 2, 5);
    ASSERT_NE(FindAlphabet(Key(0), 1), nullptr);
    EXPECT_EQ(FindAlphabet(Key(0), 1)->SlotCount, MaxGlyphsPerStrip + 5);
    EXPECT_EQ(GlyphCount(0, 254), 255);
    EXPECT_EQ(GlyphCount(5, 4), 0);
}

TEST_F(GlyphModules, APreparedStripIsDrawnOverAtItsFirstSize) {
    Render(Key(0), 1, 5);
    const vGlimraAlphabet* alphabet = FindAlphabet(Key(0), 0);
    Pixmap dc(1, 1);
    RenderGlyphStrips(
        dc, 8, 14, Key(0), 1, [](int32_t) { return RgbColorRef(255, 0, 0); }, 5);
    EXPECT_EQ(FindAlphabet(Key(0), 0), alphabet);
    EXPECT_EQ(Dictionary()->Count(), 1);
    EXPECT_EQ(alphabet->Bitmap.Pixel(alphabet->SlotLeft(0) + 7, 0), RgbPixel(255, 0, 0))
        << "mirrored box corner";
}

TEST_F(GlyphModules, DrawGlyphCopiesExactlyTheSlotsAreaIntoTheCell) {
    GlobalGraphProps()->FlipHorizontal = false;
    Render(Key(0), 2, 5);
    Pixmap surface(40, 40);
    FillBlack(surface, 0, 0, 40, 40);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x)
            surface.SetPixel(x, y, 0x010101);
    const Pixmap before = surface;
    DrawGlyph(surface, 10, 20, 8, 14, Key(0), 1, 3);
    Pixmap expected = before;
    CopyRect(expected, 10, 20, 8, 14, FakeGlyphImage(8, 14, 196, Colour(1)), 0, 0);
    EXPECT_TRUE(PixmapsEqual(surface, expected));

    // No strip for the state, or a slot outside it: nothing is painted.
    DrawGlyph(surface, 0, 0, 8, 14, Key(0), 2, 0);
    DrawGlyph(surface, 0, 0, 8, 14, Key(0), 0, 50);
    DrawGlyph(surface, 0, 0, 8, 14, Key(0), -1, 0);
    DrawGlyph(surface, 0, 0, 8, 14, Key(1), 0, 0);
    EXPECT_TRUE(PixmapsEqual(surface, expected));
}

// Strips past the budget keep no pixels; every cell that reads one must still get exactly what a
// copy from a real strip gives, including the next slot's first columns in a wide cell and the
// pixels a copy leaves untouched beyond the strip's right and bottom edges.
TEST_F(GlyphModules, StripsPastTheBudgetDrawTheSamePicturesFromTheFont) {
    struct Flips {
        bool horizontal, vertical;
    };
    int key = 0;
    for (Flips flips : {Flips{false, false}, Flips{true, true}}) {
        GlobalGraphProps()->FlipHorizontal = flips.horizontal;
        GlobalGraphProps()->FlipVertical = flips.vertical;
        GlobalGraphProps()->StartChar = 60;
        GlobalGraphProps()->EndChar = 69;
        const CreatureClassRef backed = Key(key++), unbacked = Key(key++);
        Render(backed, 3, 5);
        const int64_t pixels = Dictionary()->PixelCount();
        // Room for one more strip: the first state of the second class keeps pixels, the rest not.
        Dictionary()->SetPixelBudget(pixels + 8 * 14 * 15);
        Render(unbacked, 3, 5);
        EXPECT_EQ(Dictionary()->PixelCount(), pixels + 8 * 14 * 15);
        ASSERT_TRUE(FindAlphabet(unbacked, 0)->HasPixels());
        for (int32_t state = 1; state < 3; ++state) {
            const vGlimraAlphabet* alphabet = FindAlphabet(unbacked, state);
            ASSERT_NE(alphabet, nullptr);
            EXPECT_FALSE(alphabet->HasPixels());
            EXPECT_EQ(alphabet->SlotCount, 15);
            EXPECT_EQ(alphabet->SlotLeft(14), 14 * 8 + 1);
        }
        struct Cell {
            int32_t width, height;
        };
        for (int32_t state = 0; state < 3; ++state)
            for (int32_t slot = 0; slot < 15; ++slot)
                for (Cell cell : {Cell{8, 14}, Cell{13, 14}, Cell{8, 19}, Cell{15, 16}, Cell{3, 2}}) {
                    Pixmap expected(24, 24), actual(24, 24);
                    for (int32_t y = 0; y < 24; ++y)
                        for (int32_t x = 0; x < 24; ++x)
                            expected.SetPixel(x, y, 0x102030u + static_cast<uint32_t>(x * 5 + y));
                    actual = expected;
                    OrSlot(expected, 2, 3, cell.width, cell.height, *FindAlphabet(backed, state), slot);
                    OrSlot(actual, 2, 3, cell.width, cell.height, *FindAlphabet(unbacked, state), slot);
                    ASSERT_TRUE(PixmapsEqual(actual, expected))
                        << "or, state " << state << " slot " << slot << " cell " << cell.width << "x"
                        << cell.height;
                    DrawGlyph(expected, 5, 1, cell.width, cell.height, backed, state, slot);
                    DrawGlyph(actual, 5, 1, cell.width, cell.height, unbacked, state, slot);
                    ASSERT_TRUE(PixmapsEqual(actual, expected))
                        << "copy, state " << state << " slot " << slot << " cell " << cell.width << "x"
                        << cell.height;
                }
        const Pixmap before(24, 24);
        Pixmap surface = before;
        CopySlot(surface, 0, 0, 8, 14, *FindAlphabet(unbacked, 1), 15);
        CopySlot(surface, 0, 0, 8, 14, *FindAlphabet(unbacked, 1), -1);
        EXPECT_TRUE(PixmapsEqual(surface, before)) << "a slot outside the strip paints nothing";
    }
}

TEST_F(GlyphModules, ShutdownUnregistersTheFontAndFreesTheRecords) {
    GraphPropsFor(Key(0))->GetFont();
    FinalizeGlimraGraph();
    EXPECT_EQ(GlobalGraphProps(), nullptr);
    EXPECT_EQ(GraphPropsFor(Key(0)), nullptr);
    EXPECT_EQ(m_fake.rasteriser.unregistered.size(), 1u);
}
