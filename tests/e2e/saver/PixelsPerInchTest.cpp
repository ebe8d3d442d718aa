// Font sizes are in points: the saver's glyph rows follow the density the desktop publishes.

#include "SaverFixture.h"

#include <algorithm>

// When every cell shows one glyph, a dash, each row of cells is a band of lit lines, and the rows'
// pitch is the least distance between the first lines of two bands.
static int RowPitch(const std::vector<uint32_t>& pixels) {
    int pitch = ScreenHeight, last = -ScreenHeight;
    for (int y = 0, wasLit = 0; y < ScreenHeight; ++y) {
        const auto line = pixels.begin() + y * ScreenWidth;
        const int lit = std::any_of(line, line + ScreenWidth, [](uint32_t pixel) { return pixel > 0x0C00; });
        pitch = lit && !wasLit ? std::min(pitch, y - std::exchange(last, y)) : pitch;
        wasLit = lit;
    }
    return pitch;
}

TEST_F(Saver, GlyphRowsGrowWithTheXftDpiResource) {
    const std::string xrdb = "DISPLAY=" + server->DisplayName() + " xrdb -nocpp ";
    int pitchAt96 = 0;
    for (const auto& [resource, dpi] :
         {std::pair<std::string, int>{"", 96}, {"Xft.dpi: 144", 144}, {"Xft.dpi:\t192.0", 192}}) {
        const std::string line =
            resource.empty() ? xrdb + "-remove" : "echo '" + resource + "' | " + xrdb + "-merge";
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
        // Every column starts a cascade on every tick and nothing wipes them.
        auto saver = Start({"--root", "--delay", "20", "--saturation", "100", "--sweeper-weight", "0",
                            "--static-weight", "0", "--start-char", "45", "--end-char", "45"});
        std::this_thread::sleep_for(1500ms);
        const int pitch = RowPitch(Screenshot(root, ScreenWidth, ScreenHeight));
        kill(saver->Pid(), SIGTERM);
        EXPECT_EQ(saver->WaitExit(2000ms), 0) << saver->Err();
        pitchAt96 = dpi == 96 ? pitch : pitchAt96;
        // Rows are spread over the whole height on whole pixels: a pitch may be off by a line or two.
        EXPECT_NEAR(pitch, pitchAt96 * dpi / 96.0, 1.0 + dpi / 96.0) << resource;
    }
    std::system((xrdb + "-remove").c_str());
}
