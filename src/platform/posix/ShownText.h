#pragma once

#include <string>
#include <string_view>

// A value from the command line, a file name or the environment as a message may show it on a
// terminal: control characters and bytes that are not UTF-8 escaped (\n, \t, \x1b), so that a
// value can neither split the message nor send the terminal an escape sequence, and cut after
// maxBytes with "..." so that a 128 KiB argument does not bury the message it stands in.
[[nodiscard]] std::string ShownText(std::string_view text, size_t maxBytes = 80);
