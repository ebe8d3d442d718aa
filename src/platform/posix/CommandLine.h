#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/GlimraSettingOptions.h"

// The command-line reading that glimracode and glimracode-render share. Options come as
// "--name value" or "--name=value"; a value never starts with a dash and a letter, so that an
// option missing its value cannot swallow the next option. -h, --help and --version count
// wherever they stand. The settings' options are taken into Overrides; the program's own options
// and its other arguments stay in Arguments, in their order, for the program to read.

struct GlimraOwnOption {
    std::string_view Name; // without dashes
    bool TakesValue = false;
    // X11 screen-saver daemons write their options with one dash ("-root"); those take either form.
    bool OneDashToo = false;
};

struct GlimraCommandLine {
    enum class Ask { Run, Help, Version, Mistake };
    Ask What = Ask::Run;
    // For Mistake: one line that names what was wrong.
    std::string Mistake;
    GlimraSettingOverrides Overrides;
    // argv[0] first, then the program's own options (a value after its option, "=" forms split)
    // and the other arguments.
    std::vector<std::string> Arguments;

    // Arguments as main receives them, with a null last; valid while Arguments is unchanged.
    std::vector<const char*> Argv() const;
};

// windowsSwitches: "-s", "-c:HWND" and the like are the Windows switches, not options.
GlimraCommandLine ReadCommandLine(int argc, const char* const* argv, std::span<const GlimraOwnOption> own,
                                  bool windowsSwitches = false);

// What both programs answer without running: --help (the usage, then the settings' options) and
// --version on standard output with exit code 0, and a mistake as one line and the usage on
// standard error with exit code 2. Nothing when the program is to run.
std::optional<int> AnswerWithoutRunning(const GlimraCommandLine& line, const char* program,
                                        const char* usage);
// A mistake found after the reading, told as a mistaken line is; returns 2.
int TellMistake(const char* program, const std::string& mistake, const char* usage);
