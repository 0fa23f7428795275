#include "platform/keyboard/gnome/mutter_seat.h"

#include <algorithm>
#include <cstring>
#include <poll.h>

#include "platform/keyboard/xkb/session_keymap.h"

namespace platform {
namespace {

void OnGlobalRemove(void*, wl_registry*, uint32_t) {}
void OnSeatName(void*, wl_seat*, const char*) {}
void OnEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void OnLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void OnKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void OnRepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

// The first key (in the order of key codes, as mutter searches) holding
// `keysym` in `layout`, and the level it is on; false when none does.
bool FirstKeyHolding(xkb_keymap* keymap, xkb_layout_index_t layout, xkb_keysym_t keysym,
                     xkb_level_index_t& level) {
    xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(keymap); key < last; ++key) {
        xkb_level_index_t levels = xkb_keymap_num_levels_for_key(keymap, key, layout);
        for (level = 0; level < levels; ++level) {
            const xkb_keysym_t* symbols = nullptr;
            int count = xkb_keymap_key_get_syms_by_level(keymap, key, layout, level, &symbols);
            if (std::find(symbols, symbols + std::max(count, 0), keysym) != symbols + count) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

bool MutterTypes(xkb_keymap* keymap, xkb_layout_index_t layout, xkb_keysym_t keysym) {
    xkb_level_index_t level = 0;
    if (keymap == nullptr || !FirstKeyHolding(keymap, layout, keysym, level)) {
        return false;
    }
    // mutter reaches the second level with Shift, the third with the
    // level-three key, and no other.
    constexpr xkb_keysym_t kLevelKeys[] = {XKB_KEY_Shift_L, XKB_KEY_ISO_Level3_Shift};
    xkb_level_index_t ignored = 0;
    return level == 0 ||
           (level <= 2 && FirstKeyHolding(keymap, layout, kLevelKeys[level - 1], ignored));
}

std::unique_ptr<MutterSeat> MutterSeat::Connect(std::string& error) {
    std::unique_ptr<MutterSeat> seat(new MutterSeat());
    seat->display_ = ConnectToCompositor(error);
    if (!seat->display_) {
        return nullptr;
    }
    static constexpr wl_registry_listener kRegistryListener{OnGlobal, OnGlobalRemove};
    seat->context_ = MakeXkbContext();
    seat->registry_ = wl_display_get_registry(seat->display_.get());
    if (seat->registry_ == nullptr ||
        wl_registry_add_listener(seat->registry_, &kRegistryListener, seat.get()) != 0 ||
        !RoundTrip(seat->display_.get(), std::chrono::milliseconds(2000)) ||
        !RoundTrip(seat->display_.get(), std::chrono::milliseconds(2000))) {
        error = "the Wayland compositor " + CompositorName() + " does not answer";
        return nullptr;
    }
    if (seat->seat_ == nullptr) {
        error = "the Wayland compositor " + CompositorName() + " has no seat";
        return nullptr;
    }
    return seat;
}

MutterSeat::~MutterSeat() {
    if (keyboard_ != nullptr) {
        wl_keyboard_destroy(keyboard_);
    }
    if (seat_ != nullptr) {
        wl_seat_destroy(seat_);
    }
    if (registry_ != nullptr) {
        wl_registry_destroy(registry_);
    }
}

bool MutterSeat::Dispatch() {
    if (!lost_ && !DispatchArrived(display_.get())) {
        lost_ = true;
    }
    return !lost_;
}

bool MutterSeat::WaitForKeymap(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!lost_ && (keyboard_ == nullptr || !keymap_)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        wl_display_flush(display_.get());
        pollfd ready{wl_display_get_fd(display_.get()), POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left.count())) > 0) {
            Dispatch();
        }
    }
    return !lost_;
}

void MutterSeat::OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                          uint32_t version) {
    auto* self = static_cast<MutterSeat*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
        static constexpr wl_seat_listener kSeatListener{OnCapabilities, OnSeatName};
        self->seat_ = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5U)));
        wl_seat_add_listener(self->seat_, &kSeatListener, self);
    }
}

void MutterSeat::OnCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    auto* self = static_cast<MutterSeat*>(data);
    bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
    if (keyboard && self->keyboard_ == nullptr) {
        static constexpr wl_keyboard_listener kKeyboardListener{
            OnKeymap, OnEnter, OnLeave, OnKey, OnModifiers, OnRepeatInfo};
        self->keyboard_ = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(self->keyboard_, &kKeyboardListener, self);
    } else if (!keyboard && self->keyboard_ != nullptr) {
        // The keymap stays: the next keyboard brings the same layout back.
        wl_keyboard_destroy(self->keyboard_);
        self->keyboard_ = nullptr;
    }
}

void MutterSeat::OnKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    auto* self = static_cast<MutterSeat*>(data);
    if (XkbKeymapPtr keymap = KeymapFromCompositor(self->context_.get(), format, fd, size)) {
        self->keymap_ = std::move(keymap);
    }
}

} // namespace platform
