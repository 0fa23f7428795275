#include "platform/windowing/message_queue.h"

#include <algorithm>

#include "platform/core/system.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"

namespace platform {

namespace {
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
}

bool MessageFilter::MatchesWindow(HWND target) const {
    if (window == nullptr) {
        return true;
    }
    if (window == kThreadMessagesOnly) {
        return target == nullptr;
    }
    return target == window;
}

bool MessageFilter::MatchesMessage(UINT message) const {
    if (first == 0 && last == 0) {
        return true;
    }
    return message >= first && message <= last;
}

MessageQueue& MessageQueue::Instance() {
    static MessageQueue queue;
    return queue;
}

bool MessageQueue::Post(const MSG& message) {
    // A bound, so that a flood of posts (from another process, say) cannot take all
    // memory; the device's queues are bounded too.
    if (messages_.size() >= kPostedMessageLimit) {
        return false;
    }
    messages_.push_back(message);
    return true;
}

std::optional<MSG> MessageQueue::Take(const MessageFilter& filter, bool remove) {
    auto found = std::find_if(messages_.begin(), messages_.end(),
                              [&filter](const MSG& message) { return filter.Matches(message); });
    if (found == messages_.end()) {
        return std::nullopt;
    }
    MSG message = *found;
    if (remove) {
        messages_.erase(found);
    }
    return message;
}

void MessageQueue::RequestQuit(int exitCode) {
    quitCode_ = exitCode;
}

std::optional<MSG> MessageQueue::TakeQuit(bool remove) {
    if (!quitCode_) {
        return std::nullopt;
    }
    MSG message{};
    message.message = WM_QUIT;
    message.wParam = static_cast<WPARAM>(*quitCode_);
    message.time = GetTickCount();
    if (remove) {
        quitCode_.reset();
    }
    return message;
}

void MessageQueue::Clear() {
    messages_.clear();
    quitCode_.reset();
}

} // namespace platform
