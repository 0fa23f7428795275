#include "host/reader_port_wait.h"

#include <string>

#include "app/app_handles.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/serial/port_presence.h"
#include "platform/serial/port_wait.h"
#include "platform/serial/serial_port_names.h"
#include "platform/windowing/messages.h"
#include "reader/line_reader.h"
#include "settings/settings.h"

namespace host {
namespace {

constexpr UINT kLookAgainPeriod = 1000;

UINT_PTR LookAgainTimer = 0;

// Reading is on, and no reader runs: the port is still wanted.
bool ReaderWanted() {
    return OptionsDialog != nullptr && Settings.Enable != 0 && AnyReaderActive() == 0;
}

void SayAboutPort(const std::string& what) {
    std::string path = platform::ResolvePortPath(kReaderPortNumber).value_or("");
    NKDbgPrintfW(u"%s", platform::Utf8ToUtf16("COM1: " + path + " " + what).c_str());
}

void StopLooking() {
    KillTimer(nullptr, LookAgainTimer);
    LookAgainTimer = 0;
    platform::SetComPortAwaited(kReaderPortNumber, nullptr);
}

// Once a second while the port is wanted: when its device can be had, the
// reader's own start runs again and takes it.
void LookAgain(HWND, UINT, UINT_PTR, DWORD) {
    if (!ReaderWanted()) {
        StopLooking();
        return;
    }
    if (!platform::HoldComPortDevice(kReaderPortNumber)) {
        return;
    }
    StopLooking();
    SayAboutPort("can be opened now");
    StartChosenReader(OptionsDialog);
    platform::ReleaseHeldComPortDevice(kReaderPortNumber);
}

void OnOpenFailed(int number, DWORD error) {
    if (number != kReaderPortNumber || !platform::DeviceMayComeLater(error) ||
        LookAgainTimer != 0) {
        return;
    }
    LookAgainTimer = SetTimer(nullptr, 0, kLookAgainPeriod, LookAgain);
    if (LookAgainTimer == 0) {
        return;
    }
    platform::SetComPortAwaited(kReaderPortNumber, ReaderWanted);
    SayAboutPort("cannot be opened; waiting until it can");
}

} // namespace

void WaitForReaderPort() {
    platform::SetPortOpenFailureObserver(OnOpenFailed);
}

} // namespace host
