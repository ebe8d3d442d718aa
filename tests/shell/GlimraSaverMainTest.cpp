#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "behaviours/GlimraPerson.h"
#include "glyphs/GlimraBitmap.h"
#include "glyphs/GlimraGraph.h"
#include "settings/GlimraSettings.h"
#include "shell/GlimraModules.h"
#include "shell/GlimraSaverMain.h"
#include "support/FakeRasteriser.h"
#include "support/MemorySettingsStore.h"

namespace {

// A host that records every call in order and answers from its fields.
class RecordingHost : public GlimraSaverHost, public GlimraWindowsDuties {
public:
    GlimraScreenMetrics ScreenMetrics() override { return metrics; }
    void MaximiseWindow() override { Log("maximise"); }
    void SetWindowBounds(int32_t left, int32_t top, int32_t width, int32_t height) override {
        Log("bounds " + std::to_string(left) + "," + std::to_string(top) + " " + std::to_string(width) + "x" +
            std::to_string(height));
        origin = {left, top};
    }
    GlimraPoint WindowOrigin() override { return origin; }
    void SetScreenSaverRunning(bool running) override { Log(running ? "flag on" : "flag off"); }
    GlimraPoint CursorPosition() override {
        Log("cursor");
        return cursor;
    }
    void ShowPointer(bool show) override { Log(show ? "show pointer" : "hide pointer"); }
    Pixmap& Surface(int32_t width, int32_t height) override {
        if (surface.Width() != width || surface.Height() != height) {
            Log("surface " + std::to_string(width) + "x" + std::to_string(height));
            surface = Pixmap(width, height);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    surface.SetPixel(x, y, 0x7F7F7F); // what a window shows before it is painted
        }
        return surface;
    }
    void Present() override { ++presents; }
    void StartTimer(GlimraTimer timer, int32_t intervalMs) override {
        Log("start " + Name(timer) + " " + std::to_string(intervalMs));
        timers[timer] = intervalMs;
    }
    void StopTimer(GlimraTimer timer) override {
        Log("stop " + Name(timer));
        timers.erase(timer);
    }
    void InstallMessageFilter(bool installed) override { Log(installed ? "filter on" : "filter off"); }
    bool IsWin9x() override { return win9x; }
    std::optional<uint32_t> ScreenSaveUsePassword() override {
        Log("read usepassword");
        return usePassword;
    }
    std::optional<bool> VerifyScreenSavePassword() override {
        Log("verify");
        return verdict;
    }
    void CloseWindow() override { Log("close"); }
    GlimraWindowsDuties* WindowsDuties() override { return windows ? this : nullptr; }
    void ShrinkWindow() override { Log("shrink"); }

    static std::string Name(GlimraTimer timer) {
        return timer == GlimraTimer::Main    ? "timer"
               : timer == GlimraTimer::Mouse ? "mousetimer"
                                             : "pwddlgtimer";
    }
    void Log(const std::string& call) { calls.push_back(call); }
    bool Closed() const { return std::find(calls.begin(), calls.end(), "close") != calls.end(); }

    GlimraScreenMetrics metrics{1024, 768, 1, 0, 0, 1024, 768};
    GlimraPoint cursor{500, 400};
    GlimraPoint origin{0, 0};
    bool windows = true;
    bool win9x = false;
    std::optional<uint32_t> usePassword;
    std::optional<bool> verdict;
    Pixmap surface;
    int presents = 0;
    std::map<GlimraTimer, int32_t> timers;
    std::vector<std::string> calls;
};

class SaverWindow : public ::testing::Test {
protected:
    void SetUp() override {
        InstallSettingsStore(&store);
        StartupModules("/nonexistent/");
        vGlimraSettings defaults;
        defaults.Save(store);
    }
    void TearDown() override {
        window.reset();
        ShutdownModules();
        InstallSettingsStore(nullptr);
    }
    void SetDelay(int32_t delay) {
        vGlimraSettings settings;
        settings.Delay = delay;
        settings.Save(store);
    }
    void Create() {
        window = std::make_unique<Tglimrascreen>(host);
        window->FormCreate();
    }
    static GlimraMessage MouseAt(int32_t x, int32_t y) {
        return {WmMouseMove, 0,
                static_cast<intptr_t>((static_cast<uint32_t>(y) << 16) | static_cast<uint32_t>(x))};
    }
    void Arm() {
        window->mousetimerTimer();
        window->mousetimerTimer();
    }

    ScopedFakeRasteriser fake;
    MemorySettingsStore store;
    RecordingHost host;
    std::unique_ptr<Tglimrascreen> window;
};

} // namespace

TEST_F(SaverWindow, StartsInTheOrderTheSystemExpects) {
    Create();
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"maximise", "flag on", "cursor", "hide pointer", "surface 1024x768",
                                        "start timer 100", "filter on", "start mousetimer 1000"}));
    EXPECT_EQ(window->screenwidth(), 1024);
    EXPECT_EQ(window->screenheight(), 768);
    EXPECT_EQ(window->startpos(), (GlimraPoint{500, 400}));
    ASSERT_NE(window->engine(), nullptr);
    EXPECT_EQ(window->engine()->Width(), 1024);
    // The surface starts black, and the classes have made their strips.
    EXPECT_EQ(host.surface.Pixel(0, 0), 0u);
    EXPECT_EQ(host.surface.Pixel(1023, 767), 0u);
    EXPECT_NE(FindAlphabet(vGlimraSweeper::Class(), 0), nullptr);
}

TEST_F(SaverWindow, SeveralMonitorsSpanTheVirtualDesktopEvenLeftOfAndAboveThePrimary) {
    host.metrics = {1920, 1080, 2, -1280, -200, 3200, 1280};
    Create();
    EXPECT_EQ(host.calls.front(), "bounds -1280,-200 3200x1280");
    EXPECT_EQ(window->engine()->Width(), 3200);
    EXPECT_EQ(window->engine()->Height(), 1280);
    // The pointer has not moved: in window coordinates it is 1280 + 500 right and 200 + 400 down.
    Arm();
    window->AppMessage(MouseAt(1780, 600));
    EXPECT_FALSE(host.Closed()) << "a desktop left of the primary monitor must not wake the saver by itself";
    window->AppMessage(MouseAt(1786, 600));
    EXPECT_TRUE(host.Closed());
}

TEST_F(SaverWindow, EachTickSpawnsTicksDrawsAndPresents) {
    Create();
    const int before = host.presents;
    for (int i = 0; i < 50; ++i)
        window->timerTimer();
    EXPECT_EQ(host.presents, before + 50);
    EXPECT_EQ(window->engine()->TickCount(), 50);
}

TEST_F(SaverWindow, ADelayOfZeroMeansNoTicksButWakeUpStillWorks) {
    SetDelay(0);
    Create();
    EXPECT_EQ(host.timers.at(GlimraTimer::Main), 0);
    window->AppMessage({WmKeyDown, 'A', 0});
    EXPECT_TRUE(host.Closed());
}

TEST_F(SaverWindow, MouseMovementWakesOnlyAfterTheGracePeriodAndBeyondFivePixels) {
    Create();
    window->AppMessage(MouseAt(600, 400));
    EXPECT_FALSE(host.Closed()) << "ignored before the mouse is armed";
    window->mousetimerTimer();
    EXPECT_FALSE(window->mousearmed());
    window->AppMessage(MouseAt(600, 400));
    EXPECT_FALSE(host.Closed());
    window->mousetimerTimer();
    EXPECT_TRUE(window->mousearmed());
    EXPECT_EQ(host.timers.count(GlimraTimer::Mouse), 0u) << "the mouse timer stops once it has armed";
    for (auto [x, y] : {std::pair{505, 405}, std::pair{495, 395}, std::pair{505, 395}, std::pair{500, 400}})
        window->AppMessage(MouseAt(x, y));
    EXPECT_FALSE(host.Closed()) << "five pixels on both axes do not wake";
    window->AppMessage(MouseAt(500, 406));
    EXPECT_TRUE(host.Closed()) << "six on one axis do";
}

TEST_F(SaverWindow, KeysCommandsActivationAndClicksWakeAtOnceOtherMessagesNever) {
    for (uint32_t message : {6u, 256u, 273u, 274u}) {
        host = RecordingHost();
        Create();
        window->AppMessage({message, 0, 0});
        EXPECT_TRUE(host.Closed()) << message;
    }
    host = RecordingHost();
    Create();
    for (uint32_t message : {0u, 15u, 257u, 260u, 513u, 516u, 522u})
        window->AppMessage({message, 0, 0});
    EXPECT_FALSE(host.Closed());
    window->screenpaintClick();
    EXPECT_TRUE(host.Closed());
}

TEST_F(SaverWindow, StopsInTheOrderTheSystemExpectsAndOnlyOnce) {
    Create();
    host.calls.clear();
    window->AppMessage({WmKeyDown, 0, 0});
    EXPECT_EQ(host.calls, (std::vector<std::string>{"filter off", "stop timer", "flag off", "close"}));
    EXPECT_EQ(window->engine(), nullptr);
    window->screenpaintClick();
    window->timerTimer();
    EXPECT_EQ(host.calls.size(), 4u) << "nothing more happens once stopped";
}

TEST_F(SaverWindow, OnTheNtFamilyThereIsNoPasswordStep) {
    host.usePassword = 1;
    host.verdict = false;
    // A host without the Windows duties (X11, Wayland) behaves as the NT family, and has no flag.
    for (bool windows : {true, false}) {
        host.windows = windows;
        host.calls.clear();
        Create();
        window->AppMessage({WmKeyDown, 0, 0});
        window->FormClose();
        EXPECT_TRUE(host.Closed());
        EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "verify"), 0);
        EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "flag off"), windows ? 1 : 0);
        EXPECT_EQ(host.timers.count(GlimraTimer::PasswordDialog), 0u);
        EXPECT_FALSE(window->pwddlgactive());
    }
}

TEST_F(SaverWindow, ARefusedPasswordKeepsTheSaverAndLocksInputForOneTimerInterval) {
    host.win9x = true;
    host.usePassword = 1;
    host.verdict = false;
    Create();
    Arm();
    host.calls.clear();
    window->AppMessage({WmKeyDown, 0, 0});
    EXPECT_EQ(host.calls, (std::vector<std::string>{"read usepassword", "show pointer", "verify",
                                                    "hide pointer", "start pwddlgtimer 1000"}));
    EXPECT_TRUE(window->pwddlgactive());
    host.calls.clear();
    window->AppMessage({WmKeyDown, 0, 0});
    window->screenpaintClick();
    window->AppMessage(MouseAt(900, 900));
    EXPECT_TRUE(host.calls.empty()) << "input is ignored while the lock-out lasts";
    window->pwddlgtimerTimer();
    EXPECT_FALSE(window->pwddlgactive());
    host.verdict = true;
    window->AppMessage(MouseAt(900, 900));
    EXPECT_TRUE(host.Closed()) << "the next movement asks again, and an accepted password closes";
}

TEST_F(SaverWindow, OnWindows98WithoutAPasswordTheStepRunsAndTheSaverCloses) {
    host.win9x = true;
    for (std::optional<uint32_t> usePassword : {std::optional<uint32_t>{0}, std::optional<uint32_t>{}}) {
        host.calls.clear();
        host.usePassword = usePassword;
        Create();
        window->AppMessage({WmCommand, 0, 0});
        EXPECT_TRUE(host.Closed());
        EXPECT_TRUE(window->pwddlgactive());
        EXPECT_EQ(host.timers.count(GlimraTimer::PasswordDialog), 1u)
            << "the lock-out timer starts in every case";
        EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "verify"), 0);
    }
    // A password library that is missing lets the saver close as if there were no password.
    host.usePassword = 1;
    host.verdict.reset();
    host.calls.clear();
    Create();
    window->AppMessage({WmKeyDown, 0, 0});
    EXPECT_TRUE(host.Closed());
}

TEST_F(SaverWindow, ClosingShrinksTheWindowOnlyOnWindows98) {
    Create();
    window->FormClose();
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "shrink"), 0);
    host.win9x = true;
    window->FormClose();
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "shrink"), 1);
}
