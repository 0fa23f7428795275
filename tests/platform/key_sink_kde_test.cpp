// The kde sink against a real KWin (virtual output), with wev as the focused
// native client. KWin grants fake input only to a program it knows by its
// executable and a desktop file, and it can only know a process of its own
// user: a small driver program (tests/support/kde_sink_driver.cpp), run as the
// session's user, makes the sink and types what the test asks. KWin starts with the German layout
// and is then switched to the US one, as the keyboard settings do, so one KWin serves both layouts
// and the sink's following of the keymap. The uinput sink's plan is checked against the keymap the
// same KWin hands out.
#include <gtest/gtest.h>

#include "platform/core/virtual_keys.h"
#include "platform/keyboard/uinput/key_sink_uinput.h"
#include "platform/keyboard/xkb/session_keymap.h"
#include "support/kde_driver.h"
#include "support/layout_characters.h"
#include "support/scoped_environment.h"
#include "support/spawn.h"
#include "support/wayland_session.h"

namespace {

using namespace std::chrono_literals;
using test_support::ScopedEnvironment;

// The name libxkbcommon gives a layout, as the sink's messages say it.
std::string LayoutName(const std::string& layout) {
    platform::XkbContextPtr context = platform::MakeXkbContext();
    std::string error;
    platform::XkbKeymapPtr keymap = platform::CompileLayoutKeymap(context.get(), layout, error);
    return keymap ? xkb_keymap_layout_get_name(keymap.get(), 0) : "";
}

// One KWin for all the cases, German first; one driver.
class KWinSessionTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        session_ = new wayland_test::WaylandSession;
        wayland_test::SessionOptions options;
        options.compositor = wayland_test::Compositor::KWin;
        options.layout = "de";
        if (!session_->Start(options, skip_)) {
            return;
        }
        driver_ = new wayland_test::KdeDriver;
        if (!driver_->Start(*session_, SWIPETYPE_KDE_SINK_DRIVER_PATH, failure_)) {
            failure_ = "KWin runs but " + failure_;
        }
    }
    static void TearDownTestSuite() {
        delete driver_;
        delete session_;
        driver_ = nullptr;
        session_ = nullptr;
    }
    void SetUp() override {
        if (!skip_.empty()) {
            GTEST_SKIP() << skip_;
        }
        ASSERT_TRUE(failure_.empty()) << failure_;
    }

    // A new wev, which gets the keyboard the driver's sink made.
    void Record(wayland_test::KeyRecorder& recorder) {
        std::string reason;
        ASSERT_TRUE(recorder.Start(*session_, reason)) << reason;
        ASSERT_TRUE(recorder.WaitForKeyboard(10s)) << "wev never got the keyboard's focus";
    }

    static wayland_test::WaylandSession* session_;
    static wayland_test::KdeDriver* driver_;
    static std::string skip_, failure_;
};
wayland_test::WaylandSession* KWinSessionTest::session_ = nullptr;
wayland_test::KdeDriver* KWinSessionTest::driver_ = nullptr;
std::string KWinSessionTest::skip_, KWinSessionTest::failure_;

TEST_F(KWinSessionTest, TypesEachLayoutExactlyAndNeverADifferentText) {
    EXPECT_EQ(driver_->Ask("choose"), "kde") << "the default where fake input is granted";
    // The euro sign: the German layout has it (AltGr), the US one does not.
    std::string euro = "\xE2\x82\xAC";
    ASSERT_NE(test_support::TypableLayoutText("de", 200).find(euro), std::string::npos);
    ASSERT_EQ(test_support::TypableLayoutText("us", 200).find(euro), std::string::npos);
    struct Case {
        const char* layout;
        bool euro;
    };
    for (Case c : {Case{"de", true}, Case{"us", false}}) {
        SCOPED_TRACE(c.layout);
        std::string reason;
        if (std::string(c.layout) != "de") {
            ASSERT_TRUE(session_->SetLayout(c.layout, reason)) << reason;
        }
        std::string text = test_support::TypableLayoutText(c.layout, 100) + (c.euro ? euro : "");
        for (char needed : std::string("=yz;?")) {
            ASSERT_NE(text.find(needed), std::string::npos) << needed;
        }
        wayland_test::KeyRecorder recorder;
        Record(recorder);
        // The sink follows the new keymap; KWin hands it out a moment after the change.
        ASSERT_TRUE(test_support::WaitUntil(
            [&] { return (driver_->Ask("can " + euro) == "yes") == c.euro; }, 10s));
        std::string why = driver_->Ask("can " + euro);
        if (!c.euro) {
            EXPECT_NE(why.find(LayoutName(c.layout)), std::string::npos) << why;
        }
        EXPECT_EQ(driver_->Ask("type " + text), "typed");
        EXPECT_EQ(recorder.WaitFor(text, 10s), text);
        if (!c.euro) {
            EXPECT_EQ(driver_->Ask("type " + euro), "not typed");
            EXPECT_EQ(recorder.WaitFor(text + "?", 300ms), text) << "no other key instead";
        }
    }
}

TEST_F(KWinSessionTest, UinputPlansForTheLayoutKWinHandsOut) {
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", session_->RuntimeDir().c_str());
    ScopedEnvironment socket("WAYLAND_DISPLAY", session_->WaylandDisplay().c_str());
    std::string reason;
    ASSERT_TRUE(session_->SetLayout("de", reason)) << reason;
    std::string error;
    std::unique_ptr<platform::SessionKeymap> keymap;
    ASSERT_TRUE(test_support::WaitUntil(
        [&] {
            keymap = platform::SessionKeymap::Find({}, error);
            return keymap && keymap->LayoutName() == LayoutName("de");
        },
        10s))
        << error << (keymap ? keymap->Describe() : "");
    EXPECT_EQ(keymap->Origin(), "the Wayland compositor " + session_->WaylandDisplay());
    platform::XkbContextPtr context = platform::MakeXkbContext();
    platform::XkbKeymapPtr german = platform::CompileLayoutKeymap(context.get(), "de", error);
    platform::XkbKeymapPtr us = platform::CompileLayoutKeymap(context.get(), "us", error);
    platform::UinputKeyPlanner fromKWin(keymap->Keymap(), keymap->LayoutName());
    platform::UinputKeyPlanner expected(german.get(), "de");
    platform::UinputKeyPlanner wrong(us.get(), "us");
    for (char16_t character : {u'=', u'y', u'z'}) {
        SCOPED_TRACE(static_cast<char>(character));
        bool skipped = false;
        platform::KeyEvent event{0, KeyStateDownFlag, 0, character};
        std::vector<platform::EvdevKeyAction> plan = fromKWin.Plan(event, skipped);
        ASSERT_FALSE(skipped);
        EXPECT_EQ(plan, expected.Plan(event, skipped));
        EXPECT_NE(plan, wrong.Plan(event, skipped)) << "the US keys type something else here";
    }
}

} // namespace
