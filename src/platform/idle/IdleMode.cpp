#include "platform/idle/IdleMode.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/idle/Autostart.h"
#include "platform/idle/IdleWatcher.h"
#include "platform/linux/GlimraLockFile.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/ShownText.h"

namespace {

// The command users and daemons run: glimracode, beside the program that runs this mode. Empty when
// this program's own file cannot be found: a bare "glimracode" would run whatever the PATH or the
// current folder holds under that name.
std::string ThisProgram() {
    const std::string folder = ExecutableDirectory();
    return folder.empty() ? std::string() : folder + "glimracode";
}

constexpr const char* WatcherLockName = "glimracode-idle.lock";

std::optional<int> Number(std::string_view word, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

IdleCommand Refuse(std::string why) {
    IdleCommand command;
    command.Error = std::move(why);
    return command;
}

std::string Duration(long long seconds) {
    return seconds % 60 == 0 ? std::to_string(seconds / 60) + " min" : std::to_string(seconds) + " s";
}

// A second watcher in a session is no failure (a login may start one while the user runs another),
// but whoever started it must learn why nothing changed; the running one left its process id and
// threshold in the lock.
int TellWatcherRunning(const std::string& lockPath, long long seconds) {
    long long pid = 0, running = 0;
    const std::string note = GlimraLockFile::ReadNote(lockPath);
    if (std::sscanf(note.c_str(), "%lld %lld", &pid, &running) != 2 || running == seconds) {
        std::fprintf(stderr, "glimracode: an idle watcher already runs in this session%s; this one ends\n",
                     pid > 0 ? (" (process " + std::to_string(pid) + ")").c_str() : "");
        return 0;
    }
    std::fprintf(
        stderr,
        "glimracode: an idle watcher already runs in this session (process %lld), starting the saver "
        "after %s; to wait %s instead, end it (kill %lld) and start this one again\n",
        pid, Duration(running).c_str(), Duration(seconds).c_str(), pid);
    return 1;
}

std::unique_ptr<IdleSource> OpenIdleSource() {
    // GNOME first: its compositor offers no idle protocol on Wayland, and on X11 only its session
    // manager knows what inhibits idling.
    for (auto open : {OpenMutterIdleSource, OpenWaylandIdleSource, OpenX11IdleSource})
        if (std::unique_ptr<IdleSource> source = open())
            return source;
    return nullptr;
}

int StoredMinutes() {
    FileSettingsStore store;
    return ReadIdleMinutes(store).value_or(DefaultIdleMinutes);
}

int Watch(const IdleCommand& command) {
    const std::chrono::seconds threshold =
        command.Seconds ? std::chrono::seconds(*command.Seconds)
                        : std::chrono::minutes(command.Minutes.value_or(StoredMinutes()));
    // Held for the watcher's whole life: one watcher per session. Its own name, so that the watcher
    // and the saver it starts do not keep each other out.
    GlimraLockFile lock;
    switch (lock.AcquireNamed(WatcherLockName)) {
    case GlimraLockFile::Result::HeldElsewhere:
        return TellWatcherRunning(lock.Path(), threshold.count());
    case GlimraLockFile::Result::Unavailable:
        std::fprintf(stderr,
                     "glimracode: cannot take the lock '%s'; another watcher may run beside this one\n",
                     ShownText(lock.Path(), 200).c_str());
        break;
    case GlimraLockFile::Result::Acquired:
        lock.Note(std::to_string(getpid()) + " " + std::to_string(threshold.count()) + "\n");
        break;
    }
    const std::string program = ThisProgram();
    if (program.empty()) {
        std::fputs("glimracode: cannot find this program's own file (/proc/self/exe cannot be read), so the "
                   "saver beside it cannot be started\n",
                   stderr);
        return 1;
    }
    std::unique_ptr<IdleSource> source = OpenIdleSource();
    if (source == nullptr) {
        std::fputs("glimracode: this session offers no way to learn that it is idle (no GNOME idle monitor,\n"
                   "no Wayland idle protocol, no X11 screen saver extension)\n",
                   stderr);
        return 1;
    }
    // Said once, for whoever reads the session's log wondering why the saver did or did not start.
    std::fprintf(
        stderr, "glimracode: watching the session's idleness through the %s; the saver starts after %lld s\n",
        source->Name(), static_cast<long long>(threshold.count()));
    // glimracode beside this program is what users run as /s; it chooses the face afresh each time.
    IdleWatcher watcher(*source, threshold, {program, "glimracode", "/s"});
    return watcher.Run();
}

int Autostart(const IdleCommand& command) {
    FileSettingsStore store;
    // A Save that holds the settings gets as long as it gets from the dialog, and the same words.
    store.SetLockWait(AutostartLockPatience);
    std::string problem =
        SetIdleAutostart(store, command.What == IdleCommand::Action::AutostartOn, command.Minutes);
    if (problem.empty())
        return 0;
    if (!store.WriteProblem().empty())
        problem = store.WriteProblem();
    std::fprintf(stderr, "glimracode: %s\n", problem.c_str());
    return 1;
}

} // namespace

std::string SetIdleAutostart(FileSettingsStore& store, bool on, std::optional<int> minutes) {
    if (!on)
        return RemoveAutostartEntry(ThisProgram());
    // The entry first: minutes stored for an entry that could not be written would change what a
    // later --autostart on gives without anyone having asked; a failed store puts the entry back.
    AutostartPrevious previous;
    const int chosen = minutes.value_or(ReadIdleMinutes(store).value_or(DefaultIdleMinutes));
    if (std::string problem = WriteAutostartEntry(ThisProgram(), chosen, &previous); !problem.empty())
        return problem;
    if (minutes && !StoreIdleMinutes(store, *minutes)) {
        RestoreAutostartEntry(previous);
        return "cannot store the idle minutes in " + store.Path();
    }
    return {};
}

IdleCommand ParseIdleCommand(int argc, char** argv) {
    if (!IsIdleModeLine(argc, argv))
        return {};
    // "--idle=5" is "--idle 5", as every other option may be written.
    std::string_view option = argv[1];
    std::vector<std::string_view> values(argv + 2, argv + argc);
    if (const size_t equals = option.find('='); equals != std::string_view::npos) {
        values.insert(values.begin(), option.substr(equals + 1));
        option = option.substr(0, equals);
    }
    IdleCommand command;
    if (option == "--idle" || option == "--idle-seconds") {
        command.What = IdleCommand::Action::Watch;
        const bool seconds = option == "--idle-seconds";
        if (values.size() > 1 || (seconds && values.size() != 1))
            return Refuse(std::string(option) + " takes one number");
        if (values.size() == 1) {
            const std::optional<int> value =
                Number(values[0], 1, seconds ? MaxIdleMinutes * 60 : MaxIdleMinutes);
            if (!value)
                return Refuse("not a number of " + std::string(seconds ? "seconds" : "minutes") +
                              " in range: '" + ShownText(values[0]) + "'");
            (seconds ? command.Seconds : command.Minutes) = value;
        }
        return command;
    }
    const std::string_view state = values.empty() ? "" : values[0];
    if (state == "off" && values.size() == 1) {
        command.What = IdleCommand::Action::AutostartOff;
        return command;
    }
    if (state != "on" || values.size() > 2)
        return Refuse("--autostart takes 'on' [MINUTES] or 'off'");
    command.What = IdleCommand::Action::AutostartOn;
    if (values.size() == 2) {
        command.Minutes = Number(values[1], 1, MaxIdleMinutes);
        if (!command.Minutes)
            return Refuse("not a number of minutes in range: '" + ShownText(values[1]) + "'");
    }
    return command;
}

std::optional<int> RunIdleMode(int argc, char** argv) {
    const IdleCommand command = ParseIdleCommand(argc, argv);
    if (!command.Error.empty()) {
        std::fprintf(stderr, "glimracode: %s\n%s", command.Error.c_str(), IdleModeUsage);
        return 2;
    }
    switch (command.What) {
    case IdleCommand::Action::None:
        return std::nullopt;
    case IdleCommand::Action::Watch:
        return Watch(command);
    case IdleCommand::Action::AutostartOn:
    case IdleCommand::Action::AutostartOff:
        return Autostart(command);
    }
    return std::nullopt;
}
