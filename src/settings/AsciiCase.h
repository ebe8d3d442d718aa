#pragma once

#include <algorithm>
#include <string>
#include <string_view>

// Registry value and key names, and the saver's switches, ignore the case of the ASCII letters
// only: every other byte (a code page's letters included) compares as it is.

[[nodiscard]] constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

[[nodiscard]] constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

[[nodiscard]] inline std::string AsciiLowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), AsciiLower);
    return lowered;
}

[[nodiscard]] inline std::string AsciiUppered(std::string_view text) {
    std::string uppered(text);
    std::transform(uppered.begin(), uppered.end(), uppered.begin(), AsciiUpper);
    return uppered;
}

[[nodiscard]] constexpr bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}
