#include "shell/GlimraCode.h"

#include "shell/GlimraModules.h"

#include "settings/AsciiCase.h"

std::string UpperCaseAscii(std::string_view text) {
    return AsciiUppered(text);
}

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

int RunGlimraCode(GlimraProgramHost& host, int argc, const char* const* argv) {
    StartupModules(host.ExecutableDirectory());
    if (host.AcquireInstanceMarker()) {
        const std::string first = argc >= 2 && argv[1] != nullptr ? UpperCaseAscii(argv[1]) : std::string();
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
        host.ReleaseInstanceMarker();
    }
    ShutdownModules();
    return 0;
}
