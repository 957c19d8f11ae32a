#include "fake_desktop.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <memory>

namespace kb6::test {
namespace {

constexpr const char* kInterfacesXml = R"xml(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  </interface>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
  </interface>
</node>)xml";

// Serves `vtable` for `interface` at `path`; returns the registration id.
guint Serve(GDBusConnection* bus, const char* path, const char* interface,
            const GDBusInterfaceVTable& vtable, FakeDesktop* desktop) {
  g_autoptr(GDBusNodeInfo) node = g_dbus_node_info_new_for_xml(kInterfacesXml, nullptr);
  return g_dbus_connection_register_object(bus, path,
                                           g_dbus_node_info_lookup_interface(node, interface),
                                           &vtable, desktop, nullptr, nullptr);
}

// A call to the bus itself, waited for.
void CallBus(GDBusConnection* bus, const char* method, GVariant* args) {
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method, args,
      nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
}

constexpr const char* kItem = "org.kde.StatusNotifierItem";

// A GetAll of an item's properties waiting for its answer.
struct ItemCall {
  FakeDesktop* desktop;
  GDBusMethodInvocation* registration;  // answered once read; null after NewToolTip
};

}  // namespace

PrivateBus::PrivateBus() {
  if (!std::filesystem::exists("/usr/bin/dbus-daemon")) return;
  g_test_dbus_up(bus_);
  address_ = g_test_dbus_get_bus_address(bus_);
}

PrivateBus::~PrivateBus() {
  if (Running()) g_test_dbus_stop(bus_);
  g_object_unref(bus_);
  if (had_address_)
    setenv("DBUS_SESSION_BUS_ADDRESS", saved_address_.c_str(), 1);
  else
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

FakeDesktop::FakeDesktop(const PrivateBus& bus)
    : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
  thread_ = std::thread(&FakeDesktop::Run, this, bus.Address());
  WaitFor("desktop up");
}

FakeDesktop::~FakeDesktop() {
  g_main_context_invoke(
      context_,
      +[](gpointer loop) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      loop_);
  thread_.join();
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

void FakeDesktop::Add(std::string line) {
  {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::move(line));
  }
  changed_.notify_all();
}

std::vector<std::string> FakeDesktop::Lines(const std::string& prefix) {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  std::copy_if(lines_.begin(), lines_.end(), std::back_inserter(out),
               [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  return out;
}

bool FakeDesktop::WaitFor(const std::string& prefix, size_t n) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Lines(prefix).size() < n) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(2));
  }
  return true;
}

void FakeDesktop::StartWatcher() {
  g_main_context_invoke(
      context_,
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<FakeDesktop*>(data);
        if (self->watcher_name_ != 0) return G_SOURCE_REMOVE;
        self->watcher_name_ = g_bus_own_name_on_connection(
            self->bus_, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE, nullptr,
            nullptr, nullptr, nullptr);
        return G_SOURCE_REMOVE;
      },
      this);
}

void FakeDesktop::StopWatcher() {
  g_main_context_invoke(
      context_,
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<FakeDesktop*>(data);
        if (self->watcher_name_ == 0) return G_SOURCE_REMOVE;
        g_bus_unown_name(self->watcher_name_);
        self->watcher_name_ = 0;
        self->senders_.clear();
        self->registered_.clear();
        self->Add("watcher down");
        return G_SOURCE_REMOVE;
      },
      this);
}

// Reads the item like a panel: at registration (answered then) and after NewToolTip.
void FakeDesktop::ReadItem(const std::string& name, GDBusMethodInvocation* registration) {
  g_dbus_connection_call(
      bus_, name.c_str(), "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "GetAll",
      g_variant_new("(s)", kItem), G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, 20000,
      nullptr,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        const std::unique_ptr<ItemCall> call(static_cast<ItemCall*>(data));
        g_autoptr(GError) error = nullptr;
        g_autoptr(GVariant) reply =
            g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (!reply) {
          call->desktop->Add(std::string("item unreadable: ") + error->message);
          if (call->registration) g_dbus_method_invocation_return_gerror(call->registration, error);
          return;
        }
        g_autoptr(GVariant) dict = g_variant_get_child_value(reply, 0);
        const gchar *title = nullptr, *description = nullptr;
        if (g_variant_lookup(dict, "ToolTip", "(&s@a(iiay)&s&s)", nullptr, nullptr, &title,
                             &description))
          call->desktop->Add(std::string("tooltip ") + title + "|" + description);
        if (call->registration) g_dbus_method_invocation_return_value(call->registration, nullptr);
      },
      std::make_unique<ItemCall>(ItemCall{this, registration}).release());
}

void FakeDesktop::Run(FakeDesktop* self, std::string address) {
  g_main_context_push_thread_default(self->context_);
  self->bus_ = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  if (!self->bus_) {
    self->Add("no bus");
    return g_main_context_pop_thread_default(self->context_);
  }
  g_dbus_connection_set_exit_on_close(self->bus_, FALSE);
  static const GDBusInterfaceVTable watcher = {
      +[](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar*,
          GVariant* args, GDBusMethodInvocation* invocation, gpointer me) {
        // RegisterStatusNotifierItem, the one method of this watcher.
        auto* desktop = static_cast<FakeDesktop*>(me);
        const gchar* service = nullptr;
        g_variant_get(args, "(&s)", &service);
        const std::string name = service[0] == '/' ? sender : service;
        desktop->registered_.insert(name);
        desktop->senders_.insert(sender);
        desktop->Add("register " + name);
        desktop->ReadItem(name, invocation);
      },
      nullptr,
      nullptr,
      {}};
  // Served from the start; owning its name makes it visible.
  self->watcher_object_ =
      Serve(self->bus_, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher", watcher, self);
  static const GDBusInterfaceVTable notifier = {
      // Notify, the one method of this server.
      +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* args,
          GDBusMethodInvocation* invocation, gpointer me) {
        const gchar *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
        gint32 timeout = 0;
        g_variant_get(args, "(&su&s&s&s@as@a{sv}i)", &app, nullptr, &icon, &summary, &body, nullptr,
                      nullptr, &timeout);
        static_cast<FakeDesktop*>(me)->Add(std::string("notify ") + app + "|" + icon + "|" +
                                           summary + "|" + body + "|" + std::to_string(timeout));
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", 1u));
      },
      nullptr,
      nullptr,
      {}};
  self->notify_object_ = Serve(self->bus_, "/org/freedesktop/Notifications",
                               "org.freedesktop.Notifications", notifier, self);
  // Owned at once, so that no test races the server's start.
  CallBus(self->bus_, "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 0u));
  // A registered item leaves when its name has no owner any more.
  self->subscriptions_.push_back(g_dbus_connection_signal_subscribe(
      self->bus_, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
      "/org/freedesktop/DBus", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      +[](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* args,
          gpointer me) {
        auto* desktop = static_cast<FakeDesktop*>(me);
        const gchar *name = nullptr, *old_owner = nullptr, *new_owner = nullptr;
        g_variant_get(args, "(&s&s&s)", &name, &old_owner, &new_owner);
        if (new_owner[0] == '\0' && desktop->registered_.erase(name) > 0)
          desktop->Add(std::string("unregister ") + name);
      },
      self, nullptr));
  // Tool tip changes; subscribed before any item registers, so none is missed.
  self->subscriptions_.push_back(g_dbus_connection_signal_subscribe(
      self->bus_, nullptr, kItem, "NewToolTip", "/StatusNotifierItem", nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      +[](GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar*,
          GVariant*, gpointer me) {
        auto* desktop = static_cast<FakeDesktop*>(me);
        if (desktop->senders_.count(sender)) desktop->ReadItem(sender, nullptr);
      },
      self, nullptr));
  // Messages are handled in order: after this answer the match rules are in place.
  CallBus(self->bus_, "GetId", nullptr);
  self->Add("desktop up");
  g_main_loop_run(self->loop_);
  for (guint id : self->subscriptions_) g_dbus_connection_signal_unsubscribe(self->bus_, id);
  if (self->watcher_name_) g_bus_unown_name(self->watcher_name_);
  g_dbus_connection_unregister_object(self->bus_, self->watcher_object_);
  g_dbus_connection_unregister_object(self->bus_, self->notify_object_);
  g_dbus_connection_close_sync(self->bus_, nullptr, nullptr);
  g_object_unref(self->bus_);
  // Let GDBus drop what it still queued for this context.
  while (g_main_context_iteration(self->context_, FALSE)) {
  }
  g_main_context_pop_thread_default(self->context_);
}

}  // namespace kb6::test
