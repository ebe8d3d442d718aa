#pragma once

#include <memory>
#include <string>
#include <vector>

#include "glyphs/GlimraRasteriser.h"

struct FT_LibraryRec_;

// The rasteriser of the browser: FreeType draws the font files the page hands over, with the code
// the Linux programs draw with, so that a frame here equals the renderer's byte for byte.
//
// A page has no fonts that C++ could find by name, so every face name, known or not, gets the first
// registered file's face, as GDI gives an unknown name its substitute.
class WebRasteriser final : public GlimraRasteriser {
public:
    WebRasteriser();
    ~WebRasteriser() override;
    WebRasteriser(const WebRasteriser&) = delete;
    WebRasteriser& operator=(const WebRasteriser&) = delete;

    std::unique_ptr<GlimraFont> CreateFont(const GlimraLogFont& logFont) override;
    // False when FreeType cannot open the file's first face.
    bool RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;
    void UnregisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;

private:
    std::shared_ptr<FT_LibraryRec_> m_library;
    std::vector<std::string> m_files;
};
