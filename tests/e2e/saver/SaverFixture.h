#pragma once

// The fixture of the end-to-end tests of the Linux saver: the real binary on a private Xvfb, driven
// with xdotool and watched from a second X connection.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "platform/x11/XvfbServer.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int ScreenWidth = 640;
constexpr int ScreenHeight = 480;

inline std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One run of glimracode with its own settings and lock folders and its output in files.
class SaverProcess {
public:
    SaverProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                 const fs::path& outputs)
        : m_out(outputs / "stdout.txt"), m_err(outputs / "stderr.txt") {
        std::vector<std::string> env = environment;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            const std::string text = *variable;
            const std::string name = text.substr(0, text.find('='));
            if (name != "DISPLAY" && name != "XDG_CONFIG_HOME" && name != "XDG_RUNTIME_DIR" &&
                name != "XSCREENSAVER_WINDOW")
                env.push_back(text);
        }
        std::vector<char*> argv{const_cast<char*>(GLIMRA_SAVER_PATH)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& variable : env)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        if (posix_spawn(&m_pid, GLIMRA_SAVER_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    ~SaverProcess() {
        if (m_pid <= 0 || m_exitCode)
            return;
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // The exit code once the process has ended within the time; -1 for a death by signal.
    std::optional<int> WaitExit(std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (!m_exitCode) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                break;
            }
            if (Clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(10ms);
        }
        return m_exitCode;
    }

    bool IsRunning() { return !WaitExit(0ms); }
    std::string Out() const { return ReadFile(m_out); }
    std::string Err() const { return ReadFile(m_err); }

private:
    pid_t m_pid = -1;
    std::optional<int> m_exitCode;
    fs::path m_out;
    fs::path m_err;
};

class Saver : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = new XvfbServer(ScreenWidth, ScreenHeight); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    void SetUp() override {
        ASSERT_FALSE(server->DisplayName().empty()) << "Xvfb did not start";
        home = fs::temp_directory_path() / ("glimra-saver-" + std::to_string(getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        fs::create_directories(home / "config");
        fs::create_directories(home / "runtime");
        display = XOpenDisplay(server->DisplayName().c_str());
        ASSERT_NE(display, nullptr);
        root = DefaultRootWindow(display);
        XSelectInput(display, root, SubstructureNotifyMask);
        XSync(display, False);
        // Every test starts with the pointer at the same place.
        Xdotool("mousemove 100 100");
    }

    void TearDown() override {
        if (display != nullptr)
            XCloseDisplay(display);
        fs::remove_all(home);
    }

    std::vector<std::string> Environment() const {
        return {"DISPLAY=" + server->DisplayName(), "XDG_CONFIG_HOME=" + (home / "config").string(),
                "XDG_RUNTIME_DIR=" + (home / "runtime").string()};
    }

    std::unique_ptr<SaverProcess> Start(const std::vector<std::string>& arguments,
                                        std::vector<std::string> environment = {}) {
        if (environment.empty())
            environment = Environment();
        static int runs = 0;
        const fs::path outputs = home / ("run" + std::to_string(++runs));
        fs::create_directories(outputs);
        auto process = std::make_unique<SaverProcess>(arguments, environment, outputs);
        EXPECT_TRUE(process->Started());
        return process;
    }

    // The toolkit libraries a running process has mapped: a saver that a daemon starts on every
    // activation must load none of them. libwayland-client is no toolkit: the same program shows
    // the saver on Wayland.
    static std::string MappedToolkitLibraries(pid_t pid) {
        std::ifstream maps("/proc/" + std::to_string(pid) + "/maps");
        std::string line, found;
        const std::regex toolkit("lib(gtk|gdk|cairo|pango|glib|gobject)[^/]*\\.so");
        while (std::getline(maps, line))
            if (std::regex_search(line, toolkit) &&
                found.find(line.substr(line.rfind(' ') + 1)) == std::string::npos)
                found += line.substr(line.rfind(' ') + 1) + "\n";
        return found;
    }

    void WriteSettings(const std::string& values) {
        fs::create_directories(home / "config" / "glimracode");
        std::ofstream(home / "config" / "glimracode" / "settings.reg")
            << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\KLOV\\Glimra]\n"
            << values;
    }

    void Xdotool(const std::string& command) const {
        const std::string line = "DISPLAY=" + server->DisplayName() + " xdotool " + command;
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
    }

    // The mapped override-redirect windows on the root: the saver's, and nobody else's here.
    std::vector<Window> SaverWindows() {
        std::vector<Window> found;
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
            return found;
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, children[i], &attributes) && attributes.override_redirect &&
                attributes.map_state == IsViewable)
                found.push_back(children[i]);
        }
        if (children != nullptr)
            XFree(children);
        return found;
    }

    std::optional<Window> WaitForSaverWindow(std::chrono::milliseconds limit = 3000ms) {
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            if (const std::vector<Window> windows = SaverWindows(); windows.size() == 1)
                return windows.front();
            std::this_thread::sleep_for(20ms);
        }
        return std::nullopt;
    }

    // Whether the settings dialog's window came up within the time.
    bool WaitForDialog(std::chrono::milliseconds limit = 5000ms) const {
        const std::string line =
            "DISPLAY=" + server->DisplayName() +
            " xdotool search --onlyvisible --name '^vGlimra Screen Saver$' >/dev/null 2>&1";
        const auto deadline = Clock::now() + limit;
        while (Clock::now() < deadline) {
            if (std::system(line.c_str()) == 0) {
                // A window that has just been mapped may not take keys yet.
                std::this_thread::sleep_for(300ms);
                return true;
            }
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }

    // What a window shows, as 0x00RRGGBB pixels.
    std::vector<uint32_t> Screenshot(Window window, int width, int height) {
        XSync(display, False);
        std::vector<uint32_t> pixels;
        XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), AllPlanes, ZPixmap);
        if (image == nullptr)
            return pixels;
        pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF);
        XDestroyImage(image);
        return pixels;
    }

    static size_t Lit(const std::vector<uint32_t>& pixels) {
        size_t lit = 0;
        for (uint32_t pixel : pixels)
            lit += pixel != 0 ? 1 : 0;
        return lit;
    }

    // Whether any window was created on the root since the last call.
    bool WindowsWereCreated() {
        XSync(display, False);
        bool created = false;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            created = created || event.type == CreateNotify;
        }
        return created;
    }

    inline static XvfbServer* server = nullptr;
    fs::path home;
    Display* display = nullptr;
    Window root = 0;
};
