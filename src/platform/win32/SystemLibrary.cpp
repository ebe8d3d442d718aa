#include "platform/win32/SystemLibrary.h"

#include <string>
#include <vector>

HMODULE LoadSystemLibrary(const char* name) {
    const UINT needed = GetSystemDirectoryA(nullptr, 0);
    if (needed == 0)
        return nullptr;
    std::vector<char> folder(needed);
    const UINT length = GetSystemDirectoryA(folder.data(), needed);
    if (length == 0 || length >= needed)
        return nullptr;
    std::string path(folder.data(), length);
    if (path.back() != '\\')
        path += '\\';
    path += name;
    // A full path names the one file to load. The altered search path makes the loader look for the
    // library's own imports in its folder rather than in the application's; every system back to
    // Windows 95 knows the flag, unlike the newer LOAD_LIBRARY_SEARCH_SYSTEM32.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
