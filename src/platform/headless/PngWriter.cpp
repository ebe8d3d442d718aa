#include "platform/headless/PngWriter.h"

#include <png.h>
#include <sys/stat.h>

#include <csetjmp>
#include <vector>

#include "platform/posix/AtomicFile.h"

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* bytes = static_cast<std::string*>(png_get_io_ptr(png));
    bytes->append(reinterpret_cast<const char*>(data), size);
}

void FlushNothing(png_structp) {
}

// The PNG in memory; false when libpng fails (out of memory).
bool EncodePng(const Pixmap& pixmap, std::string& bytes) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    // libpng reports errors by longjmp; nothing with a destructor lives between here and there
    // except what was made before the setjmp.
    std::vector<png_byte> row(static_cast<size_t>(pixmap.Width()) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &bytes, AppendBytes, FlushNothing);
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
    return true;
}

} // namespace

std::string WritePng(const std::string& path, const Pixmap& pixmap) {
    if (pixmap.IsEmpty())
        return "cannot write '" + path + "': the picture is empty";
    std::string bytes;
    if (!EncodePng(pixmap, bytes))
        return "cannot write '" + path + "': out of memory";
    // Whatever sits at the frame's name (a link to another file, say) is replaced, never written
    // through; a write that fails leaves neither a part of a frame nor its temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    std::string problem;
    if (!AtomicFile::Replace(path, bytes, 0666 & ~mask, AtomicFile::Durability::Unsynced, problem))
        return "cannot write '" + path + "': " + problem;
    return {};
}
