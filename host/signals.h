// SIGINT, SIGTERM and SIGHUP (the terminal it was started from closed) end the
// program the orderly way, as the "Exit" command does; SIGUSR1 reopens the
// event log, for logrotate. The signals are taken through a signalfd that the
// message loop waits on, so their work runs on the program's one thread
// between messages. SIGPIPE never ends it: a write to a pipe
// whose reader went away fails instead, and the writer says so and goes on.
#pragma once

#include <functional>
#include <string>

namespace host {

// Blocks SIGINT, SIGTERM and SIGHUP and calls `onSignal` from the message loop when one
// arrives. False with `error` set when the descriptor cannot be made.
bool HandleEndingSignals(std::function<void(int signal)> onSignal, std::string& error);

// Blocks SIGUSR1 and calls `onReopen` from the message loop when it arrives.
bool HandleReopenSignal(std::function<void()> onReopen, std::string& error);

// Makes writes to a pipe without a reader fail with EPIPE instead of ending the
// program. Called first thing at start-up.
void IgnoreBrokenPipes();

} // namespace host
