// The RFID reader's replies, one per tick on the manual clock: which are typed, as
// what, and what each leaves in TagText.
#include <string>
#include <vector>

#include "reader_fixture.h"

namespace {

const DWORD kTick = DefaultSettings().RFIDInterval;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

struct Reply {
    const char* name;
    std::string bytes;
    std::string typed;
    std::string tagText; // TagText's first bytes after the tick
};

using RfidReaderTest = reader_test::ReaderTest;

// The rows run in order on one reader: a reply cut short must not be completed by
// what the reply before it left in TagText.
TEST_F(RfidReaderTest, RepliesAreTypedOrRefused) {
    const std::string shortTag = Bytes({0xBD, 0x08, 0x01, 0x00, 0x0A, 0x1B, 0xC2, 0x03});
    const std::string longTag =
        Bytes({0xBD, 0x0B, 0x01, 0x00, 0x04, 0xA1, 0x22, 0x6B, 0x1C, 0x5F, 0x80, 0x00});
    const std::string cleared(4, '\0');
    const Reply replies[] = {
        {"four-byte tag", shortTag + '\x64', " A1BC2 3", " A1BC2 3"},
        {"seven-byte tag", longTag, " 4A1226B1C5F80", " 4A1226B1C5F80"},
        {"four-byte tag cut short", shortTag.substr(0, 6), "", shortTag.substr(0, 6)},
        {"seven-byte tag cut short", longTag.substr(0, 10), "", longTag.substr(0, 10)},
        {"length 10", Bytes({0xBD, 10, 1, 0, 0xDE, 0xAD, 0x00, 0x7F, 1, 2, 3}), "DEAD 07F",
         "DEAD 07F"},
        {"length 12", Bytes({0xBD, 12, 1, 0, 0x0A, 0x1B, 0xC2, 0x03, 0xFF, 1, 2}), " A1BC2 3", ""},
        {"length 7", Bytes({0xBD, 7, 1, 0, 0x0A, 0x1B, 0xC2, 0x03}), "", cleared},
        {"a failed status", Bytes({0xBD, 8, 1, 1}), "", Bytes({0xBD, 8, 1, 1})},
        {"another header", Bytes({0xBE, 8, 1, 0, 0x0A, 0x1B, 0xC2, 0x03}), "", ""},
        {"another command", Bytes({0xBD, 8, 2, 0, 0x0A, 0x1B, 0xC2, 0x03}), "", ""},
        {"three bytes are dropped", Bytes({0xBD, 8, 1}), "", Bytes({0xBD, 8, 2})},
        {"exactly the tag", shortTag, " A1BC2 3", " A1BC2 3"},
    };
    ASSERT_EQ(StartRFIDReader(readerWindow_), 1);
    RunFor(kTick);
    for (const Reply& reply : replies) {
        std::size_t typed = Typed().size();
        device_->QueueInput(reply.bytes);
        RunFor(kTick);
        EXPECT_EQ(Typed().substr(typed), reply.typed) << reply.name;
        EXPECT_EQ(std::string(TagText, reply.tagText.size()), reply.tagText) << reply.name;
    }
    // A request at every tick: header, length, command "read tag", their check byte.
    std::string requests;
    for (std::size_t tick = 0; tick <= std::size(replies); ++tick) {
        requests += Bytes({0xBA, 0x02, 0x01, 0xB9});
    }
    EXPECT_EQ(device_->Output(), requests);
}

} // namespace
