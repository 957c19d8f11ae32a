// The monitor's own icon, drawn in code so that every size a panel asks for
// is sharp: a screen on a stand with a pulse line across it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kb6 {

// The sizes panels ask for; 32 is the window icon's size.
inline constexpr std::array<int, 5> kTrayIconSizes = {16, 22, 24, 32, 48};

struct IconImage {
  int size = 0;
  // size * size pixels, rows from the top, 4 bytes each in the order A R G B
  // (a 32-bit ARGB value in network byte order), alpha not premultiplied.
  std::vector<uint8_t> argb;
};

IconImage DrawMonitorIcon(int size);

}  // namespace kb6
