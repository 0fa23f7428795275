#include "platform/gtk/status_notifier_watcher.h"

#include <memory>

#include "platform/gtk/session_bus.h"

namespace platform::gtk_front_end {
namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";

struct WatcherState {
    guint watchId = 0;
    bool present = false;
    unsigned generation = 0;
    std::function<void()> changed;
};

WatcherState& State() {
    static WatcherState state;
    return state;
}

void Appeared(bool present) {
    WatcherState& state = State();
    if (present && !state.present) {
        ++state.generation;
    }
    bool changed = present != state.present;
    state.present = present;
    if (changed && state.changed) {
        state.changed();
    }
}

void OnAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer) {
    Appeared(true);
}

void OnVanished(GDBusConnection*, const gchar*, gpointer) {
    Appeared(false);
}

bool AskNameHasOwner(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", kWatcherName), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
    if (reply == nullptr) {
        return false;
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned != FALSE;
}

void OnRegistered(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::function<void(const std::string&)>> done(
        static_cast<std::function<void(const std::string&)>*>(data));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    std::string problem;
    if (reply != nullptr) {
        g_variant_unref(reply);
    } else {
        problem = error->message;
        g_error_free(error);
    }
    (*done)(problem);
}

} // namespace

void FollowStatusNotifierWatcher(std::function<void()> changed) {
    WatcherState& state = State();
    std::string problem;
    GDBusConnection* bus = SessionBus(problem);
    if (bus == nullptr || state.watchId != 0) {
        return;
    }
    state.changed = std::move(changed);
    state.present = AskNameHasOwner(bus);
    state.generation += state.present ? 1 : 0;
    state.watchId = g_bus_watch_name_on_connection(bus, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                   OnAppeared, OnVanished, nullptr, nullptr);
}

void StopFollowingStatusNotifierWatcher() {
    WatcherState& state = State();
    if (state.watchId != 0) {
        g_bus_unwatch_name(state.watchId);
    }
    state.watchId = 0;
    state.present = false;
    state.changed = nullptr;
}

bool StatusNotifierWatcherPresent() {
    return State().present;
}

unsigned StatusNotifierWatcherGeneration() {
    return State().generation;
}

void RegisterWithStatusNotifierWatcher(const std::string& busName,
                                       std::function<void(const std::string& error)> done) {
    std::string problem;
    GDBusConnection* bus = SessionBus(problem);
    if (bus == nullptr) {
        done(problem);
        return;
    }
    g_dbus_connection_call(bus, kWatcherName, kWatcherPath, kWatcherName,
                           "RegisterStatusNotifierItem", g_variant_new("(s)", busName.c_str()),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, OnRegistered,
                           new std::function<void(const std::string&)>(std::move(done)));
}

} // namespace platform::gtk_front_end
