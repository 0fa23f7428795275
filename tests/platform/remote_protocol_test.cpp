#include <gtest/gtest.h>

#include <cstddef>

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

    // A text buffer to fill of 0 units up to the limit, and no more.
    Request getText = SampleRequests()[3];
    const std::int64_t limit = kMaxTextUnits;
    for (auto [units, taken] :
         {std::pair{-1L, false}, {0L, true}, {limit, true}, {limit + 1, false}}) {
        getText.lParam = units;
        EXPECT_EQ(DecodeRequest(EncodeRequest(getText)).has_value(), taken) << units << " units";
    }

    Request setText = SampleRequests()[2];
    for (std::size_t units : {kMaxTextUnits, kMaxTextUnits + 1}) {
        setText.text.assign(units, u'x');
        EXPECT_EQ(DecodeRequest(EncodeRequest(setText)).has_value(), units == kMaxTextUnits);
    }
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

} // namespace
