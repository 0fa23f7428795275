// mutter's seat as a Wayland client of its own sees it: whether the seat has a
// keyboard, and the keymap mutter types with.
//
// A keysym handed to mutter's remote desktop becomes the first key, in the
// order of key codes, that holds it in the layout in effect; Shift or the
// level-three key is pressed with it for the second and third level, and a
// keysym no key holds is dropped with a log line. The keymap is the one mutter
// gives every Wayland client (wl_keyboard.keymap), so the sink reads it there to
// know beforehand what mutter can type.
//
// A seat with no keyboard at all (a headless mutter, a desktop with no keyboard
// plugged in) gets one only when the first key of a remote-desktop session
// arrives; clients then bind it and are sent the keymap. Until then there is
// no keymap, and keys sent before the clients have bound the keyboard reach
// nobody.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <xkbcommon/xkbcommon.h>

#include "platform/keyboard/xkb/wayland_connection.h"
#include "platform/keyboard/xkb/xkb_keymap.h"

namespace platform {

class MutterSeat {
  public:
    // Connects to the compositor and reads what its first seat offers; nullptr
    // with `error` set when there is no compositor or it has no seat.
    static std::unique_ptr<MutterSeat> Connect(std::string& error);
    ~MutterSeat();
    MutterSeat(const MutterSeat&) = delete;
    MutterSeat& operator=(const MutterSeat&) = delete;

    bool HasKeyboard() const { return keyboard_ != nullptr; }
    // The keymap mutter last sent; nullptr while the seat has had no keyboard.
    xkb_keymap* Keymap() const { return keymap_.get(); }
    int Descriptor() const { return lost_ ? -1 : wl_display_get_fd(display_.get()); }
    bool Lost() const { return lost_; }

    // Reads what mutter said without waiting; false once the connection is gone.
    bool Dispatch();
    // Waits until the seat has a keyboard and its keymap has come; false when
    // `limit` runs out or the connection is gone.
    bool WaitForKeymap(std::chrono::milliseconds limit);

  private:
    MutterSeat() = default;
    static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                         uint32_t version);
    static void OnCapabilities(void* data, wl_seat* seat, uint32_t capabilities);
    static void OnKeymap(void* data, wl_keyboard* keyboard, uint32_t format, int32_t fd,
                         uint32_t size);

    WaylandDisplayPtr display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    XkbContextPtr context_;
    XkbKeymapPtr keymap_;
    bool lost_ = false;
};

// Whether mutter's remote desktop types `keysym` as itself with `keymap`: the
// first key holding it in `layout` does so on the first level, or on the second
// or third with a Shift or level-three key in the layout to reach it.
bool MutterTypes(xkb_keymap* keymap, xkb_layout_index_t layout, xkb_keysym_t keysym);

} // namespace platform
