// A device that sends each read as a line of text: a serial barcode scanner, a
// scale, a badge reader. Each input line is one read, framed by the chosen end
// (CR, LF, CR LF, or STX ... ETX) and sent at the line's byte rate; with
// --burst N, N reads go out back to back in one write, as a scanner that buffers
// its reads sends them.
#include <chrono>
#include <cstdio>
#include <string>

#include "mode.h"
#include "platform/core/message_text.h"

namespace sim {
namespace {

// The device's frame: data bits, parity, stop bits. A pseudo-terminal carries
// bytes, not frames (Linux keeps it at 8 bits without parity whatever the
// program sets), so the frame only decides what the eighth bit of a seven-bit
// device's byte holds.
struct Framing {
    unsigned dataBits = 8;
    char parity = 'N';
    unsigned stopBits = 1;
};

bool ParseFraming(std::string_view text, Framing& framing) {
    if (text.size() != 3 || (text[0] != '7' && text[0] != '8') ||
        std::string_view("NEO").find(static_cast<char>(text[1] & ~0x20)) ==
            std::string_view::npos ||
        (text[2] != '1' && text[2] != '2')) {
        return false;
    }
    framing.dataBits = static_cast<unsigned>(text[0] - '0');
    framing.parity = static_cast<char>(text[1] & ~0x20);
    framing.stopBits = static_cast<unsigned>(text[2] - '0');
    return true;
}

// A seven-bit device's byte as an eight-bit receiver sees it: its parity bit
// in the eighth place. A receiver set to seven bits must not take it for data.
char OnTheWire(char byte, const Framing& framing) {
    if (framing.dataBits == 8 || framing.parity == 'N') {
        return byte;
    }
    auto bits = static_cast<unsigned>(byte) & 0x7F;
    unsigned ones = 0;
    for (unsigned b = bits; b != 0; b >>= 1) {
        ones += b & 1;
    }
    bool set = framing.parity == 'E' ? (ones % 2 == 1) : (ones % 2 == 0);
    return static_cast<char>(bits | (set ? 0x80 : 0));
}

class LineMode final : public Mode {
  public:
    const char* Name() const override { return "line"; }
    const char* Summary() const override {
        return "line device (barcode scanner): sends each input line as a read, with its end";
    }
    const char* InputHelp() const override {
        return "one read per line, e.g. 4006381333931\nblank lines are skipped";
    }
    unsigned DefaultBaud() const override { return 9600; }
    std::vector<ModeOption> Options() const override {
        return {{"end", "END", "what ends a read: CR (default), LF, CRLF, or ETX (STX opens it)"},
                {"format", "FRAMING", "data bits, parity, stop bits: 8N1 (default), 7E1, ..."},
                {"burst", "N", "send N reads back to back in one write (default 1)"}};
    }

    bool SetOption(std::string_view name, std::string_view value, std::string& error) override {
        if (name == "end") {
            return SetEnd(value, error);
        }
        if (name == "format") {
            if (!ParseFraming(value, framing_)) {
                error = "--format wants data bits 7 or 8, parity N, E or O, stop bits 1 or 2 "
                        "(as 8N1), not " +
                        platform::QuoteForMessage(value);
                return false;
            }
            return true;
        }
        if (name == "burst") {
            unsigned count = 0;
            for (char c : value) {
                count = c >= '0' && c <= '9' && count < 10000 ? count * 10 + (c - '0') : 0;
            }
            if (value.empty() || count == 0 || count > 10000) {
                error = "--burst wants a count from 1 to 10000, not " +
                        platform::QuoteForMessage(value);
                return false;
            }
            burst_ = count;
            return true;
        }
        return false;
    }

    void OnInputLine(Session& session, std::string_view line) override {
        if (line.empty()) {
            return;
        }
        pending_ += opening_ + std::string(line) + ending_;
        if (++pendingReads_ == 1) {
            due_ = std::chrono::steady_clock::now() + kBurstWait;
        }
        if (pendingReads_ >= burst_) {
            Send(session);
        }
    }

    void OnLineBytes(Session&, std::string_view) override {}

    std::optional<std::chrono::steady_clock::time_point> NextTime() const override {
        if (pendingReads_ == 0) {
            return std::nullopt;
        }
        return due_;
    }
    void OnTime(Session& session) override { Send(session); }

  private:
    // A burst that input does not fill goes out this long after its first read.
    static constexpr std::chrono::milliseconds kBurstWait{100};

    bool SetEnd(std::string_view value, std::string& error) {
        std::string upper;
        for (char c : value) {
            upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        opening_.clear();
        if (upper == "CR") {
            ending_ = "\r";
        } else if (upper == "LF") {
            ending_ = "\n";
        } else if (upper == "CRLF") {
            ending_ = "\r\n";
        } else if (upper == "ETX") {
            opening_ = "\x02";
            ending_ = "\x03";
        } else {
            error = "--end wants CR, LF, CRLF or ETX, not " + platform::QuoteForMessage(value);
            return false;
        }
        return true;
    }

    void Send(Session& session) {
        std::string bytes;
        for (char c : pending_) {
            bytes += OnTheWire(c, framing_);
        }
        unsigned reads = pendingReads_;
        pending_.clear();
        pendingReads_ = 0;
        LineSettings settings = session.line.ReadSettings();
        if (!session.LineMatches(settings, reads == 1 ? "read" : "burst")) {
            return;
        }
        std::chrono::steady_clock::time_point last;
        std::string error;
        if (!session.line.WritePaced(bytes, settings, last, error)) {
            session.Warn(error);
            return;
        }
        char report[128];
        std::snprintf(report, sizeof report, "%u read%s sent: %zu bytes at %u baud, last at %.6f",
                      reads, reads == 1 ? "" : "s", bytes.size(), settings.baud,
                      std::chrono::duration<double>(last.time_since_epoch()).count());
        session.Report(report);
    }

    Framing framing_;
    std::string opening_;
    std::string ending_ = "\r";
    unsigned burst_ = 1;
    std::string pending_;
    unsigned pendingReads_ = 0;
    std::chrono::steady_clock::time_point due_;
};

} // namespace

std::unique_ptr<Mode> MakeLineMode() {
    return std::make_unique<LineMode>();
}

} // namespace sim
