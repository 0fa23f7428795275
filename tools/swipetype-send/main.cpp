// swipetype-send: sends one window message to the running Swipetype of a device
// root, as Win32 tools send messages to another program's windows.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/fs/device_root.h"
#include "platform/ipc/remote_windows.h"
#include "platform/windowing/window.h"

namespace {

constexpr int kDelivered = 0;
constexpr int kNotFound = 1;
constexpr int kUsageError = 2;

int Fail(int status, const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    return status;
}

// A call that failed for want of an answer says so instead of `line`, naming
// the program and what holds it: stopped, no file descriptor free, or busy with
// the request, which a modal dialog is until it closes.
int FailCall(const std::string& line) {
    if (std::string why = platform::UnansweredLine(); !why.empty()) {
        bool took = why.find("took the request") != std::string::npos;
        return Fail(kNotFound, "swipetype-send: " + why +
                                   (took ? " (a modal dialog of the program, such as About, "
                                           "answers when it closes; --window reaches it)"
                                         : ""));
    }
    // A program that runs on the root but cannot be reached is named, not missed.
    std::string why = platform::InstanceOutOfReach();
    return Fail(kNotFound, why.empty() ? line : "swipetype-send: " + why);
}

// Sends the message and prints its result (WM_GETTEXT's text); false when it
// was not delivered.
bool SendAndPrint(HWND target, const send_tool::Command& command) {
    auto wParam = static_cast<WPARAM>(command.wParam);
    bool delivered = false;
    if (command.message == WM_SETTEXT) {
        std::u16string text = platform::Utf8ToUtf16(*command.text);
        LRESULT result = platform::SendRemoteMessage(
            target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &delivered);
        if (delivered) {
            std::printf("%lld\n", static_cast<long long>(result));
        }
    } else if (command.message == WM_GETTEXT) {
        std::u16string buffer(static_cast<std::size_t>(wParam) + 1, u'\0');
        LRESULT length = platform::SendRemoteMessage(
            target, WM_GETTEXT, wParam, reinterpret_cast<LPARAM>(buffer.data()), &delivered);
        if (delivered) {
            buffer.resize(static_cast<std::size_t>(length > 0 ? length : 0));
            std::printf("%s\n", platform::Utf16ToUtf8(buffer).c_str());
        }
    } else {
        LRESULT result = platform::SendRemoteMessage(
            target, command.message, wParam, static_cast<LPARAM>(command.lParam), &delivered);
        if (delivered) {
            std::printf("%lld\n", static_cast<long long>(result));
        }
    }
    return delivered;
}

int Run(const send_tool::Command& command) {
    if (command.root) {
        platform::SetDeviceRoot(*command.root);
    }
    platform::SetRemoteCallTimeout(command.timeout);
    const std::string where = " in device root " + platform::DeviceRoot();
    if (command.menu) {
        if (!platform::ChooseRemoteMenuItem(*command.menu)) {
            return FailCall("swipetype-send: no open popup menu with item " +
                            std::to_string(*command.menu) + where);
        }
        return kDelivered;
    }
    std::u16string title = command.window ? platform::Utf8ToUtf16(*command.window) : u"Swipetype";
    HWND target =
        platform::FindRemoteWindow(command.window ? nullptr : u"SWIPETYPE", title.c_str());
    if (target == nullptr) {
        return FailCall("swipetype-send: no running Swipetype window" +
                        (command.window ? " titled \"" + *command.window + "\"" : "") + where);
    }
    if (command.control) {
        target = platform::FindRemoteControl(target, *command.control);
        if (target == nullptr) {
            return FailCall("swipetype-send: no control " + std::to_string(*command.control) +
                            (command.window ? " in that window" : " in the options dialog") +
                            where);
        }
    }
    auto wParam = static_cast<WPARAM>(command.wParam);
    if (command.post) {
        if (!platform::PostRemoteMessage(target, command.message, wParam,
                                         static_cast<LPARAM>(command.lParam))) {
            return FailCall("swipetype-send: the message was not delivered");
        }
        return kDelivered;
    }
    bool delivered = SendAndPrint(target, command);
    if (!delivered) {
        return FailCall("swipetype-send: the message was not delivered (the window is "
                        "gone, or the message cannot cross processes)");
    }
    return kDelivered;
}

} // namespace

int main(int argc, char** argv) {
    platform::SetDebugLineName("swipetype-send");
    std::vector<std::string> arguments(argv + 1, argv + argc);
    send_tool::ParseResult parsed = send_tool::ParseCommand(arguments);
    if (parsed.command.help) {
        std::fputs(send_tool::UsageText().c_str(), stdout);
        return kDelivered;
    }
    if (parsed.command.version) {
        std::printf("swipetype-send %s\n", SWIPETYPE_VERSION);
        return kDelivered;
    }
    if (!parsed.error.empty()) {
        return Fail(kUsageError, parsed.error);
    }
    return Run(parsed.command);
}
