#include "platform/win32/ExecutableDirectory.h"

#include <windows.h>

#include <vector>

std::string ExecutableDirectory() {
    // GetModuleFileNameA truncates silently, returning the full buffer size; a larger buffer is
    // tried until the path fits.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            size_t separator = path.find_last_of("\\/");
            if (separator == std::string::npos)
                return {};
            return path.substr(0, separator + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}
