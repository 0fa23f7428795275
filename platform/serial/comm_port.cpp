#include "platform/serial/comm_port.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/core/system.h"
#include "platform/serial/comm.h"
#include "platform/serial/serial_notes.h"

namespace platform {
namespace {

// The open ports by number; a second open of a number is refused, so each has one.
std::map<int, CommPort*>& OpenPorts() {
    static std::map<int, CommPort*> ports;
    return ports;
}

} // namespace

std::size_t ReceiveBuffer::Take(BYTE* destination, std::size_t count) {
    std::size_t moved = std::min(count, Size());
    if (moved == 1) {
        *destination = bytes_[begin_]; // the common case: a program reading byte by byte
    } else if (moved > 1) {
        std::memcpy(destination, bytes_.data() + begin_, moved);
    }
    begin_ += moved;
    countGiven_ = countGiven_ && moved == 0;
    if (begin_ == end_) {
        Clear();
    }
    return moved;
}

void ReceiveBuffer::Clear() {
    begin_ = end_ = 0;
    countGiven_ = false;
}

bool ReceiveBuffer::AnswersCount() {
    bool answers = Size() != 0 && !countGiven_;
    countGiven_ = Size() != 0;
    return answers;
}

DWORD ReceiveBuffer::Fill(SerialDevice& device, std::size_t& added) {
    added = 0;
    if (Size() != 0) {
        return ERROR_SUCCESS;
    }
    Clear();
    DWORD error = device.Read(bytes_.data(), bytes_.size(), added);
    end_ = added;
    return error;
}

CommPort::CommPort(std::shared_ptr<SerialDevice> device, int number, DWORD access,
                   const DCB& settings)
    : settings(settings), device_(std::move(device)), number_(number), access_(access) {
    OpenPorts()[number_] = this;
}

CommPort::~CommPort() {
    Close();
}

bool CommPort::Close() {
    if (closed_) {
        return true;
    }
    closed_ = true;
    if (auto entry = OpenPorts().find(number_);
        entry != OpenPorts().end() && entry->second == this) {
        OpenPorts().erase(entry);
    }
    // A device asked to refuse the close still releases the port: the handle is
    // gone either way, and keeping the device open would leak it.
    DWORD refused = device_->BeginCall(CommCall::Close);
    DWORD error = device_->Close();
    if (refused != ERROR_SUCCESS || error != ERROR_SUCCESS) {
        SetLastError(refused != ERROR_SUCCESS ? refused : error);
        return false;
    }
    return true;
}

InputWatch CommPort::WatchInput() {
    if (received.Size() != 0) {
        return InputWatch{true, -1, std::nullopt};
    }
    return device_->WatchInput();
}

bool CommPort::MayRead() const {
    return (access_ & GENERIC_READ) != 0;
}

bool CommPort::MayWrite() const {
    return (access_ & GENERIC_WRITE) != 0;
}

void CommPort::Note(std::string_view topic, const std::string& text) {
    SaySerialNoteOnce(device_->Name(), topic,
                      "COM" + std::to_string(number_) + ": " + device_->Name() + ": " + text);
}

CommPort* OpenCommPort(int number) {
    auto entry = OpenPorts().find(number);
    return entry != OpenPorts().end() ? entry->second : nullptr;
}

CommPort* BeginPortCall(HANDLE handle, CommCall call) {
    CommPort* port = FindHandleOf<CommPort>(handle);
    if (port == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DWORD refused = port->Device().BeginCall(call);
    if (refused != ERROR_SUCCESS) {
        SetLastError(refused);
        return nullptr;
    }
    return port;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace platform
