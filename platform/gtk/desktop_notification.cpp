#include "platform/gtk/desktop_notification.h"
#include "platform/gtk/session_bus.h"

#include <cstdio>
#include <gio/gio.h>
#include <memory>

namespace platform::gtk_front_end {
namespace {

void SayOnStandardError(const std::string& sentence, const char* why) {
    std::fprintf(stderr, "swipetype: %s (not shown on the desktop: %s)\n", sentence.c_str(), why);
}

void OnNotified(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::string> sentence(static_cast<std::string*>(data));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
        return;
    }
    SayOnStandardError(*sentence, error->message);
    g_error_free(error);
}

} // namespace

void ShowDesktopNotification(const std::string& sentence) {
    std::string problem;
    GDBusConnection* bus = SessionBus(problem);
    if (bus == nullptr) {
        SayOnStandardError(sentence, problem.c_str());
        return;
    }
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    // Notify(app name, replaces id, icon, summary, body, actions, hints, expiry)
    GVariant* arguments = g_variant_new("(susssasa{sv}i)", "Swipetype", 0U, "swipetype",
                                        "Swipetype", sentence.c_str(), &actions, &hints, -1);
    g_dbus_connection_call(bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                           "org.freedesktop.Notifications", "Notify", arguments,
                           G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, OnNotified,
                           new std::string(sentence));
}

} // namespace platform::gtk_front_end
