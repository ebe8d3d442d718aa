#include "platform/posix/FileSettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// A settings file holds a few kilobytes; an export of several Windows keys a few hundred. A bigger
// file is not one of ours, and parsing it would cost memory out of all proportion.
constexpr size_t MaxFileBytes = 1 << 20;

constexpr std::string_view Regedit4Header = "REGEDIT4";
constexpr std::string_view Version5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view UserRoot = "HKEY_CURRENT_USER\\";

enum class FileEncoding : uint8_t { Bytes, Utf8WithMark, Utf16Le };
enum class FileDialect : uint8_t { Regedit4, Version5 };
// Other: the header, blank lines, comments, key deletions and anything not understood, all kept as
// they are. Spoiled: a value line whose name could be read but not its data.
enum class LineKind : uint8_t { Other, Key, Value, Spoiled, Deletion };

} // namespace

struct SettingsFileLine {
    SettingsFileLine(std::string text, std::string end, LineKind kind = LineKind::Other,
                     std::string name = {})
        : Text(std::move(text)), End(std::move(end)), Kind(kind), Name(std::move(name)) {}

    std::string Text; // as in the file, continuation lines with their own line ends included
    std::string End;  // the line end that follows, empty for a last line without one
    LineKind Kind = LineKind::Other;
    std::string Name; // the path between a key line's brackets, or a value's name ("" for "@")
    GlimraValueType Type{};
    std::vector<uint8_t> Data; // a value as the 8-bit interface reads it
};

struct SettingsFileDocument {
    FileEncoding Encoding = FileEncoding::Bytes;
    FileDialect Dialect = FileDialect::Regedit4;
    std::string LineEnd = "\r\n"; // for the lines this store adds: the first line's, CRLF for a new file
    std::vector<SettingsFileLine> Lines;
};

namespace {

using Document = SettingsFileDocument;
using Line = SettingsFileLine;

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, {}, AsciiLower, AsciiLower);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Text in UTF-16 files is handled as WTF-8: UTF-8 that also carries unpaired surrogates, so that
// every sequence of UTF-16 code units comes back exactly as it was read.
void AppendWtf8(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// An odd last byte is dropped; the caller finds out by comparing lengths.
std::string Utf16ToWtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto unitAt = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i])) |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i + 1])) << 8;
    };
    for (size_t i = 0; i < units; ++i) {
        const uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const uint32_t next = unitAt(i + 1);
            if (next >= 0xDC00 && next < 0xE000) {
                AppendWtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendWtf8(out, unit);
    }
    return out;
}

void AppendUnit(std::string& out, uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

// A byte that does not start a well-formed sequence stands for itself, as in Latin-1.
std::string Wtf8ToUtf16(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto byteAt = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(text[i])); };
    auto continues = [&](size_t i, size_t count) {
        for (size_t k = 1; k <= count; ++k) {
            if (i + k >= text.size() || (byteAt(i + k) & 0xC0) != 0x80)
                return false;
        }
        return true;
    };
    for (size_t i = 0; i < text.size();) {
        const uint32_t lead = byteAt(i);
        if (lead >= 0xC2 && lead < 0xE0 && continues(i, 1)) {
            AppendUnit(out, ((lead & 0x1F) << 6) | (byteAt(i + 1) & 0x3F));
            i += 2;
            continue;
        }
        if (lead >= 0xE0 && lead < 0xF0 && continues(i, 2)) {
            const uint32_t codePoint =
                ((lead & 0x0F) << 12) | ((byteAt(i + 1) & 0x3F) << 6) | (byteAt(i + 2) & 0x3F);
            if (codePoint >= 0x800) {
                AppendUnit(out, codePoint);
                i += 3;
                continue;
            }
        }
        if (lead >= 0xF0 && lead < 0xF5 && continues(i, 3)) {
            const uint32_t codePoint = ((lead & 0x07) << 18) | ((byteAt(i + 1) & 0x3F) << 12) |
                                       ((byteAt(i + 2) & 0x3F) << 6) | (byteAt(i + 3) & 0x3F);
            if (codePoint >= 0x10000 && codePoint < 0x110000) {
                AppendUnit(out, 0xD800 + ((codePoint - 0x10000) >> 10));
                AppendUnit(out, 0xDC00 + ((codePoint - 0x10000) & 0x3FF));
                i += 4;
                continue;
            }
        }
        AppendUnit(out, lead);
        ++i;
    }
    return out;
}

bool IsUtf8(std::string_view text) {
    return Utf16ToWtf8(Wtf8ToUtf16(text)) == text;
}

// The registry's string types hold UTF-16 in files of the newer format, and 8-bit text in REGEDIT4.
bool HoldsText(GlimraValueType type) {
    return type == GlimraValueType::String || type == GlimraValueType::ExpandString ||
           type == GlimraValueType::MultiString;
}

// Reads a quoted name or string at pos (which holds the opening quote), undoing the two escapes the
// format knows. Any other backslash makes the text unreadable.
bool ParseQuoted(std::string_view text, size_t& pos, std::string& out) {
    out.clear();
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"'))
                return false;
            ++i;
        }
        out += text[i];
    }
    return false;
}

void SkipBlanks(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
}

// Blanks, and a backslash that continues the list on the next line.
void SkipBlanksAndContinuations(std::string_view text, size_t& pos) {
    for (;;) {
        SkipBlanks(text, pos);
        if (pos >= text.size() || text[pos] != '\\')
            return;
        size_t next = pos + 1;
        while (next < text.size() && (IsBlank(text[next]) || text[next] == '\r'))
            ++next;
        if (next >= text.size() || text[next] != '\n')
            return;
        pos = next + 1;
    }
}

bool OnlyBlanksFrom(std::string_view text, size_t pos) {
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(std::min(pos, text.size())), text.end(),
                       [](char c) { return IsBlank(c) || c == '\r'; });
}

bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view prefix) {
    return text.size() - std::min(pos, text.size()) >= prefix.size() &&
           SameName(text.substr(pos, prefix.size()), prefix);
}

// "hex:" or "hex(N):" followed by comma-separated bytes.
bool ParseHex(std::string_view text, size_t pos, GlimraValueType& type, std::vector<uint8_t>& data) {
    pos += 3;
    uint32_t typeNumber = static_cast<uint32_t>(GlimraValueType::Binary);
    if (pos < text.size() && text[pos] == '(') {
        typeNumber = 0;
        size_t digits = 0;
        for (++pos; pos < text.size() && HexDigit(text[pos]) >= 0; ++pos, ++digits)
            typeNumber = typeNumber << 4 | static_cast<uint32_t>(HexDigit(text[pos]));
        if (digits == 0 || digits > 8 || pos >= text.size() || text[pos] != ')')
            return false;
        ++pos;
    }
    if (pos >= text.size() || text[pos] != ':')
        return false;
    ++pos;
    type = static_cast<GlimraValueType>(typeNumber);
    data.clear();
    SkipBlanksAndContinuations(text, pos);
    if (OnlyBlanksFrom(text, pos))
        return true;
    for (;;) {
        SkipBlanksAndContinuations(text, pos);
        int value = 0;
        size_t digits = 0;
        for (; pos < text.size() && HexDigit(text[pos]) >= 0 && digits < 3; ++pos, ++digits)
            value = value << 4 | HexDigit(text[pos]);
        if (digits == 0 || digits > 2)
            return false;
        data.push_back(static_cast<uint8_t>(value));
        SkipBlanks(text, pos);
        if (OnlyBlanksFrom(text, pos))
            return true;
        if (text[pos] != ',')
            return false;
        ++pos;
    }
}

bool ParseDword(std::string_view text, size_t pos, std::vector<uint8_t>& data) {
    pos += 6;
    uint32_t value = 0;
    size_t digits = 0;
    for (; pos < text.size() && HexDigit(text[pos]) >= 0; ++pos, ++digits)
        value = value << 4 | static_cast<uint32_t>(HexDigit(text[pos]));
    if (digits == 0 || digits > 8 || !OnlyBlanksFrom(text, pos))
        return false;
    data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
    return true;
}

// Fills in a value line's kind, type and data from its text; pos is just after the '='.
void ParseData(FileDialect dialect, Line& line, size_t pos) {
    const std::string_view text = line.Text;
    SkipBlanks(text, pos);
    line.Kind = LineKind::Spoiled;
    if (pos < text.size() && text[pos] == '-' && OnlyBlanksFrom(text, pos + 1)) {
        line.Kind = LineKind::Deletion;
        return;
    }
    if (pos < text.size() && text[pos] == '"') {
        std::string value;
        if (!ParseQuoted(text, pos, value) || !OnlyBlanksFrom(text, pos))
            return;
        line.Type = GlimraValueType::String;
        line.Data.assign(value.begin(), value.end());
        line.Data.push_back(0);
        line.Kind = LineKind::Value;
        return;
    }
    if (StartsWithNoCase(text, pos, "dword:")) {
        if (!ParseDword(text, pos, line.Data))
            return;
        line.Type = GlimraValueType::Dword;
        line.Kind = LineKind::Value;
        return;
    }
    if (!StartsWithNoCase(text, pos, "hex") || !ParseHex(text, pos, line.Type, line.Data))
        return;
    if (dialect == FileDialect::Version5 && HoldsText(line.Type)) {
        if (line.Data.size() % 2 != 0)
            return;
        const std::string text8 =
            Utf16ToWtf8(std::string_view(reinterpret_cast<const char*>(line.Data.data()), line.Data.size()));
        line.Data.assign(text8.begin(), text8.end());
    }
    line.Kind = LineKind::Value;
}

// The value's name and where its data starts, for a line that starts with '"' or '@'.
bool ParseName(std::string_view text, size_t& pos, std::string& name) {
    if (text[pos] == '@') {
        name.clear();
        ++pos;
    } else if (!ParseQuoted(text, pos, name)) {
        return false;
    }
    SkipBlanks(text, pos);
    return true;
}

// A line that could not be parsed reads as a value of no type that holds the line's text, without
// the line breaks at its end: a line cut short may gain one when a line is added after it.
void MarkSpoiled(Line& line) {
    std::string_view text = line.Text;
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    line.Type = GlimraValueType::None;
    line.Data.assign(text.begin(), text.end());
}

struct PhysicalLine {
    std::string_view Text;
    std::string_view End;
};

std::vector<PhysicalLine> SplitLines(std::string_view text) {
    std::vector<PhysicalLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t newline = text.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({text.substr(start), {}});
            break;
        }
        const size_t end = newline > start && text[newline - 1] == '\r' ? newline - 1 : newline;
        lines.push_back({text.substr(start, end - start), text.substr(end, newline + 1 - end)});
        start = newline + 1;
    }
    return lines;
}

// nullopt: not a registry export, so nothing in it can be read or may be changed.
std::optional<Document> ParseDocument(std::string_view raw) {
    Document document;
    std::string decoded;
    std::string_view text = raw;
    if (raw.starts_with("\xFF\xFE")) {
        document.Encoding = FileEncoding::Utf16Le;
        decoded = Utf16ToWtf8(raw.substr(2));
        text = decoded;
    } else if (raw.starts_with("\xEF\xBB\xBF")) {
        document.Encoding = FileEncoding::Utf8WithMark;
        text = raw.substr(3);
    }
    const std::vector<PhysicalLine> physical = SplitLines(text);
    if (physical.empty())
        return std::nullopt;
    const std::string_view header = TrimRight(physical[0].Text);
    if (header == Version5Header)
        document.Dialect = FileDialect::Version5;
    else if (header != Regedit4Header)
        return std::nullopt;
    if (!physical[0].End.empty())
        document.LineEnd = physical[0].End;

    document.Lines.reserve(physical.size());
    document.Lines.emplace_back(std::string(physical[0].Text), std::string(physical[0].End));
    for (size_t i = 1; i < physical.size(); ++i) {
        Line line(std::string(physical[i].Text), std::string(physical[i].End));
        const std::string_view trimmed = TrimRight(physical[i].Text);
        size_t pos = 0;
        SkipBlanks(trimmed, pos);
        if (pos < trimmed.size() && trimmed[pos] == '[' && trimmed.back() == ']') {
            line.Kind = LineKind::Key;
            line.Name = trimmed.substr(pos + 1, trimmed.size() - pos - 2);
        } else if (pos < trimmed.size() && (trimmed[pos] == '"' || trimmed[pos] == '@')) {
            const std::string_view first = physical[i].Text;
            if (!ParseName(first, pos, line.Name)) {
                // Without a name the line spoils no value; it is kept as it is.
                line.Name.clear();
            } else if (pos >= first.size() || first[pos] != '=') {
                line.Kind = LineKind::Spoiled;
            } else {
                ++pos;
                size_t dataStart = pos;
                SkipBlanks(first, dataStart);
                // Only byte lists continue on the next line: a string may well end in a backslash.
                if (StartsWithNoCase(first, dataStart, "hex")) {
                    while (TrimRight(physical[i].Text).ends_with('\\') && i + 1 < physical.size()) {
                        ++i;
                        line.Text += line.End;
                        line.Text += physical[i].Text;
                        line.End = physical[i].End;
                    }
                }
                ParseData(document.Dialect, line, pos);
            }
        }
        if (line.Kind == LineKind::Spoiled)
            MarkSpoiled(line);
        document.Lines.push_back(std::move(line));
    }
    return document;
}

std::string Serialise(const Document& document) {
    std::string text;
    for (const Line& line : document.Lines) {
        text += line.Text;
        text += line.End;
    }
    switch (document.Encoding) {
    case FileEncoding::Utf16Le:
        return "\xFF\xFE" + Wtf8ToUtf16(text);
    case FileEncoding::Utf8WithMark:
        return "\xEF\xBB\xBF" + text;
    case FileEncoding::Bytes:
        break;
    }
    return text;
}

std::string Quote(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

char HexChar(unsigned value) {
    return "0123456789abcdef"[value & 0xF];
}

// A value's line as regedit writes it: a plain string or a dword where the data allows, otherwise
// a byte list broken into lines of at most 80 characters.
std::string FormatValue(const Document& document, std::string_view name, GlimraValueType type,
                        std::span<const uint8_t> data) {
    std::string text = (name.empty() ? std::string("@") : Quote(name)) + "=";
    if (type == GlimraValueType::Dword && data.size() == 4) {
        const uint32_t value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                               static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
        text += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            text += HexChar(value >> shift);
        return text;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    if (type == GlimraValueType::String && bytes.ends_with('\0')) {
        const std::string_view value = bytes.substr(0, bytes.size() - 1);
        const bool plain = value.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
        if (plain && (document.Dialect == FileDialect::Regedit4 || IsUtf8(value)))
            return text + Quote(value);
    }
    const std::string list = document.Dialect == FileDialect::Version5 && HoldsText(type)
                                 ? Wtf8ToUtf16(bytes)
                                 : std::string(bytes);
    if (type == GlimraValueType::Binary) {
        text += "hex:";
    } else {
        text += "hex(";
        std::string number;
        for (uint32_t value = static_cast<uint32_t>(type); number.empty() || value != 0; value >>= 4)
            number.insert(number.begin(), HexChar(value));
        text += number + "):";
    }
    size_t column = text.size();
    for (size_t i = 0; i < list.size(); ++i) {
        if (column + 3 > 78) {
            text += "\\" + document.LineEnd + "  ";
            column = 2;
        }
        const auto byte = static_cast<uint8_t>(list[i]);
        text += HexChar(byte >> 4);
        text += HexChar(byte);
        column += 2;
        if (i + 1 < list.size()) {
            text += ',';
            ++column;
        }
    }
    return text;
}

// Calls visit(index, line) for each line that lies in a section of the key.
template <typename Visit>
void ForEachLineOfKey(const Document& document, std::string_view keyPath, Visit visit) {
    bool inKey = false;
    for (size_t i = 0; i < document.Lines.size(); ++i) {
        const Line& line = document.Lines[i];
        if (line.Kind == LineKind::Key) {
            inKey = SameName(line.Name, keyPath);
            continue;
        }
        if (inKey)
            visit(i, line);
    }
}

bool HasKey(const Document& document, std::string_view keyPath) {
    return std::ranges::any_of(document.Lines, [&](const Line& line) {
        return line.Kind == LineKind::Key && SameName(line.Name, keyPath);
    });
}

bool NamesValue(const Line& line, std::string_view name) {
    return (line.Kind == LineKind::Value || line.Kind == LineKind::Spoiled ||
            line.Kind == LineKind::Deletion) &&
           SameName(line.Name, name);
}

// As on import, the last line that names a value decides it.
const Line* FindValue(const Document& document, std::string_view keyPath, std::string_view name) {
    const Line* found = nullptr;
    ForEachLineOfKey(document, keyPath, [&](size_t, const Line& line) {
        if (NamesValue(line, name))
            found = &line;
    });
    if (!found || found->Kind == LineKind::Deletion)
        return nullptr;
    return found;
}

void InsertLine(Document& document, size_t after, Line line) {
    auto place = [&](Line next) {
        Line& previous = document.Lines[after];
        if (previous.End.empty()) {
            previous.End = document.LineEnd;
            next.End.clear();
        }
        document.Lines.insert(document.Lines.begin() + static_cast<std::ptrdiff_t>(++after), std::move(next));
    };
    // A line that ends in a backslash, a byte list cut short, would run on into the new line; an
    // empty line ends it.
    if (TrimRight(document.Lines[after].Text).ends_with('\\'))
        place(Line("", document.LineEnd));
    place(std::move(line));
}

void AddKey(Document& document, std::string_view keyPath) {
    if (HasKey(document, keyPath))
        return;
    if (!TrimRight(document.Lines.back().Text).empty())
        InsertLine(document, document.Lines.size() - 1, Line("", document.LineEnd));
    InsertLine(document, document.Lines.size() - 1,
               Line("[" + std::string(keyPath) + "]", document.LineEnd, LineKind::Key, std::string(keyPath)));
    InsertLine(document, document.Lines.size() - 1, Line("", document.LineEnd));
}

// Replaces every line that names the value in the key's sections by one new line in the place of
// the first, or adds the line after the last value of the key's last section.
void SetValue(Document& document, std::string_view keyPath, std::string_view name, GlimraValueType type,
              std::span<const uint8_t> data) {
    Line line(FormatValue(document, name, type, data), document.LineEnd, LineKind::Value, std::string(name));
    line.Type = type;
    line.Data.assign(data.begin(), data.end());
    std::vector<size_t> named;
    size_t lastOfKey = 0;
    bool inKey = false;
    for (size_t i = 0; i < document.Lines.size(); ++i) {
        const Line& current = document.Lines[i];
        if (current.Kind == LineKind::Key) {
            inKey = SameName(current.Name, keyPath);
            if (inKey)
                lastOfKey = i;
            continue;
        }
        if (!inKey)
            continue;
        if (NamesValue(current, name))
            named.push_back(i);
        if (current.Kind != LineKind::Other)
            lastOfKey = i;
    }
    if (named.empty()) {
        InsertLine(document, lastOfKey, std::move(line));
        return;
    }
    line.End = document.Lines[named.front()].End;
    document.Lines[named.front()] = std::move(line);
    for (auto i = named.rbegin(); i + 1 != named.rend(); ++i)
        document.Lines.erase(document.Lines.begin() + static_cast<std::ptrdiff_t>(*i));
}

Document NewDocument() {
    Document document;
    document.Lines.emplace_back(std::string(Regedit4Header), document.LineEnd);
    return document;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int Get() const { return m_fd; }
    [[nodiscard]] int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

struct LoadedFile {
    std::shared_ptr<Document> Parsed;
    std::string Bytes;
    bool Exists = false;
    mode_t Mode = 0600;
    // Writing back what was read gives the same bytes, so a change touches only the lines it means to.
    bool Writable = false;
};

enum class ReadOutcome { Read, Missing, Failed };

ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes, mode_t& mode) {
    // Non-blocking, so that a FIFO put in the file's place cannot hang the saver.
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0)
        return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    struct stat status {};
    if (fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<uint64_t>(status.st_size) > MaxFileBytes)
        return ReadOutcome::Failed;
    mode = status.st_mode & 07777;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(fd.Get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return ReadOutcome::Failed;
        if (count == 0)
            return ReadOutcome::Read;
        bytes.append(buffer, static_cast<size_t>(count));
        if (bytes.size() > MaxFileBytes)
            return ReadOutcome::Failed;
    }
}

// nullopt when the file cannot be read or is not a registry export. A missing or empty file reads
// as a new document without keys.
std::optional<LoadedFile> LoadFile(const std::string& path) {
    LoadedFile file;
    switch (ReadWholeFile(path, file.Bytes, file.Mode)) {
    case ReadOutcome::Failed:
        return std::nullopt;
    case ReadOutcome::Missing:
        file.Parsed = std::make_shared<Document>(NewDocument());
        file.Writable = true;
        return file;
    case ReadOutcome::Read:
        break;
    }
    file.Exists = true;
    if (file.Bytes.empty()) {
        file.Parsed = std::make_shared<Document>(NewDocument());
        file.Writable = true;
        return file;
    }
    auto parsed = ParseDocument(file.Bytes);
    if (!parsed)
        return std::nullopt;
    file.Parsed = std::make_shared<Document>(std::move(*parsed));
    file.Writable = Serialise(*file.Parsed) == file.Bytes;
    return file;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A settings file that is a symbolic link (kept in a folder of dot files, say) is written where the
// link points, so that the link survives.
std::string WriteTarget(const std::string& path) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

bool MakeFolders(const std::string& folder) {
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        struct stat status {};
        if (mkdir(part.c_str(), 0700) != 0 && (stat(part.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)))
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t count = write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(count));
    }
    return true;
}

// Writes the new contents beside the file and renames them over it: the rename is the one moment
// the file changes, so a reader or a crash sees the old contents or the new ones.
bool ReplaceFile(const std::string& target, const std::string& bytes, mode_t mode) {
    const std::string folder = FolderOf(target);
    const size_t slash = target.rfind('/');
    std::string temporary =
        folder + "/." + (slash == std::string::npos ? target : target.substr(slash + 1)) + ".XXXXXX";
    FileDescriptor fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.Get() < 0)
        return false;
    const bool written = WriteAll(fd.Get(), bytes) && fchmod(fd.Get(), mode) == 0 && fsync(fd.Get()) == 0 &&
                         close(fd.Release()) == 0;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The folder is not synced: after a power cut the old file may come back, which is allowed; a
    // file renamed before its data reached the disk could come back empty, which is why it is synced.
    return true;
}

// An exclusive advisory lock on a file of its own: the settings file itself is replaced by every
// write, and a lock on a replaced file protects nothing.
class WriteLock {
public:
    explicit WriteLock(const std::string& path)
        : m_fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600)) {
        if (m_fd.Get() < 0)
            return;
        int result = 0;
        while ((result = flock(m_fd.Get(), LOCK_EX)) != 0 && errno == EINTR) {
        }
        m_locked = result == 0;
    }
    [[nodiscard]] bool Locked() const { return m_locked; }

private:
    FileDescriptor m_fd;
    bool m_locked = false;
};

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

FileSettingsStore::FileSettingsStore() : FileSettingsStore(DefaultPath()) {
}

FileSettingsStore::FileSettingsStore(std::string path, Access access)
    : m_path(std::move(path)), m_access(access) {
}

FileSettingsStore::~FileSettingsStore() = default;

std::string FileSettingsStore::DefaultPath() {
    std::string base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (configHome && configHome[0] == '/') {
        base = configHome;
    } else if (home && home[0] != '\0') {
        base = std::string(home) + "/.config";
    } else if (const passwd* user = getpwuid(getuid()); user && user->pw_dir && user->pw_dir[0] != '\0') {
        base = std::string(user->pw_dir) + "/.config";
    } else {
        return {};
    }
    return base + "/glimracode/settings.reg";
}

std::shared_ptr<const SettingsFileDocument>
FileSettingsStore::Commit(const std::function<void(SettingsFileDocument&)>& change,
                          const std::function<bool(const SettingsFileDocument&)>& check) {
    if (m_access == Access::ReadOnly || m_path.empty())
        return nullptr;
    const std::string target = WriteTarget(m_path);
    if (!MakeFolders(FolderOf(target)))
        return nullptr;
    const WriteLock lock(target + ".lock");
    if (!lock.Locked())
        return nullptr;
    // Read again under the lock: another process may have written since this one last looked.
    std::optional<LoadedFile> file = LoadFile(target);
    if (!file || !file->Writable)
        return nullptr;
    change(*file->Parsed);
    const std::string bytes = Serialise(*file->Parsed);
    // The file is read back as the next process will read it, and only written if that process
    // would find what was meant.
    std::optional<Document> written = ParseDocument(bytes);
    if (!written || !check(*written))
        return nullptr;
    if ((bytes != file->Bytes || !file->Exists) && !ReplaceFile(target, bytes, file->Mode))
        return nullptr;
    return std::make_shared<const Document>(std::move(*written));
}

bool FileSettingsStore::OpenKey(std::string_view keyPath, GlimraStoreKey& key) {
    if (m_path.empty() || HasLineBreak(keyPath))
        return false;
    const std::string path = std::string(UserRoot) + std::string(keyPath);
    std::optional<LoadedFile> file = LoadFile(m_path);
    if (!file)
        return false;
    std::shared_ptr<const Document> snapshot = file->Parsed;
    if (!HasKey(*snapshot, path)) {
        snapshot = Commit([&](Document& document) { AddKey(document, path); },
                          [&](const Document& written) { return HasKey(written, path); });
        if (!snapshot)
            return false;
    }
    key = m_nextKey++;
    m_keys.emplace(key, OpenedKey{path, std::move(snapshot)});
    return true;
}

bool FileSettingsStore::QueryValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                   uint32_t& size) {
    const auto opened = m_keys.find(key);
    if (opened == m_keys.end())
        return false;
    const Line* line = FindValue(*opened->second.Snapshot, opened->second.Path, name);
    if (!line)
        return false;
    type = line->Type;
    size = static_cast<uint32_t>(line->Data.size());
    return true;
}

bool FileSettingsStore::ReadValue(GlimraStoreKey key, std::string_view name, GlimraValueType& type,
                                  std::span<uint8_t> buffer, uint32_t& copied) {
    const auto opened = m_keys.find(key);
    if (opened == m_keys.end())
        return false;
    const Line* line = FindValue(*opened->second.Snapshot, opened->second.Path, name);
    if (!line)
        return false;
    const std::span<const uint8_t> data = line->Data;
    const size_t count = std::min(buffer.size(), data.size());
    std::copy_n(data.begin(), count, buffer.begin());
    type = line->Type;
    copied = static_cast<uint32_t>(count);
    return true;
}

bool FileSettingsStore::WriteValue(GlimraStoreKey key, std::string_view name, GlimraValueType type,
                                   std::span<const uint8_t> data) {
    const auto opened = m_keys.find(key);
    if (opened == m_keys.end() || HasLineBreak(name))
        return false;
    const std::string& path = opened->second.Path;
    auto snapshot = Commit(
        [&](Document& document) {
            // Another process may have removed the key meanwhile; an open key still takes values.
            AddKey(document, path);
            SetValue(document, path, name, type, data);
        },
        [&](const Document& written) {
            const Line* line = FindValue(written, path, name);
            return line && line->Kind == LineKind::Value && line->Type == type &&
                   std::ranges::equal(line->Data, data);
        });
    if (!snapshot)
        return false;
    opened->second.Snapshot = std::move(snapshot);
    return true;
}

void FileSettingsStore::CloseKey(GlimraStoreKey key) {
    m_keys.erase(key);
}
