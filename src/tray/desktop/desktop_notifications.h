// Balloons as desktop notifications (org.freedesktop.Notifications).
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <string>

namespace kb6 {

class DesktopNotifications {
 public:
  // Takes a reference to `bus`.
  explicit DesktopNotifications(GDBusConnection* bus);
  ~DesktopNotifications();
  DesktopNotifications(const DesktopNotifications&) = delete;
  DesktopNotifications& operator=(const DesktopNotifications&) = delete;

  // Sends Notify without waiting for the reply: the title becomes the
  // summary, kind 1 the information icon; the server's default timeout.
  // A missing notification server is not an error (the balloon is lost).
  void Show(const std::string& title, const std::string& text, int32_t kind);

 private:
  GDBusConnection* bus_;
};

// The freedesktop icon name for a balloon kind ("" for none).
const char* BalloonIconName(int32_t kind);

}  // namespace kb6
