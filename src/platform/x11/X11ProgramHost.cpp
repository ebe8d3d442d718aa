#include "platform/x11/X11ProgramHost.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/gtk/GtkSettingsDialog.h"
#include "platform/posix/ExecutableDirectory.h"
#include "platform/posix/FileSettingsStore.h"
#include "platform/x11/X11SaverWindow.h"
#include "settings/SettingsReport.h"

X11ProgramHost::X11ProgramHost(X11StopSignals& signals, std::string lockPath)
    : m_signals(signals), m_lockPath(std::move(lockPath)) {
}

std::string X11ProgramHost::ExecutableDirectory() {
    return ::ExecutableDirectory();
}

bool X11ProgramHost::AcquireInstanceMarker() {
    if (m_lock.Acquire(m_lockPath) != GlimraLockFile::Result::HeldElsewhere)
        return true;
    // A daemon that starts the saver reads no message; a user at a terminal wants to know why
    // nothing happened.
    if (isatty(STDERR_FILENO))
        std::fprintf(stderr, "glimracode: another copy is running (it holds '%s')\n", m_lockPath.c_str());
    return false;
}

void X11ProgramHost::RunSaver() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        std::fprintf(stderr, "glimracode: cannot open the X display '%s'\n", name != nullptr ? name : "");
        return;
    }
    {
        X11SaverWindow window(display, m_signals);
        if (!window.Run())
            std::fputs("glimracode: the screen is not 24-bit TrueColor; the saver cannot show\n", stderr);
    }
    XCloseDisplay(display);
}

void X11ProgramHost::RunSettings() {
    if (RunGtkSettingsDialog())
        return;
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
