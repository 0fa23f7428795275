// The wire format of the cross-process window interface: how a second instance,
// swipetype-send or a test asks the running program to find a window, send or post
// it a message, show it, or choose an item of its open popup menu.
//
// Every frame is a 32-bit little-endian payload length followed by the payload.
// Integers are little-endian; texts are a 32-bit unit count and UTF-16LE units.
// A request is one operation byte and its fields; a reply is a status byte, a
// 64-bit result and a text (empty unless the operation returns one). The decoder
// refuses anything malformed or truncated, and limits sizes, so a peer can never
// make the program read past a buffer or allocate without bound.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::remote {

constexpr std::uint32_t kMaxPayload = 64 * 1024;
constexpr std::uint32_t kMaxTextUnits = 8 * 1024;

enum class Operation : std::uint8_t {
    FindWindow = 1,     // text className, text title -> result: window or 0
    SendMessage = 2,    // window, message, wParam, lParam, lParam kind, text
    PostMessage = 3,    // as SendMessage; the reply comes once it is queued
    ShowWindow = 4,     // window, command (in wParam)
    SetForeground = 5,  // window
    FindControl = 6,    // window, control id (in wParam) -> result: control or 0
    ChooseMenuItem = 7, // command (in wParam) for the open popup menu
    Setting = 8,        // action (in wParam), text "NAME" or "NAME=VALUE" -> result text
    Status = 9,         // -> text: the program's status, as its own code gives it
};

// What a Setting request asks of the program's own code (platform/ipc/remote_windows.h).
enum class SettingAction : std::uint8_t { Get = 0, Set = 1, Reset = 2 };

// How lParam travels: as a number, as a text the receiver points lParam at
// (WM_SETTEXT), or as a text buffer of `lParam` units the receiver fills and
// sends back (WM_GETTEXT).
enum class ParamKind : std::uint8_t { Number = 0, TextIn = 1, TextOut = 2 };

struct Request {
    Operation operation = Operation::FindWindow;
    std::uint64_t window = 0;
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    ParamKind kind = ParamKind::Number;
    std::u16string text;      // TextIn text, or FindWindow's title
    std::u16string className; // FindWindow only
    bool operator==(const Request&) const = default;
};

enum class Status : std::uint8_t {
    Ok = 0,
    NoSuchWindow = 1, // or no such control
    NoOpenMenu = 2,
    Malformed = 3,
    Refused = 4, // the message cannot cross processes
};

struct Reply {
    Status status = Status::Ok;
    std::int64_t result = 0;
    std::u16string text;
    bool operator==(const Reply&) const = default;
};

// Payloads without the length prefix.
std::vector<std::uint8_t> EncodeRequest(const Request& request);
std::vector<std::uint8_t> EncodeReply(const Reply& reply);
std::optional<Request> DecodeRequest(const std::vector<std::uint8_t>& payload);
std::optional<Reply> DecodeReply(const std::vector<std::uint8_t>& payload);

// The length prefix for a payload.
std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& payload);

// Takes one whole frame off the front of `buffer` (bytes as received) into
// `payload`. Returns false while the frame is incomplete, and sets `bad` when
// its length is beyond kMaxPayload: such a stream can never be read further.
bool TakeFrame(std::vector<std::uint8_t>& buffer, std::vector<std::uint8_t>& payload, bool& bad);

} // namespace platform::remote
