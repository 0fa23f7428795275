// SIGINT, SIGTERM and SIGHUP (the terminal it was started from closed) end the
// program the orderly way, as the "Exit" command does. The signals are taken
// through a signalfd that the message loop waits on, so the ending runs on the
// program's one thread between messages. SIGPIPE never ends it: a write to a pipe
// whose reader went away fails instead, and the writer says so and goes on.
#pragma once

#include <functional>
#include <string>

namespace host {

// Blocks SIGINT, SIGTERM and SIGHUP and calls `onSignal` from the message loop when one
// arrives. False with `error` set when the descriptor cannot be made.
bool HandleEndingSignals(std::function<void(int signal)> onSignal, std::string& error);

// Makes writes to a pipe without a reader fail with EPIPE instead of ending the
// program. Called first thing at start-up.
void IgnoreBrokenPipes();

} // namespace host
