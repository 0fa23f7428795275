// A sink whose display or device can go away (the X server ends and starts
// again, the Wayland compositor is restarted, the uinput device goes) is held
// by a keeper, which stands in for it as the active sink:
//
//   typing --(the sink says it is lost, while typing or from its descriptor)-->
//   waiting: said once; events are dropped, and the reads they belong to are
//            counted (one read is the events posted between two waits of the
//            message loop); a new sink is made at most once a second, from a
//            timer descriptor in the loop's wait, so nothing runs in between
//   --(a new sink is made)--> typing: said, with the count of dropped reads
//
// Reads made while no sink works are never typed later: card data typed into
// whatever has the focus minutes later is worse than none.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/keyboard/key_sink.h"

namespace platform {

// Makes the sink again; nullptr with `error` set while it cannot.
using KeySinkRemaker = std::function<std::unique_ptr<KeySink>(std::string& error)>;

// Keeps `sink`, remaking it with `remake` after it is lost.
std::unique_ptr<KeySink> KeepKeySink(std::unique_ptr<KeySink> sink, KeySinkRemaker remake);

} // namespace platform
