#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/GlimraCell.h"
#include "shell/GlimraCode.h"
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
        EXPECT_EQ(SelectRunMode(UpperCaseAscii(c.argument)), c.mode) << "'" << c.argument << "'";
}

TEST(RunMode, OnlyAsciiLettersAreUpperCased) {
    EXPECT_EQ(UpperCaseAscii("az/AZ-09\xE4\xB5s"), "AZ/AZ-09\xE4\xB5S");
    // A byte that another code page would upper-case to 'S' stays what it is.
    EXPECT_EQ(SelectRunMode(UpperCaseAscii("\xDF")), GlimraRunMode::None);
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
    return RunGlimraCode(host, static_cast<int>(arguments.size()), arguments.data());
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
