// The program on a Wayland desktop (sway headless), run as the desktop's user:
// its default sink types a swipe into a native client (wev) exactly, characters
// outside any layout and more of them than the keymap holds at once included,
// and waits for a compositor that ended and started again.
#include <thread>

#include "e2e/program_fixture.h"
#include "platform/core/unicode.h"
#include "support/wayland_session.h"

namespace e2e {
namespace {

class WaylandProgramTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        std::string reason;
        if (!session_.Start({}, reason)) {
            GTEST_SKIP() << reason;
        }
        ASSERT_TRUE(recorder_.Start(session_, reason)) << reason;
        program_path_ = session_.Reachable(SWIPETYPE_PATH, reason);
        ASSERT_FALSE(program_path_.empty()) << reason;
        wrapper_ = session_.Command({});
        sendWrapper_ = wrapper_;
        send_path_ = session_.Reachable(SWIPETYPE_SEND_PATH, reason);
        ASSERT_FALSE(send_path_.empty()) << reason;
        keys_ = ""; // the session's default
    }

    void StartInSession(const std::string& prefix) {
        WriteHive(SettingsHive(1, 1, prefix));
        StartSimulator("msr");
        ASSERT_TRUE(session_.GiveToUser(dir_.string()) && session_.GiveToUser(device_));
        StartProgram();
        ASSERT_NE(program_.Errors().find("key sink wayland"), std::string::npos)
            << program_.Errors();
    }

    wayland_test::WaylandSession session_;
    wayland_test::KeyRecorder recorder_;
};

TEST_F(WaylandProgramTest, ASwipeReachesAWaylandApplicationExactlyWhateverItsCharacters) {
    // Characters typed with Shift on a keyboard (the Shift events of the stream add
    // nothing), accents, a currency sign, a character above U+FFFF (a surrogate
    // pair in the key events), and 160 CJK characters, more than the keymap has
    // keys to spare: the keymap is handed over again and again within the text.
    std::string prefix = "ID@é€ß😀";
    for (char32_t c = 0x4E00; c < 0x4E00 + 160; ++c) {
        platform::AppendUtf8(prefix, c);
    }
    prefix += "Ωé";
    StartInSession(prefix);
    sim_.Write(";4111=2512?\n");
    std::string expected = prefix + "4111=2512\r";
    EXPECT_EQ(recorder_.WaitFor(expected, 20s), expected);
}

TEST_F(WaylandProgramTest, TheSinkComesBackWithTheCompositorAndReadsMeanwhileAreDropped) {
    // Paced, so that each key event is sent on its own.
    wrapper_ = session_.Command({}, {"SWIPETYPE_KEY_DELAY=2"});
    StartInSession("");
    sim_.Write(";4111=2512?\n");
    ASSERT_EQ(recorder_.WaitFor("4111=2512\r", 10s), "4111=2512\r");
    // wev shows ENTER at its press; its release is still to come, and must not
    // meet the compositor gone. The read is typed whole once its key lines stop.
    for (std::size_t typed = 0; typed != LogLines("key").size();) {
        typed = LogLines("key").size();
        std::this_thread::sleep_for(300ms);
    }

    session_.StopCompositor();
    std::string gone = "keys: the Wayland compositor " + session_.WaylandDisplay() + " is gone";
    ASSERT_TRUE(Says(gone)) << program_.Errors();
    std::size_t keyLines = LogLines("key").size();
    sim_.Write(";5222=2512?\n");
    sim_.Write(";5333=2512?\n");
    ASSERT_TRUE(WaitUntil([&] { return LogLines("key").size() >= keyLines + 40; }, 10s));

    std::string reason;
    ASSERT_TRUE(session_.RestartCompositor(reason)) << reason;
    ASSERT_TRUE(recorder_.Start(session_, reason)) << reason;
    std::string back = "keys: the Wayland compositor " + session_.WaylandDisplay() +
                       " is back; 2 reads made while it was gone were dropped";
    ASSERT_TRUE(Says(back, 10s)) << program_.Errors();
    sim_.Write(";6444=2512?\n");
    EXPECT_EQ(recorder_.WaitFor("6444=2512\r", 10s), "6444=2512\r") << "none of the dropped";
    std::string errors = program_.Errors();
    EXPECT_EQ(errors.find(gone, errors.find(gone) + 1), std::string::npos)
        << "said once: " << errors;
    Terminate();
}

} // namespace
} // namespace e2e
