// SIGINT and SIGTERM end the program the orderly way, as the "Exit" command
// does. The signals are taken through a signalfd that the message loop waits
// on, so the ending runs on the program's one thread between messages.
#pragma once

#include <functional>
#include <string>

namespace host {

// Blocks SIGINT and SIGTERM and calls `onSignal` from the message loop when one
// arrives. False with `error` set when the descriptor cannot be made.
bool HandleEndingSignals(std::function<void(int signal)> onSignal, std::string& error);

} // namespace host
