#include "support/locale_service.h"

namespace wayland_test {

LocaleService::~LocaleService() {
    stop_ = true;
    g_main_context_wakeup(context_);
    if (thread_.joinable()) {
        thread_.join();
    }
    if (connection_ != nullptr) {
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }
    g_main_context_unref(context_);
}

bool LocaleService::Start(const std::string& address, const std::string& layout,
                          std::string& reason) {
    layout_ = layout;
    // Calls are handed to the context that is the thread's default when the
    // object is registered, which the thread then runs.
    g_main_context_push_thread_default(context_);
    GError* error = nullptr;
    connection_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
        "<node><interface name='org.freedesktop.locale1'>"
        "<property name='X11Layout' type='s' access='read'/></interface></node>",
        nullptr);
    static const GDBusInterfaceVTable vtable{
        nullptr,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GError**,
           gpointer self) {
            return g_variant_new_string(static_cast<LocaleService*>(self)->layout_.c_str());
        },
        nullptr,
        {}};
    GVariant* owned = nullptr;
    if (connection_ != nullptr && g_dbus_connection_register_object(
                                      connection_, "/org/freedesktop/locale1", node->interfaces[0],
                                      &vtable, this, nullptr, &error) != 0) {
        owned = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.locale1", 4U),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    }
    g_dbus_node_info_unref(node);
    g_main_context_pop_thread_default(context_);
    guint answer = 0;
    if (owned != nullptr) {
        g_variant_get(owned, "(u)", &answer);
        g_variant_unref(owned);
    }
    reason = "org.freedesktop.locale1 cannot be owned: " +
             std::string(error != nullptr ? error->message : "the name is taken");
    g_clear_error(&error);
    if (answer != 1) {
        return false;
    }
    thread_ = std::thread([this] {
        while (!stop_) {
            g_main_context_iteration(context_, TRUE);
        }
    });
    return true;
}

} // namespace wayland_test
