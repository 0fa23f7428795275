// A cage kiosk (Debian 12's cage 0.1.4: no virtual-keyboard protocol, with
// XWayland), run headless as the session's user: the default choice there and
// what it types. Native applications could be reached only through uinput,
// which this host does not offer: then the default is xtest, said once to reach
// X11 applications only, and an X11 window under cage's XWayland gets the
// layout's characters exactly.
#include <gtest/gtest.h>

#include "platform/core/unicode.h"
#include "platform/core/user_notice.h"
#include "platform/keyboard/key_sink_choice.h"
#include "platform/keyboard/keyboard.h"
#include "platform/keyboard/uinput/key_sink_uinput.h"
#include "support/layout_characters.h"
#include "support/linked_key_sinks.h"
#include "support/scoped_environment.h"
#include "support/wayland_session.h"
#include "support/x_test_display.h"

namespace {

using namespace std::chrono_literals;
using test_support::ScopedEnvironment;

TEST(CageTest, DefaultSinkSaysWhatItReachesAndTypesX11Exactly) {
    wayland_test::WaylandSession cage;
    wayland_test::SessionOptions options;
    options.compositor = wayland_test::Compositor::Cage;
    std::string reason;
    if (!cage.Start(options, reason)) {
        GTEST_SKIP() << reason;
    }
    ASSERT_FALSE(cage.XDisplay().empty()) << "cage set no DISPLAY: built without XWayland";
    ScopedEnvironment display("DISPLAY", cage.XDisplay().c_str());
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", cage.RuntimeDir().c_str());
    ScopedEnvironment socket("WAYLAND_DISPLAY", cage.WaylandDisplay().c_str());
    ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", nullptr);
    x_test::TextWindow window;
    ASSERT_TRUE(window.Open(cage.XDisplay(), reason)) << reason;

    platform::SetKeySinkModules(test_support::LinkedKeySinkModules());
    std::vector<std::string> notices;
    platform::ForgetUserNotices();
    platform::SetUserNotifier([&](const std::string& sentence) { notices.push_back(sentence); });
    std::string why;
    auto sink = platform::ChooseDefaultKeySink({}, why);
    platform::SetUserNotifier({});
    ASSERT_NE(sink, nullptr);
    if (platform::UinputAccessible(platform::DefaultUinputPath, reason)) {
        EXPECT_EQ(sink->Name(), "uinput") << why;
        GTEST_SKIP() << "uinput types for native applications here; not checked further";
    }
    ASSERT_EQ(sink->Name(), "xtest") << why;
    ASSERT_EQ(notices.size(), 1u) << why;
    EXPECT_EQ(notices[0].rfind("Only X11 applications", 0), 0u) << notices[0];
    EXPECT_NE(notices[0].find("zwp_virtual_keyboard_manager_v1"), std::string::npos) << notices[0];

    std::string text = test_support::LayoutText("us", 100);
    std::u16string units = platform::Utf8ToUtf16(text); // no surrogates: one per character
    for (char16_t unit : units) {
        for (UINT flags : {static_cast<UINT>(KeyStateDownFlag), 0U}) {
            ASSERT_TRUE(sink->Post({0, flags, 0, unit}));
        }
    }
    EXPECT_EQ(x_test::Utf8(window.Take(units.size(), 10s)), text);
}

} // namespace
