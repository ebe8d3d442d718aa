#pragma once

#include <windows.h>

#include "shell/GlimraCode.h"

// The entry point's platform on Windows: the named semaphore that marks a running copy, the saver
// window's message loop, and the password change of the Windows 95/98 family.
class SaverProgram final : public GlimraProgramHost {
public:
    static constexpr const char* SemaphoreName = "Glimra Screen Saver Semaphore";

    explicit SaverProgram(HINSTANCE instance) : m_instance(instance) {}
    ~SaverProgram() override;
    SaverProgram(const SaverProgram&) = delete;
    SaverProgram& operator=(const SaverProgram&) = delete;

    std::string ExecutableDirectory() override;
    bool AcquireInstanceMarker() override;
    void ReleaseInstanceMarker() override;
    void RunSaver() override;
    // Shows the settings dialog and runs its message loop until Ok, Cancel or the close box.
    void RunSettings() override;
    // "PwdChangePasswordA" of the system's MPR.DLL, for the screen saver's password, with no owner
    // window. Systems of the NT family have no such function and nothing happens.
    void ChangePassword() override;

private:
    HINSTANCE m_instance = nullptr;
    HANDLE m_marker = nullptr;
};
