// Inside the message loop: the posted messages of the thread and its quit request.
// Only platform files include this.
#pragma once

#include <deque>
#include <optional>

#include "platform/core/types.h"

namespace platform {

// Which messages a GetMessageW or PeekMessageW call asks for.
struct MessageFilter {
    HWND window = nullptr; // null: every window and thread messages; (HWND)-1: thread only
    UINT first = 0;
    UINT last = 0; // first and last both 0: every message

    bool MatchesWindow(HWND target) const;
    bool MatchesMessage(UINT message) const;
    bool Matches(const MSG& message) const {
        return MatchesWindow(message.hwnd) && MatchesMessage(message.message);
    }
};

class MessageQueue {
  public:
    static MessageQueue& Instance();

    // False when the queue already holds kPostedMessageLimit messages.
    bool Post(const MSG& message);
    // The oldest message that matches, taken out of the queue when `remove`.
    std::optional<MSG> Take(const MessageFilter& filter, bool remove);

    void RequestQuit(int exitCode);
    // WM_QUIT when a quit was requested, cleared when `remove`.
    std::optional<MSG> TakeQuit(bool remove);
    bool QuitRequested() const { return quitCode_.has_value(); }

    std::size_t Size() const { return messages_.size(); }
    void Clear();

  private:
    std::deque<MSG> messages_;
    std::optional<int> quitCode_;
};

} // namespace platform
