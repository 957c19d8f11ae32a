#include "tray/console_tray.h"

namespace kb6 {
namespace {

// A two-line tool tip is printed on one line.
std::string OneLine(std::string s) {
  for (size_t at = s.find("\r\n"); at != std::string::npos; at = s.find("\r\n", at))
    s.replace(at, 2, " ");
  return s;
}

}  // namespace

void ConsoleTray::SetToolTip(const std::string& text) {
  if (text == tool_tip_) return;
  tool_tip_ = text;
  if (shown_) out_ << "[Symbol] " << OneLine(text) << std::endl;
}

void ConsoleTray::Add() {
  shown_ = true;
  out_ << "[Symbol] " << OneLine(tool_tip_) << std::endl;
}

void ConsoleTray::ShowBalloon(const std::string& title, const std::string& text, int32_t) {
  out_ << "[" << title << "] " << OneLine(text) << std::endl;
}

void ConsoleTray::Remove() {
  if (!shown_) return;
  shown_ = false;
  out_ << "[Symbol] entfernt" << std::endl;
}

}  // namespace kb6
