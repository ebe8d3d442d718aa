#pragma once

#include <optional>
#include <string>
#include <string_view>

class FileSettingsStore;

// The Linux session's own modes of glimracode: the idle watcher and its autostart entry.
// Each option may also be written with "=" ("--idle=5", "--autostart=off").
//   --idle [MINUTES]          watch the session, start the saver after MINUTES of idleness
//                             (default: the stored minutes, else 10)
//   --idle-seconds SECONDS    the same with a threshold in seconds, for tests
//   --autostart on [MINUTES]  write the autostart entry (and store MINUTES when given)
//   --autostart off           remove it
struct IdleCommand {
    enum class Action { None, Watch, AutostartOn, AutostartOff };
    Action What = Action::None;
    std::optional<int> Minutes;
    std::optional<int> Seconds;
    std::string Error; // the arguments name one of the modes but wrongly
};

// Reads the arguments after the program's name; None when they name neither mode.
[[nodiscard]] IdleCommand ParseIdleCommand(int argc, char** argv);

// Runs the mode the arguments name and answers the exit code; nothing when they name neither, and
// then the caller goes on with the saver's own switches.
[[nodiscard]] std::optional<int> RunIdleMode(int argc, char** argv);

// What --autostart on [MINUTES] and --autostart off do, and what the settings dialog's Ok does with
// its idle choice. On stores minutes, when given, in store, then writes the entry that runs the
// glimracode beside this program with the stored minutes; off removes the entry and leaves the
// minutes. An empty text on success, else why not.
[[nodiscard]] std::string SetIdleAutostart(FileSettingsStore& store, bool on, std::optional<int> minutes);

inline constexpr const char* IdleModeUsage =
    "       glimracode --idle [MINUTES] | --autostart on [MINUTES] | --autostart off\n"
    "  --idle          starts the saver (as /s does) whenever the session has been idle for MINUTES\n"
    "                  (default: the minutes stored by --autostart, else 10); one per session; it\n"
    "                  never locks the screen. SIGTERM or SIGINT ends it and the saver it started.\n"
    "  --idle-seconds N  the same after N seconds, for testing\n"
    "  --autostart on  makes the session start --idle at login (an XDG autostart entry)\n"
    "  --autostart off removes that entry, when GlimraCode wrote it\n";

// Whether a command line asks for one of these modes (as "--idle 5" or "--idle=5"). A line that also
// asks for --help or --version does not: the program's usage answers it. Header-only, so that
// glimracode, which links no GLib, can tell the line to hand over.
inline bool IsIdleModeLine(int argc, const char* const* argv) {
    if (argc < 2)
        return false;
    for (int i = 1; i < argc; ++i)
        for (const std::string_view asks : {"-h", "--help", "-help", "--version"})
            if (asks == argv[i])
                return false;
    const std::string_view first = argv[1];
    for (const std::string_view mode : {"--idle", "--idle-seconds", "--autostart"})
        if (first == mode ||
            (first.starts_with(mode) && first.size() > mode.size() && first[mode.size()] == '='))
            return true;
    return false;
}
