#include "platform/ipc/remote_windows.h"
#include "platform/windowing/foreign_windows.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "platform/core/system.h"
#include "platform/fs/device_root.h"
#include "platform/ipc/remote_socket.h"
#include "platform/ipc/root_instance.h"
#include "platform/windowing/menus/menus.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "platform/windowing/window_view.h"

namespace platform {
namespace {

using namespace std::chrono_literals;
using remote::Operation;
using remote::ParamKind;
using remote::Reply;
using remote::Request;
using remote::Status;

// A remote handle is the serving process's handle value with bit 62 set; the
// window handles of this window system never have it.
constexpr UINT_PTR kRemoteTag = UINT_PTR{1} << 62;
constexpr UINT_PTR kTagMask = UINT_PTR{3} << 62;

// A send may open a modal dialog on the other side; its reply waits for it, but
// not for ever.
constexpr auto kSendTimeout = 30s;
constexpr auto kCallTimeout = 5s;

struct InterfaceState {
    LockFile claim; // on the device root, while this process runs it
    std::unique_ptr<remote::Server> server;
    std::unique_ptr<remote::Client> client;
    std::optional<std::chrono::milliseconds> timeout; // for every call, when set
    std::optional<remote::NoReply> noReply;           // why the last call got no reply
    long peer = 0;                                    // the pid of the program called
    SettingHandler settings;
    std::function<std::u16string()> status;
};

InterfaceState& State() {
    static InterfaceState state;
    return state;
}

HWND ToRemote(std::uint64_t handle) {
    return handle != 0 ? reinterpret_cast<HWND>(kRemoteTag | static_cast<UINT_PTR>(handle))
                       : nullptr;
}

// The serving side's handle; the lowest bit (bring owned windows forward) is
// not part of it.
std::uint64_t FromRemote(HWND window) {
    return reinterpret_cast<UINT_PTR>(window) & ~kTagMask & ~UINT_PTR{1};
}

// Messages whose parameters are plain numbers, so that another process may send
// them. Private messages (WM_USER and above) of this program's windows are.
bool CarriesOnlyNumbers(UINT message) {
    static constexpr UINT kAllowed[] = {
        WM_NULL,       WM_SIZE,          WM_ACTIVATE,    WM_ENABLE,    WM_CLOSE,
        WM_SHOWWINDOW, WM_GETTEXTLENGTH, WM_KEYDOWN,     WM_KEYUP,     WM_CHAR,
        WM_COMMAND,    WM_SYSCOMMAND,    WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
        BM_GETCHECK,   BM_SETCHECK,      BM_GETSTATE,    BM_SETSTATE,  BM_CLICK,
    };
    return message >= WM_USER ||
           std::find(std::begin(kAllowed), std::end(kAllowed), message) != std::end(kAllowed);
}

HWND Local(std::uint64_t handle) {
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(handle));
}

Reply HandleSend(const Request& request) {
    HWND window = Local(request.window);
    if (IsWindow(window) == FALSE) {
        return {Status::NoSuchWindow, 0, u""};
    }
    if (request.kind == ParamKind::TextIn && request.message == WM_SETTEXT) {
        LRESULT result =
            SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(request.text.c_str()));
        return {Status::Ok, result, u""};
    }
    if (request.kind == ParamKind::TextOut && request.message == WM_GETTEXT) {
        auto capacity = static_cast<std::size_t>(
            std::min<std::uint64_t>(request.wParam, static_cast<std::uint64_t>(request.lParam)));
        std::u16string buffer(capacity + 1, u'\0');
        LRESULT result =
            SendMessageW(window, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer.data()));
        std::size_t length =
            std::min<std::size_t>(static_cast<std::size_t>(std::max<LRESULT>(result, 0)), capacity);
        return {Status::Ok, result, buffer.substr(0, length)};
    }
    if (request.kind != ParamKind::Number || !CarriesOnlyNumbers(request.message)) {
        return {Status::Refused, 0, u""};
    }
    LRESULT result = SendMessageW(window, request.message, static_cast<WPARAM>(request.wParam),
                                  static_cast<LPARAM>(request.lParam));
    return {Status::Ok, result, u""};
}

Reply HandlePost(const Request& request) {
    HWND window = Local(request.window);
    if (IsWindow(window) == FALSE) {
        return {Status::NoSuchWindow, 0, u""};
    }
    if (request.kind != ParamKind::Number || !CarriesOnlyNumbers(request.message)) {
        return {Status::Refused, 0, u""};
    }
    BOOL posted = PostMessageW(window, request.message, static_cast<WPARAM>(request.wParam),
                               static_cast<LPARAM>(request.lParam));
    return {Status::Ok, posted, u""};
}

// Depth-first over the window's descendants, in tab order.
HWND FindDescendant(HWND window, int controlId) {
    WindowView view;
    if (!ViewWindow(window, view)) {
        return nullptr;
    }
    for (HWND child : view.children) {
        WindowView childView;
        if (ViewWindow(child, childView) && childView.controlId == controlId) {
            return child;
        }
        if (HWND found = FindDescendant(child, controlId)) {
            return found;
        }
    }
    return nullptr;
}

// "NAME" or "NAME=VALUE" for the program's own settings handler.
Reply HandleSetting(const Request& request) {
    const SettingHandler& handler = State().settings;
    if (!handler || request.wParam > static_cast<std::uint8_t>(remote::SettingAction::Reset)) {
        return {Status::Refused, 0, u"this program takes no settings from other programs"};
    }
    std::u16string_view text = request.text;
    std::size_t equals = text.find(u'=');
    std::u16string_view name = text.substr(0, equals);
    std::u16string_view value = equals == text.npos ? u"" : text.substr(equals + 1);
    SettingAnswer answer = handler(static_cast<remote::SettingAction>(request.wParam), name, value);
    return {answer.ok ? Status::Ok : Status::Refused, 0, answer.text};
}

Reply Handle(const Request& request) {
    HWND window = Local(request.window);
    switch (request.operation) {
    case Operation::FindWindow: {
        LPCWSTR className = request.className.empty() ? nullptr : request.className.c_str();
        HWND found = FindWindowW(className, request.text.c_str());
        return {found != nullptr ? Status::Ok : Status::NoSuchWindow,
                static_cast<std::int64_t>(reinterpret_cast<UINT_PTR>(found)), u""};
    }
    case Operation::SendMessage:
        return HandleSend(request);
    case Operation::PostMessage:
        return HandlePost(request);
    case Operation::ShowWindow:
        if (IsWindow(window) == FALSE) {
            return {Status::NoSuchWindow, 0, u""};
        }
        return {Status::Ok, ShowWindow(window, static_cast<int>(request.wParam)), u""};
    case Operation::SetForeground:
        if (IsWindow(window) == FALSE) {
            return {Status::NoSuchWindow, 0, u""};
        }
        // wParam 1 carries the request to bring the owned windows forward too
        // (the lowest bit of the caller's handle).
        return {Status::Ok,
                SetForegroundWindow(
                    request.wParam != 0
                        ? reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(window) | UINT_PTR{1})
                        : window),
                u""};
    case Operation::FindControl: {
        HWND control = FindDescendant(window, static_cast<int>(request.wParam));
        return {control != nullptr ? Status::Ok : Status::NoSuchWindow,
                static_cast<std::int64_t>(reinterpret_cast<UINT_PTR>(control)), u""};
    }
    case Operation::ChooseMenuItem:
        return {ChoosePopupMenuItem(static_cast<UINT>(request.wParam)) ? Status::Ok
                                                                       : Status::NoOpenMenu,
                0, u""};
    case Operation::Setting:
        return HandleSetting(request);
    case Operation::Status:
        if (!State().status) {
            return {Status::Refused, 0, u"this program gives no status"};
        }
        return {Status::Ok, 0, State().status()};
    }
    return {Status::Malformed, 0, u""};
}

// A connection to the program of the device root, or null (noReply says why,
// when it runs). A client only names the root, and never creates one to find
// nothing. Root gets one to another user's program for a status request
// alone, not `kept` for later calls.
std::unique_ptr<remote::Client> ConnectForCall(const Request& request, bool& kept) {
    InterfaceState& state = State();
    remote::InstanceLook look = remote::LookForInstance(DeviceRoot());
    state.peer = look.peer.pid;
    kept = look.state == remote::InstanceState::Reachable;
    bool statusOnly =
        look.state == remote::InstanceState::AnotherUser && request.operation == Operation::Status;
    if (!kept && !statusOnly) {
        if (look.notTaken) {
            state.noReply = remote::NoReply::NotTaken;
        }
        return nullptr;
    }
    return std::move(look.client);
}

// One call to the serving instance, reconnecting once if the connection broke.
// A call that timed out is not made again: the instance may still act on it.
std::optional<Reply> Call(const Request& request, std::chrono::milliseconds timeout) {
    InterfaceState& state = State();
    state.noReply.reset();
    if (state.server || state.claim.Held()) {
        return std::nullopt; // this process runs on the root: nothing is remote
    }
    timeout = state.timeout.value_or(timeout);
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<remote::Client> once;
        bool kept = true;
        if (!state.client) {
            std::unique_ptr<remote::Client> found = ConnectForCall(request, kept);
            if (found == nullptr) {
                return std::nullopt;
            }
            (kept ? state.client : once) = std::move(found);
        }
        remote::Client& client = kept ? *state.client : *once;
        remote::NoReply why = remote::NoReply::Failed;
        std::optional<Reply> reply = client.Call(request, timeout, &why);
        state.noReply = reply ? std::nullopt : std::optional(why);
        if (!kept) {
            return reply;
        }
        if (reply || why != remote::NoReply::Failed) {
            if (!reply) {
                state.client.reset(); // its answer may still come, to nobody
            }
            return reply;
        }
        state.client.reset();
    }
    return std::nullopt;
}

Request WindowRequest(Operation operation, HWND window) {
    Request request;
    request.operation = operation;
    request.window = FromRemote(window);
    return request;
}

// How the window calls reach windows of the instance this one talks to.
class RemoteWindows final : public ForeignWindows {
  public:
    bool Owns(HWND window) const override { return IsRemoteWindow(window); }
    HWND Find(LPCWSTR className, LPCWSTR windowName) override {
        return FindRemoteWindow(className, windowName);
    }
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        return SendRemoteMessage(window, message, wParam, lParam);
    }
    BOOL Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        return PostRemoteMessage(window, message, wParam, lParam);
    }
    BOOL Show(HWND window, int command) override { return ShowRemoteWindow(window, command); }
    BOOL SetForeground(HWND window) override { return SetRemoteForegroundWindow(window); }
};

RemoteWindows& Forwarding() {
    static RemoteWindows forwarding;
    return forwarding;
}

} // namespace

WindowInterfaceRole StartWindowInterface(std::string& error) {
    SetForeignWindows(&Forwarding());
    std::string root;
    if (!UsableDeviceRoot(root)) {
        error = "no usable device root";
        return WindowInterfaceRole::Failed;
    }
    InterfaceState& state = State();
    remote::InstanceLook look = remote::LookForInstance(root);
    if (look.state == remote::InstanceState::Reachable) {
        state.client = std::move(look.client);
        return WindowInterfaceRole::AnotherInstanceServes;
    }
    if (look.state != remote::InstanceState::None) {
        error = look.why;
        return look.state == remote::InstanceState::AnotherUser
                   ? WindowInterfaceRole::AnotherUserHolds
                   : WindowInterfaceRole::AnotherInstanceHolds;
    }
    switch (remote::ClaimRoot(root, state.claim, error)) {
    case remote::ClaimResult::HeldByAnother:
        error = "another Swipetype is starting on the device root " + root;
        return WindowInterfaceRole::AnotherInstanceHolds;
    case remote::ClaimResult::Failed:
        error += "; a second program on this device root would not find this one";
        return WindowInterfaceRole::Failed;
    case remote::ClaimResult::Claimed:
        break;
    }
    if (!remote::StartServer(remote::InstanceSocketPath(root), Handle, state.server, error)) {
        return WindowInterfaceRole::Failed;
    }
    return WindowInterfaceRole::Serving;
}

void StopWindowInterface() {
    SetForeignWindows(nullptr);
    State().server.reset();
    State().client.reset();
    State().claim.Release();
}

std::string InstanceOutOfReach() {
    remote::InstanceLook look = remote::LookForInstance(DeviceRoot());
    return look.state == remote::InstanceState::AnotherUser ||
                   look.state == remote::InstanceState::Unreachable
               ? look.why
               : "";
}

bool IsRemoteWindow(HWND window) {
    return (reinterpret_cast<UINT_PTR>(window) & kTagMask) == kRemoteTag;
}

HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName) {
    // The serving process owns the windows it would be asked about: it never
    // calls itself.
    if (State().server != nullptr) {
        return nullptr;
    }
    Request request;
    request.operation = Operation::FindWindow;
    request.className = className != nullptr ? className : u"";
    request.text = windowName != nullptr ? windowName : u"";
    std::optional<Reply> reply = Call(request, kCallTimeout);
    return reply && reply->status == Status::Ok
               ? ToRemote(static_cast<std::uint64_t>(reply->result))
               : nullptr;
}

HWND FindRemoteControl(HWND window, int controlId) {
    Request request = WindowRequest(Operation::FindControl, window);
    request.wParam = static_cast<std::uint64_t>(controlId);
    std::optional<Reply> reply = Call(request, kCallTimeout);
    return reply && reply->status == Status::Ok
               ? ToRemote(static_cast<std::uint64_t>(reply->result))
               : nullptr;
}

LRESULT SendRemoteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool* delivered) {
    Request request = WindowRequest(Operation::SendMessage, window);
    request.message = message;
    request.wParam = wParam;
    request.lParam = lParam;
    auto* buffer = reinterpret_cast<WCHAR*>(lParam);
    if (message == WM_SETTEXT) {
        request.kind = ParamKind::TextIn;
        request.text = buffer != nullptr ? buffer : u"";
        request.lParam = 0;
    } else if (message == WM_GETTEXT) {
        request.kind = ParamKind::TextOut;
        request.wParam = std::min<WPARAM>(wParam, remote::kMaxTextUnits);
        request.lParam = static_cast<std::int64_t>(request.wParam);
    }
    std::optional<Reply> reply = Call(request, kSendTimeout);
    bool ok = reply && reply->status == Status::Ok;
    if (delivered != nullptr) {
        *delivered = ok;
    }
    if (!ok) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (message == WM_GETTEXT && buffer != nullptr && wParam > 0) {
        std::size_t count = std::min<std::size_t>(reply->text.size(), wParam - 1);
        reply->text.copy(buffer, count);
        buffer[count] = u'\0';
    }
    return static_cast<LRESULT>(reply->result);
}

BOOL PostRemoteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Request request = WindowRequest(Operation::PostMessage, window);
    request.message = message;
    request.wParam = wParam;
    request.lParam = lParam;
    std::optional<Reply> reply = Call(request, kCallTimeout);
    if (!reply || reply->status != Status::Ok || reply->result == 0) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL ShowRemoteWindow(HWND window, int command) {
    Request request = WindowRequest(Operation::ShowWindow, window);
    request.wParam = static_cast<std::uint64_t>(command);
    std::optional<Reply> reply = Call(request, kCallTimeout);
    return reply && reply->status == Status::Ok && reply->result != 0 ? TRUE : FALSE;
}

BOOL SetRemoteForegroundWindow(HWND window) {
    Request request = WindowRequest(Operation::SetForeground, window);
    request.wParam = reinterpret_cast<UINT_PTR>(window) & UINT_PTR{1};
    std::optional<Reply> reply = Call(request, kCallTimeout);
    return reply && reply->status == Status::Ok && reply->result != 0 ? TRUE : FALSE;
}

void SetSettingHandler(SettingHandler handler) {
    State().settings = std::move(handler);
}

std::optional<SettingAnswer> RemoteSetting(remote::SettingAction action, std::u16string_view name,
                                           std::u16string_view value) {
    Request request;
    request.operation = Operation::Setting;
    request.wParam = static_cast<std::uint64_t>(action);
    request.text = name;
    if (action == remote::SettingAction::Set) {
        request.text += u'=';
        request.text += value;
    }
    std::optional<Reply> reply = Call(request, kCallTimeout);
    if (!reply) {
        return std::nullopt;
    }
    return SettingAnswer{reply->status == Status::Ok, reply->text};
}

void SetStatusHandler(std::function<std::u16string()> handler) {
    State().status = std::move(handler);
}

std::optional<std::u16string> RemoteStatus() {
    Request request;
    request.operation = Operation::Status;
    std::optional<Reply> reply = Call(request, kCallTimeout);
    if (!reply) {
        return std::nullopt;
    }
    return reply->status == Status::Ok ? reply->text : u"";
}

void SetRemoteCallTimeout(std::chrono::milliseconds timeout) {
    State().timeout = timeout;
}

bool RemoteCallTimedOut() {
    return State().noReply.has_value() && *State().noReply != remote::NoReply::Failed;
}

bool RemoteCallNotTaken() {
    return State().noReply == remote::NoReply::NotTaken;
}

std::string UnansweredLine() {
    if (!RemoteCallTimedOut()) {
        return "";
    }
    long pid = State().peer > 0 ? State().peer : remote::InstanceHolder(DeviceRoot());
    std::string otherwise = "takes no request";
    if (*State().noReply == remote::NoReply::TimedOut) {
        // It took the request and is busy with it: a modal dialog, say.
        double seconds = static_cast<double>(State().timeout.value_or(kCallTimeout).count()) / 1000;
        char within[96];
        std::snprintf(within, sizeof within, "took the request but gave no answer within %g s",
                      seconds);
        otherwise = within;
    }
    return remote::DescribeUnanswered(DeviceRoot(), pid, otherwise);
}

bool ChooseRemoteMenuItem(UINT command) {
    Request request;
    request.operation = Operation::ChooseMenuItem;
    request.wParam = command;
    std::optional<Reply> reply = Call(request, kCallTimeout);
    return reply && reply->status == Status::Ok;
}

} // namespace platform
