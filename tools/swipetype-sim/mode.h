// What a simulated device does. Each kind of device is one Mode in a file of its
// own (mode_msr.cpp, mode_rfid.cpp, ...) and one line in the list of modes.cpp; the
// rest of the simulator (options, the pseudo-terminal, the loop) is shared.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pseudo_terminal.h"

namespace sim {

struct ModeOption {
    const char* name;  // without the leading dashes
    const char* value; // placeholder shown in the help, null for a flag
    const char* help;
};

// What every mode may use: the line, the rate the simulated device talks at (0 for
// a device that follows the program's rate), and the report channel (standard error).
struct Session {
    PseudoTerminal& line;
    unsigned deviceBaud;
    bool quiet;

    // One line on standard error, prefixed with the program name, unless quiet.
    void Report(const std::string& text) const;
    // As Report, but always shown.
    void Warn(const std::string& text) const;
    // True when the line runs at the device's rate; else reports that `what` is
    // lost, as a real device's bytes would be unintelligible at another rate.
    bool LineMatches(const LineSettings& settings, const char* what) const;
};

class Mode {
  public:
    virtual ~Mode() = default;

    virtual const char* Name() const = 0;
    virtual const char* Summary() const = 0;
    // What the lines of standard input (or --input) mean, for the help.
    virtual const char* InputHelp() const = 0;
    virtual unsigned DefaultBaud() const = 0;
    virtual std::vector<ModeOption> Options() const { return {}; }
    // More about how the device behaves, for the end of its help; null for none.
    virtual const char* Details() const { return nullptr; }
    // Takes one of Options(); on a bad value returns false with `error` set.
    virtual bool SetOption(std::string_view, std::string_view, std::string&) { return false; }

    // Before the loop starts; false (after a message) ends the simulator.
    virtual bool Start(Session&) { return true; }
    // One line of input, without its line break.
    virtual void OnInputLine(Session& session, std::string_view line) = 0;
    // Bytes the program wrote to the line.
    virtual void OnLineBytes(Session& session, std::string_view bytes) = 0;
    // When the mode next wants OnTime called (steady clock), for what a device does
    // after a delay rather than in answer to bytes; none: nothing is due.
    virtual std::optional<std::chrono::steady_clock::time_point> NextTime() const {
        return std::nullopt;
    }
    virtual void OnTime(Session&) {}
};

// The modes, in the order --help lists them.
std::vector<std::unique_ptr<Mode>> MakeModes();

std::unique_ptr<Mode> MakeMsrMode();
std::unique_ptr<Mode> MakeRfidMode();
std::unique_ptr<Mode> MakeModemMode();
std::unique_ptr<Mode> MakeLineMode();

} // namespace sim
