#include "platform/keyboard/xkb/session_keymap.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <xcb/xcb.h>
// The XKB protocol header names a member "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include "platform/core/unique_fd.h"
#include "platform/keyboard/xkb/key_symbols.h"
#include "platform/keyboard/xkb/wayland_connection.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// How long the compositor may take to hand over its keymap.
constexpr auto kAnswerTime = 2000ms;

XkbContextPtr& SharedContext() {
    static XkbContextPtr context = MakeXkbContext();
    return context;
}

// --- The Wayland compositor: wl_seat → wl_keyboard.keymap -------------------

struct SeatDeleter {
    void operator()(wl_seat* seat) const { wl_seat_destroy(seat); }
};
struct KeyboardDeleter {
    void operator()(wl_keyboard* keyboard) const { wl_keyboard_destroy(keyboard); }
};
struct RegistryDeleter {
    void operator()(wl_registry* registry) const { wl_registry_destroy(registry); }
};

class CompositorSource final : public SessionKeymap::Source {
  public:
    explicit CompositorSource(WaylandDisplayPtr display) : display_(std::move(display)) {}

    ~CompositorSource() override {
        keyboard_.reset();
        seat_.reset();
        registry_.reset();
    }

    // Binds the first seat and asks for its keyboard; false with `error` set
    // when the compositor hands over no keymap.
    bool Start(std::string& error) {
        registry_.reset(wl_display_get_registry(display_.get()));
        if (!registry_ || wl_registry_add_listener(registry_.get(), &RegistryListener, this) != 0 ||
            !RoundTrip(display_.get(), kAnswerTime)) {
            error = "the Wayland compositor " + CompositorName() + " does not answer";
            return false;
        }
        if (!seat_) {
            error = "the Wayland compositor " + CompositorName() + " has no seat";
            return false;
        }
        keyboard_.reset(wl_seat_get_keyboard(seat_.get()));
        if (!keyboard_ || wl_keyboard_add_listener(keyboard_.get(), &KeyboardListener, this) != 0 ||
            !RoundTrip(display_.get(), kAnswerTime)) {
            error = "the Wayland compositor " + CompositorName() + " does not answer";
            return false;
        }
        if (!arrived_) {
            error = "the Wayland compositor " + CompositorName() + " hands out no keymap";
            return false;
        }
        return true;
    }

    // The keymap handed over at the start.
    XkbKeymapPtr First() { return std::move(arrived_); }

    int Descriptor() const override { return lost_ ? -1 : wl_display_get_fd(display_.get()); }

    XkbKeymapPtr Take(bool& lost) override {
        pollfd ready{wl_display_get_fd(display_.get()), POLLIN, 0};
        if (!lost_ && ::poll(&ready, 1, 0) > 0 && !DispatchArrived(display_.get())) {
            lost_ = true;
        }
        lost = lost_;
        return std::move(arrived_);
    }

  private:
    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version) {
        auto* self = static_cast<CompositorSource*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
            self->seat_.reset(static_cast<wl_seat*>(
                wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5U))));
        }
    }
    static void OnGlobalRemove(void*, wl_registry*, uint32_t) {}

    static void OnKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
        auto* self = static_cast<CompositorSource*>(data);
        XkbKeymapPtr keymap = KeymapFromCompositor(SharedContext().get(), format, fd, size);
        if (keymap) {
            self->arrived_ = std::move(keymap);
        }
    }
    static void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
    }
    static void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

    static constexpr wl_registry_listener RegistryListener{OnGlobal, OnGlobalRemove};
    static constexpr wl_keyboard_listener KeyboardListener{OnKeymap, OnEnter,     OnLeave,
                                                           OnKey,    OnModifiers, OnRepeatInfo};

    WaylandDisplayPtr display_;
    std::unique_ptr<wl_registry, RegistryDeleter> registry_;
    std::unique_ptr<wl_seat, SeatDeleter> seat_;
    std::unique_ptr<wl_keyboard, KeyboardDeleter> keyboard_;
    XkbKeymapPtr arrived_;
    bool lost_ = false;
};

// --- The X server: its XKB keymap, and a notice when it changes --------------

struct XcbDeleter {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbPtr = std::unique_ptr<xcb_connection_t, XcbDeleter>;

class XServerSource final : public SessionKeymap::Source {
  public:
    XServerSource(XcbPtr connection, int32_t device)
        : connection_(std::move(connection)), device_(device) {}

    // Asks the server to say when the keyboard or its map changes.
    void Watch() {
        constexpr uint16_t events =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        constexpr uint16_t parts = 0xFF; // every part of the map
        xcb_xkb_select_events_details_t details{};
        xcb_xkb_select_events_aux(connection_.get(), static_cast<xcb_xkb_device_spec_t>(device_),
                                  events, 0, 0, parts, parts, &details);
        xcb_flush(connection_.get());
    }

    XkbKeymapPtr Load() const {
        return XkbKeymapPtr(xkb_x11_keymap_new_from_device(SharedContext().get(), connection_.get(),
                                                           device_, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }

    int Descriptor() const override {
        return xcb_connection_has_error(connection_.get()) != 0
                   ? -1
                   : xcb_get_file_descriptor(connection_.get());
    }

    XkbKeymapPtr Take(bool& lost) override {
        bool changed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_.get())) {
            changed = true; // only the keyboard's events were asked for
            std::free(event);
        }
        lost = xcb_connection_has_error(connection_.get()) != 0;
        return changed && !lost ? Load() : nullptr;
    }

  private:
    XcbPtr connection_;
    int32_t device_;
};

std::string XDisplayName(const std::string& display) {
    if (!display.empty()) {
        return display;
    }
    const char* name = std::getenv("DISPLAY");
    return name != nullptr ? std::string(name) : std::string();
}

// --- The console: /etc/default/keyboard ---------------------------------------

// KEY="value" lines, as keyboard-configuration writes them; quotes optional.
std::map<std::string, std::string> ReadShellAssignments(const std::string& path, bool& found) {
    std::map<std::string, std::string> values;
    std::ifstream file(path);
    found = file.is_open();
    std::string line;
    while (std::getline(file, line)) {
        std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string::npos) {
            continue;
        }
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        values[line.substr(0, equals)] = value;
    }
    return values;
}

const char* OrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

XkbKeymapPtr KeymapFromCompositor(xkb_context* context, std::uint32_t format, int fd,
                                  std::uint32_t size) {
    UniqueFd file(fd);
    if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) {
        return nullptr;
    }
    void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.Get(), 0);
    if (text == MAP_FAILED) {
        return nullptr;
    }
    // The text ends in a zero, which the buffer form must not include.
    std::size_t length = strnlen(static_cast<const char*>(text), size);
    XkbKeymapPtr keymap(xkb_keymap_new_from_buffer(context, static_cast<const char*>(text), length,
                                                   XKB_KEYMAP_FORMAT_TEXT_V1,
                                                   XKB_KEYMAP_COMPILE_NO_FLAGS));
    munmap(text, size);
    return keymap;
}

std::vector<KeyChord> ChordsForCharacter(const KeyChordFinder& finder, char32_t character,
                                         const KeyboardLocks& locks) {
    xkb_keysym_t keysym = KeysymForCharacter(character);
    if (keysym == XKB_KEY_NoSymbol) {
        return {};
    }
    if (std::optional<KeyChord> chord = finder.Find(keysym, locks)) {
        return {*chord};
    }
    return finder.FindDeadKeySequence(keysym, locks);
}

SessionKeymap::SessionKeymap(XkbKeymapPtr keymap, std::string origin,
                             std::unique_ptr<Source> source)
    : finder_(std::make_unique<KeyChordFinder>(keymap.get())), origin_(std::move(origin)),
      source_(std::move(source)) {}

std::unique_ptr<SessionKeymap> SessionKeymap::FromLayout(const std::string& layout,
                                                         std::string origin, std::string& error) {
    XkbKeymapPtr keymap = CompileLayoutKeymap(SharedContext().get(), layout, error);
    if (!keymap) {
        return nullptr;
    }
    return std::make_unique<SessionKeymap>(std::move(keymap), std::move(origin));
}

std::unique_ptr<SessionKeymap> SessionKeymap::FromCompositor(std::string& error) {
    WaylandDisplayPtr display = ConnectToCompositor(error);
    if (!display) {
        return nullptr;
    }
    auto source = std::make_unique<CompositorSource>(std::move(display));
    if (!source->Start(error)) {
        return nullptr;
    }
    XkbKeymapPtr keymap = source->First();
    return std::make_unique<SessionKeymap>(
        std::move(keymap), "the Wayland compositor " + CompositorName(), std::move(source));
}

std::unique_ptr<SessionKeymap> SessionKeymap::FromXServer(const std::string& display,
                                                          std::string& error) {
    std::string name = XDisplayName(display);
    XcbPtr connection(xcb_connect(OrNull(name), nullptr));
    if (!connection || xcb_connection_has_error(connection.get()) != 0) {
        error = "cannot open the X display \"" + name + "\"";
        return nullptr;
    }
    if (xkb_x11_setup_xkb_extension(
            connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
            XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr) == 0) {
        error = "the X server " + name + " has no XKB extension";
        return nullptr;
    }
    int32_t device = xkb_x11_get_core_keyboard_device_id(connection.get());
    auto source = std::make_unique<XServerSource>(std::move(connection), device);
    XkbKeymapPtr keymap = device < 0 ? nullptr : source->Load();
    if (!keymap) {
        error = "the X server " + name + " hands out no keymap";
        return nullptr;
    }
    source->Watch();
    return std::make_unique<SessionKeymap>(std::move(keymap), "the X server " + name,
                                           std::move(source));
}

std::unique_ptr<SessionKeymap> SessionKeymap::FromConsoleFile(const std::string& path,
                                                              std::string& error) {
    bool found = false;
    std::map<std::string, std::string> values = ReadShellAssignments(path, found);
    if (!found || values["XKBLAYOUT"].empty()) {
        error = path + (found ? " names no XKBLAYOUT" : " cannot be read");
        return nullptr;
    }
    xkb_rule_names names{};
    names.model = OrNull(values["XKBMODEL"]);
    names.layout = values["XKBLAYOUT"].c_str();
    names.variant = OrNull(values["XKBVARIANT"]);
    names.options = OrNull(values["XKBOPTIONS"]);
    XkbKeymapPtr keymap(
        xkb_keymap_new_from_names(SharedContext().get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap) {
        error = "the layout \"" + values["XKBLAYOUT"] + "\" of " + path +
                " is not known to libxkbcommon";
        return nullptr;
    }
    return std::make_unique<SessionKeymap>(std::move(keymap), path);
}

std::unique_ptr<SessionKeymap> SessionKeymap::Find(const SessionKeymapSettings& settings,
                                                   std::string& error) {
    if (!settings.layoutOverride.empty()) {
        return FromLayout(settings.layoutOverride, "--layout", error);
    }
    std::string passed; // why the places tried did not answer, for the last resort
    auto note = [&passed](const std::string& why) { passed += (passed.empty() ? "" : "; ") + why; };
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != '\0') {
        std::string why;
        if (auto keymap = FromCompositor(why)) {
            return keymap;
        }
        note(why);
    }
    if (!XDisplayName(settings.xDisplay).empty()) {
        std::string why;
        if (auto keymap = FromXServer(settings.xDisplay, why)) {
            return keymap;
        }
        note(why);
    }
    std::string why;
    if (auto keymap = FromConsoleFile(settings.consoleFile, why)) {
        return keymap;
    }
    note(why);
    return FromLayout("us", "the default, as nothing else answered (" + passed + ")", error);
}

std::string SessionKeymap::LayoutName() const {
    const char* name = xkb_keymap_layout_get_name(Keymap(), 0);
    return name != nullptr ? std::string(name) : std::string("?");
}

std::string SessionKeymap::Describe() const {
    return "layout \"" + LayoutName() + "\" (from " + origin_ + ")";
}

std::vector<KeyChord> SessionKeymap::Chords(char32_t character, const KeyboardLocks& locks) const {
    return ChordsForCharacter(*finder_, character, locks);
}

bool SessionKeymap::Follow() {
    if (!source_) {
        return !sourceLost_;
    }
    bool lost = false;
    XkbKeymapPtr keymap = source_->Take(lost);
    if (keymap) {
        finder_ = std::make_unique<KeyChordFinder>(keymap.get());
        ++changes_;
    }
    if (lost) {
        source_.reset();
        sourceLost_ = true;
    }
    return !lost;
}

} // namespace platform
