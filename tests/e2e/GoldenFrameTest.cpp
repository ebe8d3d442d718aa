// Pinned frames of the renderer: for fixed seeds, settings and sizes every frame must stay byte for
// byte what the straightforward drawing order gives. The digests were taken from a build that
// painted every occupied cell on every tick and presented whole frames; any shortcut in painting or
// ticking has to reproduce them exactly.

#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct GoldenCase {
    const char* Name;
    const char* Size;
    int Seed;
    int Ticks;
    int Every;
    // Registry-export lines for the settings that differ from the defaults.
    const char* Settings;
    // Frame number → FNV-1a digest of its pixels, 0x00RRGGBB words in row order.
    std::map<int, uint64_t> Digests;
};

uint64_t Digest(const std::vector<uint32_t>& pixels) {
    uint64_t hash = 14695981039346656037ull;
    for (const uint32_t pixel : pixels)
        for (int shift = 0; shift < 32; shift += 8) {
            hash ^= (pixel >> shift) & 0xFF;
            hash *= 1099511628211ull;
        }
    return hash;
}

// The pixels of a frame as the renderer wrote them, without the alpha byte; empty when unreadable.
std::vector<uint32_t> ReadPixels(const fs::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.string().c_str()))
        return {};
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint32_t> pixels(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), static_cast<png_int_32>(image.width * 4),
                               nullptr))
        return {};
    for (uint32_t& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

class GoldenFrames : public ::testing::TestWithParam<GoldenCase> {
protected:
    void SetUp() override {
        home = fs::temp_directory_path() /
               ("glimra-golden-" + std::to_string(::getpid()) + "-" + GetParam().Name);
        fs::remove_all(home);
        fs::create_directories(home);
    }
    void TearDown() override {
        if (!HasFailure())
            fs::remove_all(home);
    }

    fs::path home;
};

TEST_P(GoldenFrames, FramesKeepTheirDigests) {
    const GoldenCase& golden = GetParam();
    const fs::path settings = home / "settings.reg";
    std::ofstream(settings, std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n"
        << golden.Settings;
    const fs::path frames = home / "frames";
    const std::string command = "XDG_CONFIG_HOME='" + (home / "config").string() +
                                "' '" GLIMRA_RENDER_PATH "' --size " + golden.Size + " --seed " +
                                std::to_string(golden.Seed) + " --ticks " + std::to_string(golden.Ticks) +
                                " --every " + std::to_string(golden.Every) + " --settings '" +
                                settings.string() + "' --out '" + frames.string() + "' >/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;

    for (const auto& [frame, expected] : golden.Digests) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", frame);
        const std::vector<uint32_t> pixels = ReadPixels(frames / name);
        ASSERT_FALSE(pixels.empty()) << "no readable " << name << " in " << frames;
        const uint64_t actual = Digest(pixels);
        char shown[24];
        std::snprintf(shown, sizeof shown, "0x%016" PRIx64, actual);
        EXPECT_EQ(actual, expected) << golden.Name << ", frame " << frame << ": digest " << shown
                                    << "; the frames are kept in " << frames;
    }
}

void PrintTo(const GoldenCase& golden, std::ostream* out) {
    *out << golden.Name;
}

std::string CaseName(const ::testing::TestParamInfo<GoldenCase>& info) {
    return info.param.Name;
}

// Each case leans on one behaviour or layout rule; together they run in a few seconds.
const GoldenCase Cases[] = {
    // The steady state of the default animation, where a tick changes about one cell in eight.
    {"Defaults1080p", "1920x1080", 4, 301, 300, "", {{300, 0xa098c5d3ef830459}, {301, 0x64d04638c8520088}}},
    {"Defaults",
     "1024x768",
     7,
     200,
     50,
     "",
     {{50, 0x865ace8ea2c34553},
      {100, 0x5aafd104f258bebc},
      {150, 0xeb831db370b1ee5a},
      {200, 0xa6047dae2a712032}}},
    // Every column spawns on every tick: collisions of tracks, sweepers and statics everywhere.
    {"FullSaturation",
     "800x600",
     11,
     120,
     40,
     "\"Saturation\"=dword:00000064\r\n",
     {{40, 0xe1e73e98eb20f494}, {80, 0x956b0db9004b97de}, {120, 0x9dac17d1eb397af4}}},
    // Every finished glyph becomes a flipper, and slow tracks wait through inactive ticks.
    {"ManyFlippers",
     "640x480",
     5,
     150,
     50,
     "\"Saturation\"=dword:00000032\r\n\"Volatility\"=dword:00000064\r\n\"Speed Range\"=dword:00000007\r\n",
     {{50, 0x26d87a2b95f1ab39}, {100, 0x273ea803496a37c9}, {150, 0xa8e0cfa0cdfaf205}}},
    // Statics morphing out of the tracks they land on.
    {"Statics",
     "640x480",
     6,
     150,
     50,
     "\"Saturation\"=dword:0000003c\r\n\"Static\"=dword:00000064\r\n\"Creature\"=dword:00000014\r\n"
     "\"Blank\"=dword:00000000\r\n\"Static States\"=dword:00000007\r\n",
     {{50, 0x440f784c032ba4b1}, {100, 0x07e5adfa62e48184}, {150, 0x680ca05991ff7654}}},
    // Sweepers wiping tracks and flippers.
    {"Sweepers",
     "640x480",
     9,
     150,
     50,
     "\"Saturation\"=dword:00000028\r\n\"Blank\"=dword:00000064\r\n\"Static\"=dword:00000000\r\n"
     "\"Volatility\"=dword:00000032\r\n",
     {{50, 0x3a3618720d2e7054}, {100, 0xbf916aa25bf54c2a}, {150, 0x7b1f7d8233f2555a}}},
    // Glyphs mirrored top to bottom only, and long fades.
    {"Mirrored",
     "640x480",
     8,
     150,
     50,
     "\"Saturation\"=dword:00000014\r\n\"Horizontal\"=dword:00000000\r\n\"Vertical\"=dword:00000001\r\n"
     "\"Creature States\"=dword:00000014\r\n",
     {{50, 0xb4bc423976494b51}, {100, 0x7927088e27c20d0e}, {150, 0x5b60bd9baf790792}}},
    // Widths and heights that are no multiple of the glyph size leave one-pixel gaps in the layout.
    {"GapColumns",
     "1003x701",
     12,
     150,
     50,
     "\"Saturation\"=dword:00000014\r\n",
     {{50, 0x0e30d5afcfabbf07}, {100, 0xf2050618a4bc701b}, {150, 0x2f8311be72bd98a9}}},
};

INSTANTIATE_TEST_SUITE_P(Renderer, GoldenFrames, ::testing::ValuesIn(Cases), CaseName);

} // namespace
