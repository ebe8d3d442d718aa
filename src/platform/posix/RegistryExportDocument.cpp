#include "platform/posix/RegistryExportDocument.h"

#include <algorithm>
#include <utility>

#include "platform/posix/TextEncoding.h"
#include "settings/AsciiCase.h"

namespace {

constexpr std::string_view Regedit4Header = "REGEDIT4";
constexpr std::string_view Version5Header = "Windows Registry Editor Version 5.00";

using Document = RegistryExportDocument;
using Line = RegistryExportLine;
using LineKind = RegistryExportLineKind;
using FileDialect = RegistryExportDialect;
using FileEncoding = RegistryExportEncoding;

bool SameName(std::string_view a, std::string_view b) {
    return SameIgnoringAsciiCase(a, b);
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

bool NamesValue(const Line& line, std::string_view name) {
    return (line.Kind == LineKind::Value || line.Kind == LineKind::Spoiled ||
            line.Kind == LineKind::Deletion) &&
           SameName(line.Name, name);
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

} // namespace

RegistryExportDocument RegistryExportDocument::New() {
    Document document;
    document.Lines.emplace_back(std::string(Regedit4Header), document.LineEnd);
    return document;
}

std::optional<RegistryExportDocument> RegistryExportDocument::Parse(std::string_view bytes) {
    return ParseDocument(bytes);
}

std::string RegistryExportDocument::Serialise() const {
    const Document& document = *this;
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

bool RegistryExportDocument::HasKey(std::string_view keyPath) const {
    const Document& document = *this;
    return std::any_of(document.Lines.begin(), document.Lines.end(), [&](const Line& line) {
        return line.Kind == LineKind::Key && SameName(line.Name, keyPath);
    });
}

const RegistryExportLine* RegistryExportDocument::FindValue(std::string_view keyPath,
                                                            std::string_view name) const {
    const Document& document = *this;
    const Line* found = nullptr;
    ForEachLineOfKey(document, keyPath, [&](size_t, const Line& line) {
        if (NamesValue(line, name))
            found = &line;
    });
    if (!found || found->Kind == LineKind::Deletion)
        return nullptr;
    return found;
}

void RegistryExportDocument::AddKey(std::string_view keyPath) {
    Document& document = *this;
    if (HasKey(keyPath))
        return;
    if (!TrimRight(document.Lines.back().Text).empty())
        InsertLine(document, document.Lines.size() - 1, Line("", document.LineEnd));
    InsertLine(document, document.Lines.size() - 1,
               Line("[" + std::string(keyPath) + "]", document.LineEnd, LineKind::Key, std::string(keyPath)));
    InsertLine(document, document.Lines.size() - 1, Line("", document.LineEnd));
}

void RegistryExportDocument::SetValue(std::string_view keyPath, std::string_view name, GlimraValueType type,
                                      std::span<const uint8_t> data) {
    Document& document = *this;
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
