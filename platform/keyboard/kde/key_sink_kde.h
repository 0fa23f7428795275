// The kde key sink: KWin's fake input (org_kde_kwin_fake_input), which KWin
// offers only to a program whose desktop file grants it
// (X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input, its Exec naming the
// program's path). Fake input sends key codes, which KWin turns into characters
// with the session's keymap, so the keys are chosen for that keymap
// (platform/keyboard/xkb/session_keymap.h), or for --layout.
#pragma once

#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

// KWin takes fake key events as fast as they come and sends them on to the
// focused client at once; a client that reads slower than that fills KWin's
// buffer for it and is disconnected ("error in client communication"), losing
// the rest of the read. The sink waits for KWin to have handled its requests
// after this many characters, which bounds how far it runs ahead.
constexpr unsigned int KdeKeysPerRoundTrip = 1;

// The sink, or nullptr with `error` set when the compositor does not offer
// fake input to this program or the layout is unknown.
std::unique_ptr<KeySink> MakeKdeKeySink(const std::string& layout, std::string& error);

namespace key_sink_factories {
// The module's probe (the compositor offers fake input) and factory.
extern const KeySinkFactory kde;
} // namespace key_sink_factories

} // namespace platform
