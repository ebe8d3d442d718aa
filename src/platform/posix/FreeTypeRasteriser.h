#pragma once

#include <memory>
#include <string>
#include <vector>

#include "glyphs/GlimraRasteriser.h"
#include "platform/posix/FreeTypeFont.h"

// The rasteriser of the Linux programs: fontconfig finds faces, FreeType draws them.
//
// A face name is looked up first among the font files registered with RegisterFontFile (fontconfig's
// application fonts of the current configuration), then among every font fontconfig knows; a name
// nobody knows, or an empty one, gets fontconfig's best match, as GDI substitutes one of its own.
class FreeTypeRasteriser final : public GlimraRasteriser {
public:
    FreeTypeRasteriser();
    ~FreeTypeRasteriser() override;
    FreeTypeRasteriser(const FreeTypeRasteriser&) = delete;
    FreeTypeRasteriser& operator=(const FreeTypeRasteriser&) = delete;

    std::unique_ptr<GlimraFont> CreateFont(const GlimraLogFont& logFont) override {
        return CreateFreeTypeFont(logFont);
    }
    std::unique_ptr<FreeTypeFont> CreateFreeTypeFont(const GlimraLogFont& logFont);

    // False when fontconfig cannot read the file. resourceFile is a Windows notion and is ignored.
    bool RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;
    // fontconfig can only forget all application fonts at once: the other files this rasteriser
    // registered are added again, and application fonts that others added are lost.
    void UnregisterFontFile(const std::string& fontFile, const std::string& resourceFile) override;

private:
    struct FaceLocation {
        std::string File;
        int Index = 0;
    };
    std::vector<FaceLocation> CandidateFaces(const std::string& family, int32_t weight, bool italic) const;

    std::shared_ptr<FT_LibraryRec_> m_library;
    std::vector<std::string> m_registeredFiles;
};
