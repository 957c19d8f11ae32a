// Which tray the host shows: the desktop's notification area or lines on
// standard error.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string_view>

#include "tray/tray_icon.h"

namespace kb6 {

enum class TrayChoice { kAuto, kDesktop, kConsole };

// "auto", "desktop" or "console"; nothing for anything else.
std::optional<TrayChoice> ParseTrayChoice(std::string_view text);

// kAuto takes the desktop tray when the session bus has a notification area
// (a StatusNotifierWatcher), the console tray otherwise; kDesktop insists on
// the session bus but not on a watcher. Returns null, with the cause on
// `err`, when the desktop tray was asked for and no session bus answers.
// This runs before the icon exists, so it may wait for the bus briefly.
std::unique_ptr<TrayIcon> MakeTray(TrayChoice choice, std::ostream& err);

}  // namespace kb6
