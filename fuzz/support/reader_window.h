// The window the readers' poll timers belong to (the options dialog in the
// program): one plain window for the whole fuzzing run. Its controls do not
// exist, so output composition keeps the texts the target put in Settings.
#pragma once

#include <memory>

#include "platform/core/clock.h"
#include "platform/core/recorder.h"
#include "platform/serial/device/memory_serial_device.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/window.h"

namespace fuzz {

inline HWND ReaderWindow() {
    static HWND window = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = u"FuzzReaderWindow";
        RegisterClassW(&windowClass);
        return CreateWindowExW(0, u"FuzzReaderWindow", u"", 0, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
    }();
    return window;
}

// What each input of a reader's whole path starts from: an empty message loop on
// a manual clock at 0, a new in-memory device without modem lines as COM1:, and
// the recorder started.
inline std::shared_ptr<platform::MemorySerialDevice> FreshReaderDevice() {
    platform::ResetMessageLoop();
    platform::UseManualClock(platform::Milliseconds{0});
    auto device = std::make_shared<platform::MemorySerialDevice>();
    device->SetModemLines(false);
    platform::AttachMemorySerialDevice(1, device);
    platform::StartRecording();
    return device;
}

} // namespace fuzz
