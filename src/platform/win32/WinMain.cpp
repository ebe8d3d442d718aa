// GlimraCode.scr: the saver, started by the system's screen-saver machinery with a switch.

#include <windows.h>

#include <cstdlib>
#include <exception>

#include "platform/win32/GdiRasteriser.h"
#include "platform/win32/RegistrySettingsStore.h"
#include "platform/win32/SaverProgram.h"
#include "shell/GlimraRuntime.h"

namespace {

// The manifest declares per-monitor awareness for the systems that read it; Windows 10 1703 and
// later are asked once more by name, as older systems lack the function.
void BecomeDpiAware() {
    using SetProcessDpiAwarenessContextFunction = BOOL(WINAPI*)(HANDLE);
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user == nullptr)
        return;
    const auto set = reinterpret_cast<SetProcessDpiAwarenessContextFunction>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")));
    if (set == nullptr)
        return;
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    set(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)));
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    BecomeDpiAware();
    GdiRasteriser rasteriser;
    RegistrySettingsStore store;
    GlimraRuntime runtime({&rasteriser, &store});
    try {
        SaverProgram program(instance);
        RunGlimraCode(runtime, program, __argc, __argv);
    } catch (const std::exception& error) {
        // Only writing the settings raises an error; like any uncaught one, it is shown and the
        // program still ends with 0.
        MessageBoxA(nullptr, error.what(), ApplicationTitle, MB_OK | MB_ICONERROR);
    }
    return 0;
}
