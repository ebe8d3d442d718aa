// Writes the pictures of the Windows icon as PNG files for the desktop's icon theme, so that the
// menu entry shows the very glyphs the saver's icon shows and nothing has to be drawn twice.
//   glimra-icon-pngs ICON.ico SIZE OUTPUT.png [SIZE OUTPUT.png ...]
// Each SIZE must be one of the icon's square 32-bit pictures.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/PngWriter.h"

namespace {

uint32_t Little(const std::vector<uint8_t>& bytes, size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

// The picture of the given size: a 40-byte BMP header, then bottom-up BGRA rows (an ICO stores the
// height doubled, for the AND mask that follows the colours). Nothing when the icon has no such
// picture or the file is cut short.
std::optional<Pixmap> Picture(const std::vector<uint8_t>& icon, int32_t size) {
    if (icon.size() < 6)
        return std::nullopt;
    const uint32_t count = Little(icon, 4, 2);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * size_t{i};
        if (entry + 16 > icon.size())
            return std::nullopt;
        const int32_t width = icon[entry] == 0 ? 256 : icon[entry];
        const uint32_t offset = Little(icon, entry + 12, 4);
        if (width != size || Little(icon, entry + 6, 2) != 32)
            continue;
        const size_t pixels = size_t{offset} + 40;
        if (pixels + size_t(size) * size * 4 > icon.size())
            return std::nullopt;
        Pixmap picture(size, size);
        for (int32_t y = 0; y < size; ++y) {
            const size_t row = pixels + size_t(size - 1 - y) * size * 4;
            for (int32_t x = 0; x < size; ++x)
                picture.Row(y)[x] = Little(icon, row + size_t(x) * 4, 3);
        }
        return picture;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::fputs("usage: glimra-icon-pngs ICON.ico SIZE OUTPUT.png [SIZE OUTPUT.png ...]\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> icon{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::optional<Pixmap> picture = Picture(icon, std::atoi(argv[i]));
        if (!picture) {
            std::fprintf(stderr, "glimra-icon-pngs: %s has no 32-bit picture of %s pixels\n", argv[1],
                         argv[i]);
            return 1;
        }
        if (const std::string problem = WritePng(argv[i + 1], *picture); !problem.empty()) {
            std::fprintf(stderr, "glimra-icon-pngs: %s\n", problem.c_str());
            return 1;
        }
    }
    return 0;
}
