#pragma once

#include <windows.h>
// GDI's CreateFont macro would rename the seam's CreateFont in every file that includes both.
#undef CreateFont

#include <memory>
#include <string>

#include "glyphs/GlimraRasteriser.h"

// A GDI font. Measured once, when made, on the screen's device context, as GetTextMetricsA reports.
class GdiFont final : public GlimraFont {
public:
    // Takes ownership of font. A null font stands for GDI's stock system font, which is not deleted.
    explicit GdiFont(HFONT font);
    ~GdiFont() override;
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;

    GlimraTextMetrics Metrics() const override { return m_metrics; }
    // TextOutA into a 32-bit DIB section that holds the target's pixels, then back into the target.
    void DrawChar(Pixmap& target, uint8_t code, uint32_t colorRef) const override;

    // The face GDI chose (GetTextFaceA): the one asked for, or its silent substitute.
    const std::string& FaceName() const { return m_faceName; }

private:
    HFONT m_font = nullptr;
    bool m_owned = false;
    GlimraTextMetrics m_metrics;
    std::string m_faceName;
};

// The rasteriser of the Windows programs.
//
// Fonts are made with CreateFontIndirectA, so GDI's font mapper picks the face and substitutes one
// for an unknown name. The font file becomes a face by the .FOT route: a font resource file written
// next to it (CreateScalableFontResourceA) and added with AddFontResourceA. GDI (and Wine) remember a
// substitute for a LOGFONT made before the face was added, so register before making fonts.
class GdiRasteriser final : public GlimraRasteriser {
public:
    // LOGPIXELSY of the screen; 96 when there is no screen to ask.
    int32_t PixelsPerInch() const override;

    std::unique_ptr<GlimraFont> CreateFont(const GlimraLogFont& logFont) override {
        return CreateGdiFont(logFont);
    }
    std::unique_ptr<GdiFont> CreateGdiFont(const GlimraLogFont& logFont);

    // Rewrites resourceFile (a .FOT) to refer to fontFile and adds it; where resourceFile cannot be
    // written (a saver in the system folder, run by a user), a .FOT of the same name in the user's
    // temporary folder is used instead. fontFile must be a full path, since the .FOT records it as
    // given. False when every step of both tries fails.
    bool RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;
    // Removes the font resource that was added; the .FOT stays on disk until the next registration
    // rewrites it.
    void UnregisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;

private:
    std::string m_addedResource;
};
