#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FreeTypeRasteriser.h"
#include "raster/Color.h"
#include "support/RasteriserCases.h"

namespace {

// A pixel that is SeaGreen scaled by some coverage shows the coverage in its green byte, and any
// other mixing shows in the red and blue ones.
// The pixel colorRef makes over black at a coverage of level sixteenths, GDI's grey levels.
uint32_t Scaled(uint32_t colorRef, uint32_t level) {
    uint32_t pixel = PixelFromColorRef(colorRef);
    auto channel = [&](int shift) { return ((((pixel >> shift) & 0xFF) * level + 8) / 16) << shift; };
    return channel(16) | channel(8) | channel(0);
}

// The level whose green matches, for a colour whose green is full; -1 when none does.
int LevelOfGreen(uint32_t pixel) {
    for (uint32_t level = 0; level <= 16; ++level)
        if (((pixel >> 8) & 0xFF) == (0xFF * level + 8) / 16)
            return static_cast<int>(level);
    return -1;
}

uint64_t Ink(const Pixmap& pixmap) {
    uint64_t sum = 0;
    for (int32_t y = 0; y < pixmap.Height(); ++y)
        for (int32_t x = 0; x < pixmap.Width(); ++x)
            sum += (pixmap.Pixel(x, y) >> 8) & 0xFF;
    return sum;
}

class FreeTypeRasteriserTest : public ::testing::Test {
protected:
    void SetUp() override { m_registered = m_rasteriser.RegisterFontFile(FontFile(), ResourceFile()); }
    void TearDown() override { m_rasteriser.UnregisterFontFile(FontFile(), ResourceFile()); }

    static std::string FontFile() { return ExecutableDirectory() + "GlimraCode.TTF"; }
    static std::string ResourceFile() { return ExecutableDirectory() + "GlimraCode.FOT"; }

    FreeTypeRasteriser m_rasteriser;
    bool m_registered = false;
};

TEST_F(FreeTypeRasteriserTest, RegistersTheBundledFontFromTheExecutablesFolderWhateverTheCurrentOne) {
    EXPECT_TRUE(m_registered);
    std::string directory = ExecutableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.front(), '/');
    EXPECT_EQ(directory.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(directory + "glimra_posix_glyphs_tests"));

    std::filesystem::path previous = std::filesystem::current_path();
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(ExecutableDirectory(), directory);
    std::filesystem::current_path(previous);
}

TEST_F(FreeTypeRasteriserTest, RefusesFilesThatHoldNoFont) {
    EXPECT_FALSE(m_rasteriser.RegisterFontFile(ExecutableDirectory() + "NoSuchFont.TTF", ""));
    EXPECT_FALSE(m_rasteriser.RegisterFontFile(ExecutableDirectory() + "glimra_posix_glyphs_tests", ""));
}

TEST_F(FreeTypeRasteriserTest, FindsTheRegisteredFaceByNameInAnyCase) {
    auto heavy = m_rasteriser.CreateFreeTypeFont(LogFontOf(BundledFace));
    EXPECT_EQ(heavy->FamilyName(), BundledFace);
    EXPECT_TRUE(heavy->IsEmboldened()) << "the face has no heavy weight of its own";
    auto regular = m_rasteriser.CreateFreeTypeFont(LogFontOf("JAPANESE generic1", -13, 400));
    EXPECT_EQ(regular->FamilyName(), BundledFace);
    EXPECT_FALSE(regular->IsEmboldened());
}

TEST_F(FreeTypeRasteriserTest, MeasuresTheCellGdiMeasures) {
    ExpectTheBundledFontsCells(m_rasteriser);
}

TEST_F(FreeTypeRasteriserTest, DrawsEachKatakanaAsADifferentVisibleImage) {
    ExpectEachKatakanaDrawnApart(m_rasteriser);
}

TEST_F(FreeTypeRasteriserTest, PaintsTheColourAtFullCoverageAndScalesItAtTheEdges) {
    ExpectTheColourAtFullCoverageAndAntiAliasedEdges(m_rasteriser, [](uint32_t pixel) {
        const int level = LevelOfGreen(pixel);
        return level >= 0 && pixel == Scaled(SeaGreen, static_cast<uint32_t>(level));
    });
}

TEST_F(FreeTypeRasteriserTest, PaintsTheCharacterCellBlackAndLeavesTheRestAlone) {
    ExpectOnlyTheCellPainted(m_rasteriser, {193, ' ', 0x01});
    EXPECT_TRUE(IsBlank(DrawInCell(*m_rasteriser.CreateFont(LogFontOf(BundledFace)), 0x01)))
        << "a code without a glyph draws nothing";
}

TEST_F(FreeTypeRasteriserTest, ClipsToASmallerTarget) {
    ExpectClippedToASmallerTarget(m_rasteriser);
    Pixmap empty;
    m_rasteriser.CreateFont(LogFontOf(BundledFace))->DrawChar(empty, 'W', SeaGreen);
}

TEST_F(FreeTypeRasteriserTest, EmboldensAHeavyWeightIntoMoreInk) {
    auto heavy = m_rasteriser.CreateFont(LogFontOf(BundledFace, -13, 900));
    auto regular = m_rasteriser.CreateFont(LogFontOf(BundledFace, -13, 400));
    for (uint8_t code : {uint8_t{193}, uint8_t{'A'}, uint8_t{'l'}})
        EXPECT_GT(Ink(DrawInCell(*heavy, code)), Ink(DrawInCell(*regular, code)) * 11 / 10)
            << "code " << int{code};
}

TEST_F(FreeTypeRasteriserTest, SubstitutesAFaceForUnknownAndEmptyNames) {
    for (const char* name : {"No Such Face Anywhere", ""}) {
        auto font = m_rasteriser.CreateFreeTypeFont(LogFontOf(name));
        EXPECT_FALSE(font->FamilyName().empty()) << "'" << name << "'";
        EXPECT_NE(font->FamilyName(), BundledFace);
        EXPECT_GT(font->Metrics().Height, 0);
        EXPECT_GT(font->Metrics().MaxCharWidth, 0);
        // Not a symbol font: 193 is the code page's letter there.
        EXPECT_FALSE(IsBlank(DrawInCell(*font, 'A'))) << "'" << name << "'";
        EXPECT_FALSE(IsBlank(DrawInCell(*font, 193))) << "'" << name << "'";
    }
}

TEST_F(FreeTypeRasteriserTest, ForgetsTheFaceOnceUnregistered) {
    m_rasteriser.UnregisterFontFile(FontFile(), ResourceFile());
    EXPECT_NE(m_rasteriser.CreateFreeTypeFont(LogFontOf(BundledFace))->FamilyName(), BundledFace);
    ASSERT_TRUE(m_rasteriser.RegisterFontFile(FontFile(), ResourceFile()));
    EXPECT_EQ(m_rasteriser.CreateFreeTypeFont(LogFontOf(BundledFace))->FamilyName(), BundledFace);
}

TEST_F(FreeTypeRasteriserTest, KeepsDrawingAfterTheRasteriserIsGone) {
    std::unique_ptr<GlimraFont> font;
    Pixmap before;
    {
        FreeTypeRasteriser other;
        font = other.CreateFont(LogFontOf(BundledFace));
        before = DrawInCell(*font, 200);
    }
    EXPECT_EQ(DrawInCell(*font, 200), before);
}

} // namespace
