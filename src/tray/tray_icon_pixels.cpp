#include "tray/tray_icon_pixels.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace kb6 {
namespace {

struct Rgb {
  double r, g, b;
};

// Shapes in unit coordinates (0..1 across the icon, y downwards).
bool InRoundedRect(double x, double y, double x0, double y0, double x1, double y1, double radius) {
  if (x < x0 || x > x1 || y < y0 || y > y1) return false;
  const double cx = std::clamp(x, x0 + radius, x1 - radius);
  const double cy = std::clamp(y, y0 + radius, y1 - radius);
  return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

double DistanceToSegment(double x, double y, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  const double px = ax + t * dx - x, py = ay + t * dy - y;
  return std::sqrt(px * px + py * py);
}

constexpr double kPulse[][2] = {{0.17, 0.43}, {0.33, 0.43}, {0.41, 0.27}, {0.51, 0.59},
                                {0.60, 0.36}, {0.66, 0.43}, {0.83, 0.43}};

struct Layer {
  Rgb colour;
  std::function<bool(double, double)> covers;
};

}  // namespace

IconImage DrawMonitorIcon(int size) {
  // The pulse line keeps at least about 1.4 pixels at small sizes.
  const double half_line = std::max(0.045, 0.7 / size);
  const Layer layers[] = {
      // frame, stand and foot
      {{0x2c, 0x52, 0x82},
       [](double x, double y) {
         return InRoundedRect(x, y, 0.04, 0.08, 0.96, 0.76, 0.09) ||
                InRoundedRect(x, y, 0.43, 0.74, 0.57, 0.86, 0.0) ||
                InRoundedRect(x, y, 0.24, 0.84, 0.76, 0.94, 0.04);
       }},
      // the screen
      {{0x10, 0x2a, 0x43},
       [](double x, double y) { return InRoundedRect(x, y, 0.12, 0.16, 0.88, 0.68, 0.03); }},
      // the pulse
      {{0x3d, 0xdc, 0x84},
       [half_line](double x, double y) {
         for (size_t i = 0; i + 1 < std::size(kPulse); ++i)
           if (DistanceToSegment(x, y, kPulse[i][0], kPulse[i][1], kPulse[i + 1][0],
                                 kPulse[i + 1][1]) <= half_line)
             return true;
         return false;
       }},
  };
  constexpr int kSamples = 4;  // 4 x 4 samples per pixel smooth the edges
  IconImage image;
  image.size = size;
  image.argb.resize(static_cast<size_t>(size) * size * 4);
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      // Premultiplied sums over the samples; each sample takes the topmost layer.
      double a = 0, r = 0, g = 0, b = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const double x = (px + (sx + 0.5) / kSamples) / size;
          const double y = (py + (sy + 0.5) / kSamples) / size;
          for (auto layer = std::rbegin(layers); layer != std::rend(layers); ++layer) {
            if (!layer->covers(x, y)) continue;
            a += 1;
            r += layer->colour.r;
            g += layer->colour.g;
            b += layer->colour.b;
            break;
          }
        }
      }
      uint8_t* out = &image.argb[(static_cast<size_t>(py) * size + px) * 4];
      out[0] = static_cast<uint8_t>(std::lround(255.0 * a / (kSamples * kSamples)));
      out[1] = a > 0 ? static_cast<uint8_t>(std::lround(r / a)) : 0;
      out[2] = a > 0 ? static_cast<uint8_t>(std::lround(g / a)) : 0;
      out[3] = a > 0 ? static_cast<uint8_t>(std::lround(b / a)) : 0;
    }
  }
  return image;
}

}  // namespace kb6
