#pragma once

#include "platform/linux/GlimraLockFile.h"
#include "platform/linux/LinuxFaces.h"
#include "platform/linux/WaylandDisplayChoice.h"
#include "platform/posix/FileSettingsStore.h"
#include "shell/GlimraCode.h"

// The Windows switches on Linux: the saver on the chosen face, the settings dialog (without a
// display, a report of the settings file), and no password change, a Windows 95/98 service. One
// instance marker serves both faces, so that one copy at a time holds across them.
// Runs the sibling program, beside this one, with the same command line; returns 1 only when it
// cannot start, having said why.
int HandOverToSibling(const char* sibling, char** argv);

class LinuxProgramHost final : public GlimraProgramHost {
public:
    // store is the installed settings store, for the dialog. argv is the whole command line, as main
    // received it, for the sibling program when this one lacks the face a mode needs.
    LinuxProgramHost(const LinuxFaces& faces, GlimraDisplayFace face, StopSignals& signals,
                     FileSettingsStore& store, char** argv);

    std::string ExecutableDirectory() override;
    bool AcquireInstanceMarker() override;
    void ReleaseInstanceMarker() override { m_lock.Release(); }
    // A display that cannot be reached is reported on stderr by the face, and noted. Both hand the
    // command line to the sibling program when this one lacks the face; the instance marker's
    // descriptor closes on exec, and the sibling takes the marker again.
    void RunSaver() override;
    void RunSettings() override;
    void ChangePassword() override {}

    // True once the saver or the dialog found no display to show on.
    bool DisplayFailed() const { return m_displayFailed; }

private:
    // Returns only when the sibling cannot start, having said why.
    void HandOver();

    const LinuxFaces& m_faces;
    GlimraDisplayFace m_face;
    StopSignals& m_signals;
    FileSettingsStore& m_store;
    char** m_argv;
    GlimraLockFile m_lock;
    bool m_displayFailed = false;
};
