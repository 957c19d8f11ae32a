#include "tray/desktop/sni_tray.h"

#include <unistd.h>

#include <memory>

#include "common/operator_notice.h"
#include "tray/tray_icon_pixels.h"

namespace kb6 {
namespace {

constexpr const char* kItemXml = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <method name="ContextMenu"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="Activate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="SecondaryActivate">
      <arg type="i" direction="in"/><arg type="i" direction="in"/>
    </method>
    <method name="Scroll"><arg type="i" direction="in"/><arg type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg type="s"/></signal>
  </interface>
</node>)xml";

// D-Bus strings must be UTF-8; a stray byte must not cost the tool tip.
std::string ValidUtf8(const std::string& s) {
  if (g_utf8_validate(s.data(), static_cast<gssize>(s.size()), nullptr)) return s;
  gchar* valid = g_utf8_make_valid(s.data(), static_cast<gssize>(s.size()));
  std::string out = valid;
  g_free(valid);
  return out;
}

GVariant* BuildPixmaps() {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  for (int size : kTrayIconSizes) {
    const IconImage image = DrawMonitorIcon(size);
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, image.argb.data(),
                                                image.argb.size(), sizeof(uint8_t));
    g_variant_builder_add(&builder, "(ii@ay)", size, size, bytes);
  }
  return g_variant_ref_sink(g_variant_builder_end(&builder));
}

GVariant* EmptyPixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0); }

// What a RequestName reply needs to know when it arrives.
struct NameRequest {
  SniTray* tray;
  std::string name;
};

GDBusInterfaceInfo* ItemInterfaceInfo() {
  // Parsed once; kept for the life of the process like the interface itself.
  static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kItemXml, nullptr);
  return node->interfaces[0];
}

}  // namespace

SniTray::SniTray(GDBusConnection* bus, std::ostream& err)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))),
      err_(err),
      notifications_(bus),
      cancellable_(g_cancellable_new()),
      pixmaps_(BuildPixmaps()) {
  static const GDBusInterfaceVTable vtable = {
      &SniTray::CallMethod, &SniTray::GetProperty, nullptr, {}};
  object_id_ = g_dbus_connection_register_object(bus_, kItemPath, ItemInterfaceInfo(), &vtable,
                                                 this, nullptr, nullptr);
  watch_id_ = g_bus_watch_name_on_connection(bus_, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                             &SniTray::OnWatcherAppeared,
                                             &SniTray::OnWatcherVanished, this, nullptr);
}

SniTray::~SniTray() {
  g_cancellable_cancel(cancellable_);
  g_bus_unwatch_name(watch_id_);
  Remove();
  if (object_id_ != 0) g_dbus_connection_unregister_object(bus_, object_id_);
  // A balloon sent just before the end must still leave the process; this
  // waits for the socket only, not for any reply.
  g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
  g_variant_unref(pixmaps_);
  g_object_unref(cancellable_);
  g_object_unref(bus_);
}

void SniTray::SetToolTip(const std::string& text) {
  const std::string valid = ValidUtf8(text);
  const size_t crlf = valid.find("\r\n");
  std::string title = valid.substr(0, crlf);
  std::string description = crlf == std::string::npos ? "" : valid.substr(crlf + 2);
  if (title == tool_tip_title_ && description == tool_tip_description_) return;
  tool_tip_title_ = std::move(title);
  tool_tip_description_ = std::move(description);
  if (!shown_) return;
  g_dbus_connection_emit_signal(bus_, nullptr, kItemPath, kItemInterface, "NewToolTip", nullptr,
                                nullptr);
}

void SniTray::Add() {
  if (shown_) return;
  shown_ = true;
  // A fresh name per Add: a watcher may still be dropping the previous one,
  // and nobody else ever asks for it, so the request cannot be queued.
  bus_name_ = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
              std::to_string(++generation_);
  name_acquired_ = false;
  // GDBus's own name owning releases a name with a blocking call; these
  // requests are asynchronous both ways.
  constexpr guint32 kDoNotQueue = 4;
  g_dbus_connection_call(
      bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", bus_name_.c_str(), kDoNotQueue), G_VARIANT_TYPE("(u)"),
      G_DBUS_CALL_FLAGS_NONE, -1, cancellable_, &SniTray::OnRequestNameReply,
      std::make_unique<NameRequest>(NameRequest{this, bus_name_}).release());
}

void SniTray::OnRequestNameReply(GObject* bus, GAsyncResult* result, gpointer request) {
  const std::unique_ptr<NameRequest> req(static_cast<NameRequest*>(request));
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
  if (!reply) {
    // Cancelled means the tray is gone: do not touch it.
    g_error_free(error);
    return;
  }
  guint32 answer = 0;
  g_variant_get(reply, "(u)", &answer);
  g_variant_unref(reply);
  TellOperatorIfThrows("Symbol im Infobereich",
                       [&] { req->tray->NameAnswered(answer, req->name); });
}

void SniTray::NameAnswered(guint32 answer, const std::string& name) {
  constexpr guint32 kPrimaryOwner = 1;
  if (answer != kPrimaryOwner) return;
  if (!shown_ || bus_name_ != name) {
    ReleaseName(name);  // removed while the request was under way
    return;
  }
  name_acquired_ = true;
  RegisterWithWatcher();
}

void SniTray::ReleaseName(const std::string& name) {
  g_dbus_connection_call(bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "ReleaseName", g_variant_new("(s)", name.c_str()),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

void SniTray::ShowBalloon(const std::string& title, const std::string& text, int32_t kind) {
  notifications_.Show(ValidUtf8(title), ValidUtf8(text), kind);
}

void SniTray::Remove() {
  if (!shown_) return;
  shown_ = false;
  if (name_acquired_) ReleaseName(bus_name_);
  name_acquired_ = false;
  bus_name_.clear();
}

void SniTray::RegisterWithWatcher() {
  if (!shown_ || !name_acquired_ || !watcher_present_) return;
  // No callback, so the call is sent as needing no reply: the watcher reads
  // our properties before it answers, and nothing here waits for it.
  g_dbus_connection_call(bus_, kWatcherName, "/StatusNotifierWatcher", kWatcherName,
                         "RegisterStatusNotifierItem", g_variant_new("(s)", bus_name_.c_str()),
                         nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr, nullptr);
}

void SniTray::OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self) {
  auto* tray = static_cast<SniTray*>(self);
  tray->watcher_present_ = true;
  TellOperatorIfThrows("Symbol im Infobereich", [&] { tray->RegisterWithWatcher(); });
}

void SniTray::OnWatcherVanished(GDBusConnection*, const gchar*, gpointer self) {
  // Called when the watcher goes and once at the start when there is none.
  auto* tray = static_cast<SniTray*>(self);
  tray->watcher_present_ = false;
  TellOperatorIfThrows("Symbol im Infobereich", [&] {
    tray->err_ << "KB6TRAY: Kein Infobereich auf dem Sitzungsbus (" << kWatcherName
               << "); das Symbol erscheint, sobald einer da ist." << std::endl;
  });
}

GVariant* SniTray::ToolTipValue() const {
  return g_variant_new("(s@a(iiay)ss)", "", EmptyPixmaps(), tool_tip_title_.c_str(),
                       tool_tip_description_.c_str());
}

GVariant* SniTray::GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar* name, GError** error, gpointer self) {
  GVariant* value = nullptr;
  TellOperatorIfThrows("Symbol im Infobereich",
                       [&] { value = static_cast<const SniTray*>(self)->Property(name); });
  if (!value) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_FAILED, "%s", name);
  return value;
}

GVariant* SniTray::Property(const std::string& property) const {
  if (property == "Category") return g_variant_new_string("SystemServices");
  if (property == "Id") return g_variant_new_string("KB6TRAY");
  if (property == "Title") return g_variant_new_string("Korbinar Systemüberwachung");
  if (property == "Status") return g_variant_new_string("Active");
  if (property == "WindowId") return g_variant_new_int32(0);
  if (property == "IconPixmap") return g_variant_ref(pixmaps_);
  if (property == "ToolTip") return ToolTipValue();
  if (property == "ItemIsMenu") return g_variant_new_boolean(FALSE);
  if (property.ends_with("Pixmap")) return EmptyPixmaps();
  return g_variant_new_string("");  // the icon names and the movie: none
}

void SniTray::CallMethod(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                         GVariant*, GDBusMethodInvocation* invocation, gpointer) {
  // The monitor has no window and no menu: clicks and scrolling do nothing.
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

}  // namespace kb6
