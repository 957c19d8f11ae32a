#include "tray/desktop/desktop_notifications.h"

namespace kb6 {

const char* BalloonIconName(int32_t kind) {
  switch (kind) {
    case 1:
      return "dialog-information";
    case 2:
      return "dialog-warning";
    case 3:
      return "dialog-error";
    default:
      return "";
  }
}

DesktopNotifications::DesktopNotifications(GDBusConnection* bus)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))) {}

DesktopNotifications::~DesktopNotifications() { g_object_unref(bus_); }

void DesktopNotifications::Show(const std::string& title, const std::string& text, int32_t kind) {
  GVariantBuilder actions, hints;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  // No callback: the message goes out flagged as needing no reply, so nothing
  // waits for a server that is slow, missing or started on demand.
  g_dbus_connection_call(bus_, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                         "org.freedesktop.Notifications", "Notify",
                         g_variant_new("(susssasa{sv}i)", "KB6TRAY", 0u, BalloonIconName(kind),
                                       title.c_str(), text.c_str(), &actions, &hints, -1),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

}  // namespace kb6
