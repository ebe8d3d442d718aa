#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FreeTypeRasteriser.h"
#include "raster/Color.h"
#include "support/PixmapExpect.h"

namespace {

constexpr char BundledFace[] = "Japanese Generic1";
constexpr uint32_t White = 0x00FFFFFF;
// Green at full strength, blue at 0xC6, no red: a pixel that is this colour scaled by some coverage
// shows the coverage in its green byte, and any other mixing shows in the red and blue ones.
constexpr uint32_t SeaGreen = RgbColorRef(0x00, 0xFF, 0xC6);

GlimraLogFont LogFontOf(const char* face, int32_t height = -13, int32_t weight = 900) {
    GlimraLogFont logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = weight;
    logFont.lfCharSet = 1;
    std::strncpy(logFont.lfFaceName, face, sizeof logFont.lfFaceName - 1);
    return logFont;
}

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

uint32_t Lightness(uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
}

uint32_t Brightest(const Pixmap& pixmap) {
    uint32_t brightest = 0;
    for (int32_t y = 0; y < pixmap.Height(); ++y)
        for (int32_t x = 0; x < pixmap.Width(); ++x)
            if (Lightness(pixmap.Pixel(x, y)) > Lightness(brightest))
                brightest = pixmap.Pixel(x, y);
    return brightest;
}

bool IsBlank(const Pixmap& pixmap) {
    return pixmap == Pixmap(pixmap.Width(), pixmap.Height());
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

    // The character in a pixmap of the font's glyph cell, as the strips hold it.
    static Pixmap Draw(const GlimraFont& font, uint8_t code, uint32_t colorRef = SeaGreen) {
        Pixmap pixmap(font.Metrics().MaxCharWidth, font.Metrics().Height);
        font.DrawChar(pixmap, code, colorRef);
        return pixmap;
    }

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
    auto metrics = [&](int32_t height, int32_t weight) {
        return m_rasteriser.CreateFont(LogFontOf(BundledFace, height, weight))->Metrics();
    };
    // The defaults: usWinAscent 1802 and usWinDescent 401 of 2048 give 11 + 3 pixels at a 13-pixel
    // em; the 1024-unit glyph extent gives 7 pixels, 8 emboldened.
    EXPECT_EQ(metrics(-13, 900).Height, 14);
    EXPECT_EQ(metrics(-13, 900).MaxCharWidth, 8);
    EXPECT_EQ(metrics(-13, 400).MaxCharWidth, 7);
    EXPECT_EQ(metrics(-26, 900).Height, 28);
    EXPECT_EQ(metrics(-26, 900).MaxCharWidth, 14);
    // A positive height is the cell's: 14 is the cell of the 13-pixel em.
    EXPECT_EQ(metrics(14, 900).Height, 14);
    EXPECT_EQ(metrics(14, 900).MaxCharWidth, 8);
    // No height at all is GDI's default cell of 16 pixels.
    EXPECT_EQ(metrics(0, 400).Height, 16);
    EXPECT_EQ(metrics(0, 400).MaxCharWidth, 8);
    // The settings' "Font Size" 0 and -20 reach the font as lfHeight 0 and 27, at weight 900.
    EXPECT_EQ(metrics(0, 900).Height, 16);
    EXPECT_EQ(metrics(0, 900).MaxCharWidth, 9);
    EXPECT_EQ(metrics(27, 900).Height, 27);
    EXPECT_EQ(metrics(27, 900).MaxCharWidth, 14);
}

TEST_F(FreeTypeRasteriserTest, DrawsEachKatakanaAsADifferentVisibleImage) {
    auto font = m_rasteriser.CreateFont(LogFontOf(BundledFace));
    std::vector<Pixmap> images;
    for (int code = 193; code <= 237; ++code) {
        images.push_back(Draw(*font, static_cast<uint8_t>(code)));
        EXPECT_FALSE(IsBlank(images.back())) << "code " << code;
        for (size_t other = 0; other + 1 < images.size(); ++other)
            EXPECT_FALSE(images[other] == images.back()) << "codes " << 193 + other << " and " << code;
    }
    EXPECT_FALSE(Draw(*font, 'A') == Draw(*font, 'B'));
}

TEST_F(FreeTypeRasteriserTest, PaintsTheColourAtFullCoverageAndScalesItAtTheEdges) {
    auto font = m_rasteriser.CreateFont(LogFontOf(BundledFace));
    int edgePixels = 0;
    for (int code = 193; code <= 237; ++code) {
        Pixmap image = Draw(*font, static_cast<uint8_t>(code));
        ASSERT_EQ(Brightest(image), PixelFromColorRef(SeaGreen)) << "code " << code;
        for (int32_t y = 0; y < image.Height(); ++y) {
            for (int32_t x = 0; x < image.Width(); ++x) {
                uint32_t pixel = image.Pixel(x, y);
                int level = LevelOfGreen(pixel);
                ASSERT_GE(level, 0) << "code " << code << " at " << x << "," << y << ": " << PixelText(pixel);
                ASSERT_EQ(pixel, Scaled(SeaGreen, level)) << "code " << code << " at " << x << "," << y;
                edgePixels += level > 0 && level < 16;
            }
        }
    }
    EXPECT_GT(edgePixels, 45) << "the glyphs are not anti-aliased";
}

TEST_F(FreeTypeRasteriserTest, PaintsTheCharacterCellBlackAndLeavesTheRestAlone) {
    auto font = m_rasteriser.CreateFont(LogFontOf(BundledFace));
    for (uint8_t code : {uint8_t{193}, uint8_t{' '}, uint8_t{0x01}}) {
        Pixmap target(12, 18);
        for (int32_t y = 0; y < target.Height(); ++y)
            for (int32_t x = 0; x < target.Width(); ++x)
                target.SetPixel(x, y, White);
        font->DrawChar(target, code, SeaGreen);
        Pixmap cell = Draw(*font, code);
        for (int32_t y = 0; y < target.Height(); ++y) {
            for (int32_t x = 0; x < target.Width(); ++x) {
                uint32_t expected = x < 8 && y < 14 ? cell.Pixel(x, y) : White;
                ASSERT_EQ(target.Pixel(x, y), expected) << "code " << int{code} << " at " << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(IsBlank(Draw(*font, ' ')));
    EXPECT_TRUE(IsBlank(Draw(*font, 0x01))) << "a code without a glyph draws nothing";
}

TEST_F(FreeTypeRasteriserTest, ClipsToASmallerTarget) {
    auto font = m_rasteriser.CreateFont(LogFontOf(BundledFace));
    Pixmap full = Draw(*font, 'W');
    Pixmap small(3, 5);
    font->DrawChar(small, 'W', SeaGreen);
    for (int32_t y = 0; y < small.Height(); ++y)
        for (int32_t x = 0; x < small.Width(); ++x)
            EXPECT_EQ(small.Pixel(x, y), full.Pixel(x, y)) << x << "," << y;
    Pixmap empty;
    font->DrawChar(empty, 'W', SeaGreen);
}

TEST_F(FreeTypeRasteriserTest, EmboldensAHeavyWeightIntoMoreInk) {
    auto heavy = m_rasteriser.CreateFont(LogFontOf(BundledFace, -13, 900));
    auto regular = m_rasteriser.CreateFont(LogFontOf(BundledFace, -13, 400));
    for (uint8_t code : {uint8_t{193}, uint8_t{'A'}, uint8_t{'l'}})
        EXPECT_GT(Ink(Draw(*heavy, code)), Ink(Draw(*regular, code)) * 11 / 10) << "code " << int{code};
}

TEST_F(FreeTypeRasteriserTest, SubstitutesAFaceForUnknownAndEmptyNames) {
    for (const char* name : {"No Such Face Anywhere", ""}) {
        auto font = m_rasteriser.CreateFreeTypeFont(LogFontOf(name));
        EXPECT_FALSE(font->FamilyName().empty()) << "'" << name << "'";
        EXPECT_NE(font->FamilyName(), BundledFace);
        EXPECT_GT(font->Metrics().Height, 0);
        EXPECT_GT(font->Metrics().MaxCharWidth, 0);
        // Not a symbol font: 193 is the code page's letter there.
        EXPECT_FALSE(IsBlank(Draw(*font, 'A'))) << "'" << name << "'";
        EXPECT_FALSE(IsBlank(Draw(*font, 193))) << "'" << name << "'";
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
        before = Draw(*font, 200);
    }
    EXPECT_EQ(Draw(*font, 200), before);
}

} // namespace
