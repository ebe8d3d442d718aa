#include "platform/win32/GdiRasteriser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32/ExecutableDirectory.h"
#include "raster/Color.h"
#include "support/RasteriserCases.h"

namespace {

// GDI's anti-aliasing may not scale SeaGreen's channels in proportion, but it never raises one above
// the colour's, and never lights the red.
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
    ExpectTheBundledFontsCells(s_rasteriser);
}

TEST_F(GdiRasteriserTest, DrawsEachKatakanaAsADifferentVisibleImage) {
    ExpectEachKatakanaDrawnApart(s_rasteriser);
}

TEST_F(GdiRasteriserTest, PaintsTheColourAtFullCoverageAndNeverMoreThanItAtTheEdges) {
    ExpectTheColourAtFullCoverageAndAntiAliasedEdges(
        s_rasteriser, [](uint32_t pixel) { return WithinColour(pixel, SeaGreen); });
}

TEST_F(GdiRasteriserTest, PaintsTheCharacterCellBlackAndLeavesTheRestAlone) {
    ExpectOnlyTheCellPainted(s_rasteriser, {193, ' '});
}

TEST_F(GdiRasteriserTest, ClipsToASmallerTarget) {
    ExpectClippedToASmallerTarget(s_rasteriser);
}

TEST_F(GdiRasteriserTest, SubstitutesAFaceForUnknownAndEmptyNames) {
    for (const char* name : {"No Such Face Anywhere", ""}) {
        auto font = s_rasteriser.CreateGdiFont(LogFontOf(name));
        EXPECT_FALSE(font->FaceName().empty()) << "'" << name << "'";
        EXPECT_NE(font->FaceName(), BundledFace);
        EXPECT_GT(font->Metrics().Height, 0);
        EXPECT_GT(font->Metrics().MaxCharWidth, 0);
        EXPECT_FALSE(IsBlank(DrawInCell(*font, 'A'))) << "'" << name << "'";
        EXPECT_FALSE(IsBlank(DrawInCell(*font, 193))) << "'" << name << "'";
    }
}

} // namespace
