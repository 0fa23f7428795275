#include "platform/keyboard/key_sink_registry.h"

namespace platform {
namespace {

bool AlwaysThere(const KeySinkSettings&, std::string&) {
    return true;
}

const KeySinkFactory TextSinks{AlwaysThere, [](const KeySinkSettings& settings, std::string&) {
                                   return MakeTextKeySink(settings.textFd);
                               }};

const KeySinkFactory NullSinks{
    AlwaysThere, [](const KeySinkSettings&, std::string&) { return MakeNullKeySink(); }};

// Every sink, in the order --help lists them. The build reads `.module = "..."`
// from this table: keep each on one line.
const KeySinkKind Kinds[] = {
    {.name = "xtest",
     .module = "x11",
     .builtIn = nullptr,
     .help = "X11 applications, through the X server's XTest extension (DISPLAY)",
     .x11Order = 1,
     .waylandOrder = 5,
     .onlyX11UnderWayland = true,
     .remedy = nullptr},
    {.name = "uinput",
     .module = "uinput",
     .builtIn = nullptr,
     .help = "every application, through a virtual keyboard device (/dev/uinput) that types "
             "for the session's layout (--layout overrides it)",
     .x11Order = 2,
     .waylandOrder = 4,
     .onlyX11UnderWayland = false,
     .remedy = "Give your user access to /dev/uinput with the udev rule "
               "60-swipetype-uinput.rules (see the README)"},
    {.name = "wayland",
     .module = "wayland",
     .builtIn = nullptr,
     .help = "Wayland applications, through the compositor's virtual keyboard (sway, labwc, "
             "Hyprland, river, Wayfire; not Debian 12's cage 0.1.4)",
     .x11Order = 0,
     .waylandOrder = 1,
     .onlyX11UnderWayland = false,
     .remedy = nullptr},
    {.name = "gnome",
     .module = "gnome",
     .builtIn = nullptr,
     .help = "every application of a GNOME session, through mutter's remote desktop on the "
             "session bus (GNOME Shell shows screen sharing while a read is typed)",
     .x11Order = 0,
     .waylandOrder = 2,
     .onlyX11UnderWayland = false,
     .remedy = nullptr},
    {.name = "kde",
     .module = "kde",
     .builtIn = nullptr,
     .help = "every Wayland application under KDE Plasma, through KWin's fake input, which "
             "KWin grants through the desktop file; types for the session's layout",
     .x11Order = 0,
     .waylandOrder = 3,
     .onlyX11UnderWayland = false,
     .remedy = "Under KDE Plasma, start Swipetype from its installed desktop entry, which "
               "grants KWin's fake input (see the README)"},
    {.name = "text",
     .module = nullptr,
     .builtIn = &TextSinks,
     .help = "prints the typed characters on standard output (UTF-8)",
     .x11Order = 0,
     .waylandOrder = 0,
     .onlyX11UnderWayland = false,
     .remedy = nullptr},
    {.name = "none",
     .module = nullptr,
     .builtIn = &NullSinks,
     .help = "types nothing",
     .x11Order = 0,
     .waylandOrder = 0,
     .onlyX11UnderWayland = false,
     .remedy = nullptr},
};

std::unique_ptr<KeySinkModules>& Modules() {
    static std::unique_ptr<KeySinkModules> modules;
    return modules;
}

} // namespace

std::span<const KeySinkKind> KeySinkKinds() {
    return Kinds;
}

const KeySinkKind* FindKeySinkKind(std::string_view name) {
    for (const KeySinkKind& kind : Kinds) {
        if (name == kind.name) {
            return &kind;
        }
    }
    return nullptr;
}

std::string KeySinkNameList() {
    std::string list;
    std::size_t count = std::size(Kinds);
    for (std::size_t i = 0; i < count; ++i) {
        list += i == 0 ? "" : (i + 1 == count ? " or " : ", ");
        list += Kinds[i].name;
    }
    return list;
}

void SetKeySinkModules(std::unique_ptr<KeySinkModules> modules) {
    Modules() = std::move(modules);
}

bool ProbeKeySink(const KeySinkKind& kind, const KeySinkSettings& settings, std::string& reason) {
    if (kind.builtIn != nullptr) {
        return kind.builtIn->probe(settings, reason);
    }
    if (Modules() == nullptr) {
        reason = "the " + std::string(kind.name) + " sink's module is not available";
        return false;
    }
    return Modules()->Probe(kind.module, settings, reason);
}

std::unique_ptr<KeySink> MakeKeySink(const KeySinkKind& kind, const KeySinkSettings& settings,
                                     std::string& error) {
    if (kind.builtIn != nullptr) {
        return kind.builtIn->make(settings, error);
    }
    if (Modules() == nullptr) {
        error = "the " + std::string(kind.name) + " sink's module is not available";
        return nullptr;
    }
    return Modules()->Make(kind.module, settings, error);
}

} // namespace platform
