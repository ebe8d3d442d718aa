#pragma once

#include <string>
#include <string_view>

// The text encodings of registry exports. Text in UTF-16 files is handled as WTF-8: UTF-8 that also
// carries unpaired surrogates, so that every sequence of UTF-16 code units comes back exactly as it
// was read.

// UTF-16LE bytes to WTF-8. An odd last byte is dropped; the caller finds out by comparing lengths.
[[nodiscard]] std::string Utf16ToWtf8(std::string_view bytes);
// WTF-8 to UTF-16LE bytes. A byte that does not start a well-formed sequence stands for itself, as
// in Latin-1.
[[nodiscard]] std::string Wtf8ToUtf16(std::string_view text);
// Whether the text comes back unchanged through UTF-16, as well-formed UTF-8 does.
[[nodiscard]] bool IsUtf8(std::string_view text);
