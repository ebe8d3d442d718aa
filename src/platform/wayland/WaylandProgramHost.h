#pragma once

#include "platform/x11/X11ProgramHost.h"

// The Windows switches on a Wayland desktop. Only the saver differs from X11: the instance marker,
// the settings dialog (GTK finds the compositor by itself) and the idle password change are the
// X11 host's, so that one copy at a time holds for both faces.
class WaylandProgramHost final : public GlimraProgramHost {
public:
    explicit WaylandProgramHost(X11StopSignals& signals) : m_signals(signals), m_common(signals) {}

    std::string ExecutableDirectory() override { return m_common.ExecutableDirectory(); }
    bool AcquireInstanceMarker() override { return m_common.AcquireInstanceMarker(); }
    void ReleaseInstanceMarker() override { m_common.ReleaseInstanceMarker(); }
    // A compositor that cannot be reached is reported on stderr; the program still ends with code 0.
    void RunSaver() override;
    void RunSettings() override { m_common.RunSettings(); }
    void ChangePassword() override { m_common.ChangePassword(); }

private:
    X11StopSignals& m_signals;
    X11ProgramHost m_common;
};
