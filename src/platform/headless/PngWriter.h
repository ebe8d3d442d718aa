#pragma once

#include <string>

#include "raster/Pixmap.h"

// Writes a pixmap as an 8-bit RGB PNG. The bytes depend only on the pixels (no time stamp, fixed
// compression), so equal pictures give equal files. The file appears whole, by rename, or not at
// all. Returns an empty string on success, otherwise a message that names the file and the reason.
[[nodiscard]] std::string WritePng(const std::string& path, const Pixmap& pixmap);
