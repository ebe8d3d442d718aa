#pragma once

#include <windows.h>

// Loads one of the system's own libraries ("PASSWORD.CPL", "MPR.DLL") from the system folder only.
// A bare name would be searched for in the application's folder and the current one first, where
// anyone who can drop a file could plant a library of the same name and have it run inside the
// saver. The libraries it depends on are searched for beside it, in the system folder, too.
// Null when the system folder holds no such library; the caller frees the module with FreeLibrary.
HMODULE LoadSystemLibrary(const char* name);

// Frees a module for the life of a scope.
class ScopedLibrary {
public:
    explicit ScopedLibrary(HMODULE module) : m_module(module) {}
    ~ScopedLibrary() {
        if (m_module != nullptr)
            FreeLibrary(m_module);
    }
    ScopedLibrary(const ScopedLibrary&) = delete;
    ScopedLibrary& operator=(const ScopedLibrary&) = delete;

    HMODULE Module() const { return m_module; }
    // The exported function of that name, as a pointer of type Function; null when the library or
    // the function is missing.
    template <typename Function> Function Find(const char* name) const {
        if (m_module == nullptr)
            return nullptr;
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

private:
    HMODULE m_module = nullptr;
};
