#include "shell/GlimraCode.h"

#include "settings/AsciiCase.h"
#include "shell/GlimraRuntime.h"

namespace {

// "/X" or "-X", or a first character X.
bool IsSwitch(std::string_view argument, char letter) {
    if (argument.size() >= 2 && (argument[0] == '/' || argument[0] == '-') && argument[1] == letter)
        return true;
    return !argument.empty() && argument[0] == letter;
}

} // namespace

GlimraRunMode SelectRunMode(std::string_view firstArgument) {
    GlimraRunMode mode = GlimraRunMode::None;
    if (IsSwitch(firstArgument, 'S'))
        mode = GlimraRunMode::Saver;
    if (IsSwitch(firstArgument, 'C') || firstArgument.empty())
        mode = GlimraRunMode::Settings;
    if (IsSwitch(firstArgument, 'P'))
        mode = GlimraRunMode::Preview;
    if (IsSwitch(firstArgument, 'A'))
        mode = GlimraRunMode::PasswordChange;
    return mode;
}

namespace {

// Holds the instance marker from a successful acquisition to every way out of the scope.
class InstanceMarkerGuard {
public:
    explicit InstanceMarkerGuard(GlimraProgramHost& host)
        : m_host(host), m_held(host.AcquireInstanceMarker()) {}
    ~InstanceMarkerGuard() {
        if (m_held)
            m_host.ReleaseInstanceMarker();
    }
    InstanceMarkerGuard(const InstanceMarkerGuard&) = delete;
    InstanceMarkerGuard& operator=(const InstanceMarkerGuard&) = delete;
    bool Held() const { return m_held; }

private:
    GlimraProgramHost& m_host;
    bool m_held;
};

void RunMode(GlimraProgramHost& host, int argc, const char* const* argv) {
    const std::string first = argc >= 2 && argv[1] != nullptr ? AsciiUppered(argv[1]) : std::string();
    switch (SelectRunMode(first)) {
    case GlimraRunMode::Saver:
        host.RunSaver();
        break;
    case GlimraRunMode::Settings:
        host.RunSettings();
        break;
    case GlimraRunMode::PasswordChange:
        host.ChangePassword();
        break;
    case GlimraRunMode::Preview:
    case GlimraRunMode::None:
        break;
    }
}

} // namespace

int RunGlimraCode(GlimraRuntime& runtime, GlimraProgramHost& host, int argc, const char* const* argv) {
    try {
        runtime.StartModules(host.ExecutableDirectory());
        {
            const InstanceMarkerGuard marker(host);
            if (marker.Held())
                RunMode(host, argc, argv);
        }
        runtime.StopModules();
    } catch (...) {
        // An exception that no handler takes may end the program without unwinding; this handler
        // is what releases the marker and shuts the modules down first.
        runtime.StopModules();
        throw;
    }
    return 0;
}
