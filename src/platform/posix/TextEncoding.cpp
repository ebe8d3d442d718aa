#include "platform/posix/TextEncoding.h"

#include <cstdint>

namespace {

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

void AppendUnit(std::string& out, uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

} // namespace

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
