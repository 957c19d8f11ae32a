// The notification-area icon with its tool tip and balloons. Operations may
// throw std::runtime_error when the component fails.
#pragma once

#include <cstdint>
#include <string>

namespace kb6 {

class TrayIcon {
 public:
  virtual ~TrayIcon() = default;
  virtual void SetIcon() = 0;                     // the window's own icon
  virtual void SetIntegerSetting(int32_t v) = 0;  // nothing observable
  // A CR LF in the text starts a second line.
  virtual void SetToolTip(const std::string& text) = 0;
  virtual void Add() = 0;
  virtual void SetBooleanSetting(bool v) = 0;  // nothing observable
  // kind 1 is the information icon; returns at once.
  virtual void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) = 0;
  virtual void Remove() = 0;
};

}  // namespace kb6
