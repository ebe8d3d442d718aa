#include "platform/idle/IdleMode.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/idle/Autostart.h"
#include "platform/idle/IdleWatcher.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"

namespace {

// The command users and daemons run: glimracode, beside the program that runs this mode.
std::string ThisProgram() {
    return ExecutableDirectory() + "glimracode";
}

std::optional<int> Number(const char* text, int low, int high) {
    int value = 0;
    const std::string_view word(text);
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

// Held for the watcher's whole life: one watcher per session. Its own name, so that the watcher and
// the saver it starts do not keep each other out.
bool TakeWatcherLock(int& fd) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder;
    if (runtime != nullptr && runtime[0] == '/') {
        folder = runtime;
    } else {
        folder = "/tmp/glimracode-" + std::to_string(geteuid());
        mkdir(folder.c_str(), 0700);
    }
    // Another user's folder or file, or a link at the name, could let them hold the lock first.
    struct stat status {};
    if (lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != geteuid() ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return true;
    fd = open((folder + "/glimracode-idle.lock").c_str(),
              O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0)
        return true;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    fd = -1;
    return !held;
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
    int lock = -1;
    if (!TakeWatcherLock(lock))
        return 0; // a watcher already runs in this session
    std::unique_ptr<IdleSource> source = OpenIdleSource();
    if (source == nullptr) {
        std::fputs("glimracode: this session offers no way to learn that it is idle (no GNOME idle monitor,\n"
                   "no Wayland idle protocol, no X11 screen saver extension)\n",
                   stderr);
        return 1;
    }
    const std::chrono::milliseconds threshold =
        command.Seconds
            ? std::chrono::milliseconds(std::chrono::seconds(*command.Seconds))
            : std::chrono::milliseconds(std::chrono::minutes(command.Minutes.value_or(StoredMinutes())));
    // Said once, for whoever reads the session's log wondering why the saver did or did not start.
    std::fprintf(
        stderr, "glimracode: watching the session's idleness through the %s; the saver starts after %lld s\n",
        source->Name(), static_cast<long long>(threshold.count() / 1000));
    // glimracode beside this program is what users run as /s; it chooses the face afresh each time.
    IdleWatcher watcher(*source, threshold, {ThisProgram(), "glimracode", "/s"});
    const int code = watcher.Run();
    if (lock >= 0)
        close(lock);
    return code;
}

int Autostart(const IdleCommand& command) {
    FileSettingsStore store;
    const std::string problem =
        SetIdleAutostart(store, command.What == IdleCommand::Action::AutostartOn, command.Minutes);
    if (problem.empty())
        return 0;
    std::fprintf(stderr, "glimracode: %s\n", problem.c_str());
    return 1;
}

} // namespace

std::string SetIdleAutostart(FileSettingsStore& store, bool on, std::optional<int> minutes) {
    if (!on)
        return RemoveAutostartEntry();
    if (minutes && !StoreIdleMinutes(store, *minutes))
        return "cannot store the idle minutes in " + store.Path();
    return WriteAutostartEntry(ThisProgram(),
                               minutes.value_or(ReadIdleMinutes(store).value_or(DefaultIdleMinutes)));
}

IdleCommand ParseIdleCommand(int argc, char** argv) {
    if (!IsIdleModeLine(argc, argv))
        return {};
    const std::string_view option = argv[1];
    IdleCommand command;
    if (option == "--idle" || option == "--idle-seconds") {
        command.What = IdleCommand::Action::Watch;
        const bool seconds = option == "--idle-seconds";
        if (argc > 3 || (seconds && argc != 3))
            return Refuse(std::string(option) + " takes one number");
        if (argc == 3) {
            const std::optional<int> value =
                Number(argv[2], 1, seconds ? MaxIdleMinutes * 60 : MaxIdleMinutes);
            if (!value)
                return Refuse("not a number of " + std::string(seconds ? "seconds" : "minutes") +
                              " in range: '" + argv[2] + "'");
            (seconds ? command.Seconds : command.Minutes) = value;
        }
        return command;
    }
    const std::string_view state = argc >= 3 ? argv[2] : "";
    if (state == "off" && argc == 3) {
        command.What = IdleCommand::Action::AutostartOff;
        return command;
    }
    if (state != "on" || argc > 4)
        return Refuse("--autostart takes 'on' [MINUTES] or 'off'");
    command.What = IdleCommand::Action::AutostartOn;
    if (argc == 4) {
        command.Minutes = Number(argv[3], 1, MaxIdleMinutes);
        if (!command.Minutes)
            return Refuse("not a number of minutes in range: '" + std::string(argv[3]) + "'");
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
