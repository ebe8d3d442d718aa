// The Linux programs' command lines as users mistype them, and every mode through both of them (each
// hands over to the other what it cannot show): what each answers in its first line, and with which
// exit code; a signal fails the row. No display server runs here, so the saver's lines that reach
// for one fail the way a broken display does.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Row {
    const char* Program;
    const char* Environment; // besides a private configuration and runtime folder
    const char* Arguments;
    int ExitCode;
    const char* FirstLine; // how the first line of the message starts
};

const Row Rows[] = {
    {GLIMRA_SAVER_PATH, "", "--version", 0, "glimracode 2.7.0"},
    {GLIMRA_SAVER_PATH, "", "-h /s", 0, "usage: glimracode"},
    {GLIMRA_SAVER_PATH, "", "--delay 50 --help", 0, "usage: glimracode"},
    {GLIMRA_SAVER_PATH, "", "/p 1234", 0, ""},
    {GLIMRA_SAVER_PATH, "", "-v", 2, "glimracode: unknown option '-v'"},
    {GLIMRA_SAVER_PATH, "", "--bogus", 2, "glimracode: unknown option '--bogus'"},
    {GLIMRA_SAVER_PATH, "", "/x", 2, "glimracode: unknown switch '/x'"},
    {GLIMRA_SAVER_PATH, "", "xyz", 2, "glimracode: unknown switch 'xyz'"},
    {GLIMRA_SAVER_PATH, "", "--size 1920x1080", 2, "glimracode: unknown option '--size'"},
    {GLIMRA_SAVER_PATH, "", "/s --dealy 50", 2, "glimracode: unknown option '--dealy'"},
    {GLIMRA_SAVER_PATH, "", "--delay=abc /s", 2, "glimracode: --delay takes a whole number"},
    {GLIMRA_SAVER_PATH, "", "/s --delay --root", 2, "glimracode: option '--delay' needs a value"},
    {GLIMRA_SAVER_PATH, "", "--root=1", 2, "glimracode: option '--root' takes no value"},
    {GLIMRA_SAVER_PATH, "", "/s extra", 2, "glimracode: unexpected argument 'extra'"},
    {GLIMRA_SAVER_PATH, "", "--root /s", 2, "glimracode: unexpected argument '/s'"},
    {GLIMRA_SAVER_PATH, "", "--window-id nonsense", 2, "glimracode: --window-id takes a window id"},
    {GLIMRA_SAVER_PATH, "DISPLAY=:4093", "/s", 1, "glimracode: cannot open the X display ':4093'"},
    {GLIMRA_SAVER_PATH, "DISPLAY=:4093", "-s --delay=50", 1, "glimracode: cannot open the X display"},
    {GLIMRA_SAVER_PATH, "DISPLAY=:4093", "-root", 1, "glimracode: cannot open the X display"},
    {GLIMRA_SAVER_PATH, "DISPLAY=:4093", "--window", 1, "glimracode: cannot open the X display"},
    {GLIMRA_SAVER_PATH, "DISPLAY=:4093", "--window-id=0x200001", 1, "glimracode: cannot open the X display"},
    {GLIMRA_SAVER_PATH, "DISPLAY=:4093", "/c", 1,
     "glimracode: cannot open the settings dialog on the X display ':4093'"},
    {GLIMRA_SAVER_PATH, "WAYLAND_DISPLAY=wayland-9", "/s", 1,
     "glimracode: cannot connect to the Wayland display"},
    {GLIMRA_SAVER_PATH, "", "--autostart maybe", 2, "glimracode: --autostart takes 'on' [MINUTES] or 'off'"},
    {GLIMRA_SAVER_PATH, "", "--idle-seconds", 2, "glimracode: --idle-seconds takes one number"},
    // glimracode-gtk lacks the saver and the hack modes: it hands them to glimracode, whose answers
    // these are.
    {GLIMRA_GTK_PATH, "", "--root", 1, "glimracode: cannot open the X display ''"},
    {GLIMRA_GTK_PATH, "DISPLAY=:4093", "--root", 1, "glimracode: cannot open the X display ':4093'"},
    {GLIMRA_GTK_PATH, "DISPLAY=:4093", "--window-id 0x1234", 1, "glimracode: cannot open the X display"},
    {GLIMRA_GTK_PATH, "DISPLAY=:4093", "--window", 1, "glimracode: cannot open the X display"},
    {GLIMRA_GTK_PATH, "DISPLAY=:4093", "--root --delay 50", 1, "glimracode: cannot open the X display"},
    {GLIMRA_GTK_PATH, "DISPLAY=:4093", "/s", 1, "glimracode: cannot open the X display ':4093'"},
    {GLIMRA_GTK_PATH, "WAYLAND_DISPLAY=wayland-9", "/s", 1,
     "glimracode: cannot connect to the Wayland display"},
    {GLIMRA_GTK_PATH, "DISPLAY=:4093", "/c", 1,
     "glimracode: cannot open the settings dialog on the X display"},
    {GLIMRA_GTK_PATH, "", "/p 1234", 0, ""},
    {GLIMRA_GTK_PATH, "", "--window-id nonsense", 2, "glimracode: --window-id takes a window id"},
    {GLIMRA_GTK_PATH, "", "--autostart maybe", 2, "glimracode: --autostart takes 'on' [MINUTES] or 'off'"},
    // The watcher's and the autostart entry's options, in both forms; run by the sibling program.
    {GLIMRA_SAVER_PATH, "", "--idle=0", 2, "glimracode: not a number of minutes in range: '0'"},
    {GLIMRA_SAVER_PATH, "", "--idle-seconds=x", 2, "glimracode: not a number of seconds in range: 'x'"},
    {GLIMRA_SAVER_PATH, "", "--autostart=maybe", 2, "glimracode: --autostart takes 'on' [MINUTES] or 'off'"},
    {GLIMRA_SAVER_PATH, "", "--autostart=on 5", 0, ""},
    {GLIMRA_SAVER_PATH, "", "--autostart=off", 0, ""},
    {GLIMRA_SAVER_PATH, "", "--idle 5 --help", 0, "usage: glimracode"},
    // A value is shown escaped and cut: no escape sequence reaches the terminal, no 128 KiB line.
    {GLIMRA_SAVER_PATH, "", "--idle \"$(printf '\\033[2J')\"", 2,
     "glimracode: not a number of minutes in range: '\\x1b[2J'"},
    {GLIMRA_SAVER_PATH, "", "--idle $(head -c 131000 /dev/zero | tr '\\0' 7)", 2,
     "glimracode: not a number of minutes in range: '777"},
    {GLIMRA_SAVER_PATH, "", "/s --delay=$(head -c 131000 /dev/zero | tr '\\0' 7)", 2,
     "glimracode: --delay takes a whole number"},
    {GLIMRA_SAVER_PATH, "", "\"$(printf '/\\033]0;x\\007')\"", 2,
     "glimracode: unknown switch '/\\x1b]0;x\\x07'"},
    {GLIMRA_RENDER_PATH, "", "--version", 0, "glimracode-render 2.7.0"},
    {GLIMRA_RENDER_PATH, "", "--ticks 1 --help", 0, "usage: glimracode-render"},
    {GLIMRA_RENDER_PATH, "", "--help --ticks 1", 0, "usage: glimracode-render"},
    {GLIMRA_RENDER_PATH, "", "-h", 0, "usage: glimracode-render"},
    {GLIMRA_RENDER_PATH, "", "--delay=50 --ticks=1 --every 0 --size 64x64", 0, "glimracode-render: 1 ticks"},
    {GLIMRA_RENDER_PATH, "", "--font --out frames", 2, "glimracode-render: option '--font' needs a value"},
    {GLIMRA_RENDER_PATH, "", "--bogus 1", 2, "glimracode-render: unknown option '--bogus'"},
    {GLIMRA_RENDER_PATH, "", "stray", 2, "glimracode-render: unexpected argument 'stray'"},
    {GLIMRA_RENDER_PATH, "", "--ticks=ten", 2, "glimracode-render: --ticks takes a whole number"},
};

TEST(CommandLine, EachProgramAnswersEveryLineWithOneLineAndItsExitCode) {
    const fs::path home = fs::temp_directory_path() / ("glimra-command-line-" + std::to_string(getpid()));
    fs::create_directories(home / "runtime");
    fs::permissions(home / "runtime", fs::perms::owner_all);
    for (const Row& row : Rows) {
        const std::string line = std::string(row.Arguments) + " (" + row.Program + ")";
        const std::string command =
            "cd '" + home.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
            home.string() + "/config' XDG_RUNTIME_DIR='" + home.string() + "/runtime' " + row.Environment +
            " timeout 20 '" + row.Program + "' " + row.Arguments + " 2>'" + home.string() + "/err'";
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::array<char, 4096> buffer{};
        for (size_t got; (got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
            out.append(buffer.data(), got);
        const int status = pclose(pipe);
        std::ifstream errStream(home / "err");
        const std::string err{std::istreambuf_iterator<char>(errStream), {}};
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        // Success speaks on standard output; a sanitizer's summary may follow on standard error.
        const std::string& message = code == 0 ? out : err;
        EXPECT_EQ(code, row.ExitCode) << line << "\n" << out << err;
        const std::string first = message.substr(0, message.find('\n'));
        EXPECT_EQ(first.rfind(row.FirstLine, 0), 0u) << line << "\n" << message;
        EXPECT_LT(first.size(), 300u) << line;
    }
    fs::remove_all(home);
}

} // namespace
