#include "platform/headless/PngWriter.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::string WritePng(const std::string& path, const Pixmap& pixmap) {
    if (pixmap.IsEmpty())
        return "cannot write '" + path + "': the picture is empty";
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return "cannot write '" + path + "': " + std::strerror(errno);

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return "cannot write '" + path + "': out of memory";
    }
    // libpng reports errors by longjmp; nothing with a destructor lives between here and there
    // except what was made before the setjmp.
    std::vector<png_byte> row(static_cast<size_t>(pixmap.Width()) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "cannot write '" + path + "': the file could not be written completely";
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, static_cast<png_uint_32>(pixmap.Width()),
                 static_cast<png_uint_32>(pixmap.Height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < pixmap.Height(); ++y) {
        const uint32_t* pixels = pixmap.Row(y);
        for (int32_t x = 0; x < pixmap.Width(); ++x) {
            row[static_cast<size_t>(x) * 3 + 0] = static_cast<png_byte>(pixels[x] >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(pixels[x] >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(pixels[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get()))
        return "cannot write '" + path + "': " + std::strerror(errno);
    return {};
}
