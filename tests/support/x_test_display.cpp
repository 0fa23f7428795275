#include "support/x_test_display.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <utility>
#include <xkbcommon/xkbcommon.h>

#include "support/spawn.h"

namespace x_test {
namespace {

using test_support::FindProgram;

bool IsModifierKeysym(KeySym keysym) {
    return (keysym >= XK_Shift_L && keysym <= XK_Hyper_R) ||
           (keysym >= XK_ISO_Lock && keysym <= XK_ISO_Level5_Lock) || keysym == XK_Num_Lock;
}

} // namespace

bool XvfbServer::Start(std::string& reason, const std::string& screen, const std::string& display) {
    screen_ = screen;
    return Launch(display, reason);
}

bool XvfbServer::Restart(std::string& reason) {
    Stop();
    return Launch(name_, reason);
}

bool XvfbServer::Launch(const std::string& display, std::string& reason) {
    std::string program;
    if (!FindProgram("Xvfb", program)) {
        reason = "Xvfb is not installed (Debian package xvfb; scripts/install-deps.sh)";
        return false;
    }
    // Xvfb writes its number on standard output (-displayfd 1) once it takes
    // clients; its warnings (xkbcomp's at each layout) would fill a pipe.
    std::vector<std::string> command{program};
    if (!display.empty()) {
        command.push_back(display);
    }
    command.insert(command.end(),
                   {"-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", screen_});
    auto reported = [&] { return process_.Output().find('\n') != std::string::npos; };
    if (!process_.Start(test_support::Quietly(command, "2>/dev/null")) ||
        !test_support::WaitUntil([&] { return reported() || !process_.Running(); },
                                 std::chrono::seconds(10)) ||
        !reported()) {
        Stop();
        reason = "Xvfb did not report a display within 10 s";
        return false;
    }
    name_ = ":" + process_.Output().substr(0, process_.Output().find('\n'));
    return true;
}

void XvfbServer::Stop() {
    process_.Stop(std::chrono::seconds(5));
}

const XvfbServer* SharedXvfb(std::string& reason) {
    static XvfbServer server;
    static std::string failure;
    static bool tried = false;
    if (!tried) {
        tried = true;
        server.Start(failure);
    }
    reason = failure;
    return server.Running() ? &server : nullptr;
}

bool SetServerLayout(const std::string& display, const std::string& layout) {
    std::string command = "setxkbmap -display '" + display + "' '" + layout + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

TextWindow::~TextWindow() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

bool TextWindow::Open(const std::string& display, std::string& reason) {
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) {
        reason = "cannot connect to " + display;
        return false;
    }
    Window root = DefaultRootWindow(display_);
    window_ = XCreateSimpleWindow(display_, root, 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
    XMapWindow(display_, window_);
    XEvent event;
    if (!test_support::WaitUntil(
            [&] { return XCheckTypedWindowEvent(display_, window_, MapNotify, &event) != 0; })) {
        reason = "the test window was not mapped within 5 s";
        return false;
    }
    XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
    XSync(display_, False);
    return true;
}

void TextWindow::Poll() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
            continue;
        }
        if (event.type != KeyPress) {
            continue;
        }
        char bytes[32];
        KeySym keysym = NoSymbol;
        XLookupString(&event.xkey, bytes, sizeof bytes, &keysym, nullptr);
        char32_t character = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(keysym));
        if (character != 0) {
            received_ += character;
        } else if (!IsModifierKeysym(keysym)) {
            ++undecoded_;
        }
    }
}

std::u32string TextWindow::Take(std::size_t count, std::chrono::milliseconds timeLimit) {
    test_support::WaitUntil(
        [&] {
            Poll();
            return received_.size() >= count;
        },
        timeLimit);
    return std::exchange(received_, {});
}

unsigned int TextWindow::LockedModifiers() {
    XkbStateRec state{};
    XkbGetState(display_, XkbUseCoreKbd, &state);
    return state.locked_mods;
}

void TextWindow::SetLockedModifiers(unsigned int mask, bool locked) {
    XkbLockModifiers(display_, XkbUseCoreKbd, mask, locked ? mask : 0);
    XSync(display_, False);
}

bool TextWindow::TapKey(unsigned long keysym) {
    KeyCode key = XKeysymToKeycode(display_, keysym);
    if (key == 0) {
        return false;
    }
    XTestFakeKeyEvent(display_, key, True, CurrentTime);
    XTestFakeKeyEvent(display_, key, False, CurrentTime);
    XSync(display_, False);
    return true;
}

namespace {

template <typename Test> int CountKeycodes(Display* display, Test test) {
    int first = 0;
    int last = 0;
    XDisplayKeycodes(display, &first, &last);
    int perKeycode = 0;
    KeySym* map =
        XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perKeycode);
    int count = 0;
    for (int key = 0; key <= last - first; ++key) {
        if (test(map + static_cast<std::ptrdiff_t>(key) * perKeycode, perKeycode)) {
            ++count;
        }
    }
    XFree(map);
    return count;
}

} // namespace

int TextWindow::KeycodesHolding(unsigned long keysym) {
    return CountKeycodes(display_, [&](const KeySym* symbols, int count) {
        return std::find(symbols, symbols + count, keysym) != symbols + count;
    });
}

int TextWindow::EmptyKeycodes() {
    return CountKeycodes(display_, [](const KeySym* symbols, int count) {
        return std::all_of(symbols, symbols + count,
                           [](KeySym symbol) { return symbol == NoSymbol; });
    });
}

std::string Utf8(const std::u32string& text) {
    std::string bytes;
    for (char32_t c : text) {
        int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        // The lead byte: 0xxxxxxx, 110xxxxx, 1110xxxx or 11110xxx.
        unsigned lead = extra == 0 ? 0 : (0xF0u << (3 - extra)) & 0xFFu;
        bytes += static_cast<char>(lead | (c >> (6 * extra)));
        for (int shift = 6 * (extra - 1); shift >= 0; shift -= 6) {
            bytes += static_cast<char>(0x80 | ((c >> shift) & 0x3F));
        }
    }
    return bytes;
}

} // namespace x_test
