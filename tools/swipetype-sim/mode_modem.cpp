// A Hayes-style modem. It follows whatever rate the program sets (as a modem's
// automatic rate detection does) unless --baud fixes one, and has three states:
//
//        "ATD..." CR              result CONNECT
//   command ---------> dialling ----------------> online
//      ^  ^               |  result BUSY, NO         |  guard, "+++", guard: OK
//      |  |               |  DIALTONE, NO CARRIER,   |  (the call stays up; ATO goes
//      |  +---------------+  or any byte (aborts)    v   back online, ATH hangs up)
//      +------------------------------------------ command
//
// In the command state every byte is echoed while echo is on (ATE1, the default),
// and a line that starts with "AT" and ends with CR is carried out: OK when every
// command in it was understood, ERROR otherwise. Results are verbal (ATV1, CR LF
// around the text), numeric (ATV0, the code and CR) or left out (ATQ1). Online,
// the bytes go to the far end (which drops them) and only the escape is watched
// for: "+++" with at least the guard time of silence before it and after it.
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>

#include "mode.h"
#include "platform/core/message_text.h"

namespace sim {
namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Guard time by default: register S12 at 50, in fiftieths of a second.
constexpr milliseconds kDefaultGuardTime{1000};
constexpr std::size_t kLongestCommandLine = 255;
// Registers the modem keeps: S2 escape character, S3 end of line, S4 line feed,
// S5 backspace, S12 guard time in fiftieths of a second.
constexpr int kEscapeRegister = 2;
constexpr int kEndOfLineRegister = 3;
constexpr int kLineFeedRegister = 4;
constexpr int kBackspaceRegister = 5;
constexpr int kGuardRegister = 12;

enum class CallResult { Connect, Busy, NoDialtone, NoCarrier, Silent };

struct CallResultName {
    const char* name;
    CallResult result;
};

constexpr CallResultName kCallResults[] = {
    {"connect", CallResult::Connect},        {"busy", CallResult::Busy},
    {"no-dialtone", CallResult::NoDialtone}, {"no-carrier", CallResult::NoCarrier},
    {"silent", CallResult::Silent},
};

std::optional<CallResult> ParseCallResult(std::string_view text) {
    for (const CallResultName& entry : kCallResults) {
        if (text == entry.name) {
            return entry.result;
        }
    }
    return std::nullopt;
}

const char* CallResultText(CallResult result) {
    for (const CallResultName& entry : kCallResults) {
        if (entry.result == result) {
            return entry.name;
        }
    }
    return "?";
}

// A speed from 1 to 4000000 bits per second.
bool ParseSpeed(std::string_view text, unsigned& speed) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), speed);
    return error == std::errc() && end == text.data() + text.size() && speed >= 1 &&
           speed <= 4000000;
}

// The result codes, verbal and numeric. A CONNECT at any speed is numeric 1.
struct ResultCode {
    const char* text;
    int number;
};
constexpr ResultCode kOk{"OK", 0};
constexpr ResultCode kConnect{"CONNECT", 1};
constexpr ResultCode kNoCarrier{"NO CARRIER", 3};
constexpr ResultCode kError{"ERROR", 4};
constexpr ResultCode kNoDialtone{"NO DIALTONE", 6};
constexpr ResultCode kBusy{"BUSY", 7};
// Reported before CONNECT with --carrier; it has no numeric code.
constexpr ResultCode kCarrier{"CARRIER", -1};

// What the command line chose; ATZ and AT&F go back to it.
struct Defaults {
    CallResult callResult = CallResult::Connect;
    std::optional<unsigned> speed; // none: the line's rate
    bool speedShown = true;        // false: a plain CONNECT
    std::optional<unsigned> carrier;
    milliseconds guardTime = kDefaultGuardTime;
    milliseconds dialTime{0};
};

class ModemMode final : public Mode {
  public:
    ModemMode() { Reset(); }

    const char* Name() const override { return "modem"; }
    const char* Summary() const override {
        return "Hayes-style modem: AT commands, dialling, the +++ escape";
    }
    const char* InputHelp() const override {
        return "connect [SPEED], busy, no-dialtone, no-carrier, silent: how the next dial ends\n"
               "hangup: the far end hangs up (NO CARRIER)\n"
               "data TEXT: the far end sends TEXT and a CR (while the call is up)";
    }
    unsigned DefaultBaud() const override { return 0; }
    const char* Details() const override {
        return "The modem starts in the command state. It echoes what it is sent (ATE0 stops\n"
               "that, ATE1 turns it back on) and carries out each line that starts with AT and\n"
               "ends with CR: OK, or ERROR for a command it does not know. Verbal results by\n"
               "default; ATV0 numeric, ATQ1 none. It knows E, V, Q, Z (reset to the start),\n"
               "H (hang up), O (back online), D[T|P]number (dial), M, L, X, Sn=v, Sn?, &F,\n"
               "&C, &D. After CONNECT it is online: what it is sent goes to the far end, and\n"
               "\"+++\" with the guard time of silence before and after it brings it back to\n"
               "the command state (OK) with the call still up. A byte sent while a dial is\n"
               "under way aborts it (NO CARRIER).";
    }
    std::vector<ModeOption> Options() const override {
        return {
            {"dial-result", "RESULT",
             "how a dial ends: connect (default), busy, no-dialtone,\n"
             "no-carrier, or silent (no result until a byte aborts it)"},
            {"speed", "N|none",
             "the speed after CONNECT (default: the line's rate);\n"
             "none: a plain CONNECT"},
            {"carrier", "N", "report CARRIER N before CONNECT"},
            {"guard-time", "MS",
             "silence needed before and after +++ (default 1000;\n"
             "ATS12=n sets n fiftieths of a second)"},
            {"dial-time", "MS", "time from the dial command to its result (default 0)"},
        };
    }

    bool SetOption(std::string_view name, std::string_view value, std::string& error) override;
    bool Start(Session& session) override;
    void OnInputLine(Session& session, std::string_view line) override;
    void OnLineBytes(Session& session, std::string_view bytes) override;
    std::optional<SteadyClock::time_point> NextTime() const override;
    void OnTime(Session& session) override;

  private:
    enum class State { Command, Dialling, Online };

    void Reset();
    void CommandByte(Session& session, char byte);
    void OnlineByte(char byte, SteadyClock::time_point now);
    void Execute(Session& session, std::string_view commands);
    // Carries out the command at `commands[at]` and moves past it; false for one
    // that is not understood. `answered` is set when a result other than OK
    // (or no result yet) follows.
    bool ExecuteOne(Session& session, std::string_view commands, std::size_t& at, bool& answered);
    bool Register(Session& session, std::string_view commands, std::size_t& at);
    bool ExecuteAmpersand(std::string_view commands, std::size_t& at);
    void StartDial(Session& session, std::string_view dialString);
    void FinishDial(Session& session);
    void GoOnline(Session& session);
    void EndCall(Session& session, const char* why);
    void Send(Session& session, std::string_view bytes);
    void Result(Session& session, const ResultCode& code, std::string_view tail = {});
    unsigned ConnectSpeed(Session& session) const;
    milliseconds GuardTime() const { return guardTime_; }

    Defaults defaults_;
    State state_ = State::Command;
    bool callUp_ = false;
    bool echo_ = true;
    bool verbal_ = true;
    bool quiet_ = false;
    std::array<unsigned, 256> registers_{};
    milliseconds guardTime_ = kDefaultGuardTime; // S12 in milliseconds
    // The command line being collected, after its "AT".
    bool sawA_ = false;
    bool collecting_ = false;
    bool tooLong_ = false;
    std::string line_;
    // Dialling: the result is due at dialDue_ (none for a dial that never ends).
    std::optional<SteadyClock::time_point> dialDue_;
    bool dialStarted_ = false;
    // Online: the escape. The first "+" needs the guard time of silence before it.
    SteadyClock::time_point lastByte_;
    int escapeCount_ = 0;
    std::optional<SteadyClock::time_point> escapeDue_;
};

bool ModemMode::SetOption(std::string_view name, std::string_view value, std::string& error) {
    std::string text(value);
    if (name == "dial-result") {
        std::optional<CallResult> result = ParseCallResult(value);
        if (!result) {
            error = "--dial-result wants connect, busy, no-dialtone, no-carrier or silent, not " +
                    platform::QuoteForMessage(text);
            return false;
        }
        defaults_.callResult = *result;
    } else if (name == "speed") {
        unsigned speed = 0;
        if (value == "none") {
            defaults_.speedShown = false;
        } else if (ParseSpeed(value, speed)) {
            defaults_.speed = speed;
            defaults_.speedShown = true;
        } else {
            error = "--speed wants a speed from 1 to 4000000 or \"none\", not " +
                    platform::QuoteForMessage(text);
            return false;
        }
    } else if (name == "carrier") {
        unsigned speed = 0;
        if (!ParseSpeed(value, speed)) {
            error =
                "--carrier wants a speed from 1 to 4000000, not " + platform::QuoteForMessage(text);
            return false;
        }
        defaults_.carrier = speed;
    } else if (name == "guard-time" || name == "dial-time") {
        unsigned time = 0;
        auto [end, result] = std::from_chars(value.data(), value.data() + value.size(), time);
        if (result != std::errc() || end != value.data() + value.size() || time > 60000) {
            error = "--" + std::string(name) + " wants milliseconds from 0 to 60000, not " +
                    platform::QuoteForMessage(text);
            return false;
        }
        (name == "guard-time" ? defaults_.guardTime : defaults_.dialTime) = milliseconds(time);
    } else {
        return false;
    }
    Reset();
    return true;
}

void ModemMode::Reset() {
    echo_ = true;
    verbal_ = true;
    quiet_ = false;
    registers_.fill(0);
    registers_[kEscapeRegister] = '+';
    registers_[kEndOfLineRegister] = '\r';
    registers_[kLineFeedRegister] = '\n';
    registers_[kBackspaceRegister] = 8;
    guardTime_ = defaults_.guardTime;
    registers_[kGuardRegister] =
        static_cast<unsigned>(std::min<long long>(guardTime_.count() / 20, 255));
}

bool ModemMode::Start(Session& session) {
    std::string report =
        std::string("modem ready; a dial ends with ") + CallResultText(defaults_.callResult);
    session.Report(report);
    return true;
}

void ModemMode::OnInputLine(Session& session, std::string_view line) {
    if (line.empty()) {
        return;
    }
    std::string_view word = line.substr(0, line.find(' '));
    std::string_view rest =
        word.size() < line.size() ? line.substr(word.size() + 1) : std::string_view{};
    if (std::optional<CallResult> result = ParseCallResult(word)) {
        unsigned speed = 0;
        if (!rest.empty() && !(*result == CallResult::Connect && ParseSpeed(rest, speed))) {
            session.Warn("not understood: \"" + std::string(line) + "\"");
            return;
        }
        defaults_.callResult = *result;
        if (speed != 0) {
            defaults_.speed = speed;
            defaults_.speedShown = true;
        }
        session.Report(std::string("a dial now ends with ") + CallResultText(*result));
    } else if (line == "hangup") {
        if (!callUp_) {
            session.Warn("no call to hang up");
            return;
        }
        EndCall(session, "the far end hung up");
        Result(session, kNoCarrier);
    } else if (word == "data") {
        if (state_ != State::Online) {
            session.Warn("no call online: data not sent");
            return;
        }
        Send(session, std::string(rest) + "\r");
    } else {
        session.Warn("not understood: \"" + std::string(line) +
                     "\" (connect, busy, no-dialtone, no-carrier, silent, hangup, data)");
    }
}

void ModemMode::OnLineBytes(Session& session, std::string_view bytes) {
    if (!session.LineMatches(session.line.ReadSettings(), "command")) {
        return;
    }
    auto now = SteadyClock::now();
    for (char byte : bytes) {
        switch (state_) {
        case State::Command:
            CommandByte(session, byte);
            break;
        case State::Dialling:
            // A byte right after the dial command's CR may be its line feed.
            if (!(byte == static_cast<char>(registers_[kLineFeedRegister]) && !dialStarted_)) {
                EndCall(session, "dial aborted by a byte from the program");
                Result(session, kNoCarrier);
            }
            dialStarted_ = true;
            break;
        case State::Online:
            OnlineByte(byte, now);
            break;
        }
    }
}

std::optional<SteadyClock::time_point> ModemMode::NextTime() const {
    if (state_ == State::Dialling) {
        return dialDue_;
    }
    if (state_ == State::Online) {
        return escapeDue_;
    }
    return std::nullopt;
}

void ModemMode::OnTime(Session& session) {
    if (state_ == State::Dialling) {
        FinishDial(session);
    } else if (state_ == State::Online && escapeDue_) {
        escapeDue_.reset();
        escapeCount_ = 0;
        state_ = State::Command;
        sawA_ = false;
        collecting_ = false;
        session.Report("escape: command state, the call stays up");
        Result(session, kOk);
    }
}

void ModemMode::CommandByte(Session& session, char byte) {
    if (echo_) {
        Send(session, std::string_view(&byte, 1));
    }
    char upper = static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte);
    if (!collecting_) {
        collecting_ = sawA_ && upper == 'T';
        sawA_ = upper == 'A';
        line_.clear();
        tooLong_ = false;
        return;
    }
    if (byte == static_cast<char>(registers_[kEndOfLineRegister])) {
        collecting_ = false;
        sawA_ = false;
        if (tooLong_) {
            Result(session, kError);
        } else {
            Execute(session, line_);
        }
    } else if (byte == static_cast<char>(registers_[kBackspaceRegister])) {
        if (!line_.empty()) {
            line_.pop_back();
        }
    } else if (byte == static_cast<char>(registers_[kLineFeedRegister])) {
        // A line feed inside a command line means nothing.
    } else if (line_.size() < kLongestCommandLine) {
        line_ += byte;
    } else {
        tooLong_ = true;
    }
}

void ModemMode::OnlineByte(char byte, SteadyClock::time_point now) {
    bool plus = byte == static_cast<char>(registers_[kEscapeRegister]);
    bool quietBefore = now - lastByte_ >= GuardTime();
    lastByte_ = now;
    if (plus && escapeCount_ < 3 && (escapeCount_ > 0 || quietBefore)) {
        escapeCount_++;
        if (escapeCount_ == 3) {
            escapeDue_ = now + GuardTime();
        }
        return;
    }
    // Anything else, a fourth "+" or a byte within the guard time after the third
    // is data: the escape is off.
    escapeCount_ = 0;
    escapeDue_.reset();
}

void ModemMode::Execute(Session& session, std::string_view commands) {
    session.Report("command: AT" + std::string(commands));
    bool answered = false;
    std::size_t at = 0;
    while (at < commands.size() && !answered) {
        if (commands[at] == ' ') {
            at++;
            continue;
        }
        if (!ExecuteOne(session, commands, at, answered)) {
            Result(session, kError);
            return;
        }
    }
    if (!answered) {
        Result(session, kOk);
    }
}

// The value after a command letter: up to three digits, 0 when there are none.
char UpperCase(char c) {
    return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

unsigned Number(std::string_view commands, std::size_t& at) {
    unsigned value = 0;
    std::size_t start = at;
    while (at < commands.size() && commands[at] >= '0' && commands[at] <= '9' && at - start < 3) {
        value = value * 10 + static_cast<unsigned>(commands[at] - '0');
        at++;
    }
    return value;
}

// E, V and Q take 0 or 1; any other value is refused and changes nothing.
bool SetFlag(bool& flag, unsigned value) {
    if (value > 1) {
        return false;
    }
    flag = value == 1;
    return true;
}

// An "&" command: &F restores the defaults; &C and &D are taken and ignored.
bool ModemMode::ExecuteAmpersand(std::string_view commands, std::size_t& at) {
    char what = UpperCase(at < commands.size() ? commands[at++] : '\0');
    unsigned value = Number(commands, at);
    if (what == 'F' && value == 0) {
        Reset();
        return true;
    }
    return (what == 'C' && value <= 1) || (what == 'D' && value <= 3);
}

bool ModemMode::ExecuteOne(Session& session, std::string_view commands, std::size_t& at,
                           bool& answered) {
    char command = UpperCase(commands[at++]);
    if (command == 'D') {
        if (callUp_) {
            return false;
        }
        StartDial(session, commands.substr(at));
        at = commands.size();
        answered = true;
        return true;
    }
    if (command == 'S') {
        return Register(session, commands, at);
    }
    if (command == '&') {
        return ExecuteAmpersand(commands, at);
    }
    unsigned value = Number(commands, at);
    switch (command) {
    case 'E':
        return SetFlag(echo_, value);
    case 'V':
        return SetFlag(verbal_, value);
    case 'Q':
        return SetFlag(quiet_, value);
    case 'Z':
        if (callUp_) {
            EndCall(session, "reset");
        }
        Reset();
        at = commands.size(); // the rest of the line is not carried out
        return value == 0;
    case 'H':
        if (value == 0 && callUp_) {
            EndCall(session, "hung up");
        }
        return value <= 1;
    case 'O':
        if (value != 0) {
            return false;
        }
        if (!callUp_) {
            Result(session, kNoCarrier);
        } else {
            GoOnline(session);
        }
        answered = true;
        return true;
    case 'M':
    case 'L':
        return value <= 3;
    case 'X':
        return value <= 4;
    default:
        return false;
    }
}

// "Sn=v" sets register n, "Sn?" shows it.
bool ModemMode::Register(Session& session, std::string_view commands, std::size_t& at) {
    std::size_t start = at;
    unsigned index = Number(commands, at);
    if (at == start || index >= registers_.size() || at >= commands.size()) {
        return false;
    }
    char what = commands[at++];
    if (what == '?') {
        char text[8];
        std::snprintf(text, sizeof text, "%03u", registers_[index]);
        Send(session, verbal_ ? "\r\n" + std::string(text) + "\r\n" : std::string(text) + "\r");
        return true;
    }
    if (what != '=') {
        return false;
    }
    unsigned value = Number(commands, at);
    if (value > 255) {
        return false;
    }
    registers_[index] = value;
    if (index == kGuardRegister) {
        guardTime_ = milliseconds(value * 20);
    }
    return true;
}

void ModemMode::StartDial(Session& session, std::string_view dialString) {
    std::string_view method = "default";
    if (!dialString.empty() && (dialString[0] == 'T' || dialString[0] == 't')) {
        method = "tone";
        dialString.remove_prefix(1);
    } else if (!dialString.empty() && (dialString[0] == 'P' || dialString[0] == 'p')) {
        method = "pulse";
        dialString.remove_prefix(1);
    }
    session.Report("dialling \"" + std::string(dialString) + "\" by " + std::string(method) +
                   "; the call ends with " + CallResultText(defaults_.callResult));
    state_ = State::Dialling;
    dialStarted_ = false;
    if (defaults_.callResult == CallResult::Silent) {
        dialDue_.reset();
    } else {
        dialDue_ = SteadyClock::now() + defaults_.dialTime;
    }
}

// " 9600": built without operator+ on a literal, which GCC 12 at -O3 wrongly
// reports as an overlapping copy (-Wrestrict).
std::string SpaceThen(unsigned number) {
    std::string text = std::to_string(number);
    text.insert(text.begin(), ' ');
    return text;
}

void ModemMode::FinishDial(Session& session) {
    dialDue_.reset();
    state_ = State::Command;
    switch (defaults_.callResult) {
    case CallResult::Connect:
        callUp_ = true;
        if (defaults_.carrier && verbal_) {
            Result(session, kCarrier, SpaceThen(*defaults_.carrier));
        }
        GoOnline(session);
        return;
    case CallResult::Busy:
        Result(session, kBusy);
        break;
    case CallResult::NoDialtone:
        Result(session, kNoDialtone);
        break;
    case CallResult::NoCarrier:
    case CallResult::Silent:
        Result(session, kNoCarrier);
        break;
    }
    session.Report(std::string("dial ended: ") + CallResultText(defaults_.callResult));
}

void ModemMode::GoOnline(Session& session) {
    unsigned speed = ConnectSpeed(session);
    Result(session, kConnect, speed != 0 ? SpaceThen(speed) : std::string());
    state_ = State::Online;
    escapeCount_ = 0;
    escapeDue_.reset();
    lastByte_ = SteadyClock::now();
    session.Report(speed != 0 ? "online at " + std::to_string(speed) : std::string("online"));
}

void ModemMode::EndCall(Session& session, const char* why) {
    if (callUp_ || state_ == State::Dialling) {
        session.Report(std::string("call ended: ") + why);
    }
    callUp_ = false;
    state_ = State::Command;
    dialDue_.reset();
    escapeDue_.reset();
    escapeCount_ = 0;
    sawA_ = false;
    collecting_ = false;
}

unsigned ModemMode::ConnectSpeed(Session& session) const {
    if (!defaults_.speedShown) {
        return 0;
    }
    return defaults_.speed ? *defaults_.speed : session.line.ReadSettings().baud;
}

void ModemMode::Send(Session& session, std::string_view bytes) {
    std::chrono::steady_clock::time_point last;
    std::string error;
    if (!session.line.WritePaced(bytes, session.line.ReadSettings(), last, error)) {
        session.Warn(error);
    }
}

void ModemMode::Result(Session& session, const ResultCode& code, std::string_view tail) {
    if (quiet_) {
        return;
    }
    if (verbal_) {
        Send(session, "\r\n" + std::string(code.text) + std::string(tail) + "\r\n");
    } else if (code.number >= 0) {
        Send(session, std::to_string(code.number) + "\r");
    }
}

} // namespace

std::unique_ptr<Mode> MakeModemMode() {
    return std::make_unique<ModemMode>();
}

} // namespace sim
