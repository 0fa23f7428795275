// SIGINT, SIGTERM and SIGHUP (the terminal it was started from closed) end the
// program the orderly way, as the "Exit" command does; SIGUSR1 reopens the
// event log, for logrotate. Their handlers pass them through a pipe that the
// message loop waits on, so their work runs on the program's one thread between
// messages. No signal is blocked: a mask would pass to every process the program
// or its libraries start. SIGPIPE never ends it: a write to a pipe whose reader
// went away fails instead, and the writer says so and goes on; a child made by
// fork() gets SIGPIPE back at its default.
#pragma once

#include <functional>
#include <string>

namespace host {

// Calls `onSignal` from the message loop when SIGINT, SIGTERM or SIGHUP arrives.
// False with `error` set when the pipe or a handler cannot be made.
bool HandleEndingSignals(std::function<void(int signal)> onSignal, std::string& error);

// Calls `onReopen` from the message loop when SIGUSR1 arrives.
bool HandleReopenSignal(std::function<void()> onReopen, std::string& error);

// Makes writes to a pipe without a reader fail with EPIPE instead of ending the
// program. Called first thing at start-up.
void IgnoreBrokenPipes();

} // namespace host
