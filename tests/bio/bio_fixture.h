// Shared set-up of the serial library tests: in-memory devices attached as
// COM1: to COM6: on the manual clock, so every time-out passes exactly and at
// once. Whatever a test leaves open is closed, and the devices are detached.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "bio/bio.h"
#include "platform/core/clock.h"
#include "platform/core/recorder.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/serial/serial_notes.h"
#include "support/serial_test_deadline.h"

namespace biotest {

using platform::CommCall;
using platform::MemorySerialDevice;
using platform::Milliseconds;

class BioTest : public testing::Test {
  protected:
    static constexpr int kDevices = 6;

    void SetUp() override {
        platform::UseManualClock(Milliseconds{10000});
        platform::ForgetSerialNotes();
        for (int number = 1; number <= kDevices; number++) {
            devices_[number - 1] = std::make_shared<MemorySerialDevice>();
            platform::AttachMemorySerialDevice(number, devices_[number - 1]);
        }
    }

    void TearDown() override {
        for (int id = 0; id < BIO_PORT_COUNT; id++) {
            bio_close_port(id);
        }
        for (int number = 1; number <= kDevices; number++) {
            platform::DetachMemorySerialDevice(number);
        }
        platform::ForgetSerialNotes();
        platform::StopRecording();
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

  private:
    std::array<std::shared_ptr<MemorySerialDevice>, kDevices> devices_;
    serialtest::TestDeadline deadline_;
};

} // namespace biotest
