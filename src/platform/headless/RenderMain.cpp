// glimracode-render: the saver's animation, drawn off screen and written as PNG frames.

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "animation/Glimra.h"
#include "engine/GlimraRandom.h"
#include "glyphs/GlimraGraph.h"
#include "platform/headless/PngWriter.h"
#include "platform/posix/CommandLine.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/FreeTypeRasteriser.h"
#include "settings/GlimraSettingOptions.h"
#include "settings/GlimraSettings.h"
#include "shell/GlimraRuntime.h"

namespace {

constexpr const char* Usage =
    "usage: glimracode-render [--size WxH] [--dpi N] [--ticks N] [--seed S] [--settings FILE] [--out DIR]\n"
    "                         [--every K]\n"
    "       glimracode-render --help | --version\n"
    "Each option takes its value after a space or an equals sign.\n"
    "  --size WxH       surface size in pixels (default 1024x768)\n"
    "  --dpi N          the pixels per inch of the screen drawn for, 1 to 480: the font size is in\n"
    "                   points (default 96)\n"
    "  --ticks N        number of ticks to run (default 100)\n"
    "  --seed S         pins the random source, so that a run can be repeated frame by frame\n"
    "                   (default: seeded from the clock, as the saver is)\n"
    "  --settings FILE  reads the settings from this registry-export file (a regular file), never\n"
    "                   writing it\n"
    "                   (default: the per-user settings file)\n"
    "  --out DIR        where frames go, created when missing (default ./frames)\n"
    "  --every K        writes every K-th tick's frame and always the last; 0 writes none (default 1)\n"
    "Settings for this run only, over the settings file, which is never written:\n";

// Pictures beyond this size per side are refused rather than allocated: 16K is larger than any
// screen, and its surface alone takes a gigabyte.
constexpr int64_t MaxSide = 16384;
constexpr int64_t MaxTicks = 100000000;
// Five times the usual density, the densest screens sold; beyond it the largest font's glyph
// strips would take gigabytes.
constexpr int32_t MaxPixelsPerInch = 480;

struct Options {
    int32_t Width = 1024;
    int32_t Height = 768;
    int32_t PixelsPerInch = 96;
    int64_t Ticks = 100;
    std::optional<uint64_t> Seed;
    std::optional<std::string> SettingsFile;
    std::string OutDir = "frames";
    int64_t Every = 1;
};

template <typename T> bool ParseWhole(std::string_view text, T& value) {
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool ParseSize(std::string_view text, int32_t& width, int32_t& height) {
    const size_t x = text.find_first_of("xX");
    int64_t w = 0, h = 0;
    if (x == std::string_view::npos || !ParseWhole(text.substr(0, x), w) ||
        !ParseWhole(text.substr(x + 1), h))
        return false;
    if (w < 1 || h < 1 || w > MaxSide || h > MaxSide)
        return false;
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return true;
}

constexpr GlimraOwnOption OwnOptions[] = {
    {"size", true},     {"dpi", true}, {"ticks", true}, {"seed", true},
    {"settings", true}, {"out", true}, {"every", true},
};

// Returns the reason the command line is wrong, or nothing. The reading has paired every option
// with its value already.
std::optional<std::string> ParseOptions(const std::vector<std::string>& arguments, Options& options) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (!option.starts_with("--") || i + 1 >= arguments.size())
            return "unexpected argument '" + std::string(option) + "'";
        const std::string_view value = arguments[++i];
        // Built by appending: GCC 12 warns falsely (-Wrestrict) on "'" + string + "'" when optimising.
        std::string quoted(1, '\'');
        quoted.append(value).push_back('\'');
        if (option == "--size") {
            if (!ParseSize(value, options.Width, options.Height))
                return "--size takes WxH, each from 1 to 16384, not " + quoted;
        } else if (option == "--dpi") {
            if (!ParseWhole(value, options.PixelsPerInch) || options.PixelsPerInch < 1 ||
                options.PixelsPerInch > MaxPixelsPerInch)
                return "--dpi takes a whole number from 1 to " + std::to_string(MaxPixelsPerInch) + ", not " +
                       quoted;
        } else if (option == "--ticks") {
            if (!ParseWhole(value, options.Ticks) || options.Ticks < 0 || options.Ticks > MaxTicks)
                return "--ticks takes a whole number from 0 to 100000000, not " + quoted;
        } else if (option == "--seed") {
            uint64_t seed = 0;
            if (!ParseWhole(value, seed))
                return "--seed takes a whole number from 0 to 18446744073709551615, not " + quoted;
            options.Seed = seed;
        } else if (option == "--settings") {
            options.SettingsFile = std::string(value);
        } else if (option == "--out") {
            if (value.empty())
                return "--out takes a folder name";
            options.OutDir = std::string(value);
        } else if (option == "--every") {
            if (!ParseWhole(value, options.Every) || options.Every < 0)
                return "--every takes a whole number, 0 or more, not " + quoted;
        } else {
            return "unknown option '" + std::string(option) + "'";
        }
    }
    return std::nullopt;
}

std::string FrameName(const std::string& folder, int64_t tick) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(tick));
    return (std::filesystem::path(folder) / name).string();
}

int Render(const Options& options, const GlimraSettingOverrides& overrides) {
    FreeTypeRasteriser rasteriser;
    rasteriser.SetPixelsPerInch(options.PixelsPerInch);
    const std::string settingsPath = options.SettingsFile.value_or(FileSettingsStore::DefaultPath());
    // The renderer only ever reads settings; a missing per-user file simply means the defaults.
    FileSettingsStore store(settingsPath, FileSettingsStore::Access::ReadOnly);
    // A file named on the command line was meant to be drawn: the defaults would be a picture of
    // something else. The store has already said why it refused the file.
    if (GlimraStoreKey key = 0; options.SettingsFile) {
        if (store.OpenKey(SettingsKeyPath, key)) {
            store.CloseKey(key);
        } else if (!store.Refusal().empty()) {
            return 1;
        }
    }
    GlimraRuntime runtime({&rasteriser, &store, &overrides});
    runtime.StartModules(ExecutableDirectory());
    if (options.Seed)
        PinRandomSeed(*options.Seed);

    int written = 0;
    std::string failure;
    std::string grid;
    {
        Pixmap surface(options.Width, options.Height);
        const std::unique_ptr<vGlimra> started = StartEngine(surface, options.Width, options.Height);
        vGlimra& engine = *started;
        const vGlimraGraphProps& props = *GlobalGraphProps();
        grid = std::to_string(engine.Columns()) + "x" + std::to_string(engine.Rows()) + " cells of " +
               std::to_string(props.GlyphWidth) + "x" + std::to_string(props.GlyphHeight);
        for (int64_t tick = 1; tick <= options.Ticks && failure.empty(); ++tick) {
            engine.Step(surface);
            if (options.Every == 0 || (tick % options.Every != 0 && tick != options.Ticks))
                continue;
            failure = WritePng(FrameName(options.OutDir, tick), surface);
            written += failure.empty() ? 1 : 0;
        }
    }
    runtime.StopModules();
    if (!failure.empty()) {
        std::fprintf(stderr, "glimracode-render: %s\n", failure.c_str());
        return 1;
    }
    std::printf("glimracode-render: %lld ticks at %dx%d (%s); %d frame%s written to %s\n",
                static_cast<long long>(options.Ticks), options.Width, options.Height, grid.c_str(), written,
                written == 1 ? "" : "s", std::filesystem::absolute(options.OutDir).string().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const GlimraCommandLine line = ReadCommandLine(argc, argv, OwnOptions);
    if (const std::optional<int> answered = AnswerWithoutRunning(line, "glimracode-render", Usage))
        return *answered;
    Options options;
    if (const auto problem = ParseOptions(line.Arguments, options))
        return TellMistake("glimracode-render", *problem, Usage);
    if (options.SettingsFile) {
        // Looked at, not opened: opening a FIFO for reading would wait for a writer for ever.
        struct stat status {};
        if (stat(options.SettingsFile->c_str(), &status) != 0) {
            std::fprintf(stderr, "glimracode-render: cannot read the settings file '%s': %s\n",
                         options.SettingsFile->c_str(), std::strerror(errno));
            return 1;
        }
        if (!S_ISREG(status.st_mode)) {
            std::fprintf(stderr, "glimracode-render: the settings file '%s' is not a regular file\n",
                         options.SettingsFile->c_str());
            return 1;
        }
    }
    if (options.Every != 0) {
        std::error_code error;
        std::filesystem::create_directories(options.OutDir, error);
        if (error || !std::filesystem::is_directory(options.OutDir, error)) {
            std::fprintf(stderr, "glimracode-render: cannot create the folder '%s'\n",
                         options.OutDir.c_str());
            return 1;
        }
    }
    return Render(options, line.Overrides);
}
