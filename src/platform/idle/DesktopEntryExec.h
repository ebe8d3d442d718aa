#pragma once

#include <optional>
#include <string>
#include <string_view>

// One argument of a desktop entry's Exec key, written so that the desktop runs exactly that word:
// quoted in double quotes with ", `, $ and \ escaped for the command line, % doubled so that no
// field code (%c, %u, %f) is expanded in it, and the result escaped once more as a string value,
// which doubles every backslash. Nothing when no such spelling exists: the text is not UTF-8 (the
// desktop refuses the whole entry) or holds a control character (a newline would end the key, and
// desktops disagree on tabs and the \n escape inside Exec). why then says what was found.
[[nodiscard]] std::optional<std::string> DesktopExecArgument(std::string_view word, std::string& why);
