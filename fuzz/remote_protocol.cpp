// The cross-process window interface's wire format: the input is the byte
// stream a peer sends over the socket, taken apart into frames as the server
// does, and each payload decoded both as a request and as a reply.
//
// A frame taken is its length prefix and that many bytes, never more than the
// payload limit; a stream whose next length is beyond it is refused. Whatever
// decodes re-encodes to the same bytes and keeps its texts within their limit.
#include <cstdint>
#include <vector>

#include "fuzz/support/check.h"
#include "platform/ipc/remote_protocol.h"

using fuzz::Check;
namespace remote = platform::remote;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> buffer(data, data + size);
    for (;;) {
        std::vector<std::uint8_t> before = buffer;
        std::vector<std::uint8_t> payload;
        bool bad = false;
        if (!remote::TakeFrame(buffer, payload, bad)) {
            Check(buffer == before, "a frame not taken leaves the stream as it was");
            std::uint32_t length = before.size() < 4
                                       ? 0
                                       : before[0] | before[1] << 8 | before[2] << 16 |
                                             static_cast<std::uint32_t>(before[3]) << 24;
            Check(bad == (length > remote::kMaxPayload),
                  "only a length beyond the limit makes a stream bad");
            Check(bad || before.size() < 4 || before.size() - 4 < length,
                  "a frame is not taken only while it is incomplete");
            break;
        }
        Check(payload.size() <= remote::kMaxPayload, "a payload is within the limit");
        std::vector<std::uint8_t> framed = remote::Frame(payload);
        Check(std::vector<std::uint8_t>(before.begin(), before.begin() + framed.size()) == framed &&
                  std::vector<std::uint8_t>(before.begin() + framed.size(), before.end()) == buffer,
              "a frame taken is its length prefix and payload, off the front of the stream");

        if (std::optional<remote::Request> request = remote::DecodeRequest(payload)) {
            Check(remote::EncodeRequest(*request) == payload, "a request re-encodes to its bytes");
            Check(request->text.size() <= remote::kMaxTextUnits &&
                      request->className.size() <= remote::kMaxTextUnits,
                  "a request's texts are within the limit");
            Check(request->kind != remote::ParamKind::TextOut ||
                      (request->lParam >= 0 && request->lParam <= remote::kMaxTextUnits),
                  "a text buffer to fill is within the limit");
        }
        if (std::optional<remote::Reply> reply = remote::DecodeReply(payload)) {
            Check(remote::EncodeReply(*reply) == payload, "a reply re-encodes to its bytes");
            Check(reply->text.size() <= remote::kMaxTextUnits,
                  "a reply's text is within the limit");
        }
    }
    return 0;
}
