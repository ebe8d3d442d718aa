#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/GlimraSettingsStore.h"

// A registry export (the text that regedit writes and imports) held as its lines. String in,
// string out: nothing here touches a file.
//
// It reads exports that start with "REGEDIT4" or "Windows Registry Editor Version 5.00" (the latter
// in UTF-16LE with a byte-order mark, as Windows writes them, or in UTF-8), and a new document is
// REGEDIT4. A document keeps its header, encoding, line ends and every line that is not being
// edited, so that writing back what was read gives the same bytes. A line that cannot be parsed
// spoils the value it names: it reads as a value of no type.

enum class RegistryExportEncoding : uint8_t { Bytes, Utf8WithMark, Utf16Le };
enum class RegistryExportDialect : uint8_t { Regedit4, Version5 };
// Other: the header, blank lines, comments, key deletions and anything not understood, all kept as
// they are. Spoiled: a value line whose name could be read but not its data.
enum class RegistryExportLineKind : uint8_t { Other, Key, Value, Spoiled, Deletion };

struct RegistryExportLine {
    RegistryExportLine(std::string text, std::string end,
                       RegistryExportLineKind kind = RegistryExportLineKind::Other, std::string name = {})
        : Text(std::move(text)), End(std::move(end)), Kind(kind), Name(std::move(name)) {}

    std::string Text; // as in the file, continuation lines with their own line ends included
    std::string End;  // the line end that follows, empty for a last line without one
    RegistryExportLineKind Kind = RegistryExportLineKind::Other;
    std::string Name; // the path between a key line's brackets, or a value's name ("" for "@")
    GlimraValueType Type{};
    std::vector<uint8_t> Data; // a value as the 8-bit interface reads it
};

// Key paths are written as they stand between the brackets ("HKEY_CURRENT_USER\\Software\\..."); they
// and value names compare without regard to ASCII case, as the registry's do.
struct RegistryExportDocument {
    // A REGEDIT4 export that holds no key. (A document made otherwise than by New or Parse has no
    // lines, not even a header, and is no export.)
    [[nodiscard]] static RegistryExportDocument New();
    // nullopt: not a registry export, so nothing in it can be read or may be changed.
    [[nodiscard]] static std::optional<RegistryExportDocument> Parse(std::string_view bytes);
    [[nodiscard]] std::string Serialise() const;

    [[nodiscard]] bool HasKey(std::string_view keyPath) const;
    // The line that decides a value (as on import, the last that names it); nil when the value is
    // missing or deleted. A spoiled line is returned: it reads as a value of no type.
    [[nodiscard]] const RegistryExportLine* FindValue(std::string_view keyPath, std::string_view name) const;
    // Adds an empty section for the key at the end, unless the key has one.
    void AddKey(std::string_view keyPath);
    // Replaces every line that names the value in the key's sections by one new line in the place
    // of the first, or adds the line after the last value of the key's last section. The key must
    // exist.
    void SetValue(std::string_view keyPath, std::string_view name, GlimraValueType type,
                  std::span<const uint8_t> data);

    RegistryExportEncoding Encoding = RegistryExportEncoding::Bytes;
    RegistryExportDialect Dialect = RegistryExportDialect::Regedit4;
    std::string LineEnd = "\r\n"; // for the lines added: the first line's, CRLF for a new document
    std::vector<RegistryExportLine> Lines;
};
