#include "platform/linux/LinuxProgramHost.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
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
                                   FileSettingsStore& store, char** argv, std::string lockPath)
    : m_faces(faces), m_face(face), m_signals(signals), m_store(store), m_argv(argv),
      m_lockPath(std::move(lockPath)) {
}

int HandOverToSibling(const char* sibling, char** argv) {
    const std::string path = ::ExecutableDirectory() + sibling;
    execv(path.c_str(), argv);
    std::fprintf(stderr, "glimracode: cannot start '%s': %s\n", path.c_str(), std::strerror(errno));
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
    if (m_lock.Acquire(m_lockPath) != GlimraLockFile::Result::HeldElsewhere)
        return true;
    // Said even when no terminal listens: a daemon's log is where a user looks when nothing showed.
    std::fprintf(stderr, "glimracode: another copy is running (it holds '%s')\n", m_lockPath.c_str());
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
        if (m_faces.RunSettingsDialog(m_store))
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
