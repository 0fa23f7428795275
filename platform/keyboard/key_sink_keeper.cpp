#include "platform/keyboard/key_sink_keeper.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/timerfd.h>

#include "platform/core/errors.h"
#include "platform/core/read_tally.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/core/user_notice.h"
#include "platform/keyboard/keyboard.h"
#include "platform/loop/wait_source_handle.h"

namespace platform {
namespace {

constexpr auto kLookAgain = std::chrono::seconds(1);
constexpr char kNoticeTopic[] = "keys";

class KeptKeySink final : public KeySink {
  public:
    KeptKeySink(std::unique_ptr<KeySink> sink, KeySinkRemaker remake)
        : sink_(std::move(sink)), remake_(std::move(remake)), name_(sink_->Name()),
          target_(sink_->Target()) {
        Watch();
    }

    ~KeptKeySink() override {
        // The wait sources call into this object: they go first.
        watch_.Remove();
        retry_.Remove();
    }

    bool Post(const KeyEvent& event) override {
        if (sink_ == nullptr) {
            NoteDropped();
            return false;
        }
        bool delivered = sink_->Post(event);
        if (sink_->Lost()) {
            Lose();
            NoteDropped();
            return false;
        }
        if (sink_->WaitEvents() != watch_.Events()) {
            Watch();
        }
        return delivered;
    }

    std::string Name() const override { return name_; }
    std::string Target() const override { return target_; }
    std::optional<std::chrono::system_clock::time_point> LostSince() const override {
        return lostSince_;
    }

    // A lost sink types nothing anyway; its reads are counted as they come.
    bool CanType(char32_t character, std::string& why) override {
        return sink_ == nullptr || sink_->CanType(character, why);
    }

  private:
    // Waits on the sink's descriptor for what it asks for now.
    void Watch() {
        int fd = sink_->EventDescriptor();
        if (fd < 0) {
            watch_.Remove();
            return;
        }
        watch_.Add(fd, sink_->WaitEvents(), [this](int, short ready) {
            sink_->Service(ready);
            // A descriptor at its end would wake every wait from now on.
            if (sink_->Lost() || (ready & (POLLHUP | POLLERR)) != 0) {
                Lose();
            } else if (sink_->WaitEvents() != watch_.Events()) {
                Watch();
            }
        });
    }

    void Lose() {
        watch_.Remove();
        // The lost sink is let go once its successor exists, so that its module
        // stays mapped while the keeper looks for the display again.
        lost_ = std::move(sink_);
        lostSince_ = std::chrono::system_clock::now();
        DebugLine("keys: " + target_ +
                  " is gone; looking for it once a second (reads meanwhile are " + "dropped)");
        ReportUserNotice(kNoticeTopic, "Card reads are not typed: " + target_ +
                                           " is gone. Swipetype types again as soon as it "
                                           "is back.");
        StartLooking();
    }

    void StartLooking() {
        timer_.Reset(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
        auto seconds = std::chrono::duration_cast<std::chrono::seconds>(kLookAgain).count();
        itimerspec every{{seconds, 0}, {seconds, 0}};
        if (!timer_.Valid() || timerfd_settime(timer_.Get(), 0, &every, nullptr) != 0) {
            DebugLine("keys: timerfd_create: " + ErrorText() + "; " + target_ +
                      " is not looked for again");
            timer_.Reset();
            return;
        }
        retry_.Add(timer_.Get(), POLLIN, [this](int fd, short) {
            std::uint64_t expirations = 0;
            (void)!::read(fd, &expirations, sizeof expirations);
            LookAgain();
        });
    }

    void LookAgain() {
        std::string error;
        std::unique_ptr<KeySink> sink = remake_(error);
        if (sink == nullptr) {
            return;
        }
        sink_ = std::move(sink);
        lost_.reset();
        lostSince_.reset();
        retry_.Remove();
        timer_.Reset();
        Watch();
        DebugLine("keys: " + target_ + " is back; " + std::to_string(droppedReads_) +
                  (droppedReads_ == 1 ? " read made while it was gone was dropped"
                                      : " reads made while it was gone were dropped"));
        ClearUserNotice(kNoticeTopic);
        droppedReads_ = 0;
        anyDropped_ = false;
    }

    // One read is typed in one go, between two waits of the message loop.
    void NoteDropped() {
        std::uint64_t wait = WaitCount();
        if (!anyDropped_ || wait != lastDropWait_) {
            ++droppedReads_;
            TallyDroppedRead();
            lastDropWait_ = wait;
            anyDropped_ = true;
        }
    }

    std::unique_ptr<KeySink> sink_; // null while lost
    std::unique_ptr<KeySink> lost_;
    KeySinkRemaker remake_;
    std::string name_;
    std::string target_;
    std::optional<std::chrono::system_clock::time_point> lostSince_;
    UniqueFd timer_;
    WaitSourceHandle watch_;
    WaitSourceHandle retry_;
    unsigned int droppedReads_ = 0;
    std::uint64_t lastDropWait_ = 0;
    bool anyDropped_ = false;
};

} // namespace

std::unique_ptr<KeySink> KeepKeySink(std::unique_ptr<KeySink> sink, KeySinkRemaker remake) {
    if (sink == nullptr) {
        return nullptr;
    }
    return std::make_unique<KeptKeySink>(std::move(sink), std::move(remake));
}

} // namespace platform
