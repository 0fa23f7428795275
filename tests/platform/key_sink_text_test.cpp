#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "keys/keystrokes.h"
#include "platform/keyboard/key_sink.h"

namespace {

// The text sink writes into a pipe; the test reads back what arrived.
class TextSinkTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(pipe(fds_), 0);
        platform::SetKeySink(platform::MakeTextKeySink(fds_[1]));
    }
    void TearDown() override {
        platform::SetKeySink(nullptr);
        close(fds_[0]);
        close(fds_[1]);
    }
    std::string Output() {
        platform::SetKeySink(nullptr); // flushes a pending surrogate half
        close(fds_[1]);
        fds_[1] = -1;
        std::string text;
        char buffer[256];
        for (ssize_t n; (n = read(fds_[0], buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }
    int fds_[2] = {-1, -1};
};

// A bare key carries no character, so it prints nothing.
TEST_F(TextSinkTest, PrintsTheCharactersOfKeyDownEventsAsUtf8) {
    TypeText(u"Ab@\u00E9\u20AC\r", FALSE, FALSE, FALSE, 0);
    TypeText(u"\\v0D", TRUE, FALSE, FALSE, 0);
    EXPECT_EQ(Output(), "Ab@\xC3\xA9\xE2\x82\xAC\r");
}

TEST_F(TextSinkTest, PairsSurrogateHalvesAndReplacesLoneOnes) {
    TypeText(u"\U0001F600x", FALSE, FALSE, FALSE, 0);
    const char16_t lone[] = {0xD800, u'y', 0xDC00, 0xD801, 0};
    TypeText(lone, FALSE, FALSE, FALSE, 0);
    EXPECT_EQ(Output(), "\xF0\x9F\x98\x80x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD");
}

} // namespace
