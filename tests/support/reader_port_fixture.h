// What the reader and application tests share: the settings at their defaults, an
// empty message loop, the manual clock, an in-memory device without modem lines as
// COM1:, and recording of keys, beeps and debug lines. Whichever reader a test
// started on readerWindow_ is stopped afterwards, and the rest is put back.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/core/clock.h"
#include "platform/core/recorder.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/windowing/message_loop.h"
#include "reader/msr_reader.h"
#include "reader/rfid_reader.h"
#include "settings/settings.h"

namespace test_support {

class ReaderPortTest : public testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = Settings;
        Settings = DefaultSettings();
        platform::ResetMessageLoop();
        platform::UseManualClock(platform::Milliseconds{0});
        device_ = std::make_shared<platform::MemorySerialDevice>();
        device_->SetModemLines(false);
        platform::AttachMemorySerialDevice(1, device_);
        platform::StartRecording();
    }

    void TearDown() override {
        platform::StopRecording();
        StopMSRReader(readerWindow_);
        StopRFIDReader(readerWindow_);
        ReaderPort = 0;
        ReadCount = 0;
        platform::DetachMemorySerialDevice(1);
        platform::ResetMessageLoop();
        platform::UseRealClock();
        Settings = savedSettings_;
    }

    HWND readerWindow_ = nullptr; // the window the readers' timers are set on
    std::shared_ptr<platform::MemorySerialDevice> device_;
    SettingsRecord savedSettings_{};
};

} // namespace test_support
