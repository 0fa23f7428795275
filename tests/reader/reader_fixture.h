// What the reader tests share: an in-memory device as COM1:, the manual clock, a
// window standing for the options dialog, and recording of what was typed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/core/clock.h"
#include "platform/core/recorder.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/window.h"
#include "reader/msr_reader.h"
#include "reader/rfid_reader.h"
#include "reader/track_decode.h"
#include "settings/settings.h"
#include "support/key_events.h"
#include "support/window_class.h"

namespace reader_test {

inline LRESULT DialogStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

inline HWND MakeDialogStandIn() {
    EXPECT_TRUE(test_support::RegisterTestClass(u"ReaderTestDialog", DialogStandIn));
    return CreateWindowExW(0, u"ReaderTestDialog", u"", 0, 0, 0, 100, 100, nullptr, nullptr,
                           nullptr, nullptr);
}

// Puts every reader variable back to its state at program start.
inline void ResetReaders(HWND window) {
    StopMSRReader(window);
    StopRFIDReader(window);
    ReaderPort = 0;
    ReadCount = 0;
    ClearMSRBuffers();
    ClearTagText();
}

// What was typed, as narrow text (the tests type ASCII only).
inline std::string TypedNarrow() {
    std::u16string typed = test_support::TypedText();
    return std::string(typed.begin(), typed.end());
}

// The readers' own debug lines ("Error %d opening MSR serial port" and its
// siblings), without what the platform says about the device.
inline std::vector<std::u16string> ReaderDebugLines() {
    std::vector<std::u16string> lines;
    for (const std::u16string& line : platform::Recorded().debugLines) {
        if (line.ends_with(u" serial port")) {
            lines.push_back(line);
        }
    }
    return lines;
}

class ReaderTest : public testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = Settings;
        Settings = DefaultSettings();
        platform::ResetMessageLoop();
        platform::UseManualClock(platform::Milliseconds{0});
        window_ = MakeDialogStandIn();
        ASSERT_NE(window_, nullptr);
        device_ = std::make_shared<platform::MemorySerialDevice>();
        device_->SetModemLines(false);
        platform::AttachMemorySerialDevice(1, device_);
        ResetReaders(window_);
        platform::StartRecording();
    }

    void TearDown() override {
        platform::StopRecording();
        ResetReaders(window_);
        platform::DetachMemorySerialDevice(1);
        DestroyWindow(window_);
        platform::SetManualClockObserver(nullptr);
        platform::ResetMessageLoop();
        platform::UseRealClock();
        Settings = savedSettings_;
    }

    // Runs the loop for one period of `interval` on the manual clock.
    static void RunFor(DWORD milliseconds) {
        ASSERT_TRUE(platform::RunMessagesFor(platform::Milliseconds{milliseconds}));
    }

    // Bytes arrive `delay` milliseconds from now.
    void ArriveIn(DWORD delay, const std::string& bytes) {
        device_->QueuePause(platform::Milliseconds{delay});
        device_->QueueInput(bytes);
    }

    static std::string Typed() { return TypedNarrow(); }

    HWND window_ = nullptr;
    std::shared_ptr<platform::MemorySerialDevice> device_;
    SettingsRecord savedSettings_{};
};

} // namespace reader_test
