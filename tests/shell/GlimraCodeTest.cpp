#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "engine/GlimraCell.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"
#include "raster/Pixmap.h"
#include "settings/AsciiCase.h"
#include "shell/GlimraCode.h"
#include "shell/GlimraRuntime.h"
#include "support/FakeRasteriser.h"

TEST(RunMode, EverySwitchFormPicksItsMode) {
    struct Case {
        const char* argument;
        GlimraRunMode mode;
    };
    const Case cases[] = {
        {"/s", GlimraRunMode::Saver},         {"-s", GlimraRunMode::Saver},
        {"s", GlimraRunMode::Saver},          {"screen", GlimraRunMode::Saver},
        {"/S", GlimraRunMode::Saver},         {"/c:1234", GlimraRunMode::Settings},
        {"-c", GlimraRunMode::Settings},      {"config", GlimraRunMode::Settings},
        {"", GlimraRunMode::Settings},        {"/p", GlimraRunMode::Preview},
        {"-P", GlimraRunMode::Preview},       {"/a", GlimraRunMode::PasswordChange},
        {"a", GlimraRunMode::PasswordChange}, {"/x", GlimraRunMode::None},
        {"x", GlimraRunMode::None},           {"-", GlimraRunMode::None},
        {"5", GlimraRunMode::None},           {"/", GlimraRunMode::None},
        {"//s", GlimraRunMode::None},         {" s", GlimraRunMode::None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SelectRunMode(AsciiUppered(c.argument)), c.mode) << "'" << c.argument << "'";
}

TEST(RunMode, OnlyAsciiLettersAreUpperCased) {
    EXPECT_EQ(AsciiUppered("az/AZ-09\xE4\xB5s"), "AZ/AZ-09\xE4\xB5S");
    // A byte that another code page would upper-case to 'S' stays what it is.
    EXPECT_EQ(SelectRunMode(AsciiUppered("\xDF")), GlimraRunMode::None);
}

namespace {

class RecordingProgramHost : public GlimraProgramHost {
public:
    std::string ExecutableDirectory() override {
        calls.push_back("directory");
        return "/opt/glimra/";
    }
    bool AcquireInstanceMarker() override {
        calls.push_back(ClassList() != nullptr ? "marker after start-up" : "marker before start-up");
        return !anotherCopyRuns;
    }
    void ReleaseInstanceMarker() override { calls.push_back("release"); }
    void RunSaver() override { calls.push_back("saver"); }
    void RunSettings() override { calls.push_back("settings"); }
    void ChangePassword() override { calls.push_back("password"); }

    bool anotherCopyRuns = false;
    std::vector<std::string> calls;
};

int Start(RecordingProgramHost& host, std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "GlimraCode.scr");
    // The tests install their own rasteriser; the runtime is lent nothing.
    GlimraRuntime runtime({});
    return RunGlimraCode(runtime, host, static_cast<int>(arguments.size()), arguments.data());
}

} // namespace

TEST(EntryPoint, StartsTheModulesChecksTheMarkerRunsTheModeAndShutsDown) {
    ScopedFakeRasteriser fake;
    RecordingProgramHost host;
    EXPECT_EQ(Start(host, {"/s"}), 0);
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"directory", "marker after start-up", "saver", "release"}));
    EXPECT_EQ(ClassList(), nullptr) << "modules are shut down before the program ends";
    EXPECT_EQ(fake.rasteriser.registered.size(), 1u);
    EXPECT_EQ(fake.rasteriser.unregistered.size(), 1u);

    for (auto [arguments, mode] : {std::pair{std::vector<const char*>{}, "settings"},
                                   std::pair{std::vector<const char*>{"/a", "1234"}, "password"},
                                   std::pair{std::vector<const char*>{"/c:1234"}, "settings"}}) {
        RecordingProgramHost other;
        EXPECT_EQ(Start(other, arguments), 0);
        EXPECT_EQ(other.calls.at(2), mode);
    }
}

TEST(EntryPoint, PreviewAndUnknownSwitchesDoNothingAndASecondCopyEndsAtOnce) {
    ScopedFakeRasteriser fake;
    for (const char* argument : {"/p", "/x", "-", "5"}) {
        RecordingProgramHost host;
        EXPECT_EQ(Start(host, {argument, "1234"}), 0);
        EXPECT_EQ(host.calls, (std::vector<std::string>{"directory", "marker after start-up", "release"}))
            << argument;
    }
    RecordingProgramHost second;
    second.anotherCopyRuns = true;
    EXPECT_EQ(Start(second, {"/s"}), 0);
    EXPECT_EQ(second.calls, (std::vector<std::string>{"directory", "marker after start-up"}));
    EXPECT_EQ(ClassList(), nullptr) << "the modules still shut down";
}

namespace {

// A rasteriser that fails as an exhausted machine would: when a font is made, or when the font
// file is registered.
class FailingRasteriser : public FakeRasteriser {
public:
    std::unique_ptr<GlimraFont> CreateFont(const GlimraLogFont& logFont) override {
        if (failFonts)
            throw std::bad_alloc();
        return FakeRasteriser::CreateFont(logFont);
    }
    bool RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) override {
        FakeRasteriser::RegisterFontFile(fontFile, resourceFile);
        if (failRegistration)
            throw std::bad_alloc();
        return true;
    }
    bool failFonts = false;
    bool failRegistration = false;
};

// Starts the saver as far as the window does before its first tick: every class renders its strips.
class PreparingProgramHost : public RecordingProgramHost {
public:
    void RunSaver() override {
        RecordingProgramHost::RunSaver();
        Pixmap surface(64, 64);
        PrepareCreatureClasses(surface, 8, 14);
    }
};

} // namespace

TEST(EntryPoint, AnExceptionWhileTheSaverStartsStillReleasesTheMarkerAndShutsDown) {
    FailingRasteriser rasteriser;
    InstallRasteriser(&rasteriser);
    rasteriser.failFonts = true;
    PreparingProgramHost host;
    EXPECT_THROW(Start(host, {"/s"}), std::bad_alloc);
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"directory", "marker after start-up", "saver", "release"}));
    EXPECT_EQ(rasteriser.unregistered, rasteriser.registered) << "the font does not stay registered";
    EXPECT_EQ(ClassList(), nullptr);
    EXPECT_EQ(GlobalGraphProps(), nullptr);
    EXPECT_EQ(Dictionary(), nullptr);

    // A failure inside start-up itself shuts down what had started.
    rasteriser.failFonts = false;
    rasteriser.failRegistration = true;
    rasteriser.registered.clear();
    rasteriser.unregistered.clear();
    RecordingProgramHost early;
    EXPECT_THROW(Start(early, {"/s"}), std::bad_alloc);
    EXPECT_EQ(early.calls, (std::vector<std::string>{"directory"}));
    EXPECT_EQ(rasteriser.unregistered, rasteriser.registered);
    EXPECT_EQ(ClassList(), nullptr);
    EXPECT_EQ(GlobalGraphProps(), nullptr);
    InstallRasteriser(nullptr);

    // And the next start is as clean as the first.
    ScopedFakeRasteriser fake;
    RecordingProgramHost again;
    EXPECT_EQ(Start(again, {"/s"}), 0);
    EXPECT_EQ(fake.rasteriser.unregistered.size(), 1u);
}
