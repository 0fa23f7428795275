#include "platform/gtk/status_notifier_item.h"
#include "platform/core/unicode.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

#include "platform/gtk/icon_pixbufs.h"
#include "platform/gtk/session_bus.h"
#include "platform/gtk/status_notifier_watcher.h"
#include "platform/gtk/tray_menu_export.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace platform::gtk_front_end {
namespace {

constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";
constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kMenuPath[] = "/MenuBar";

struct Item {
    TrayIcon icon;
    unsigned serial = 0;
    std::string busName;
    guint objectId = 0;
    guint ownerId = 0;
    bool nameOwned = false;
    bool registering = false;
    unsigned registeredWith = 0; // the generation of the watcher that took it; 0: none
    std::unique_ptr<TrayMenuExport> menu;
};

struct ItemState {
    std::unique_ptr<Item> item;
    unsigned serial = 0;
    bool saidProblem = false;
};

ItemState& State() {
    static ItemState state;
    return state;
}

void SayOnce(const std::string& sentence) {
    if (!State().saidProblem) {
        State().saidProblem = true;
        std::fprintf(stderr, "swipetype: %s\n", sentence.c_str());
    }
}

// The picture as one ARGB32 pixmap: 4 bytes a pixel, alpha first, rows top down.
GVariant* Pixmaps(const Item& item) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    GdkPixbuf* picture = IconPixbuf(item.icon.icon);
    if (picture != nullptr && gdk_pixbuf_get_bits_per_sample(picture) == 8) {
        int width = gdk_pixbuf_get_width(picture);
        int height = gdk_pixbuf_get_height(picture);
        int stride = gdk_pixbuf_get_rowstride(picture);
        int channels = gdk_pixbuf_get_n_channels(picture);
        bool alpha = gdk_pixbuf_get_has_alpha(picture) != FALSE;
        const guint8* pixels = gdk_pixbuf_read_pixels(picture);
        std::vector<guint8> argb;
        argb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const guint8* pixel = pixels + static_cast<std::ptrdiff_t>(y) * stride +
                                      static_cast<std::ptrdiff_t>(x) * channels;
                argb.insert(argb.end(),
                            {alpha ? pixel[3] : guint8{0xFF}, pixel[0], pixel[1], pixel[2]});
            }
        }
        g_variant_builder_add(
            &builder, "(ii@ay)", width, height,
            g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1));
    }
    return g_variant_builder_end(&builder);
}

GVariant* NoPixmaps(const Item&) {
    return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
}

GVariant* Text(const char* text) {
    return g_variant_new_string(text);
}

GVariant* Tip(const Item& item) {
    return g_variant_new_string(Utf16ToUtf8(item.icon.tip).c_str());
}

// (icon name, icon pixmaps, title, description): the tip as the title.
GVariant* ToolTip(const Item& item) {
    return g_variant_new("(s@a(iiay)ss)", "", NoPixmaps(item), Utf16ToUtf8(item.icon.tip).c_str(),
                         "");
}

struct Property {
    const char* name;
    const char* type;
    GVariant* (*value)(const Item&);
};

const Property kProperties[] = {
    {"Category", "s", [](const Item&) { return Text("ApplicationStatus"); }},
    {"Id", "s", [](const Item&) { return Text("swipetype"); }},
    {"Title", "s", Tip},
    {"Status", "s", [](const Item&) { return Text("Active"); }},
    {"WindowId", "i", [](const Item&) { return g_variant_new_int32(0); }},
    {"IconName", "s", [](const Item&) { return Text(""); }},
    {"IconPixmap", "a(iiay)", Pixmaps},
    {"OverlayIconName", "s", [](const Item&) { return Text(""); }},
    {"OverlayIconPixmap", "a(iiay)", NoPixmaps},
    {"AttentionIconName", "s", [](const Item&) { return Text(""); }},
    {"AttentionIconPixmap", "a(iiay)", NoPixmaps},
    {"AttentionMovieName", "s", [](const Item&) { return Text(""); }},
    {"ToolTip", "(sa(iiay)ss)", ToolTip},
    {"ItemIsMenu", "b", [](const Item&) { return g_variant_new_boolean(FALSE); }},
    {"Menu", "o", [](const Item&) { return g_variant_new_object_path(kMenuPath); }},
    {"IconThemePath", "s", [](const Item&) { return Text(""); }},
};

constexpr char kMethodsAndSignals[] = R"xml(
<method name='ContextMenu'><arg name='x' type='i'/><arg name='y' type='i'/></method>
<method name='Activate'><arg name='x' type='i'/><arg name='y' type='i'/></method>
<method name='SecondaryActivate'><arg name='x' type='i'/><arg name='y' type='i'/></method>
<method name='Scroll'><arg name='delta' type='i'/><arg name='orientation' type='s'/></method>
<signal name='NewTitle'/>
<signal name='NewIcon'/>
<signal name='NewAttentionIcon'/>
<signal name='NewOverlayIcon'/>
<signal name='NewToolTip'/>
<signal name='NewStatus'><arg name='status' type='s'/></signal>
)xml";

GDBusInterfaceInfo* InterfaceInfo() {
    static GDBusNodeInfo* node = [] {
        std::string xml = std::string("<node><interface name='") + kItemInterface + "'>";
        for (const Property& property : kProperties) {
            xml += std::string("<property name='") + property.name + "' type='" + property.type +
                   "' access='read'/>";
        }
        xml += kMethodsAndSignals;
        xml += "</interface></node>";
        return g_dbus_node_info_new_for_xml(xml.c_str(), nullptr);
    }();
    return node->interfaces[0];
}

// Activate is the double tap. The other methods do nothing: the panel draws the
// exported menu itself (ContextMenu is for panels that cannot), and the device
// had no middle button or wheel.
void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                  GVariant*, GDBusMethodInvocation* invocation, gpointer) {
    const Item* item = State().item.get();
    if (item != nullptr && item->icon.callbackMessage != 0 &&
        std::string_view(method) == "Activate") {
        PostMessageW(item->icon.window, item->icon.callbackMessage, item->icon.id,
                     WM_LBUTTONDBLCLK);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                        const gchar* name, GError** error, gpointer) {
    const Item* item = State().item.get();
    for (const Property& property : kProperties) {
        if (item != nullptr && std::string_view(name) == property.name) {
            return property.value(*item);
        }
    }
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
    return nullptr;
}

void Emit(const char* signal) {
    std::string problem;
    if (GDBusConnection* bus = SessionBus(problem)) {
        g_dbus_connection_emit_signal(bus, nullptr, kItemPath, kItemInterface, signal, nullptr,
                                      nullptr);
    }
}

void RegisterIfDue(Item& item) {
    unsigned generation = StatusNotifierWatcherGeneration();
    if (!item.nameOwned || item.registering || !StatusNotifierWatcherPresent() ||
        item.registeredWith == generation) {
        return;
    }
    item.registering = true;
    unsigned serial = item.serial;
    RegisterWithStatusNotifierWatcher(item.busName, [serial, generation](const std::string& error) {
        Item* current = State().item.get();
        if (current == nullptr || current->serial != serial) {
            return;
        }
        current->registering = false;
        if (error.empty()) {
            current->registeredWith = generation;
        } else {
            SayOnce("the panel's StatusNotifier watcher did not take the tray icon: " + error);
        }
    });
}

void OnNameAcquired(GDBusConnection*, const gchar*, gpointer) {
    if (Item* item = State().item.get()) {
        item->nameOwned = true;
        RegisterIfDue(*item);
    }
}

void OnNameLost(GDBusConnection*, const gchar* name, gpointer) {
    if (Item* item = State().item.get()) {
        item->nameOwned = false;
        SayOnce(std::string("the tray icon cannot own its name ") + name + " on the session bus");
    }
}

std::unique_ptr<Item> Create(GDBusConnection* bus, const TrayIcon& icon) {
    auto item = std::make_unique<Item>();
    item->icon = icon;
    item->serial = ++State().serial;
    item->busName = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" +
                    std::to_string(item->serial);
    static const GDBusInterfaceVTable vtable{OnMethodCall, OnGetProperty, nullptr, {}};
    GError* error = nullptr;
    item->objectId = g_dbus_connection_register_object(bus, kItemPath, InterfaceInfo(), &vtable,
                                                       nullptr, nullptr, &error);
    if (item->objectId == 0) {
        SayOnce(std::string("the tray icon cannot be offered on the session bus: ") +
                error->message);
        g_error_free(error);
        return item;
    }
    item->menu = std::make_unique<TrayMenuExport>(kMenuPath, icon.window);
    item->ownerId = g_bus_own_name_on_connection(bus, item->busName.c_str(),
                                                 G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                                 OnNameAcquired, OnNameLost, nullptr, nullptr);
    return item;
}

void Update(Item& item, const TrayIcon& icon) {
    bool newPicture = item.icon.icon != icon.icon;
    bool newTip = item.icon.tip != icon.tip;
    item.icon = icon;
    if (newPicture) {
        Emit("NewIcon");
    }
    if (newTip) {
        Emit("NewTitle");
        Emit("NewToolTip");
    }
}

} // namespace

void SyncStatusNotifierItems(const std::vector<TrayIcon>& icons) {
    ItemState& state = State();
    std::string problem;
    GDBusConnection* bus = SessionBus(problem);
    bool sameIcon = state.item != nullptr && !icons.empty() &&
                    state.item->icon.window == icons.front().window &&
                    state.item->icon.id == icons.front().id;
    if (!sameIcon) {
        ClearStatusNotifierItems();
    }
    if (icons.empty() || bus == nullptr) {
        return;
    }
    if (state.item == nullptr) {
        state.item = Create(bus, icons.front());
    } else if (!(state.item->icon == icons.front())) {
        Update(*state.item, icons.front());
    }
    RegisterIfDue(*state.item);
}

void ClearStatusNotifierItems() {
    ItemState& state = State();
    std::unique_ptr<Item> item = std::move(state.item);
    if (item == nullptr) {
        return;
    }
    // Giving up the name is what tells the watcher, and with it the panel, that
    // the item is gone.
    if (item->ownerId != 0) {
        g_bus_unown_name(item->ownerId);
    }
    std::string problem;
    if (GDBusConnection* bus = SessionBus(problem); bus != nullptr && item->objectId != 0) {
        g_dbus_connection_unregister_object(bus, item->objectId);
    }
}

bool StatusNotifierItemRegistered() {
    const Item* item = State().item.get();
    return item != nullptr && item->registeredWith != 0 &&
           item->registeredWith == StatusNotifierWatcherGeneration();
}

} // namespace platform::gtk_front_end
