// kb6-icon-png DIR: writes the monitor's icon as DIR/kb6tray-N.png for each
// tray size, for installation into the icon theme.
#include <iostream>

#include "png_writer.h"
#include "tray/tray_icon_pixels.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kb6-icon-png DIR\n";
    return 2;
  }
  try {
    for (int size : kb6::kTrayIconSizes) {
      const kb6::IconImage icon = kb6::DrawMonitorIcon(size);
      std::vector<uint8_t> rgba(icon.argb.size());
      for (size_t i = 0; i < icon.argb.size(); i += 4) {
        rgba[i] = icon.argb[i + 1];
        rgba[i + 1] = icon.argb[i + 2];
        rgba[i + 2] = icon.argb[i + 3];
        rgba[i + 3] = icon.argb[i];
      }
      kb6::WritePng(std::string(argv[1]) + "/kb6tray-" + std::to_string(size) + ".png", size, size,
                    rgba);
    }
  } catch (const std::exception& e) {
    std::cerr << "kb6-icon-png: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
