#include "platform/core/user_notice.h"

#include <map>
#include <unistd.h>

#include "platform/core/event_log.h"
#include "platform/core/output_queue.h"
#include "platform/core/standard_streams.h"

namespace platform {
namespace {

struct Notices {
    std::map<std::string, std::string> current; // topic -> its cause
    UserNotifier notifier;
};

Notices& State() {
    static Notices notices;
    return notices;
}

void Show(const std::string& sentence) {
    WriteEvent("notice", "\"text\":" + JsonString(Utf8ToUtf16(sentence)));
    if (State().notifier) {
        State().notifier(sentence);
        return;
    }
    std::string line =
        JournalPrefix(JournalPriority::Warning) + std::string("swipetype: ") + sentence + "\n";
    (void)WriteWithoutWaiting(STDERR_FILENO, line);
}

} // namespace

void ReportUserNotice(const std::string& topic, const std::string& sentence) {
    std::string& cause = State().current[topic];
    if (cause == sentence) {
        return;
    }
    cause = sentence;
    Show(sentence);
}

void ClearUserNotice(const std::string& topic) {
    State().current.erase(topic);
}

void SetUserNotifier(UserNotifier notifier) {
    State().notifier = std::move(notifier);
    if (State().notifier) {
        for (const auto& [topic, cause] : State().current) {
            State().notifier(cause);
        }
    }
}

void ForgetUserNotices() {
    State().current.clear();
}

} // namespace platform
