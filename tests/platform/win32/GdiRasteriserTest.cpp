#include "platform/win32/GdiRasteriser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32/ExecutableDirectory.h"
#include "raster/Color.h"
#include "support/PixmapExpect.h"

namespace {

constexpr char BundledFace[] = "Japanese Generic1";
constexpr uint32_t White = 0x00FFFFFF;
// Green at full strength, blue at 0xC6, no red: GDI's anti-aliasing may not scale the channels in
// proportion, but it never raises one above the colour's, and never lights the red.
constexpr uint32_t SeaGreen = RgbColorRef(0x00, 0xFF, 0xC6);

GlimraLogFont LogFontOf(const char* face, int32_t height = -13, int32_t weight = 900) {
    GlimraLogFont logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = weight;
    logFont.lfCharSet = 1;
    std::strncpy(logFont.lfFaceName, face, sizeof logFont.lfFaceName - 1);
    return logFont;
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

bool WithinColour(uint32_t pixel, uint32_t colorRef) {
    uint32_t colour = PixelFromColorRef(colorRef);
    for (int shift : {0, 8, 16})
        if (((pixel >> shift) & 0xFF) > ((colour >> shift) & 0xFF))
            return false;
    return true;
}

class GdiRasteriserTest : public ::testing::Test {
protected:
    // Once for the suite, as the program does once per run, and before any font is made: Wine keeps
    // the substitute of a LOGFONT made before its face was added.
    static void SetUpTestSuite() { s_registered = s_rasteriser.RegisterFontFile(FontFile(), ResourceFile()); }
    static void TearDownTestSuite() { s_rasteriser.UnregisterFontFile(FontFile(), ResourceFile()); }

    static std::string FontFile() { return ExecutableDirectory() + "GlimraCode.TTF"; }
    static std::string ResourceFile() { return ExecutableDirectory() + "GlimraCode.FOT"; }

    static Pixmap Draw(const GlimraFont& font, uint8_t code, uint32_t colorRef = SeaGreen) {
        Pixmap pixmap(font.Metrics().MaxCharWidth, font.Metrics().Height);
        font.DrawChar(pixmap, code, colorRef);
        return pixmap;
    }

    static GdiRasteriser s_rasteriser;
    static bool s_registered;
};

GdiRasteriser GdiRasteriserTest::s_rasteriser;
bool GdiRasteriserTest::s_registered = false;

TEST_F(GdiRasteriserTest, RegistersTheBundledFontFromTheExecutablesFolderWhateverTheCurrentOne) {
    EXPECT_TRUE(s_registered);
    std::string directory = ExecutableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), '\\');
    EXPECT_NE(GetFileAttributesA((directory + "glimra_win32_glyphs_tests.exe").c_str()),
              INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA(ResourceFile().c_str()), INVALID_FILE_ATTRIBUTES) << "no .FOT was written";

    char previous[MAX_PATH] = {};
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    EXPECT_EQ(ExecutableDirectory(), directory);
    SetCurrentDirectoryA(previous);
}

TEST_F(GdiRasteriserTest, RewritesAnExistingResourceFileAndRefusesAMissingFont) {
    // The .FOT of the suite's registration is there: a second registration must replace it.
    EXPECT_TRUE(s_rasteriser.RegisterFontFile(FontFile(), ResourceFile()));
    s_rasteriser.UnregisterFontFile(FontFile(), ResourceFile());

    std::string missing = ExecutableDirectory() + "NoSuchFont.TTF";
    std::string missingResource = ExecutableDirectory() + "NoSuchFont.FOT";
    EXPECT_FALSE(s_rasteriser.RegisterFontFile(missing, missingResource));
    DeleteFileA(missingResource.c_str());
}

TEST_F(GdiRasteriserTest, AResourceFileThatCannotBeWrittenBesideTheFontIsWrittenToTheTemporaryFolder) {
    // A folder in the way stands for a system folder the user may not write to.
    const std::string blocked = ExecutableDirectory() + "Blocked.FOT";
    ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    char temporary[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathA(sizeof temporary, temporary), 0u);
    const std::string fallback = std::string(temporary) + "Blocked.FOT";
    DeleteFileA(fallback.c_str());

    GdiRasteriser rasteriser;
    EXPECT_TRUE(rasteriser.RegisterFontFile(FontFile(), blocked));
    EXPECT_NE(GetFileAttributesA(fallback.c_str()), INVALID_FILE_ATTRIBUTES) << "no .FOT in " << temporary;
    EXPECT_EQ(rasteriser.CreateGdiFont(LogFontOf(BundledFace))->FaceName(), BundledFace);
    rasteriser.UnregisterFontFile(FontFile(), blocked);
    RemoveDirectoryA(blocked.c_str());
    DeleteFileA(fallback.c_str());
}

TEST_F(GdiRasteriserTest, FindsTheRegisteredFaceByName) {
    EXPECT_EQ(s_rasteriser.CreateGdiFont(LogFontOf(BundledFace))->FaceName(), BundledFace);
    EXPECT_EQ(s_rasteriser.CreateGdiFont(LogFontOf(BundledFace, -13, 400))->FaceName(), BundledFace);
}

TEST_F(GdiRasteriserTest, MeasuresTheCellTheFreeTypeRasteriserMeasures) {
    auto metrics = [&](int32_t height, int32_t weight) {
        return s_rasteriser.CreateFont(LogFontOf(BundledFace, height, weight))->Metrics();
    };
    EXPECT_EQ(metrics(-13, 900).Height, 14);
    EXPECT_EQ(metrics(-13, 900).MaxCharWidth, 8);
    EXPECT_EQ(metrics(-13, 400).MaxCharWidth, 7);
    EXPECT_EQ(metrics(-26, 900).Height, 28);
    EXPECT_EQ(metrics(-26, 900).MaxCharWidth, 14);
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

TEST_F(GdiRasteriserTest, DrawsEachKatakanaAsADifferentVisibleImage) {
    auto font = s_rasteriser.CreateFont(LogFontOf(BundledFace));
    std::vector<Pixmap> images;
    for (int code = 193; code <= 237; ++code) {
        images.push_back(Draw(*font, static_cast<uint8_t>(code)));
        EXPECT_FALSE(IsBlank(images.back())) << "code " << code;
        for (size_t other = 0; other + 1 < images.size(); ++other)
            EXPECT_FALSE(images[other] == images.back()) << "codes " << 193 + other << " and " << code;
    }
    EXPECT_FALSE(Draw(*font, 'A') == Draw(*font, 'B'));
}

TEST_F(GdiRasteriserTest, PaintsTheColourAtFullCoverageAndNeverMoreThanItAtTheEdges) {
    auto font = s_rasteriser.CreateFont(LogFontOf(BundledFace));
    int edgePixels = 0;
    for (int code = 193; code <= 237; ++code) {
        Pixmap image = Draw(*font, static_cast<uint8_t>(code));
        ASSERT_EQ(Brightest(image), PixelFromColorRef(SeaGreen)) << "code " << code;
        for (int32_t y = 0; y < image.Height(); ++y) {
            for (int32_t x = 0; x < image.Width(); ++x) {
                uint32_t pixel = image.Pixel(x, y);
                ASSERT_TRUE(WithinColour(pixel, SeaGreen))
                    << "code " << code << " at " << x << "," << y << ": " << PixelText(pixel);
                edgePixels += pixel != 0 && pixel != PixelFromColorRef(SeaGreen);
            }
        }
    }
    EXPECT_GT(edgePixels, 45) << "the glyphs are not anti-aliased";
}

TEST_F(GdiRasteriserTest, PaintsTheCharacterCellBlackAndLeavesTheRestAlone) {
    auto font = s_rasteriser.CreateFont(LogFontOf(BundledFace));
    for (uint8_t code : {uint8_t{193}, uint8_t{' '}}) {
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
}

TEST_F(GdiRasteriserTest, ClipsToASmallerTarget) {
    auto font = s_rasteriser.CreateFont(LogFontOf(BundledFace));
    Pixmap full = Draw(*font, 'W');
    Pixmap small(3, 5);
    font->DrawChar(small, 'W', SeaGreen);
    for (int32_t y = 0; y < small.Height(); ++y)
        for (int32_t x = 0; x < small.Width(); ++x)
            EXPECT_EQ(small.Pixel(x, y), full.Pixel(x, y)) << x << "," << y;
}

TEST_F(GdiRasteriserTest, SubstitutesAFaceForUnknownAndEmptyNames) {
    for (const char* name : {"No Such Face Anywhere", ""}) {
        auto font = s_rasteriser.CreateGdiFont(LogFontOf(name));
        EXPECT_FALSE(font->FaceName().empty()) << "'" << name << "'";
        EXPECT_NE(font->FaceName(), BundledFace);
        EXPECT_GT(font->Metrics().Height, 0);
        EXPECT_GT(font->Metrics().MaxCharWidth, 0);
        EXPECT_FALSE(IsBlank(Draw(*font, 'A'))) << "'" << name << "'";
        EXPECT_FALSE(IsBlank(Draw(*font, 193))) << "'" << name << "'";
    }
}

} // namespace
