// The uinput sink: its key choices for "us" and "de" computed without a device,
// and the device itself where the machine offers /dev/uinput.
#include <gtest/gtest.h>

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "keys/keystrokes.h"
#include "platform/core/recorder.h"
#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/key_sink_registry.h"
#include "platform/keyboard/uinput/key_sink_uinput.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"

namespace {

using platform::EvdevKeyAction;

std::vector<EvdevKeyAction> Stroke(unsigned int code, unsigned int modifier) {
    if (modifier == 0) {
        return {{code, true}, {code, false}};
    }
    return {{modifier, true}, {code, true}, {code, false}, {modifier, false}};
}

std::string Describe(const std::vector<EvdevKeyAction>& actions) {
    std::string text;
    for (const EvdevKeyAction& action : actions) {
        text += std::to_string(action.code) + (action.down ? "v " : "^ ");
    }
    return text;
}

// A key sink that runs the planner on the real event stream and keeps the plan.
class PlanningSink final : public platform::KeySink {
  public:
    PlanningSink(platform::UinputKeyPlanner& planner, std::vector<EvdevKeyAction>& actions)
        : planner_(planner), actions_(actions) {}
    bool Post(const platform::KeyEvent& event) override {
        bool skipped = false;
        std::vector<EvdevKeyAction> more = planner_.Plan(event, skipped);
        actions_.insert(actions_.end(), more.begin(), more.end());
        return !skipped;
    }
    std::string Name() const override { return "planning"; }

  private:
    platform::UinputKeyPlanner& planner_;
    std::vector<EvdevKeyAction>& actions_;
};

class UinputPlannerTest : public testing::Test {
  protected:
    void Load(const std::string& layout) {
        context_ = platform::MakeXkbContext();
        std::string error;
        keymap_ = platform::CompileLayoutKeymap(context_.get(), layout, error);
        ASSERT_NE(keymap_, nullptr) << error;
        planner_ = std::make_unique<platform::UinputKeyPlanner>(keymap_.get(), layout);
    }

    std::vector<EvdevKeyAction> Type(const std::u16string& text, BOOL escapes = FALSE) {
        std::vector<EvdevKeyAction> actions;
        platform::SetKeySink(std::make_unique<PlanningSink>(*planner_, actions));
        EscapeState = {};
        TypeText(text.c_str(), escapes, FALSE, FALSE, 0);
        platform::SetKeySink(nullptr);
        return actions;
    }

    void TearDown() override {
        platform::SetKeySink(nullptr);
        EscapeState = {};
        platform::StopRecording();
    }

    platform::XkbContextPtr context_;
    platform::XkbKeymapPtr keymap_;
    std::unique_ptr<platform::UinputKeyPlanner> planner_;
};

// What the presses type on the layout as a client decodes them with libxkbcommon,
// key by key; all keys are up again at the end.
std::u32string Decoded(xkb_keymap* keymap, const std::vector<EvdevKeyAction>& actions) {
    platform::XkbStatePtr state(xkb_state_new(keymap));
    std::u32string typed;
    for (const EvdevKeyAction& action : actions) {
        xkb_keycode_t key = action.code + 8;
        if (char32_t c = xkb_state_key_get_utf32(state.get(), key); c != 0 && action.down) {
            typed += c;
        }
        xkb_state_update_key(state.get(), key, action.down ? XKB_KEY_DOWN : XKB_KEY_UP);
    }
    EXPECT_EQ(xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED), 0u);
    return typed;
}

// Every printable ASCII character is typed by keys of the typing block (a remote
// desktop may not pass keypad keys on, and ANSI keyboards lack the key beside
// left Shift, which only "de" needs); "^" and "`" on "de" only as dead keys,
// whose accent the compositor's compose table makes of the space after them.
TEST_F(UinputPlannerTest, EveryPrintableAsciiCharacterIsTypedOnUsAndDe) {
    std::set<unsigned int> avoided = {KEY_KPASTERISK, KEY_KPMINUS, KEY_KPPLUS, KEY_KPSLASH,
                                      KEY_KPDOT,      KEY_KP0,     KEY_KP1,    KEY_102ND};
    for (const char* layout : {"us", "de"}) {
        Load(layout);
        avoided.erase(std::string(layout) == "de" ? KEY_102ND : 0);
        for (char c = 0x20; c < 0x7F; ++c) {
            std::vector<EvdevKeyAction> actions = Type(std::u16string(1, static_cast<char16_t>(c)));
            bool dead = std::string(layout) == "de" && (c == '^' || c == '`');
            EXPECT_EQ(Decoded(keymap_.get(), actions), dead ? U" " : std::u32string(1, c))
                << layout << " character " << c << ": " << Describe(actions);
            for (const EvdevKeyAction& action : actions) {
                EXPECT_EQ(avoided.count(action.code), 0u) << layout << " character " << c;
            }
        }
    }
    Load("de");
    EXPECT_EQ(Describe(Type(u"^")),
              Describe(Stroke(KEY_GRAVE, 0)) + Describe(Stroke(KEY_SPACE, 0)));
    EXPECT_EQ(Describe(Type(u"`")),
              Describe(Stroke(KEY_EQUAL, KEY_LEFTSHIFT)) + Describe(Stroke(KEY_SPACE, 0)));
    EXPECT_EQ(Describe(Type(u"y@")),
              Describe(Stroke(KEY_Z, 0)) + Describe(Stroke(KEY_Q, KEY_RIGHTALT)));
}

TEST_F(UinputPlannerTest, TabEnterAndBareKeysPressTheirKeys) {
    Load("us");
    EXPECT_EQ(Describe(Type(u"\t\r")),
              Describe(Stroke(KEY_TAB, 0)) + Describe(Stroke(KEY_ENTER, 0)));
    // A bare key presses its key: the keypad 1 key, whatever Num Lock makes of it.
    EXPECT_EQ(Describe(Type(u"\\v0D\\v25\\v61", TRUE)), // Enter, Left, keypad 1
              Describe(Stroke(KEY_ENTER, 0)) + Describe(Stroke(KEY_LEFT, 0)) +
                  Describe(Stroke(KEY_KP1, 0)));
}

TEST_F(UinputPlannerTest, CapsLockIsCompensatedWhenTheInputStackReportsIt) {
    Load("us");
    planner_->SetLocks({planner_->Finder().FromCoreModifiers(0x02), 0});
    EXPECT_EQ(Describe(Type(u"aA")), Describe({{KEY_LEFTSHIFT, true},
                                               {KEY_A, true},
                                               {KEY_A, false},
                                               {KEY_LEFTSHIFT, false},
                                               {KEY_A, true},
                                               {KEY_A, false}}));
}

TEST_F(UinputPlannerTest, CharacterTheLayoutLacksIsSkippedWithOneDebugLine) {
    Load("us");
    platform::StartRecording();
    EXPECT_TRUE(Type(u"\u20AC").empty());
    ASSERT_EQ(platform::Recorded().debugLines.size(), 1U);
    EXPECT_EQ(platform::Recorded().debugLines[0],
              u"uinput: layout \"us\" has no key for a non-ASCII character; not typed")
        << "the character itself, which may be card data, is not said";
    platform::StopRecording();
    // The German layout has the euro sign on AltGr+E.
    Load("de");
    EXPECT_EQ(Describe(Type(u"\u20AC")), Describe(Stroke(KEY_E, KEY_RIGHTALT)));
}

TEST_F(UinputPlannerTest, LayoutWithVariantAndUnknownLayout) {
    Load("de(nodeadkeys)");
    EXPECT_EQ(Describe(Type(u"^")), Describe(Stroke(KEY_GRAVE, 0)));
    std::string error;
    auto context = platform::MakeXkbContext();
    EXPECT_EQ(platform::CompileLayoutKeymap(context.get(), "no-such-layout", error), nullptr);
    EXPECT_NE(error.find("no-such-layout"), std::string::npos);
}

TEST(UinputSinkTest, DeviceThatIsNotUinputIsRefusedWithAReason) {
    std::string error;
    EXPECT_EQ(platform::MakeUinputKeySink("us", error, "/dev/null"), nullptr);
    EXPECT_NE(error.find("/dev/null"), std::string::npos) << error;
    EXPECT_EQ(platform::MakeUinputKeySink("us", error, "/nonexistent/uinput"), nullptr);
    EXPECT_NE(error.find("/nonexistent/uinput"), std::string::npos) << error;
}

// The reason tells a module that is not loaded (a node nothing serves: a
// character device of a major number no driver has) apart from a node that is
// missing and from one the user may not open.
TEST(UinputSinkTest, TheReasonNamesTheMissingModuleOrPermission) {
    test_support::TempDir dir("swipetype-uinput");
    std::string orphan = dir.Path() + "/uinput";
    if (::mknod(orphan.c_str(), S_IFCHR | 0666, makedev(511, 0)) != 0) {
        GTEST_SKIP() << "mknod needs root here";
    }
    std::string closed = dir.Path() + "/closed";
    ::close(::open(closed.c_str(), O_CREAT | O_WRONLY, 0));
    struct Case {
        std::string path;
        const char* says;
    };
    for (const Case& c :
         {Case{orphan, "module is not loaded (sudo modprobe uinput"},
          Case{dir.Path() + "/missing", "does not exist"}, Case{closed, "no permission"}}) {
        if (c.path == closed && ::geteuid() == 0) {
            continue; // root opens it anyway
        }
        std::string reason;
        EXPECT_FALSE(platform::UinputAccessible(c.path, reason));
        EXPECT_NE(reason.find(c.says), std::string::npos) << reason;
    }
}

// Finds the event node of the virtual keyboard by its name.
int OpenVirtualKeyboard(libevdev** device) {
    DIR* directory = opendir("/dev/input");
    if (directory == nullptr) {
        return -1;
    }
    int found = -1;
    while (dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        if (name.rfind("event", 0) != 0) {
            continue;
        }
        int fd = open(("/dev/input/" + name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        libevdev* candidate = nullptr;
        if (libevdev_new_from_fd(fd, &candidate) == 0 &&
            std::string(libevdev_get_name(candidate)) == "Swipetype virtual keyboard") {
            *device = candidate;
            found = fd;
            break;
        }
        libevdev_free(candidate);
        close(fd);
    }
    closedir(directory);
    return found;
}

TEST(UinputSinkTest, VirtualKeyboardSendsTheChosenKeys) {
    std::string reason;
    if (!platform::UinputAccessible(platform::DefaultUinputPath, reason)) {
        GTEST_SKIP() << "no uinput here, the device path is not tested: " << reason;
    }
    std::string error;
    auto sink = platform::MakeUinputKeySink("us", error);
    ASSERT_NE(sink, nullptr) << error;
    libevdev* reader = nullptr;
    int fd = OpenVirtualKeyboard(&reader);
    ASSERT_GE(fd, 0) << "the virtual keyboard has no event node";
    // Keep the keys away from the desktop the tests run on.
    ASSERT_EQ(libevdev_grab(reader, LIBEVDEV_GRAB), 0);
    EXPECT_TRUE(sink->Post({0x10, 0x00010080, 0x00010080, 0}));
    EXPECT_TRUE(sink->Post({0x41, 0x80, 0x80, u'A'}));
    EXPECT_TRUE(sink->Post({0x41, 0x00010001, 0x00010000, 0}));
    EXPECT_TRUE(sink->Post({0x10, 0x00010001, 0x00010000, 0}));
    std::vector<EvdevKeyAction> received;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (received.size() < 4 && std::chrono::steady_clock::now() < deadline) {
        input_event event{};
        int status = libevdev_next_event(reader, LIBEVDEV_READ_FLAG_NORMAL, &event);
        if (status == LIBEVDEV_READ_STATUS_SUCCESS && event.type == EV_KEY) {
            received.push_back({event.code, event.value != 0});
        } else if (status == -EAGAIN) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    EXPECT_EQ(Describe(received), Describe(Stroke(KEY_A, KEY_LEFTSHIFT)));
    libevdev_grab(reader, LIBEVDEV_UNGRAB);
    libevdev_free(reader);
    close(fd);
}

} // namespace
