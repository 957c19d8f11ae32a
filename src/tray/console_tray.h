// A tray for terminals and services: each change of the tool tip and each
// balloon becomes one line on the given stream (standard error in the host).
#pragma once

#include <ostream>

#include "tray/tray_icon.h"

namespace kb6 {

class ConsoleTray final : public TrayIcon {
 public:
  explicit ConsoleTray(std::ostream& out) : out_(out) {}
  void SetIcon() override {}
  void SetIntegerSetting(int32_t) override {}
  void SetToolTip(const std::string& text) override;
  void Add() override;
  void SetBooleanSetting(bool) override {}
  void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) override;
  void Remove() override;

 private:
  std::ostream& out_;
  std::string tool_tip_;
  bool shown_ = false;
};

}  // namespace kb6
