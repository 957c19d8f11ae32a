// The tray icon on a Linux desktop: a StatusNotifierItem on the session bus,
// with balloons as desktop notifications.
//
// Every bus call is asynchronous. The GLib loop that serves the item is also
// the window's wait pump, and a panel reads the item's properties while the
// item's registration is still pending: a blocking call would hold both sides
// until its timeout.
//
// Without a notification area (no org.kde.StatusNotifierWatcher on the bus)
// the item stays exported and registers as soon as a watcher appears, also
// after a panel restarts; one line on `err` says that it waits.
#pragma once

#include <gio/gio.h>

#include <ostream>
#include <string>

#include "tray/desktop/desktop_notifications.h"
#include "tray/tray_icon.h"

namespace kb6 {

inline constexpr const char* kItemPath = "/StatusNotifierItem";
inline constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
inline constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";

class SniTray final : public TrayIcon {
 public:
  // Takes a reference to `bus`, which must have been made with exit-on-close
  // off (a bus that goes away must not end the monitor).
  SniTray(GDBusConnection* bus, std::ostream& err);
  ~SniTray() override;
  SniTray(const SniTray&) = delete;
  SniTray& operator=(const SniTray&) = delete;

  void SetIcon() override {}  // the icon is always the monitor's own
  void SetIntegerSetting(int32_t) override {}
  // Title and description are split at the first CR LF; hosts hear of the
  // change through NewToolTip.
  void SetToolTip(const std::string& text) override;
  // Owns a fresh bus name for the item and registers it with the watcher.
  void Add() override;
  void SetBooleanSetting(bool) override {}
  void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) override;
  // Drops the item's bus name: watchers track names, so the icon goes.
  void Remove() override;

  // The bus name the item owns while it is shown ("" when removed).
  const std::string& BusName() const { return bus_name_; }

 private:
  static void OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self);
  static void OnWatcherVanished(GDBusConnection*, const gchar*, gpointer self);
  static void OnRequestNameReply(GObject* bus, GAsyncResult* result, gpointer request);
  // The bus's answer to the RequestName of `name`.
  void NameAnswered(guint32 answer, const std::string& name);
  GVariant* Property(const std::string& name) const;
  static GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar* name, GError**, gpointer self);
  static void CallMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                         GVariant*, GDBusMethodInvocation* invocation, gpointer);
  GVariant* ToolTipValue() const;
  void RegisterWithWatcher();
  void ReleaseName(const std::string& name);

  GDBusConnection* bus_;
  std::ostream& err_;
  DesktopNotifications notifications_;
  guint object_id_ = 0;
  guint watch_id_ = 0;
  GCancellable* cancellable_;  // cancelled at destruction: no late reply reaches this object
  unsigned generation_ = 0;
  bool shown_ = false;
  bool watcher_present_ = false;
  bool name_acquired_ = false;
  std::string bus_name_;
  std::string tool_tip_title_;
  std::string tool_tip_description_;
  GVariant* pixmaps_ = nullptr;  // a(iiay), built once
};

}  // namespace kb6
