#include "platform/posix/ShownText.h"

#include <cstdio>

namespace {

// The length of the well-formed UTF-8 sequence that starts text, or 0: a stray byte of another
// encoding is escaped rather than left for the terminal to guess at.
size_t Utf8Length(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const size_t length = lead < 0x80                   ? 1
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0;
    const auto second = static_cast<unsigned char>(text.size() > 1 ? text[1] : 0);
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90))
        return 0;
    return length;
}

} // namespace

std::string ShownText(std::string_view text, size_t maxBytes) {
    std::string shown;
    size_t i = 0;
    while (i < text.size() && shown.size() < maxBytes) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8Length(text.substr(i));
        if (length > 1 || (length == 1 && byte >= 0x20 && byte != 0x7F)) {
            shown.append(text.substr(i, length));
            i += length;
            continue;
        }
        ++i;
        if (byte == '\n' || byte == '\t' || byte == '\r') {
            shown += byte == '\n' ? "\\n" : byte == '\t' ? "\\t" : "\\r";
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        shown += escaped;
    }
    if (i < text.size())
        shown += "...";
    return shown;
}
