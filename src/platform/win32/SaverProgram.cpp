#include "platform/win32/SaverProgram.h"

#include "platform/win32/ExecutableDirectory.h"
#include "platform/win32/OptionsDialog.h"
#include "platform/win32/SaverWindow.h"
#include "platform/win32/SystemLibrary.h"
#include "shell/GlimraSaverMain.h"

SaverProgram::~SaverProgram() {
    ReleaseInstanceMarker();
}

std::string SaverProgram::ExecutableDirectory() {
    return ::ExecutableDirectory();
}

bool SaverProgram::AcquireInstanceMarker() {
    // The semaphore is never waited on: its name alone says that a copy runs, for as long as one of
    // them holds a handle.
    m_marker = CreateSemaphoreA(nullptr, 0, 1, SemaphoreName);
    if (m_marker == nullptr)
        return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return true;
    CloseHandle(m_marker);
    m_marker = nullptr;
    return false;
}

void SaverProgram::ReleaseInstanceMarker() {
    if (m_marker == nullptr)
        return;
    CloseHandle(m_marker);
    m_marker = nullptr;
}

void SaverProgram::RunSaver() {
    SaverWindow window;
    if (!window.Create(m_instance))
        return;
    Tglimrascreen screen(window);
    window.Attach(&screen);
    screen.FormCreate();
    window.Show();
    window.RunMessageLoop();
    window.Attach(nullptr);
}

void SaverProgram::RunSettings() {
    TGlimraOpts form;
    if (!form.Create(m_instance))
        return;
    form.RunMessageLoop();
}

void SaverProgram::ChangePassword() {
    using PwdChangePasswordA = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, DWORD);
    const ScopedLibrary library(LoadSystemLibrary("MPR.DLL"));
    const auto change = library.Find<PwdChangePasswordA>("PwdChangePasswordA");
    if (change != nullptr)
        change("SCRSAVE", nullptr, 0, 0);
}
