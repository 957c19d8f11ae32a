#include "png_writer.h"

#include <gio/gio.h>

#include <array>
#include <fstream>
#include <stdexcept>

namespace kb6 {
namespace {

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
  return ~crc;
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void Chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, Crc32(&out[start], out.size() - start));
}

// A zlib stream, compressed by GIO's zlib converter.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
  GZlibCompressor* zlib = g_zlib_compressor_new(G_ZLIB_COMPRESSOR_FORMAT_ZLIB, 9);
  std::vector<uint8_t> out(raw.size() + raw.size() / 100 + 64);
  gsize read = 0, written = 0;
  GError* error = nullptr;
  const GConverterResult result =
      g_converter_convert(G_CONVERTER(zlib), raw.data(), raw.size(), out.data(), out.size(),
                          G_CONVERTER_INPUT_AT_END, &read, &written, &error);
  g_object_unref(zlib);
  if (result != G_CONVERTER_FINISHED) {
    const std::string why = error ? error->message : "incomplete";
    if (error) g_error_free(error);
    throw std::runtime_error("WritePng: deflate failed: " + why);
  }
  out.resize(written);
  return out;
}

}  // namespace

void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
    throw std::runtime_error("WritePng: the pixels do not match the size");
  // The image data: a filter byte (0, none) before each row.
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(height) * (width * 4 + 1));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    const auto row = rgba.begin() + static_cast<std::ptrdiff_t>(y) * width * 4;
    raw.insert(raw.end(), row, row + width * 4);
  }
  const std::vector<uint8_t> z = Deflate(raw);
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> header;
  Put32(header, static_cast<uint32_t>(width));
  Put32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, filter 0, no interlace
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  if (!file) throw std::runtime_error("WritePng: cannot write " + path);
}

}  // namespace kb6
