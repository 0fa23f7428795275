// Choosing the key sink from the table: by name for --keys, and the default
// order of each kind of session on real displays and compositors, with the
// start-up explanation and the notice. Also the --key-delay value.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/core/user_notice.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/key_sink_choice.h"
#include "platform/keyboard/key_sink_registry.h"
#include "platform/keyboard/uinput/key_sink_uinput.h"
#include "support/linked_key_sinks.h"
#include "support/scoped_environment.h"
#include "support/wayland_session.h"
#include "support/x_test_display.h"

namespace {

using namespace std::chrono_literals;

using test_support::ScopedEnvironment;

platform::KeySinkSettings WithoutUinput() {
    platform::SetKeySinkModules(test_support::LinkedKeySinkModules());
    platform::KeySinkSettings settings;
    settings.uinputPath = "/nonexistent/uinput";
    return settings;
}

TEST(KeySinkChoiceTest, UnknownNameAndUnavailableSinksGiveAReason) {
    std::string error;
    EXPECT_EQ(platform::MakeKeySinkByName("x11", {}, error), nullptr);
    EXPECT_NE(error.find(platform::KeySinkNameList()), std::string::npos) << error;
    platform::KeySinkSettings settings = WithoutUinput();
    error.clear();
    EXPECT_EQ(platform::MakeKeySinkByName("uinput", settings, error), nullptr);
    EXPECT_NE(error.find("/nonexistent/uinput"), std::string::npos) << error;
    settings.display = ":64998";
    error.clear();
    EXPECT_EQ(platform::MakeKeySinkByName("xtest", settings, error), nullptr);
    EXPECT_NE(error.find(":64998"), std::string::npos) << error;
}

// The session decides the order: under X11 xtest comes first; under Wayland the
// compositor's virtual keyboard (sway offers it, weston does not), then mutter's
// remote desktop (on the session's bus, which weston's session has too), then uinput,
// then xtest, which is said once to reach only X11 applications there, with what
// is missing and the remedy; with nothing at all, "none" is said likewise.
enum class Desktop { X11, Sway, Weston, Mutter };

struct Session {
    const char* name;
    Desktop desktop;
    bool uinput;
    bool display; // DISPLAY names the Xvfb server
    const char* sink;
    const char* notice; // how the one notice begins; nullptr for none
};

class KeySinkSessionTest : public testing::TestWithParam<Session> {};

TEST_P(KeySinkSessionTest, DefaultFollowsTheSession) {
    const Session& session = GetParam();
    std::string reason;
    const x_test::XvfbServer* server = x_test::SharedXvfb(reason);
    if (server == nullptr) {
        GTEST_SKIP() << reason;
    }
    platform::KeySinkSettings settings = WithoutUinput();
    if (session.uinput) {
        settings.uinputPath = platform::DefaultUinputPath;
        if (!platform::UinputAccessible(settings.uinputPath, reason)) {
            GTEST_SKIP() << "no usable uinput device here: " << reason;
        }
    }
    wayland_test::WaylandSession desktop;
    bool wayland = session.desktop != Desktop::X11;
    wayland_test::SessionOptions options;
    options.compositor = session.desktop == Desktop::Weston   ? wayland_test::Compositor::Weston
                         : session.desktop == Desktop::Mutter ? wayland_test::Compositor::Mutter
                                                              : wayland_test::Compositor::Sway;
    options.keyboard = false;
    if (wayland && !desktop.Start(options, reason)) {
        GTEST_SKIP() << reason;
    }
    ScopedEnvironment display("DISPLAY", session.display ? server->Name().c_str() : nullptr);
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", wayland ? desktop.RuntimeDir().c_str() : nullptr);
    ScopedEnvironment socket("WAYLAND_DISPLAY",
                             wayland ? desktop.WaylandDisplay().c_str() : nullptr);
    ScopedEnvironment type("XDG_SESSION_TYPE", nullptr);
    ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", nullptr);
    std::vector<std::string> notices;
    platform::ForgetUserNotices();
    platform::SetUserNotifier([&](const std::string& sentence) { notices.push_back(sentence); });
    std::string why;
    auto sink = platform::ChooseDefaultKeySink(settings, why);
    platform::SetUserNotifier({});
    ASSERT_NE(sink, nullptr);
    EXPECT_EQ(sink->Name(), session.sink) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << "one line: " << why;
    ASSERT_EQ(notices.size(), session.notice != nullptr ? 1u : 0u) << why;
    if (session.notice != nullptr) {
        EXPECT_EQ(notices[0].rfind(session.notice, 0), 0u) << notices[0];
        for (const char* part : {"zwp_virtual_keyboard_manager_v1", "/nonexistent/uinput",
                                 "60-swipetype-uinput.rules"}) {
            EXPECT_NE(notices[0].find(part), std::string::npos) << part << ": " << notices[0];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, KeySinkSessionTest,
    testing::Values(
        Session{"x11", Desktop::X11, false, true, "xtest", nullptr},
        Session{"x11_with_uinput", Desktop::X11, true, true, "xtest", nullptr},
        Session{"sway", Desktop::Sway, false, true, "wayland", nullptr},
        Session{"mutter", Desktop::Mutter, false, true, "gnome", nullptr},
        Session{"weston_with_uinput", Desktop::Weston, true, true, "uinput", nullptr},
        Session{"weston", Desktop::Weston, false, true, "xtest", "Only X11 applications"},
        Session{"weston_without_x", Desktop::Weston, false, false, "none", "No application"}),
    [](const testing::TestParamInfo<Session>& info) { return std::string(info.param.name); });

// Without DISPLAY, or with one no server answers, nothing is left but "none".
TEST(KeySinkChoiceTest, DefaultFallsBackToNoneAndSaysWhy) {
    for (const char* value : {static_cast<const char*>(nullptr), ":64997"}) {
        SCOPED_TRACE(value == nullptr ? "unset" : value);
        ScopedEnvironment display("DISPLAY", value);
        std::string why;
        auto sink = platform::ChooseDefaultKeySink(WithoutUinput(), why);
        ASSERT_NE(sink, nullptr);
        EXPECT_EQ(sink->Name(), "none") << "card data is never printed unless asked for";
        EXPECT_NE(why.find(value == nullptr ? "DISPLAY is not set" : value), std::string::npos)
            << why;
        EXPECT_NE(why.find("/nonexistent/uinput"), std::string::npos) << why;
        EXPECT_NE(why.find("--keys text"), std::string::npos) << why;
    }
}

TEST(KeyDelayTest, ParseAcceptsWholeMillisecondsUpToTenSeconds) {
    const std::pair<const char*, long long> cases[] = {
        {"0", 0},      {"15", 15}, {"10000", 10000},
        {"10001", -1}, {"-1", -1}, {"", -1},
        {"5ms", -1},   {" 5", -1}, {"99999999999999999999", -1},
    };
    for (const auto& [text, milliseconds] : cases) {
        std::chrono::milliseconds delay{-1};
        std::string error;
        EXPECT_EQ(platform::ParseKeyDelay(text, delay, error), milliseconds >= 0) << text;
        EXPECT_EQ(delay.count(), milliseconds) << text << ": left alone on error";
        EXPECT_EQ(error.find(text) != std::string::npos, milliseconds < 0) << error;
    }
}

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
