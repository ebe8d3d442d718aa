#include "platform/idle/DesktopEntryExec.h"

#include <glib.h>

std::optional<std::string> DesktopExecArgument(std::string_view word, std::string& why) {
    if (g_utf8_validate(word.data(), static_cast<gssize>(word.size()), nullptr) == FALSE) {
        why = "is not UTF-8 text, which a desktop entry must be";
        return std::nullopt;
    }
    std::string quoted = "\"";
    for (const char c : word) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            why =
                "holds a control character (a newline, a tab), which a desktop entry's command cannot carry";
            return std::nullopt;
        }
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += "\\\\";
        if (c == '\\')
            quoted += "\\\\";
        else if (c == '%')
            quoted += "%%";
        else
            quoted += c;
    }
    return quoted + "\"";
}
