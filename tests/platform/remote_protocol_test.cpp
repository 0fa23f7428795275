#include <gtest/gtest.h>

#include <cstddef>
#include <random>

#include "platform/ipc/remote_protocol.h"

namespace {

using namespace platform::remote;

std::vector<Request> SampleRequests() {
    Request find;
    find.operation = Operation::FindWindow;
    find.className = u"SWIPETYPE";
    find.text = u"Swipetype";
    Request send;
    send.operation = Operation::SendMessage;
    send.window = 0x10010;
    send.message = 0x111;
    send.wParam = 40004;
    send.lParam = -1;
    Request setText = send;
    setText.message = 0x000C;
    setText.kind = ParamKind::TextIn;
    setText.text = u"ID:\u00E9\U0001F600";
    Request getText = send;
    getText.message = 0x000D;
    getText.kind = ParamKind::TextOut;
    getText.lParam = 1024;
    Request menu;
    menu.operation = Operation::ChooseMenuItem;
    menu.wParam = 40019;
    Request setting;
    setting.operation = Operation::Setting;
    setting.wParam = static_cast<std::uint64_t>(SettingAction::Set);
    setting.text = u"Prefix=ID: \u00E9";
    return {find, send, setText, getText, menu, setting};
}

TEST(RemoteProtocolTest, RequestsAndRepliesRoundTrip) {
    for (const Request& request : SampleRequests()) {
        EXPECT_EQ(DecodeRequest(EncodeRequest(request)), request);
    }
    Reply reply{Status::Ok, -42, u"Prefix text"};
    EXPECT_EQ(DecodeReply(EncodeReply(reply)), reply);
}

TEST(RemoteProtocolTest, RefusesTruncatedTrailingAndOutOfRangeInput) {
    for (const Request& request : SampleRequests()) {
        std::vector<std::uint8_t> bytes = EncodeRequest(request);
        for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
            std::vector<std::uint8_t> truncated(bytes.begin(),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            ASSERT_FALSE(DecodeRequest(truncated)) << "cut at " << cut;
        }
        bytes.push_back(0);
        EXPECT_FALSE(DecodeRequest(bytes)) << "trailing byte";
    }
    std::vector<std::uint8_t> bytes = EncodeRequest(SampleRequests()[0]);
    bytes[0] = 0;
    EXPECT_FALSE(DecodeRequest(bytes)) << "unknown operation";
    bytes[0] = 99;
    EXPECT_FALSE(DecodeRequest(bytes));

    Request tooLarge = SampleRequests()[3];
    tooLarge.lParam = static_cast<std::int64_t>(kMaxTextUnits) + 1;
    EXPECT_FALSE(DecodeRequest(EncodeRequest(tooLarge))) << "text buffer beyond the limit";
    tooLarge.lParam = -5;
    EXPECT_FALSE(DecodeRequest(EncodeRequest(tooLarge)));

    Request longText = SampleRequests()[2];
    longText.text.assign(kMaxTextUnits + 1, u'x');
    EXPECT_FALSE(DecodeRequest(EncodeRequest(longText)));
}

TEST(RemoteProtocolTest, TextLengthCannotClaimMoreThanIsThere) {
    std::vector<std::uint8_t> bytes = EncodeRequest(SampleRequests()[2]);
    // The first text's unit count follows op(1) window(8) message(4) wParam(8)
    // lParam(8) kind(1).
    const std::size_t countAt = 30;
    bytes[countAt] = 0xFF;
    bytes[countAt + 1] = 0x1F;
    EXPECT_FALSE(DecodeRequest(bytes));
}

// Random and mutated payloads: no crash, and what decodes re-encodes the same.
TEST(RemoteProtocolTest, RandomizedPayloadsNeverCrashTheDecoder) {
    std::mt19937 random(7);
    std::vector<std::vector<std::uint8_t>> seeds;
    for (const Request& request : SampleRequests()) {
        seeds.push_back(EncodeRequest(request));
    }
    int decoded = 0;
    for (int round = 0; round < 50000; ++round) {
        std::vector<std::uint8_t> bytes;
        if (round % 2 == 0) {
            bytes.resize(random() % 80);
            for (auto& byte : bytes) {
                byte = static_cast<std::uint8_t>(random());
            }
        } else {
            bytes = seeds[random() % seeds.size()];
            for (auto flips = 1 + random() % 4; flips > 0; --flips) {
                bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
            }
            if (random() % 3 == 0) {
                bytes.resize(random() % (bytes.size() + 1));
            }
        }
        if (std::optional<Request> request = DecodeRequest(bytes)) {
            ++decoded;
            ASSERT_EQ(EncodeRequest(*request), bytes);
        }
        if (std::optional<Reply> reply = DecodeReply(bytes)) {
            ASSERT_EQ(EncodeReply(*reply), bytes);
        }
    }
    EXPECT_GT(decoded, 0) << "mutations that keep a request valid must decode";
}

} // namespace
