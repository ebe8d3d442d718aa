// Font sizes are in points: the saver's glyph rows follow the density the desktop publishes.

#include "SaverFixture.h"

#include <map>

namespace {

// The pitch of the glyph rows on the screen when every cell shows one glyph, a dash: each row of
// cells is then a band of lit lines, and the pitch is the commonest distance between the first lines
// of two bands.
int RowPitch(const std::vector<uint32_t>& pixels, int width, int height) {
    std::map<int, int> gaps;
    int last = -1;
    bool wasLit = false;
    for (int y = 0; y < height; ++y) {
        bool lit = false;
        for (int x = 0; x < width && !lit; ++x)
            lit = (pixels[static_cast<size_t>(y * width + x)] & 0xFF00) > 0x0C00;
        if (lit && !wasLit) {
            if (last >= 0)
                ++gaps[y - last];
            last = y;
        }
        wasLit = lit;
    }
    int pitch = 0;
    for (const auto& [gap, count] : gaps)
        if (pitch == 0 || count > gaps[pitch])
            pitch = gap;
    return pitch;
}

TEST_F(Saver, GlyphRowsGrowWithTheXftDpiResource) {
    // Every column starts a cascade on every tick and nothing wipes them.
    const std::vector<std::string> options{
        "--root", "--delay",      "20", "--saturation", "100", "--sweeper-weight", "0", "--static-weight",
        "0",      "--start-char", "45", "--end-char",   "45"};
    const std::string xrdb = "DISPLAY=" + server->DisplayName() + " xrdb -nocpp ";
    int pitchAt96 = 0;
    for (const auto& [resource, dpi] :
         {std::pair<const char*, int>{nullptr, 96}, {"Xft.dpi: 144", 144}, {"Xft.dpi:\t192.0", 192}}) {
        const std::string line = resource == nullptr
                                     ? xrdb + "-remove"
                                     : "echo '" + std::string(resource) + "' | " + xrdb + "-merge";
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
        auto saver = Start(options);
        std::this_thread::sleep_for(1500ms);
        const int pitch = RowPitch(Screenshot(root, ScreenWidth, ScreenHeight), ScreenWidth, ScreenHeight);
        kill(saver->Pid(), SIGTERM);
        EXPECT_EQ(saver->WaitExit(2000ms), 0) << saver->Err();
        if (dpi == 96)
            pitchAt96 = pitch;
        // Rows are spread over the whole height on whole pixels, so a pitch may be off by a line or two.
        EXPECT_NEAR(pitch, pitchAt96 * dpi / 96.0, 1.0 + dpi / 96.0) << (resource ? resource : "no resource");
    }
    std::system((xrdb + "-remove").c_str());
    EXPECT_GE(pitchAt96, 10) << "10 points at 96 pixels per inch are 13 pixels, and the cell is taller";
}

} // namespace
