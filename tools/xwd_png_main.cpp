// kb6-xwd-png: screen captures (xwd's X Window Dump, 24/32 bits per pixel)
// for scripts/screenshot.
//   kb6-xwd-png size IN.xwd                  prints "W H"
//   kb6-xwd-png diff A.xwd B.xwd X Y W H     prints the box "X Y W H" of the pixels that differ
//                                            inside the region; exit 1 when none do
//   kb6-xwd-png crop IN.xwd OUT.png X Y W H  writes the region as PNG; exit 3 when it is blank
//                                            (fewer than 8 colours)
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "png_writer.h"

namespace {

struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB per pixel
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};

uint32_t Be32(const std::vector<uint8_t>& d, size_t at) {
  if (at + 4 > d.size()) throw std::runtime_error("truncated file");
  return uint32_t{d[at]} << 24 | uint32_t{d[at + 1]} << 16 | uint32_t{d[at + 2]} << 8 | d[at + 3];
}

int Shift(uint32_t mask) {
  int s = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++s;
  }
  return s;
}

Image ReadXwd(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<uint8_t> d{std::istreambuf_iterator<char>(file), {}};
  auto field = [&](int i) { return Be32(d, static_cast<size_t>(i) * 4); };
  const uint32_t header_size = field(0), version = field(1), format = field(2);
  const uint32_t width = field(4), height = field(5), byte_order = field(7);
  const uint32_t bpp = field(11), bytes_per_line = field(12);
  const uint32_t masks[3] = {field(14), field(15), field(16)};
  const uint32_t ncolors = field(19);
  if (version != 7 || format != 2 || (bpp != 32 && bpp != 24) || width == 0 || height == 0 ||
      width > 16384 || height > 16384)
    throw std::runtime_error(path + ": not a 24/32-bit ZPixmap X window dump");
  const size_t data = header_size + static_cast<size_t>(ncolors) * 12;
  if (data + static_cast<size_t>(bytes_per_line) * height > d.size())
    throw std::runtime_error(path + ": truncated");
  Image image{static_cast<int>(width), static_cast<int>(height), {}};
  image.rgb.resize(static_cast<size_t>(width) * height);
  const int step = static_cast<int>(bpp / 8);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = &d[data + static_cast<size_t>(y) * bytes_per_line + x * step];
      uint32_t v = 0;
      for (int i = 0; i < step; ++i)
        v |= uint32_t{p[i]} << (byte_order == 0 ? 8 * i : 8 * (step - 1 - i));
      uint32_t rgb = 0;
      for (int c = 0; c < 3; ++c) rgb = rgb << 8 | ((v & masks[c]) >> Shift(masks[c]) & 0xff);
      image.rgb[static_cast<size_t>(y) * width + x] = rgb;
    }
  }
  return image;
}

struct Box {
  int x, y, w, h;
};

Box Region(const Image& image, char** argv) {
  Box b{std::stoi(argv[0]), std::stoi(argv[1]), std::stoi(argv[2]), std::stoi(argv[3])};
  b.x = std::clamp(b.x, 0, image.width);
  b.y = std::clamp(b.y, 0, image.height);
  b.w = std::clamp(b.w, 0, image.width - b.x);
  b.h = std::clamp(b.h, 0, image.height - b.y);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "size" && argc == 3) {
      const Image image = ReadXwd(argv[2]);
      std::cout << image.width << " " << image.height << "\n";
      return 0;
    }
    if (command == "diff" && argc == 8) {
      const Image a = ReadXwd(argv[2]), b = ReadXwd(argv[3]);
      if (a.width != b.width || a.height != b.height) throw std::runtime_error("sizes differ");
      const Box r = Region(a, argv + 4);
      int x0 = r.x + r.w, y0 = r.y + r.h, x1 = -1, y1 = -1;
      for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x)
          if (a.At(x, y) != b.At(x, y)) {
            x0 = std::min(x0, x);
            y0 = std::min(y0, y);
            x1 = std::max(x1, x);
            y1 = std::max(y1, y);
          }
      if (x1 < 0) {
        std::cout << "none\n";
        return 1;
      }
      std::cout << x0 << " " << y0 << " " << x1 - x0 + 1 << " " << y1 - y0 + 1 << "\n";
      return 0;
    }
    if (command == "crop" && argc == 8) {
      const Image image = ReadXwd(argv[2]);
      const Box r = Region(image, argv + 4);
      std::vector<uint8_t> rgba;
      std::set<uint32_t> colours;
      for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) {
          const uint32_t c = image.At(x, y);
          colours.insert(c);
          rgba.insert(rgba.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8),
                                   static_cast<uint8_t>(c), 0xff});
        }
      kb6::WritePng(argv[3], r.w, r.h, rgba);
      if (colours.size() < 8) {
        std::cerr << "kb6-xwd-png: " << argv[3] << " is blank (" << colours.size() << " colours)\n";
        return 3;
      }
      return 0;
    }
    std::cerr << "usage: kb6-xwd-png size IN | diff A B X Y W H | crop IN OUT X Y W H\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "kb6-xwd-png: " << e.what() << "\n";
    return 1;
  }
}
