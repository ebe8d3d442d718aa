#include "platform/linux/WaylandDisplayChoice.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

namespace {

// Long options are written with one dash or two, as the daemon options are.
std::string_view OptionName(std::string_view argument) {
    if (argument.starts_with("--"))
        return argument.substr(2);
    if (argument.starts_with("-"))
        return argument.substr(1);
    return {};
}

} // namespace

GlimraDisplayChoice ChooseDisplayFace(int argc, const char* const* argv, const char* waylandDisplay) {
    GlimraDisplayChoice choice;
    if (waylandDisplay != nullptr && *waylandDisplay != '\0')
        choice.Face = GlimraDisplayFace::Wayland;
    for (int i = 0; i < argc; ++i) {
        if (argv[i] == nullptr)
            break;
        const std::string_view name = i > 0 ? OptionName(argv[i]) : std::string_view{};
        if (name == "wayland" || name == "x11") {
            choice.Face = name == "wayland" ? GlimraDisplayFace::Wayland : GlimraDisplayFace::X11;
            choice.Forced = true;
            continue;
        }
        choice.Arguments.push_back(argv[i]);
    }
    // The run-mode logic reads argv like main's: it ends with a null.
    choice.Arguments.push_back(nullptr);
    return choice;
}

bool WaylandSocketAnswers(const char* waylandDisplay, const char* runtimeDir) {
    if (waylandDisplay == nullptr || *waylandDisplay == '\0')
        return false;
    std::string path = waylandDisplay;
    if (path[0] != '/') {
        if (runtimeDir == nullptr || *runtimeDir == '\0')
            return false;
        path = std::string(runtimeDir) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return answered;
}
