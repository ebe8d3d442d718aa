// The Linux saver as a screen-saver daemon starts it: the hack modes, their signals, and the
// settings' options that XScreenSaver's panel passes.

#include "SaverFixture.h"

using namespace std::chrono_literals;

namespace {

TEST_F(Saver, RootModeIgnoresInputAndEndsCleanlyOnSigterm) {
    auto saver = Start({"--root"});
    const auto deadline = Clock::now() + 3s;
    while (Clock::now() < deadline && Lit(Screenshot(root, ScreenWidth, ScreenHeight)) == 0)
        std::this_thread::sleep_for(100ms);
    ASSERT_GT(Lit(Screenshot(root, ScreenWidth, ScreenHeight)), 0u) << "nothing was drawn on the root window";
    EXPECT_TRUE(SaverWindows().empty());
    EXPECT_EQ(MappedToolkitLibraries(saver->Pid()), "");
    Xdotool("key x");
    Xdotool("click 1");
    Xdotool("mousemove 400 400");
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(saver->IsRunning()) << "input ended a hack mode";
    kill(saver->Pid(), SIGTERM);
    EXPECT_EQ(saver->WaitExit(1000ms), 0);
    EXPECT_EQ(saver->Err().find("glimracode"), std::string::npos) << saver->Err();
}

TEST_F(Saver, AWindowIdIsDrawnIntoAndFollowedWhenItGrows) {
    // Every column spawns on every tick, so the grown part fills within a few ticks.
    WriteSettings("\"Saturation\"=dword:00000064\n\"Delay\"=dword:00000032\n");
    const Window window =
        XCreateSimpleWindow(display, root, 0, 0, 200, 150, 0, 0, BlackPixel(display, DefaultScreen(display)));
    XMapWindow(display, window);
    XSync(display, False);
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", window);
    auto saver = Start({"-window-id", id});

    auto lastColumnsLit = [&](int width, int height, int from) {
        const std::vector<uint32_t> pixels = Screenshot(window, width, height);
        size_t lit = 0;
        for (int y = 0; y < height; ++y)
            for (int x = from; x < width; ++x)
                lit +=
                    pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] != 0;
        return lit;
    };
    auto deadline = Clock::now() + 3s;
    while (Clock::now() < deadline && lastColumnsLit(200, 150, 0) == 0)
        std::this_thread::sleep_for(50ms);
    ASSERT_GT(lastColumnsLit(200, 150, 0), 0u) << "nothing was drawn into the window";

    XResizeWindow(display, window, 500, 300);
    XSync(display, False);
    deadline = Clock::now() + 3s;
    while (Clock::now() < deadline && lastColumnsLit(500, 300, 300) == 0)
        std::this_thread::sleep_for(50ms);
    EXPECT_GT(lastColumnsLit(500, 300, 300), 0u) << "the grown part of the window stayed black";
    EXPECT_TRUE(saver->IsRunning());

    kill(saver->Pid(), SIGINT);
    EXPECT_EQ(saver->WaitExit(1000ms), 0);
}

TEST_F(Saver, WindowModeMakesAnOrdinaryWindowThatInputDoesNotEnd) {
    auto saver = Start({"--window"});
    Window found = 0;
    const auto deadline = Clock::now() + 3s;
    while (Clock::now() < deadline && found == 0) {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(display, root, &rootReturn, &parent, &children, &count);
        for (unsigned i = 0; i < count; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(display, children[i], &name) && name != nullptr &&
                std::string(name) == "Glimra Code" &&
                XGetWindowAttributes(display, children[i], &attributes) && !attributes.override_redirect &&
                attributes.map_state == IsViewable)
                found = children[i];
            if (name != nullptr)
                XFree(name);
        }
        if (children != nullptr)
            XFree(children);
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_NE(found, 0u) << "no ordinary window named Glimra Code appeared";
    Xdotool("key x");
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(saver->IsRunning());
    kill(saver->Pid(), SIGTERM);
    EXPECT_EQ(saver->WaitExit(1000ms), 0);
}

TEST_F(Saver, WithoutADisplayTheHackModesAndTheSaverSwitchFail) {
    std::vector<std::string> environment = Environment();
    environment[0] = "DISPLAY=:4093";
    auto root = Start({"--root"}, environment);
    EXPECT_EQ(root->WaitExit(2000ms), 1);
    EXPECT_NE(root->Err().find("cannot open the X display ':4093'"), std::string::npos) << root->Err();
    auto saver = Start({"/s"}, environment);
    EXPECT_EQ(saver->WaitExit(2000ms), 1);
    EXPECT_NE(saver->Err().find("cannot open the X display"), std::string::npos) << saver->Err();
}

// XScreenSaver's settings panel passes a setting as an option: it rules that run, and the settings
// file never hears of it.
TEST_F(Saver, SettingOptionsRuleTheHackModesAndTheSaverAndAreNeverWritten) {
    WriteSettings("\"Delay\"=dword:00000032\n\"Saturation\"=dword:00000064\n");
    const fs::path file = home / "config" / "glimracode" / "settings.reg";
    const auto stored = fs::last_write_time(file);
    const auto size = fs::file_size(file);

    auto hack = Start({"--root", "--saturation", "0"});
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(hack->IsRunning()) << hack->Err();
    EXPECT_EQ(Lit(Screenshot(root, ScreenWidth, ScreenHeight)), 0u) << "--saturation 0 spawned glyphs";
    kill(hack->Pid(), SIGTERM);
    EXPECT_EQ(hack->WaitExit(1000ms), 0);

    auto saver = Start({"/s", "--saturation", "0", "--delay", "20"});
    ASSERT_TRUE(WaitForSaverWindow());
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(Lit(Screenshot(root, ScreenWidth, ScreenHeight)), 0u);
    Xdotool("key x");
    EXPECT_EQ(saver->WaitExit(1000ms), 0);

    EXPECT_EQ(fs::last_write_time(file), stored);
    EXPECT_EQ(fs::file_size(file), size);

    auto refused = Start({"--root", "--delay", "5001"});
    EXPECT_EQ(refused->WaitExit(1000ms), 2);
    EXPECT_NE(refused->Err().find("--delay takes a whole number from 0 to 5000, not '5001'"),
              std::string::npos)
        << refused->Err();
    auto dialog = Start({"/c", "--delay", "50"});
    EXPECT_EQ(dialog->WaitExit(1000ms), 2) << "the dialog would save what an option set";
}

TEST_F(Saver, HelpAndBadWindowIds) {
    auto help = Start({"--help"});
    EXPECT_EQ(help->WaitExit(1000ms), 0);
    EXPECT_NE(help->Out().find("--window-id ID"), std::string::npos);
    auto bad = Start({"--window-id", "nonsense"});
    EXPECT_EQ(bad->WaitExit(1000ms), 2);
    EXPECT_NE(bad->Err().find("--window-id takes a window id"), std::string::npos);
    auto gone = Start({"--window-id", "0x7ffffff"});
    EXPECT_EQ(gone->WaitExit(2000ms), 1);
    EXPECT_NE(gone->Err().find("there is no window"), std::string::npos) << gone->Err();
}

} // namespace
