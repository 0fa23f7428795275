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

// KWin handles fake key events in the order they come and loses none of them,
// the same key pressed again at once included: it passes each on to the
// focused client before it reads the next request. The sink therefore sends the
// keys of a read without waiting, and asks KWin to confirm it has handled them
// (a round trip) only every this many characters: that keeps the requests KWin
// has not read yet, and the events it has queued for the client, to a few
// kilobytes, and notices a KWin that stopped answering within one such batch.
constexpr unsigned int KdeKeysPerRoundTrip = 64;

// The sink, or nullptr with `error` set when the compositor does not offer
// fake input to this program or the layout is unknown.
std::unique_ptr<KeySink> MakeKdeKeySink(const std::string& layout, std::string& error);

namespace key_sink_factories {
// The module's probe (the compositor offers fake input) and factory.
extern const KeySinkFactory kde;
} // namespace key_sink_factories

} // namespace platform
