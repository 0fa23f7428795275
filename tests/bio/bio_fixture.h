// Shared set-up of the serial library tests: in-memory devices attached as
// COM1: to COM6: on the manual clock, so every time-out passes exactly and at
// once, and an empty message queue. Whatever a test leaves open is closed, and
// the devices are detached.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "bio/bio.h"
#include "platform/core/clock.h"
#include "platform/core/recorder.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/serial/serial_notes.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "support/serial_test_deadline.h"
#include "support/window_class.h"

namespace biotest {

using platform::CommCall;
using platform::MemorySerialDevice;
using platform::Milliseconds;

// The commands a test window received. Command 1234 closes the port PortToClose,
// as a message handler that runs inside a wait may.
inline std::vector<WPARAM> Commands;
inline int PortToClose = -1;

inline LRESULT CommandProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COMMAND) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    Commands.push_back(wParam);
    if (wParam == 1234) {
        bio_close_port(PortToClose);
    }
    return 0;
}

class BioTest : public testing::Test {
  protected:
    static constexpr int kDevices = 6;

    void SetUp() override {
        platform::UseManualClock(Milliseconds{10000});
        platform::ResetMessageLoop();
        platform::ForgetSerialNotes();
        for (int number = 1; number <= kDevices; number++) {
            devices_[number - 1] = std::make_shared<MemorySerialDevice>();
            platform::AttachMemorySerialDevice(number, devices_[number - 1]);
        }
        Commands.clear();
        PortToClose = -1;
    }

    void TearDown() override {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
        for (int id = 0; id < BIO_PORT_COUNT; id++) {
            bio_close_port(id);
        }
        for (int number = 1; number <= kDevices; number++) {
            platform::DetachMemorySerialDevice(number);
        }
        platform::ForgetSerialNotes();
        platform::StopRecording();
        platform::ResetMessageLoop();
        bio_set_timerresolution(1);
        platform::UseRealClock();
    }

    MemorySerialDevice& Device(int number) { return *devices_[number - 1]; }
    Milliseconds Now() const { return platform::ClockNow(); }

    // Opens COM<number>: as the readers do; the test fails if it does not open.
    int Open(int number = 1) {
        int id = bio_open_port(number, 1024, 1024);
        EXPECT_GE(id, 0) << "COM" << number << ": did not open";
        return id;
    }

    // Opens COM1: and sets it up as the MSR reader does.
    int OpenReaderPort(int baudRate = 9600) {
        int id = Open(1);
        EXPECT_EQ(bio_setup_port(id, baudRate, 0, 3, 0, 4, 0), 0);
        return id;
    }

    // A window that records the commands it gets (CommandProcedure).
    HWND CommandWindow() {
        EXPECT_TRUE(test_support::RegisterTestClass(u"BioTestWindow", CommandProcedure));
        window_ = CreateWindowW(u"BioTestWindow", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
        EXPECT_NE(window_, nullptr);
        return window_;
    }

    static bool QueueHoldsAMessage() {
        MSG message;
        return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
    }

  private:
    std::array<std::shared_ptr<MemorySerialDevice>, kDevices> devices_;
    HWND window_ = nullptr;
    serialtest::TestDeadline deadline_;
};

} // namespace biotest
