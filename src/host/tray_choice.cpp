#include "host/tray_choice.h"

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "tray/console_tray.h"
#include "tray/desktop/sni_tray.h"

namespace kb6 {
namespace {

// Owns one reference to a connection.
struct BusRef {
  GDBusConnection* bus = nullptr;
  ~BusRef() {
    if (bus) g_object_unref(bus);
  }
};

// How long the start waits for the session bus: a bus that accepts the
// connection but never answers must not hold the monitor before its first
// cycle.
constexpr guint kBusTimeoutMs = 3000;

// Connects to `address` (authentication and Hello included); a watchdog
// thread cancels the attempt after `timeout_ms`. Null with the cause in
// `why` when it fails or the bus does not answer in time. The connection is
// made on the calling thread, so it belongs to the monitor's main context.
GDBusConnection* ConnectWithin(const gchar* address, guint timeout_ms, std::string& why) {
  GCancellable* cancellable = g_cancellable_new();
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool timed_out = false;
  std::thread watchdog([&] {
    std::unique_lock lock(mutex);
    if (!finished.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return done; })) {
      timed_out = true;
      g_cancellable_cancel(cancellable);
    }
  });
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancellable, &error);
  {
    std::lock_guard lock(mutex);
    done = true;
  }
  finished.notify_one();
  watchdog.join();
  g_object_unref(cancellable);
  if (!bus) {
    why = timed_out ? "Der Sitzungsbus antwortet nicht innerhalb von " +
                          std::to_string(timeout_ms / 1000) + " Sekunden."
                    : std::string(error ? error->message : "");
    if (error) g_error_free(error);
  }
  return bus;
}

// A private connection to the session bus. Exit-on-close stays off: a bus
// that goes away leaves the monitor running its cycles.
bool ConnectSessionBus(TrayChoice choice, BusRef& out, std::string& why) {
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!address) {
    why = error->message;
    g_error_free(error);
    return false;
  }
  // "auto" never starts a bus of its own through X11 autolaunch.
  if (choice == TrayChoice::kAuto && g_str_has_prefix(address, "autolaunch:")) {
    g_free(address);
    why = "no session bus address";
    return false;
  }
  out.bus = ConnectWithin(address, kBusTimeoutMs, why);
  g_free(address);
  if (!out.bus) return false;
  g_dbus_connection_set_exit_on_close(out.bus, FALSE);
  return true;
}

bool WatcherPresent(GDBusConnection* bus) {
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
      g_variant_new("(s)", kWatcherName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000,
      nullptr, nullptr);
  if (!reply) return false;
  gboolean present = FALSE;
  g_variant_get(reply, "(b)", &present);
  g_variant_unref(reply);
  return present;
}

}  // namespace

std::optional<TrayChoice> ParseTrayChoice(std::string_view text) {
  if (text == "auto") return TrayChoice::kAuto;
  if (text == "desktop") return TrayChoice::kDesktop;
  if (text == "console") return TrayChoice::kConsole;
  return std::nullopt;
}

std::unique_ptr<TrayIcon> MakeTray(TrayChoice choice, std::ostream& err) {
  if (choice == TrayChoice::kConsole) return std::make_unique<ConsoleTray>(err);
  BusRef bus;
  std::string why;
  if (!ConnectSessionBus(choice, bus, why)) {
    if (choice == TrayChoice::kAuto) return std::make_unique<ConsoleTray>(err);
    err << "KB6TRAY: --tray desktop braucht den Sitzungsbus: " << why << "\n";
    return nullptr;
  }
  if (choice == TrayChoice::kAuto && !WatcherPresent(bus.bus))
    return std::make_unique<ConsoleTray>(err);
  return std::make_unique<SniTray>(bus.bus, err);
}

}  // namespace kb6
