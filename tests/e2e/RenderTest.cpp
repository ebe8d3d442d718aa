// The renderer as a user runs it: options, exit codes, files, and what its pictures show.

#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "platform/headless/PngWriter.h"
#include "raster/Pixmap.h"

namespace fs = std::filesystem;

namespace {

struct RenderRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the renderer with the arguments (already shell-quoted where needed) and the per-user
// settings pointed at an empty folder, so that nothing of this machine's user leaks in. A wrapper
// command (such as "timeout 20") runs the renderer.
RenderRun Render(const std::string& arguments, const fs::path& home, const std::string& wrapper = "") {
    const fs::path errFile = home / "stderr.txt";
    const std::string command = "XDG_CONFIG_HOME='" + (home / "config").string() + "' " + wrapper +
                                " '" GLIMRA_RENDER_PATH "' " + arguments + " 2>'" + errFile.string() + "'";
    RenderRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    std::array<char, 4096> buffer{};
    size_t got;
    while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.out.append(buffer.data(), got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream errStream(errFile);
    run.err.assign(std::istreambuf_iterator<char>(errStream), {});
    return run;
}

Pixmap ReadPng(const fs::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.string().c_str()))
        return {};
    image.format = PNG_FORMAT_BGRA;
    Pixmap pixmap(static_cast<int32_t>(image.width), static_cast<int32_t>(image.height));
    if (!png_image_finish_read(&image, nullptr, pixmap.Row(0), static_cast<png_int_32>(image.width * 4),
                               nullptr))
        return {};
    for (int32_t y = 0; y < pixmap.Height(); ++y)
        for (int32_t x = 0; x < pixmap.Width(); ++x)
            pixmap.SetPixel(x, y, pixmap.Pixel(x, y) & 0xFFFFFF);
    return pixmap;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::string> FrameNames(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class Renderer : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("glimra-render-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        fs::create_directories(home);
    }
    void TearDown() override {
        if (!HasFailure())
            fs::remove_all(home);
    }
    std::string Out(const std::string& name) { return "'" + (home / name).string() + "'"; }

    // 300 ticks of the default animation at 1280x720 into home/frames; the grid the renderer reports.
    void RenderDefault(const std::string& options, int& columns, int& rows) {
        const RenderRun run =
            Render("--size 1280x720 --ticks 300 " + options + " --out " + Out("frames"), home);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::smatch grid;
        ASSERT_TRUE(std::regex_search(run.out, grid, std::regex("(\\d+)x(\\d+) cells of (\\d+)x(\\d+)")))
            << run.out;
        columns = std::stoi(grid[1]);
        rows = std::stoi(grid[2]);
    }

    fs::path home;
};

} // namespace

TEST_F(Renderer, BadArgumentsPrintTheUsageAndExitWithTwo) {
    for (const std::string arguments :
         {"--size 0x10", "--size 100", "--size 100x-5", "--ticks -1", "--ticks ten", "--seed -3",
          "--every -1", "--bogus 1", "--ticks", "--size 17000x10", "--dpi 0", "--dpi 481", "--dpi 1.5"}) {
        const RenderRun run = Render(arguments + " --out " + Out("frames"), home);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.err.find("usage: glimracode-render"), std::string::npos) << arguments;
        EXPECT_TRUE(run.out.empty()) << arguments;
    }
    const RenderRun help = Render("--help", home);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--every K"), std::string::npos);
}

TEST_F(Renderer, DpiDrawsTheCellsOfAScreenOfThatDensity) {
    int at96 = 0;
    for (const int dpi : {96, 48, 192}) {
        const RenderRun run = Render("--ticks 0 --every 0 --font-size 12 --dpi " + std::to_string(dpi), home);
        std::smatch cell;
        ASSERT_TRUE(std::regex_search(run.out, cell, std::regex("cells of \\d+x(\\d+)"))) << run.err;
        at96 = dpi == 96 ? std::stoi(cell[1]) : at96;
        EXPECT_NEAR(std::stoi(cell[1]), at96 * dpi / 96.0, 2.0) << dpi; // ascent and descent are rounded
    }
}

TEST_F(Renderer, FilesAndFoldersThatCannotBeUsedAreNamedAndExitWithOne) {
    const RenderRun missing =
        Render("--settings " + Out("absent.reg") + " --ticks 1 --out " + Out("f"), home);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("absent.reg"), std::string::npos) << missing.err;

    std::ofstream(home / "plain-file") << "x";
    const RenderRun blocked = Render("--ticks 1 --size 64x64 --out " + Out("plain-file/sub"), home);
    EXPECT_EQ(blocked.exitCode, 1);
    EXPECT_NE(blocked.err.find("plain-file/sub"), std::string::npos) << blocked.err;
}

TEST_F(Renderer, EveryKWritesEveryKthFrameAndTheLastAndZeroWritesNone) {
    const RenderRun run = Render("--size 160x120 --ticks 10 --every 3 --seed 5 --out " + Out("frames"), home);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(FrameNames(home / "frames"), (std::set<std::string>{"frame-000003.png", "frame-000006.png",
                                                                  "frame-000009.png", "frame-000010.png"}));
    EXPECT_NE(run.out.find(fs::absolute(home / "frames").string()), std::string::npos) << run.out;
    const Pixmap frame = ReadPng(home / "frames" / "frame-000010.png");
    EXPECT_EQ(frame.Width(), 160);
    EXPECT_EQ(frame.Height(), 120);

    const RenderRun none = Render("--size 160x120 --ticks 10 --every 0 --out " + Out("none"), home);
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_FALSE(fs::exists(home / "none"));
}

TEST_F(Renderer, TheSameSeedGivesTheSameBytesAndAnotherSeedAnotherPicture) {
    for (const char* folder : {"a", "b"})
        ASSERT_EQ(
            Render("--size 320x200 --ticks 40 --every 40 --seed 77 --out " + Out(folder), home).exitCode, 0);
    ASSERT_EQ(Render("--size 320x200 --ticks 40 --every 40 --seed 78 --out " + Out("c"), home).exitCode, 0);
    const std::string a = ReadBytes(home / "a" / "frame-000040.png");
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, ReadBytes(home / "b" / "frame-000040.png"));
    EXPECT_NE(a, ReadBytes(home / "c" / "frame-000040.png"));
}

TEST_F(Renderer, ASettingsFileIsReadAndNeverWritten) {
    const fs::path settings = home / "settings.reg";
    const std::string text =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n\"Delay\"=dword:00000064\r\n"
        "\"Saturation\"=dword:00000000\r\n";
    std::ofstream(settings, std::ios::binary) << text;
    const RenderRun run = Render("--settings '" + settings.string() +
                                     "' --size 200x100 --ticks 30 --every 30 --out " + Out("frames"),
                                 home);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadBytes(settings), text);
    // Saturation 0: nothing is ever spawned, so the surface stays black.
    const Pixmap frame = ReadPng(home / "frames" / "frame-000030.png");
    ASSERT_FALSE(frame.IsEmpty());
    for (int32_t y = 0; y < frame.Height(); ++y)
        for (int32_t x = 0; x < frame.Width(); ++x)
            ASSERT_EQ(frame.Pixel(x, y), 0u) << x << "," << y;
    EXPECT_FALSE(fs::exists(home / "config")) << "the per-user settings are not created either";
}

// The settings panel of XScreenSaver passes options: they must draw what the same values in the
// settings file draw, and never reach the file.
TEST_F(Renderer, OptionsDrawWhatTheSameValuesInTheFileDrawAndTheFileStaysAsItWas) {
    const fs::path stored = home / "stored.reg";
    std::ofstream(stored, std::ios::binary)
        << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n"
           "\"Delay\"=dword:00000064\r\n\"Saturation\"=dword:00000028\r\n\"Font Size\"=dword:0000000c\r\n"
           "\"Volatility\"=dword:00000032\r\n\"Horizontal\"=dword:00000000\r\n\"Vertical\"=dword:00000001\r\n"
           "\"Creature\"=dword:00000046\r\n\"Blank\"=dword:0000001e\r\n\"Static\"=dword:00000014\r\n"
           "\"Nothing\"=dword:00000005\r\n\"Creature Start Color\"=dword:00ff80ff\r\n";
    const fs::path plain = home / "plain.reg";
    const std::string plainText = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\r\n"
                                  "\"Delay\"=dword:00000064\r\n";
    std::ofstream(plain, std::ios::binary) << plainText;
    const std::string common = " --size 320x240 --ticks 60 --every 20 --seed 9 --out ";
    const RenderRun fromFile = Render("--settings '" + stored.string() + "'" + common + Out("file"), home);
    const RenderRun fromOptions =
        Render("--settings '" + plain.string() +
                   "' --saturation 40 --font-size 12 --volatility 50 --no-flip-horizontal --flip-vertical "
                   "--creature-weight 70 --sweeper-weight 30 --static-weight 20 --nothing-weight 5 "
                   "--creature-start-color '#FF80FF'" +
                   common + Out("options"),
               home);
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
    ASSERT_EQ(fromOptions.exitCode, 0) << fromOptions.err;
    for (const char* frame : {"frame-000020.png", "frame-000040.png", "frame-000060.png"}) {
        const std::string expected = ReadBytes(home / "file" / frame);
        EXPECT_FALSE(expected.empty()) << frame;
        EXPECT_EQ(ReadBytes(home / "options" / frame), expected) << frame;
    }
    ASSERT_EQ(Render("--settings '" + plain.string() + "'" + common + Out("plain"), home).exitCode, 0);
    EXPECT_NE(ReadBytes(home / "options" / "frame-000060.png"),
              ReadBytes(home / "plain" / "frame-000060.png"))
        << "the options changed nothing";
    EXPECT_EQ(ReadBytes(plain), plainText) << "an option is never written";

    const RenderRun refused = Render("--saturation 101 --out " + Out("refused"), home);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--saturation takes a whole number from 0 to 100, not '101'"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(home / "refused"));
}

TEST_F(Renderer, ASettingsPathThatIsNoRegularFileIsRefusedAtOnce) {
    ASSERT_EQ(mkfifo((home / "fifo.reg").c_str(), 0600), 0);
    for (const std::string& path : {(home / "fifo.reg").string(), std::string("/dev/null"), home.string()}) {
        const RenderRun run =
            Render("--settings '" + path + "' --ticks 1 --out " + Out("f"), home, "timeout 20");
        EXPECT_EQ(run.exitCode, 1) << path << " (124: it hung)";
        EXPECT_NE(run.err.find("'" + path + "' is not a regular file"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(home / "f"));
}

TEST_F(Renderer, ARefusedSettingsFileIsNamedOnceWithItsReason) {
    fs::create_directories(home / "config" / "glimracode");
    const fs::path perUser = home / "config" / "glimracode" / "settings.reg";
    std::ofstream(perUser, std::ios::binary) << "Delay=5\n";
    const fs::path big = home / "big.reg";
    std::ofstream(big, std::ios::binary) << "REGEDIT4\r\n" << std::string(2 << 20, ';');
    // Only the per-user file gives way to the defaults: a file named on the command line was meant.
    for (const auto& [options, file, reason, exitCode] :
         {std::tuple{std::string(), perUser, std::string("is not a registry export"), 0},
          std::tuple{"--settings '" + big.string() + "'", big, std::string("is larger than 1048576 bytes"),
                     1}}) {
        const RenderRun run = Render(options + " --size 64x64 --ticks 2 --out " + Out("f"), home);
        EXPECT_EQ(run.exitCode, exitCode) << options << run.err;
        const std::string named = "'" + file.string() + "' " + reason;
        EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(named), run.err.rfind(named)) << "once: " << run.err;
    }
}

TEST_F(Renderer, AFrameReplacesALinkAtItsNameInsteadOfWritingThroughIt) {
    fs::create_directories(home / "frames");
    const fs::path victim = home / "victim.txt";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, home / "frames" / "frame-000001.png");
    const RenderRun run = Render("--size 64x64 --ticks 1 --seed 1 --out " + Out("frames"), home);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadBytes(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(home / "frames" / "frame-000001.png"));
    EXPECT_EQ(ReadPng(home / "frames" / "frame-000001.png").Width(), 64);
    EXPECT_EQ(FrameNames(home / "frames"), std::set<std::string>{"frame-000001.png"});
}

// A full disk, as the file size limit makes it: the failed frame leaves nothing behind.
TEST_F(Renderer, AFrameThatCannotBeWrittenWholeLeavesNothing) {
    Pixmap noise(200, 200);
    uint32_t state = 1;
    for (int32_t y = 0; y < noise.Height(); ++y)
        for (int32_t x = 0; x < noise.Width(); ++x)
            noise.SetPixel(x, y, (state = state * 1664525u + 1013904223u) >> 8);
    const fs::path frame = home / "frame-000001.png";
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message = WritePng(frame.string(), noise);
        [[maybe_unused]] const ssize_t sent = write(channel[1], message.data(), message.size());
        _exit(0);
    }
    close(channel[1]);
    std::string message(512, '\0');
    message.resize(
        static_cast<size_t>(std::max<ssize_t>(0, read(channel[0], message.data(), message.size()))));
    close(channel[0]);
    waitpid(child, nullptr, 0);
    EXPECT_NE(message.find(frame.string()), std::string::npos) << message;
    EXPECT_TRUE(fs::is_empty(home)) << "neither a part of the frame nor a temporary file";
    EXPECT_EQ(WritePng(frame.string(), noise), "") << "and without the limit it is written";
}

// The default animation as the README promises it: 300 ticks at 1280x720.
TEST_F(Renderer, TheDefaultAnimationShowsFadingGreenTracksAndSweptColumns) {
    int columns = 0, rows = 0;
    ASSERT_NO_FATAL_FAILURE(RenderDefault("--every 50 --seed 2026", columns, rows));
    ASSERT_GT(columns, 50);
    ASSERT_GT(rows, 20);

    const Pixmap last = ReadPng(home / "frames" / "frame-000300.png");
    const Pixmap earlier = ReadPng(home / "frames" / "frame-000250.png");
    ASSERT_EQ(last.Width(), 1280);

    // The cascade's eight colour steps with the default colours; glyph cores are drawn in exactly
    // these colours, anti-aliased edges in darker ones.
    const uint32_t steps[] = {0x00FFC6, 0x00EDAA, 0x00DB8E, 0x00C972, 0x00B756, 0x00A53A, 0x00931E, 0x008102};
    int present = 0;
    for (uint32_t step : steps) {
        int count = 0;
        for (int32_t y = 0; y < last.Height() && count < 20; ++y)
            for (int32_t x = 0; x < last.Width(); ++x)
                count += last.Pixel(x, y) == step;
        present += count >= 20;
    }
    EXPECT_GE(present, 5) << "several colour steps of the fade are on screen";

    // No lit pixel has any red: everything drawn is a shade of the green fades.
    for (int32_t y = 0; y < last.Height(); ++y)
        for (int32_t x = 0; x < last.Width(); ++x)
            ASSERT_EQ(last.Pixel(x, y) >> 16, 0u) << x << "," << y;

    // A sweeper leaves a run of cells in one column that were lit and are now black.
    const double columnWidth = 1280.0 / columns, rowHeight = 720.0 / rows;
    auto cellIsBlack = [&](const Pixmap& frame, int column, int row) {
        for (int32_t y = static_cast<int32_t>(row * rowHeight);
             y < static_cast<int32_t>((row + 1) * rowHeight); ++y)
            for (int32_t x = static_cast<int32_t>(column * columnWidth);
                 x < static_cast<int32_t>((column + 1) * columnWidth); ++x)
                if (frame.Pixel(x, y) != 0)
                    return false;
        return true;
    };
    int sweptColumns = 0;
    for (int column = 0; column < columns; ++column) {
        int run = 0, longest = 0;
        for (int row = 0; row < rows; ++row) {
            run = (!cellIsBlack(earlier, column, row) && cellIsBlack(last, column, row)) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        sweptColumns += longest >= 6;
    }
    EXPECT_GE(sweptColumns, 1);
}

TEST_F(Renderer, ConsecutiveFramesDifferOnlyInsideWholeCells) {
    int columns = 0, rows = 0;
    ASSERT_NO_FATAL_FAILURE(RenderDefault("--every 299 --seed 11", columns, rows));
    const Pixmap a = ReadPng(home / "frames" / "frame-000299.png");
    const Pixmap b = ReadPng(home / "frames" / "frame-000300.png");
    ASSERT_FALSE(a.IsEmpty());
    ASSERT_FALSE(b.IsEmpty());
    // Columns and rows are laid out by truncating i * size / count; pixels in the gaps between
    // them, and beyond the last, belong to no cell and never change.
    const double columnWidth = 1280.0 / columns, rowHeight = 720.0 / rows;
    const int cellWidth = static_cast<int>(columnWidth), cellHeight = static_cast<int>(rowHeight);
    std::vector<bool> inColumn(1280, false), inRow(720, false);
    for (int i = 0; i < columns; ++i)
        for (int x = static_cast<int>(i * columnWidth); x < static_cast<int>(i * columnWidth) + cellWidth;
             ++x)
            inColumn[static_cast<size_t>(x)] = true;
    for (int j = 0; j < rows; ++j)
        for (int y = static_cast<int>(j * rowHeight); y < static_cast<int>(j * rowHeight) + cellHeight; ++y)
            inRow[static_cast<size_t>(y)] = true;
    int changed = 0;
    for (int32_t y = 0; y < 720; ++y)
        for (int32_t x = 0; x < 1280; ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) {
                ++changed;
                ASSERT_TRUE(inColumn[static_cast<size_t>(x)] && inRow[static_cast<size_t>(y)])
                    << "pixel (" << x << ", " << y << ") changed outside every cell";
            }
    EXPECT_GT(changed, 100);
}
