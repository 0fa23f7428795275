#include "platform/ipc/remote_protocol.h"

namespace platform::remote {
namespace {

class Writer {
  public:
    void Byte(std::uint8_t value) { bytes_.push_back(value); }
    void Integer(std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        }
    }
    void Text(const std::u16string& text) {
        Integer(text.size(), 4);
        for (char16_t unit : text) {
            Integer(unit, 2);
        }
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
};

// Reads fields in order; any read past the end makes the whole decode fail.
class Reader {
  public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    bool Integer(std::uint64_t& value, int size) {
        if (bytes_.size() - offset_ < static_cast<std::size_t>(size)) {
            return false;
        }
        value = 0;
        for (int i = 0; i < size; ++i) {
            value |= static_cast<std::uint64_t>(bytes_[offset_++]) << (8 * i);
        }
        return true;
    }
    bool Text(std::u16string& text) {
        std::uint64_t units = 0;
        if (!Integer(units, 4) || units > kMaxTextUnits || (bytes_.size() - offset_) / 2 < units) {
            return false;
        }
        text.clear();
        for (std::uint64_t i = 0; i < units; ++i) {
            std::uint64_t unit = 0;
            Integer(unit, 2);
            text += static_cast<char16_t>(unit);
        }
        return true;
    }
    bool AtEnd() const { return offset_ == bytes_.size(); }

  private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t offset_ = 0;
};

bool ValidOperation(std::uint64_t value) {
    return value >= static_cast<std::uint8_t>(Operation::FindWindow) &&
           value <= static_cast<std::uint8_t>(Operation::Status);
}

} // namespace

std::vector<std::uint8_t> EncodeRequest(const Request& request) {
    Writer writer;
    writer.Byte(static_cast<std::uint8_t>(request.operation));
    writer.Integer(request.window, 8);
    writer.Integer(request.message, 4);
    writer.Integer(request.wParam, 8);
    writer.Integer(static_cast<std::uint64_t>(request.lParam), 8);
    writer.Byte(static_cast<std::uint8_t>(request.kind));
    writer.Text(request.text);
    writer.Text(request.className);
    return writer.Take();
}

std::optional<Request> DecodeRequest(const std::vector<std::uint8_t>& payload) {
    if (payload.size() > kMaxPayload) {
        return std::nullopt;
    }
    Reader reader(payload);
    Request request;
    std::uint64_t operation = 0, message = 0, lParam = 0, kind = 0;
    if (!reader.Integer(operation, 1) || !ValidOperation(operation) ||
        !reader.Integer(request.window, 8) || !reader.Integer(message, 4) ||
        !reader.Integer(request.wParam, 8) || !reader.Integer(lParam, 8) ||
        !reader.Integer(kind, 1) || kind > static_cast<std::uint8_t>(ParamKind::TextOut) ||
        !reader.Text(request.text) || !reader.Text(request.className) || !reader.AtEnd()) {
        return std::nullopt;
    }
    request.operation = static_cast<Operation>(operation);
    request.message = static_cast<std::uint32_t>(message);
    request.lParam = static_cast<std::int64_t>(lParam);
    request.kind = static_cast<ParamKind>(kind);
    // A text buffer to fill is bounded like any text.
    if (request.kind == ParamKind::TextOut &&
        (request.lParam < 0 || request.lParam > static_cast<std::int64_t>(kMaxTextUnits))) {
        return std::nullopt;
    }
    return request;
}

std::vector<std::uint8_t> EncodeReply(const Reply& reply) {
    Writer writer;
    writer.Byte(static_cast<std::uint8_t>(reply.status));
    writer.Integer(static_cast<std::uint64_t>(reply.result), 8);
    writer.Text(reply.text);
    return writer.Take();
}

std::optional<Reply> DecodeReply(const std::vector<std::uint8_t>& payload) {
    if (payload.size() > kMaxPayload) {
        return std::nullopt;
    }
    Reader reader(payload);
    Reply reply;
    std::uint64_t status = 0, result = 0;
    if (!reader.Integer(status, 1) || status > static_cast<std::uint8_t>(Status::Refused) ||
        !reader.Integer(result, 8) || !reader.Text(reply.text) || !reader.AtEnd()) {
        return std::nullopt;
    }
    reply.status = static_cast<Status>(status);
    reply.result = static_cast<std::int64_t>(result);
    return reply;
}

std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& payload) {
    Writer writer;
    writer.Integer(payload.size(), 4);
    std::vector<std::uint8_t> framed = writer.Take();
    framed.insert(framed.end(), payload.begin(), payload.end());
    return framed;
}

bool TakeFrame(std::vector<std::uint8_t>& buffer, std::vector<std::uint8_t>& payload, bool& bad) {
    if (buffer.size() < 4) {
        return false;
    }
    std::uint32_t length = buffer[0] | (buffer[1] << 8) | (buffer[2] << 16) |
                           (static_cast<std::uint32_t>(buffer[3]) << 24);
    if (length > kMaxPayload) {
        bad = true;
        return false;
    }
    if (buffer.size() - 4 < length) {
        return false;
    }
    payload.assign(buffer.begin() + 4, buffer.begin() + 4 + length);
    buffer.erase(buffer.begin(), buffer.begin() + 4 + length);
    return true;
}

} // namespace platform::remote
