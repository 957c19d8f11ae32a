// A minimal PNG writer (8-bit RGBA, no filtering, GIO's zlib): enough for
// the icon files and the screenshots, without an image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kb6 {

// `rgba` holds width * height pixels, rows from the top, bytes R G B A.
// Throws std::runtime_error when the file cannot be written.
void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);

}  // namespace kb6
