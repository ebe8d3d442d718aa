#include "platform/linux/LinuxProgramHost.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/posix/ShownText.h"
#include "settings/SettingsReport.h"

namespace {

// True when some display server may be there to show the dialog; without one, the settings are
// reported as text, which needs no toolkit.
bool DisplayNamed() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0')
            return true;
    return false;
}

} // namespace

LinuxProgramHost::LinuxProgramHost(const LinuxFaces& faces, GlimraDisplayFace face, StopSignals& signals,
                                   FileSettingsStore& store, char** argv)
    : m_faces(faces), m_face(face), m_signals(signals), m_store(store), m_argv(argv) {
}

int HandOverToSibling(const char* sibling, char** argv) {
    // Without its own path the program cannot know where its sibling is, and a bare name would run
    // whatever the current folder or the PATH holds.
    const std::string folder = ::ExecutableDirectory();
    if (folder.empty()) {
        std::fprintf(stderr,
                     "glimracode: cannot find this program's own file (/proc/self/exe cannot be read), "
                     "so not '%s' beside it either\n",
                     sibling);
        return 1;
    }
    const std::string path = folder + sibling;
    // A sibling that is this very file (a broken install that links one name to the other) would
    // hand the line back, and the two would run each other for ever.
    struct stat own {
    }, other{};
    if (stat("/proc/self/exe", &own) == 0 && stat(path.c_str(), &other) == 0 && own.st_dev == other.st_dev &&
        own.st_ino == other.st_ino) {
        std::fprintf(stderr,
                     "glimracode: '%s' is this program itself, not the one this command needs; reinstall "
                     "GlimraCode\n",
                     ShownText(path, 200).c_str());
        return 1;
    }
    execv(path.c_str(), argv);
    std::fprintf(stderr, "glimracode: cannot start '%s': %s\n", ShownText(path, 200).c_str(),
                 std::strerror(errno));
    return 1;
}

void LinuxProgramHost::HandOver() {
    HandOverToSibling(m_faces.Sibling, m_argv);
    m_displayFailed = true;
}

std::string LinuxProgramHost::ExecutableDirectory() {
    return ::ExecutableDirectory();
}

bool LinuxProgramHost::AcquireInstanceMarker() {
    switch (m_lock.AcquireNamed("glimracode.lock")) {
    case GlimraLockFile::Result::Acquired:
        return true;
    case GlimraLockFile::Result::Unavailable:
        // Both places refused (a full /tmp, another user's folder there): the saver still shows,
        // since a screen left bare is worse than two savers, but says so.
        std::fprintf(stderr, "glimracode: cannot take the lock '%s'; another copy may run beside this one\n",
                     ShownText(m_lock.Path(), 200).c_str());
        return true;
    case GlimraLockFile::Result::HeldElsewhere:
        break;
    }
    // Said even when no terminal listens: a daemon's log is where a user looks when nothing showed.
    std::fprintf(stderr, "glimracode: another copy is running (it holds '%s')\n",
                 ShownText(m_lock.Path(), 200).c_str());
    return false;
}

void LinuxProgramHost::RunSaver() {
    bool (*run)(StopSignals&) =
        m_face == GlimraDisplayFace::Wayland ? m_faces.RunWaylandSaver : m_faces.RunX11Saver;
    if (run == nullptr)
        HandOver();
    else
        m_displayFailed = !run(m_signals);
}

void LinuxProgramHost::RunSettings() {
    if (DisplayNamed()) {
        if (m_faces.RunSettingsDialog == nullptr)
            return HandOver();
        if (m_faces.RunSettingsDialog(m_store, m_lock))
            return;
        // A display was named and could not be reached: a failure, told as one; the settings are
        // still shown as text below.
        const char* x11 = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        std::fprintf(
            stderr,
            "glimracode: cannot open the settings dialog on the X display '%s' or the Wayland display '%s'\n",
            x11 != nullptr ? x11 : "", wayland != nullptr ? wayland : "");
        m_displayFailed = true;
    }
    // Without a display the settings are still shown, as text. Read-only: showing the settings must
    // not create the file or its folder.
    const std::string path = FileSettingsStore::DefaultPath();
    FileSettingsStore store(path, FileSettingsStore::Access::ReadOnly);
    vGlimraSettings settings;
    settings.Load(store);
    std::error_code error;
    const bool exists = std::filesystem::is_regular_file(path, error);
    const std::string report = store.Refusal().empty()
                                   ? SettingsReport(path, exists, settings)
                                   : RefusedSettingsReport(path, store.Refusal(), settings);
    std::fputs(report.c_str(), stdout);
    std::fflush(stdout);
}
