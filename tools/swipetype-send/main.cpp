// swipetype-send: sends one window message to the running Swipetype of a device
// root, as Win32 tools send messages to another program's windows.
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "platform/device_root.h"
#include "platform/remote_windows.h"
#include "platform/unicode.h"
#include "platform/window.h"

namespace {

constexpr int kDelivered = 0;
constexpr int kNotFound = 1;
constexpr int kUsageError = 2;

int Fail(int status, const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    return status;
}

int Run(const send_tool::Command& command) {
    if (command.root) {
        platform::SetDeviceRoot(*command.root);
    }
    const std::string where = " in device root " + platform::DeviceRoot();
    if (command.menu) {
        if (!platform::ChooseRemoteMenuItem(*command.menu)) {
            return Fail(kNotFound, "swipetype-send: no open popup menu with item " +
                                       std::to_string(*command.menu) + where);
        }
        return kDelivered;
    }
    HWND target = platform::FindRemoteWindow(u"SWIPETYPE", u"Swipetype");
    if (target == nullptr) {
        return Fail(kNotFound, "swipetype-send: no running Swipetype window" + where);
    }
    if (command.control) {
        target = platform::FindRemoteControl(target, *command.control);
        if (target == nullptr) {
            return Fail(kNotFound, "swipetype-send: no control " +
                                       std::to_string(*command.control) + " in the options dialog" +
                                       where);
        }
    }
    auto wParam = static_cast<WPARAM>(command.wParam);
    if (command.post) {
        if (!platform::PostRemoteMessage(target, command.message, wParam,
                                         static_cast<LPARAM>(command.lParam))) {
            return Fail(kNotFound, "swipetype-send: the message was not delivered");
        }
        return kDelivered;
    }
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
    if (!delivered) {
        return Fail(kNotFound, "swipetype-send: the message was not delivered (the window is "
                               "gone, or the message cannot cross processes)");
    }
    return kDelivered;
}

} // namespace

int main(int argc, char** argv) {
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
