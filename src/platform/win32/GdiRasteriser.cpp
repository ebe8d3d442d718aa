#include "platform/win32/GdiRasteriser.h"

#include <cstring>

namespace {

static_assert(sizeof(LOGFONTA) == sizeof(GlimraLogFont), "GlimraLogFont must have the layout of LOGFONTA");

// The screen's device context, borrowed and released on every path.
class ScreenDc {
public:
    ScreenDc() : m_dc(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (m_dc)
            ReleaseDC(nullptr, m_dc);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

class MemoryDc {
public:
    MemoryDc() : m_dc(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (m_dc)
            DeleteDC(m_dc);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC Get() const { return m_dc; }

private:
    HDC m_dc;
};

// Selects an object into a device context and puts the previous one back when it goes.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(SelectObject(dc, object)) {}
    ~Selection() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    bool Succeeded() const { return m_previous != nullptr; }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

class DibSection {
public:
    DibSection(HDC dc, int32_t width, int32_t height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down, the row order of a pixmap
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bits = static_cast<uint32_t*>(bits);
    }
    ~DibSection() {
        if (m_bitmap)
            DeleteObject(m_bitmap);
    }
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    HBITMAP Get() const { return m_bitmap; }
    // Rows of a 32-bit DIB need no padding, so the section is a pixmap of stride width.
    uint32_t* Bits() const { return m_bitmap ? m_bits : nullptr; }

private:
    HBITMAP m_bitmap = nullptr;
    uint32_t* m_bits = nullptr;
};

void CopyRows(const Pixmap& source, Pixmap& target) {
    for (int32_t y = 0; y < source.Height(); ++y) {
        const uint32_t* from = source.Row(y);
        uint32_t* to = target.Row(y);
        // GDI may leave its own bits in the unused top byte.
        for (int32_t x = 0; x < source.Width(); ++x)
            to[x] = from[x] & 0x00FFFFFFu;
    }
}

} // namespace

GdiFont::GdiFont(HFONT font) : m_font(font), m_owned(font != nullptr) {
    if (!m_font)
        m_font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    ScreenDc screen;
    if (!screen.Get())
        return;
    Selection selection(screen.Get(), m_font);
    if (!selection.Succeeded())
        return;
    TEXTMETRICA metrics{};
    if (GetTextMetricsA(screen.Get(), &metrics)) {
        m_metrics.Height = metrics.tmHeight;
        m_metrics.MaxCharWidth = metrics.tmMaxCharWidth;
    }
    char face[LF_FACESIZE] = {};
    if (GetTextFaceA(screen.Get(), sizeof face, face) > 0)
        m_faceName = face;
}

GdiFont::~GdiFont() {
    if (m_owned)
        DeleteObject(m_font);
}

void GdiFont::DrawChar(Pixmap& target, uint8_t code, uint32_t colorRef) const {
    if (target.IsEmpty())
        return;
    MemoryDc dc;
    if (!dc.Get())
        return;
    DibSection dib(dc.Get(), target.Width(), target.Height());
    if (!dib.Bits())
        return;
    // TextOutA paints only the character's cell; what lies around it in the target must survive.
    Pixmap section = Pixmap::Wrap(dib.Bits(), target.Width(), target.Height(), target.Width());
    CopyRows(target, section);

    Selection bitmap(dc.Get(), dib.Get());
    if (!bitmap.Succeeded())
        return;
    Selection font(dc.Get(), m_font);
    if (!font.Succeeded())
        return;
    SetBkMode(dc.Get(), OPAQUE);
    SetBkColor(dc.Get(), RGB(0, 0, 0));
    SetTextColor(dc.Get(), colorRef & 0x00FFFFFFu);
    char character = static_cast<char>(code);
    if (!TextOutA(dc.Get(), 0, 0, &character, 1))
        return;
    GdiFlush();
    CopyRows(section, target);
}

int32_t GdiRasteriser::PixelsPerInch() const {
    ScreenDc screen;
    if (!screen.Get())
        return 96;
    int pixelsPerInch = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return pixelsPerInch > 0 ? pixelsPerInch : 96;
}

std::unique_ptr<GdiFont> GdiRasteriser::CreateGdiFont(const GlimraLogFont& logFont) {
    LOGFONTA description;
    std::memcpy(&description, &logFont, sizeof description);
    description.lfFaceName[LF_FACESIZE - 1] = '\0';
    return std::make_unique<GdiFont>(CreateFontIndirectA(&description));
}

namespace {

// The .FOT route: a resource file that refers to the TrueType file, then added. False at the first
// step that fails.
bool AddThroughResourceFile(const std::string& fontFile, const std::string& resourceFile) {
    // CreateScalableFontResourceA will not write over an existing file, and an old one may refer to
    // a font file that has moved.
    if (GetFileAttributesA(resourceFile.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !DeleteFileA(resourceFile.c_str()))
        return false;
    if (!CreateScalableFontResourceA(0, resourceFile.c_str(), fontFile.c_str(), nullptr))
        return false;
    return AddFontResourceA(resourceFile.c_str()) > 0;
}

// The same file name in the user's temporary folder; empty when there is none.
std::string TemporaryResourceFile(const std::string& resourceFile) {
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH)
        return {};
    const size_t slash = resourceFile.find_last_of("\\/");
    return std::string(folder, length) + resourceFile.substr(slash == std::string::npos ? 0 : slash + 1);
}

} // namespace

bool GdiRasteriser::RegisterFontFile(const std::string& fontFile, const std::string& resourceFile) {
    m_addedResource.clear();
    if (AddThroughResourceFile(fontFile, resourceFile)) {
        m_addedResource = resourceFile;
        return true;
    }
    // Installed in the system folder, the saver can write beside itself only when an administrator
    // runs it. The resource file merely refers to the font, so the user's temporary folder serves.
    const std::string fallback = TemporaryResourceFile(resourceFile);
    if (fallback.empty() || fallback == resourceFile || !AddThroughResourceFile(fontFile, fallback))
        return false;
    m_addedResource = fallback;
    return true;
}

void GdiRasteriser::UnregisterFontFile(const std::string&, const std::string& resourceFile) {
    RemoveFontResourceA(m_addedResource.empty() ? resourceFile.c_str() : m_addedResource.c_str());
    m_addedResource.clear();
}
