#pragma once

#include "platform/x11/GlimraLockFile.h"
#include "platform/x11/X11StopSignals.h"
#include "shell/GlimraCode.h"

// The Windows switches on Linux: the saver runs in an X11SaverWindow on $DISPLAY, the settings mode
// shows the GTK dialog (without a display, it reports the settings file), and the password change, a
// Windows 95/98 service, does nothing.
class X11ProgramHost final : public GlimraProgramHost {
public:
    explicit X11ProgramHost(X11StopSignals& signals, std::string lockPath = GlimraLockFile::DefaultPath());

    std::string ExecutableDirectory() override;
    bool AcquireInstanceMarker() override;
    void ReleaseInstanceMarker() override { m_lock.Release(); }
    // A display that cannot be opened is reported on stderr; the program still ends with code 0.
    void RunSaver() override;
    void RunSettings() override;
    void ChangePassword() override {}

private:
    X11StopSignals& m_signals;
    std::string m_lockPath;
    GlimraLockFile m_lock;
};
