#include "platform/keyboard/key_sink.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/core/event_log.h"
#include "platform/core/output_queue.h"
#include "platform/core/system.h"
#include "platform/keyboard/keyboard.h"

namespace platform {
namespace {

std::unique_ptr<KeySink>& Active() {
    static std::unique_ptr<KeySink> sink;
    return sink;
}

bool IsHighSurrogate(UINT unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(UINT unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Prints what each key-down event carries. A character above U+FFFF arrives as
// two events, one per surrogate half; the high half waits for its partner.
class TextKeySink final : public KeySink {
  public:
    explicit TextKeySink(int fd) : fd_(fd) {}
    ~TextKeySink() override {
        if (pendingHigh_ != 0) {
            Write(u"\uFFFD");
        }
    }

    bool Post(const KeyEvent& event) override {
        if ((event.flags & KeyStateDownFlag) == 0 || event.character == 0) {
            return true;
        }
        char16_t unit = static_cast<char16_t>(event.character & 0xFFFF);
        if (pendingHigh_ != 0) {
            char16_t high = pendingHigh_;
            pendingHigh_ = 0;
            if (IsLowSurrogate(unit)) {
                const char16_t pair[] = {high, unit};
                return Write(std::u16string_view(pair, 2));
            }
            Write(u"\uFFFD");
        }
        if (IsHighSurrogate(unit)) {
            pendingHigh_ = unit;
            return true;
        }
        return Write(std::u16string_view(&unit, 1));
    }

    std::string Name() const override { return "text"; }

  private:
    // A reader of standard output that went away (the end of a pipe) or a full
    // disk drops what is typed; that is said once, until writing works again. A
    // reader that is only slow is not waited for (platform/core/output_queue.h).
    bool Write(std::u16string_view text) {
        if (!WriteWithoutWaiting(fd_, Utf16ToUtf8(text))) {
            if (!failing_) {
                failing_ = true;
                DebugLine(std::string("text sink: the output cannot be written (") + ErrorText() +
                          "); typed characters are dropped");
            }
            return false;
        }
        failing_ = false;
        return true;
    }

    int fd_;
    char16_t pendingHigh_ = 0;
    bool failing_ = false;
};

class NullKeySink final : public KeySink {
  public:
    bool Post(const KeyEvent&) override { return true; }
    std::string Name() const override { return "none"; }
};

} // namespace

void SetKeySink(std::unique_ptr<KeySink> sink) {
    Active() = std::move(sink);
}

KeySink* ActiveKeySink() {
    return Active().get();
}

std::unique_ptr<KeySink> MakeTextKeySink(int fd) {
    return std::make_unique<TextKeySink>(fd);
}

std::unique_ptr<KeySink> MakeNullKeySink() {
    return std::make_unique<NullKeySink>();
}

} // namespace platform
