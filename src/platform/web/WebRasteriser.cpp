#include "platform/web/WebRasteriser.h"

#include <algorithm>

#include "platform/posix/FreeTypeFont.h"

WebRasteriser::WebRasteriser() : m_library(NewFreeTypeLibrary()) {
}

WebRasteriser::~WebRasteriser() = default;

std::unique_ptr<GlimraFont> WebRasteriser::CreateFont(const GlimraLogFont& logFont) {
    if (!m_files.empty()) {
        if (auto font = FreeTypeFont::Open(m_library, m_files.front(), 0, logFont))
            return font;
    }
    return FreeTypeFont::Unusable(m_library, logFont);
}

bool WebRasteriser::RegisterFontFile(const std::string& fontFile, const std::string&) {
    const GlimraLogFont probe{};
    if (!FreeTypeFont::Open(m_library, fontFile, 0, probe))
        return false;
    m_files.push_back(fontFile);
    return true;
}

void WebRasteriser::UnregisterFontFile(const std::string& fontFile, const std::string&) {
    const auto found = std::find(m_files.begin(), m_files.end(), fontFile);
    if (found != m_files.end())
        m_files.erase(found);
}
