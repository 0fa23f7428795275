// Choosing the key sink: by name for --keys, and the default rule (xtest, else
// uinput, else none), with the start-up explanation. Also the --key-delay value.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/key_delay.h"
#include "platform/key_sink_choice.h"
#include "x_test_display.h"

namespace {

using namespace std::chrono_literals;

// Sets or clears an environment variable for one test and puts it back after.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            saved_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnvironment() {
        if (saved_) {
            setenv(name_, saved_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

platform::KeySinkSettings WithoutUinput() {
    platform::KeySinkSettings settings;
    settings.uinputPath = "/nonexistent/uinput";
    return settings;
}

TEST(KeySinkChoiceTest, NamesOfTheSinks) {
    for (const char* name : {"xtest", "uinput", "text", "none"}) {
        EXPECT_TRUE(platform::IsKeySinkName(name)) << name;
    }
    EXPECT_FALSE(platform::IsKeySinkName("x11"));
    EXPECT_FALSE(platform::IsKeySinkName(""));
}

TEST(KeySinkChoiceTest, TextAndNoneAreMadeByName) {
    std::string error;
    auto text = platform::MakeKeySinkByName("text", {}, error);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Name(), "text");
    auto none = platform::MakeKeySinkByName("none", {}, error);
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->Name(), "none");
}

TEST(KeySinkChoiceTest, UnknownNameAndUnavailableSinksGiveAReason) {
    std::string error;
    EXPECT_EQ(platform::MakeKeySinkByName("x11", {}, error), nullptr);
    EXPECT_NE(error.find("xtest, uinput, text or none"), std::string::npos) << error;
    platform::KeySinkSettings settings = WithoutUinput();
    error.clear();
    EXPECT_EQ(platform::MakeKeySinkByName("uinput", settings, error), nullptr);
    EXPECT_NE(error.find("/nonexistent/uinput"), std::string::npos) << error;
    settings.display = ":64998";
    error.clear();
    EXPECT_EQ(platform::MakeKeySinkByName("xtest", settings, error), nullptr);
    EXPECT_NE(error.find(":64998"), std::string::npos) << error;
}

TEST(KeySinkChoiceTest, DefaultIsXTestWhenTheDisplayOffersIt) {
    std::string reason;
    const x_test::XvfbServer* server = x_test::SharedXvfb(reason);
    if (server == nullptr) {
        GTEST_SKIP() << reason;
    }
    ScopedEnvironment display("DISPLAY", server->Name().c_str());
    std::string why;
    auto sink = platform::ChooseDefaultKeySink(WithoutUinput(), why);
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(sink->Name(), "xtest");
    EXPECT_EQ(why, "key sink xtest: the X server " + server->Name() + " offers XTest");
}

TEST(KeySinkChoiceTest, DefaultFallsBackToNoneAndSaysWhy) {
    ScopedEnvironment display("DISPLAY", nullptr);
    std::string why;
    auto sink = platform::ChooseDefaultKeySink(WithoutUinput(), why);
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(sink->Name(), "none") << "card data is never printed unless asked for";
    EXPECT_NE(why.find("DISPLAY is not set"), std::string::npos) << why;
    EXPECT_NE(why.find("/nonexistent/uinput"), std::string::npos) << why;
    EXPECT_NE(why.find("--keys text"), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << "one line";
}

TEST(KeySinkChoiceTest, DefaultSkipsADisplayWithoutAServer) {
    ScopedEnvironment display("DISPLAY", ":64997");
    std::string why;
    auto sink = platform::ChooseDefaultKeySink(WithoutUinput(), why);
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(sink->Name(), "none");
    EXPECT_NE(why.find(":64997"), std::string::npos) << why;
}

struct DelayCase {
    const char* text;
    bool valid;
    long long milliseconds;
};

class KeyDelayParseTest : public testing::TestWithParam<DelayCase> {};

TEST_P(KeyDelayParseTest, AcceptsWholeMillisecondsUpToTenSeconds) {
    std::chrono::milliseconds delay{-1};
    std::string error;
    bool valid = platform::ParseKeyDelay(GetParam().text, delay, error);
    EXPECT_EQ(valid, GetParam().valid);
    if (GetParam().valid) {
        EXPECT_EQ(delay.count(), GetParam().milliseconds);
    } else {
        EXPECT_NE(error.find(GetParam().text), std::string::npos) << error;
        EXPECT_EQ(delay.count(), -1) << "left alone on error";
    }
}

INSTANTIATE_TEST_SUITE_P(Values, KeyDelayParseTest,
                         testing::Values(DelayCase{"0", true, 0}, DelayCase{"15", true, 15},
                                         DelayCase{"10000", true, 10000},
                                         DelayCase{"10001", false, 0}, DelayCase{"-1", false, 0},
                                         DelayCase{"", false, 0}, DelayCase{"5ms", false, 0},
                                         DelayCase{" 5", false, 0},
                                         DelayCase{"99999999999999999999", false, 0}));

TEST(KeyDelayTest, PacerWaitsTheDelayBetweenEventsButNotBeforeTheFirst) {
    platform::SetKeyDelay(30ms);
    platform::KeyPacer pacer;
    auto start = std::chrono::steady_clock::now();
    pacer.BeforeEvent();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 25ms);
    pacer.BeforeEvent();
    pacer.BeforeEvent();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
    platform::SetKeyDelay(0ms);
    auto quick = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        pacer.BeforeEvent();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - quick, 25ms) << "0 means back to back";
}

} // namespace
