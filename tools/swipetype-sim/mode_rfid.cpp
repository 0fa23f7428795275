// An RFID tag reader: answers each request frame with a reply frame carrying the
// number of the tag that is presented; with no tag presented, with a short reply
// whose status says so (BD 04 01 01 C), as a reader that is there does.
//
// Request: BA 02 01 B9 (header, length of what follows, command "read tag", check).
// Reply:   BD L 01 00 <tag> C, where L counts the bytes after the header up to and
//          including C (8 for a 4-byte tag, 11 for a 7-byte one), 01 is the command
//          answered, 00 the status "success", and C the exclusive-or of every byte
//          before it.
#include <cctype>
#include <chrono>
#include <optional>

#include "mode.h"
#include "platform/core/message_text.h"

namespace sim {
namespace {

constexpr unsigned char kRequestHeader = 0xBA;
constexpr unsigned char kReplyHeader = 0xBD;
constexpr unsigned char kReadTagCommand = 0x01;
constexpr unsigned char kStatusSuccess = 0x00;
constexpr unsigned char kStatusNoTag = 0x01;
// A request whose bytes stop coming for this long is dropped, as a reader forgets
// a frame that was never finished.
constexpr std::chrono::milliseconds kFrameGap{100};

unsigned char Check(std::string_view bytes) {
    unsigned char check = 0;
    for (char byte : bytes) {
        check ^= static_cast<unsigned char>(byte);
    }
    return check;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// "04A1226B1C5F80", "0A 1B C2 03", "0a:1b:c2:03": 4 or 7 bytes. "none", "-" or an
// empty text: no tag. Anything else: nothing (the caller reports it).
std::optional<std::string> ParseTag(std::string_view text, bool& none) {
    none = text.empty() || text == "-" || text == "none";
    if (none) {
        return std::string();
    }
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == '\t') {
            continue;
        }
        if (HexValue(c) < 0) {
            return std::nullopt;
        }
        digits += c;
    }
    if (digits.size() != 8 && digits.size() != 14) {
        return std::nullopt;
    }
    std::string tag;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        tag += static_cast<char>(HexValue(digits[i]) * 16 + HexValue(digits[i + 1]));
    }
    return tag;
}

std::string HexText(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (char byte : bytes) {
        auto value = static_cast<unsigned char>(byte);
        text += digits[value >> 4];
        text += digits[value & 15];
    }
    return text;
}

class RfidMode final : public Mode {
  public:
    const char* Name() const override { return "rfid"; }
    const char* Summary() const override {
        return "RFID tag reader: answers each request with the tag presented";
    }
    const char* InputHelp() const override {
        return "the tag to present from now on: 8 or 14 hexadecimal digits (4 or 7 bytes,\n"
               "spaces or colons allowed), or \"none\" or \"-\" to take it away";
    }
    unsigned DefaultBaud() const override { return 19200; }
    std::vector<ModeOption> Options() const override {
        return {{"tag", "HEX", "present this tag from the start (default: none)"}};
    }

    bool SetOption(std::string_view name, std::string_view value, std::string& error) override {
        if (name != "tag") {
            return false;
        }
        bool none = false;
        std::optional<std::string> tag = ParseTag(value, none);
        if (!tag) {
            error =
                "--tag wants 8 or 14 hexadecimal digits, not " + platform::QuoteForMessage(value);
            return false;
        }
        tag_ = *tag;
        return true;
    }

    bool Start(Session& session) override {
        session.Report(tag_.empty() ? "no tag presented" : "tag presented: " + HexText(tag_));
        return true;
    }

    void OnInputLine(Session& session, std::string_view line) override {
        bool none = false;
        std::optional<std::string> tag = ParseTag(line, none);
        if (!tag) {
            session.Warn("not a tag (8 or 14 hexadecimal digits, or \"none\"): \"" +
                         std::string(line) + "\"");
            return;
        }
        tag_ = *tag;
        session.Report(tag_.empty() ? "tag taken away" : "tag presented: " + HexText(tag_));
    }

    void OnLineBytes(Session& session, std::string_view bytes) override {
        auto now = std::chrono::steady_clock::now();
        if (!pending_.empty() && now - lastByte_ > kFrameGap) {
            pending_.clear();
        }
        lastByte_ = now;
        pending_ += bytes;
        while (std::optional<std::string> frame = TakeFrame()) {
            Answer(session, *frame);
        }
    }

  private:
    // The next whole, valid frame at the front of the pending bytes; bytes that
    // cannot start one are dropped, a frame still arriving stays.
    std::optional<std::string> TakeFrame() {
        while (!pending_.empty()) {
            if (static_cast<unsigned char>(pending_[0]) != kRequestHeader) {
                pending_.erase(0, 1);
                continue;
            }
            if (pending_.size() < 2) {
                return std::nullopt;
            }
            std::size_t length = static_cast<unsigned char>(pending_[1]);
            if (length < 2) {
                pending_.erase(0, 1);
                continue;
            }
            if (pending_.size() < 2 + length) {
                return std::nullopt;
            }
            std::string frame = pending_.substr(0, 2 + length);
            if (Check(std::string_view(frame).substr(0, frame.size() - 1)) !=
                static_cast<unsigned char>(frame.back())) {
                pending_.erase(0, 1);
                continue;
            }
            pending_.erase(0, frame.size());
            return frame;
        }
        return std::nullopt;
    }

    void Answer(Session& session, const std::string& frame) {
        if (frame.size() != 4 || static_cast<unsigned char>(frame[2]) != kReadTagCommand) {
            session.Report("request with an unknown command ignored");
            return;
        }
        LineSettings settings = session.line.ReadSettings();
        if (!session.LineMatches(settings, "request")) {
            return;
        }
        std::string reply;
        reply += static_cast<char>(kReplyHeader);
        reply += static_cast<char>(tag_.size() + 4);
        reply += static_cast<char>(kReadTagCommand);
        reply += static_cast<char>(tag_.empty() ? kStatusNoTag : kStatusSuccess);
        reply += tag_;
        reply += static_cast<char>(Check(reply));
        std::chrono::steady_clock::time_point last;
        std::string error;
        if (!session.line.WritePaced(reply, settings, last, error)) {
            session.Warn(error);
        }
    }

    std::string tag_;
    std::string pending_;
    std::chrono::steady_clock::time_point lastByte_;
};

} // namespace

std::unique_ptr<Mode> MakeRfidMode() {
    return std::make_unique<RfidMode>();
}

} // namespace sim
