#include "platform/posix/FreeTypeRasteriser.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

std::string PatternString(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value)
        return {};
    return reinterpret_cast<const char*>(value);
}

bool HasFamily(FcPattern* pattern, const std::string& family) {
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(value, reinterpret_cast<const FcChar8*>(family.c_str())) == 0)
            return true;
    }
    return false;
}

int PatternInteger(FcPattern* pattern, const char* object, int fallback) {
    int value = fallback;
    if (FcPatternGetInteger(pattern, object, 0, &value) != FcResultMatch)
        return fallback;
    return value;
}

} // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLIMRA_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(GLIMRA_ADDRESS_SANITIZER)
// fontconfig keeps its internal pointers as offsets, which the leak checker cannot follow: merely
// loading the configuration would be reported as leaks in every program that uses this rasteriser.
// The suppressions are the whole process's, and every program of ours links this file, so they
// also name the toolkit libraries of the settings dialog: GLib, GTK and the accessibility bridge's
// D-Bus connection keep per-process allocations until exit by design.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\n"
           "leak:libgtk-3.so\n"
           "leak:libgdk-3.so\n"
           "leak:libatk-1.0.so\n"
           "leak:libatk-bridge-2.0.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libpangocairo-1.0.so\n"
           "leak:libcairo.so\n"
           "leak:libharfbuzz.so\n";
}
#endif

FreeTypeRasteriser::FreeTypeRasteriser() : m_library(NewFreeTypeLibrary()) {
}

FreeTypeRasteriser::~FreeTypeRasteriser() = default;

bool FreeTypeRasteriser::RegisterFontFile(const std::string& fontFile, const std::string&) {
    if (!FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(fontFile.c_str())))
        return false;
    m_registeredFiles.push_back(fontFile);
    return true;
}

void FreeTypeRasteriser::UnregisterFontFile(const std::string& fontFile, const std::string&) {
    auto found = std::find(m_registeredFiles.begin(), m_registeredFiles.end(), fontFile);
    if (found == m_registeredFiles.end())
        return;
    m_registeredFiles.erase(found);
    FcConfigAppFontClear(nullptr);
    for (const std::string& file : m_registeredFiles)
        FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file.c_str()));
}

std::vector<FreeTypeRasteriser::FaceLocation>
FreeTypeRasteriser::CandidateFaces(const std::string& family, int32_t weight, bool italic) const {
    std::vector<FaceLocation> candidates;
    int wantedWeight = FcWeightFromOpenType(weight == 0 ? 400 : std::clamp(weight, 1, 1000));

    // A registered face of that name, the style closest to the one asked for.
    FcFontSet* registered = FcConfigGetFonts(nullptr, FcSetApplication);
    if (registered && !family.empty()) {
        FcPattern* best = nullptr;
        int bestDistance = 0;
        for (int i = 0; i < registered->nfont; ++i) {
            FcPattern* font = registered->fonts[i];
            if (!HasFamily(font, family))
                continue;
            int distance = std::abs(PatternInteger(font, FC_WEIGHT, FC_WEIGHT_REGULAR) - wantedWeight);
            if ((PatternInteger(font, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN) != italic)
                distance += 1000;
            if (!best || distance < bestDistance) {
                best = font;
                bestDistance = distance;
            }
        }
        if (best)
            candidates.push_back({PatternString(best, FC_FILE), PatternInteger(best, FC_INDEX, 0)});
    }

    // Then whatever fontconfig makes of the name among all fonts: the face itself when it is
    // installed, its substitute when not.
    if (FcPattern* pattern = FcPatternCreate()) {
        if (!family.empty())
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, wantedWeight);
        FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            candidates.push_back({PatternString(match, FC_FILE), PatternInteger(match, FC_INDEX, 0)});
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }

    // On a system without fonts of its own, the registered ones are all there is.
    if (registered && registered->nfont > 0) {
        FcPattern* first = registered->fonts[0];
        candidates.push_back({PatternString(first, FC_FILE), PatternInteger(first, FC_INDEX, 0)});
    }
    return candidates;
}

std::unique_ptr<FreeTypeFont> FreeTypeRasteriser::CreateFreeTypeFont(const GlimraLogFont& logFont) {
    std::string family(logFont.lfFaceName, strnlen(logFont.lfFaceName, sizeof logFont.lfFaceName));
    for (const FaceLocation& candidate : CandidateFaces(family, logFont.lfWeight, logFont.lfItalic != 0)) {
        if (auto font = FreeTypeFont::Open(m_library, candidate.File, candidate.Index, logFont))
            return font;
    }
    return FreeTypeFont::Unusable(m_library, logFont);
}
