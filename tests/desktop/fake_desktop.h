// A private session bus, and a fake panel and notification server on it
// that run on their own thread and record what arrives as text lines.
#pragma once

#include <gio/gio.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kb6::test {

// GIO's test bus (no activatable services); the session bus while it lives.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  bool Running() const { return !address_.empty(); }
  const std::string& Address() const { return address_; }
  void Kill() {
    g_test_dbus_stop(bus_);
    address_.clear();
  }

 private:
  GTestDBus* bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
  const bool had_address_ = std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr;
  std::string saved_address_ = had_address_ ? std::getenv("DBUS_SESSION_BUS_ADDRESS") : "";
  std::string address_;
};

class FakeDesktop {
 public:
  // Returns once the notification server is up; the panel comes with StartWatcher.
  explicit FakeDesktop(const PrivateBus& bus);
  ~FakeDesktop();
  FakeDesktop(const FakeDesktop&) = delete;
  FakeDesktop& operator=(const FakeDesktop&) = delete;

  // Owns (or drops) the watcher's name, like a panel starting or ending.
  void StartWatcher();
  void StopWatcher();

  // The lines starting with `prefix`, in order of arrival:
  //   "watcher down"                  StopWatcher done
  //   "register NAME"                 RegisterStatusNotifierItem
  //   "tooltip TITLE|DESCRIPTION"     read at registration and after each NewToolTip
  //   "notify APP|ICON|SUMMARY|BODY|TIMEOUT"
  //   "unregister NAME"               the registered name left the bus
  std::vector<std::string> Lines(const std::string& prefix = "");
  // Waits at most 30 s for `n` such lines, dispatching this thread's default
  // context meanwhile (the item in the test process must answer the watcher).
  bool WaitFor(const std::string& prefix, size_t n = 1);

 private:
  void Add(std::string line);
  static void Run(FakeDesktop* self, std::string address);
  void ReadItem(const std::string& name, GDBusMethodInvocation* invocation);

  GMainContext* context_;
  GMainLoop* loop_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  GDBusConnection* bus_ = nullptr;
  guint watcher_object_ = 0, watcher_name_ = 0, notify_object_ = 0;
  std::vector<guint> subscriptions_;
  // Desktop thread only: registered item names and their senders.
  std::set<std::string> registered_, senders_;
  std::thread thread_;
};

}  // namespace kb6::test
