#include "platform/posix/ExecutableDirectory.h"

#include <unistd.h>

#include <vector>

std::string ExecutableDirectory() {
    // readlink neither terminates nor reports truncation, so a result that fills the buffer is
    // retried in a larger one.
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0)
            return {};
        if (static_cast<size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(length));
            size_t slash = path.rfind('/');
            if (slash == std::string::npos)
                return {};
            return path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}
