#include <gtest/gtest.h>

#include "glyphs/GlimraBitmap.h"
#include "support/PixmapExpect.h"

namespace {

// Class references are compared by identity only, so any distinct addresses will do as keys.
const int g_keys[3] = {};
CreatureClassRef Key(int i) {
    return reinterpret_cast<CreatureClassRef>(&g_keys[i]);
}

class Dictionary_ : public ::testing::Test {
protected:
    void SetUp() override { InitializeGlimraBitmap(); }
    void TearDown() override { FinalizeGlimraBitmap(); }
};

} // namespace

TEST(Alphabet, SlotsStartOnePixelInAndEndOnePixelBeyondTheStrip) {
    vGlimraAlphabet alphabet(Key(0), 3, 8, 14, 50);
    EXPECT_EQ(alphabet.StripWidth, 400);
    EXPECT_EQ(alphabet.StripHeight, 14);
    EXPECT_EQ(alphabet.Bitmap.Width(), 400);
    EXPECT_EQ(alphabet.Bitmap.Height(), 14);
    EXPECT_EQ(alphabet.SlotLeft(0), 1);
    EXPECT_EQ(alphabet.SlotLeft(49), 49 * 8 + 1);
    EXPECT_EQ(alphabet.SlotLeft(50), -1);
    EXPECT_EQ(alphabet.SlotLeft(-1), -1);
    EXPECT_GT(alphabet.SlotLeft(49) + alphabet.SlotWidth, alphabet.StripWidth);
}

TEST_F(Dictionary_, FindGivesTheFirstOfTwoAlphabetsWithOneKeyAndNilForOthers) {
    vGlimraAlphabet* first = AddAlphabet(Key(0), 0, 8, 14, 50);
    vGlimraAlphabet* second = AddAlphabet(Key(0), 0, 8, 14, 50);
    AddAlphabet(Key(1), 0, 8, 14, 1);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(Dictionary()->Count(), 3);
    EXPECT_EQ(FindAlphabet(Key(0), 0), first);
    EXPECT_EQ(FindAlphabet(Key(0), 1), nullptr);
    EXPECT_EQ(FindAlphabet(Key(2), 0), nullptr);
    EXPECT_EQ(FindAlphabet(Key(1), 0)->SlotCount, 1);
    EXPECT_EQ(Dictionary()->AlphabetAt(2)->CreatureClass, Key(1));
    EXPECT_EQ(Dictionary()->AlphabetAt(3), nullptr);
}

TEST_F(Dictionary_, StripsWithoutSlotsAreNeverMadeAndThoseBeyondTheBudgetHaveNoPixels) {
    EXPECT_EQ(AddAlphabet(Key(0), 0, 8, 14, 0), nullptr);
    EXPECT_EQ(AddAlphabet(Key(0), 0, 8, 14, -5), nullptr);
    EXPECT_EQ(AddAlphabet(Key(0), 0, 0, 14, 5), nullptr);
    EXPECT_EQ(AddAlphabet(Key(0), 0, INT32_MAX, INT32_MAX, INT32_MAX), nullptr) << "too wide to address";
    EXPECT_EQ(Dictionary()->Count(), 0);
    // A strip one pixel row beyond the budget is made with its geometry but nothing is allocated.
    const vGlimraAlphabet* beyond = AddAlphabet(Key(0), 0, 1 << 14, (1 << 14) + 1, 1 << 0);
    ASSERT_NE(beyond, nullptr);
    EXPECT_FALSE(beyond->HasPixels());
    EXPECT_EQ(beyond->StripWidth, 1 << 14);
    EXPECT_EQ(beyond->SlotLeft(0), 1);
    EXPECT_EQ(Dictionary()->PixelCount(), 0);
    const vGlimraAlphabet* within = AddAlphabet(Key(0), 1, 8, 14, 50);
    ASSERT_NE(within, nullptr);
    EXPECT_TRUE(within->HasPixels());
    EXPECT_EQ(Dictionary()->PixelCount(), 8 * 14 * 50);
    const vGlimraAlphabet* half = AddAlphabet(Key(0), 2, 1 << 13, 1 << 12, 1);
    ASSERT_NE(half, nullptr);
    EXPECT_TRUE(half->HasPixels());
    const vGlimraAlphabet* over = AddAlphabet(Key(0), 3, 1 << 13, 1 << 12, 1);
    ASSERT_NE(over, nullptr);
    EXPECT_FALSE(over->HasPixels()) << "the budget counts what is already there";
    EXPECT_LE(Dictionary()->PixelCount(), MaxStripPixels);
    Dictionary()->Clear();
    EXPECT_EQ(Dictionary()->PixelCount(), 0);
}

TEST(DictionaryLifetime, NothingIsFoundOrMadeBeforeStartUp) {
    FinalizeGlimraBitmap();
    EXPECT_EQ(AddAlphabet(Key(0), 0, 8, 14, 5), nullptr);
    EXPECT_EQ(FindAlphabet(Key(0), 0), nullptr);
}
