// The renderer at the edges of what the settings dialog allows: fonts so large that the glyph
// strips of every state cannot all be kept, and font sizes of zero and below.

#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "raster/Pixmap.h"
#include "settings/GlimraSettings.h"

namespace fs = std::filesystem;

namespace {

class FontExtremes : public ::testing::Test {
protected:
    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("glimra-fonts-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        if (!HasFailure())
            fs::remove_all(folder);
    }

    // Runs the renderer with the given numbers in place of their defaults and returns what it
    // printed; the frames go to folder/frames. Loading stops at the first missing value, so the
    // file holds all of them, in the table's order.
    std::string Run(std::initializer_list<std::pair<std::string_view, int32_t>> changes,
                    const std::string& options) {
        std::ostringstream text;
        text << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n";
        for (const GlimraSettingInfo& setting : GlimraSettingsTable) {
            if (setting.IsText()) {
                text << '"' << setting.Name << "\"=\"" << setting.DefaultText << "\"\r\n";
                continue;
            }
            uint32_t value = setting.Default;
            for (auto [name, changed] : changes)
                if (name == setting.Name)
                    value = static_cast<uint32_t>(changed);
            char hex[9];
            std::snprintf(hex, sizeof hex, "%08x", value);
            text << '"' << setting.Name << "\"=dword:" << hex << "\r\n";
        }
        std::ofstream(folder / "settings.reg", std::ios::binary) << text.str();
        const fs::path out = folder / "out.txt";
        const std::string command = "XDG_CONFIG_HOME='" + (folder / "config").string() +
                                    "' '" GLIMRA_RENDER_PATH "' --settings '" +
                                    (folder / "settings.reg").string() + "' " + options + " --out '" +
                                    (folder / "frames").string() + "' >'" + out.string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(out);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    Pixmap Frame(int tick) const {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", tick);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, (folder / "frames" / name).string().c_str()))
            return {};
        image.format = PNG_FORMAT_BGRA;
        Pixmap frame(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
        if (!png_image_finish_read(&image, nullptr, frame.Row(0), frame.Stride() * 4, nullptr))
            return {};
        return frame;
    }

    // How many of the cascade's colour steps 2..8 (the first is also a static's middle colour)
    // cover at least 20 pixels in some frame of ticks 1..ticks.
    int CascadeStepsSeen(int ticks) const {
        const uint32_t steps[] = {0x00EDAA, 0x00DB8E, 0x00C972, 0x00B756, 0x00A53A, 0x00931E, 0x008102};
        int seen = 0;
        for (uint32_t step : steps) {
            bool found = false;
            for (int tick = 1; tick <= ticks && !found; ++tick) {
                const Pixmap frame = Frame(tick);
                int count = 0;
                for (int32_t y = 0; y < frame.Height() && count < 20; ++y)
                    for (int32_t x = 0; x < frame.Width(); ++x)
                        count += (frame.Pixel(x, y) & 0xFFFFFF) == step;
                found = count >= 20;
            }
            seen += found;
        }
        return seen;
    }

    // "C x R cells of W x H" as the renderer reports its grid.
    static std::pair<int, int> CellSize(const std::string& printed) {
        std::smatch grid;
        if (!std::regex_search(printed, grid, std::regex("(\\d+)x(\\d+) cells of (\\d+)x(\\d+)")))
            return {0, 0};
        return {std::stoi(grid[3]), std::stoi(grid[4])};
    }

    fs::path folder;
};

} // namespace

// 300 points: one state's strip of the 50 default slots is over four million pixels, so the
// statics and flippers alone fill the budget; the cascade must still show in its own colours.
TEST_F(FontExtremes, AHugeFontStillShowsTheCascade) {
    const std::string printed = Run({{"Font Size", 300}}, "--size 1024x768 --ticks 150 --seed 5");
    EXPECT_EQ(CellSize(printed), (std::pair{201, 430})) << printed;
    EXPECT_GE(CascadeStepsSeen(150), 3);
}

// The whole character range, many states and a crowded screen at 72 points: gigabytes of strips if
// all were kept.
TEST_F(FontExtremes, ManyStatesOfALargeFontStillShowTheCascade) {
    const std::string printed = Run({{"Font Size", 72},
                                     {"Start Char", 0},
                                     {"End Char", 254},
                                     {"Static States", 50},
                                     {"Flipper States", 50},
                                     {"Creature", 100},
                                     {"Saturation", 100}},
                                    "--size 1024x768 --ticks 40 --seed 5");
    EXPECT_EQ(CellSize(printed).second > 90, true) << printed;
    EXPECT_GE(CascadeStepsSeen(40), 3);
}

// Size 0 asks for the rasteriser's default font and a negative size for a cell height: neither is
// taken as the smallest font, whose 2 x 1 cells would fill the screen with dots.
TEST_F(FontExtremes, ZeroAndNegativeFontSizesAskForTheDefaultAndForACellHeight) {
    const auto zero = CellSize(Run({{"Font Size", 0}}, "--size 640x480 --ticks 30 --every 30 --seed 5"));
    EXPECT_EQ(zero.second, 16) << "the default cell is 16 pixels high";
    EXPECT_GT(zero.first, 2);
    const auto negative =
        CellSize(Run({{"Font Size", -20}}, "--size 640x480 --ticks 30 --every 30 --seed 5"));
    EXPECT_EQ(negative.second, 27) << "-20 points at 96 pixels per inch: a cell 27 pixels high";
    const auto positive = CellSize(Run({{"Font Size", 20}}, "--size 640x480 --ticks 30 --every 30 --seed 5"));
    EXPECT_GT(positive.second, negative.second) << "20 points is an em of 27 pixels, a taller cell";
    const Pixmap frame = Frame(30);
    ASSERT_FALSE(frame.IsEmpty());
}
