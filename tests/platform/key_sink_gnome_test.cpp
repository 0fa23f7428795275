// The gnome sink against a real mutter (headless, one virtual monitor, no
// keyboard in its seat), with wev as the focused native client: the layout's
// characters arrive exactly, the first key of the first read included; what the
// layout lacks is refused, beforehand and when posted; a mutter that ends makes the sink lost and a
// new one types once mutter is back. mutter without GNOME Shell types with the layout localed
// reports on the system bus (else "us"); the German desktop gets it from a localed of the test's
// own on the session's bus.
#include <gtest/gtest.h>

#include <poll.h>

#include "platform/core/unicode.h"
#include "platform/keyboard/gnome/key_sink_gnome.h"
#include "platform/keyboard/keyboard.h"
#include "support/layout_characters.h"
#include "support/locale_service.h"
#include "support/scoped_environment.h"
#include "support/spawn.h"
#include "support/wayland_session.h"

namespace {

using namespace std::chrono_literals;
using test_support::ScopedEnvironment;

// Types `text` as the program's key events do: a key-down with the character,
// then its key-up.
bool Type(platform::KeySink& sink, const std::string& text) {
    bool typed = true;
    for (char16_t unit : platform::Utf8ToUtf16(text)) {
        for (UINT flags : {static_cast<UINT>(KeyStateDownFlag), 0U}) {
            typed = sink.Post({0, flags, 0, unit}) && typed;
        }
    }
    return typed;
}

// Reads what the sink's descriptor says until `done`, or the deadline.
bool ServiceUntil(platform::KeySink& sink, const std::function<bool()>& done,
                  std::chrono::milliseconds limit) {
    return test_support::WaitUntil(
        [&] {
            pollfd fd{sink.EventDescriptor(), sink.WaitEvents(), 0};
            if (fd.fd >= 0 && ::poll(&fd, 1, 10) > 0) {
                sink.Service(fd.revents);
            }
            return done();
        },
        limit);
}

class GnomeSinkTest : public testing::Test {
  protected:
    // mutter typing with `layout` ("" for its own), wev focused, the sink made
    // as the default choice makes it.
    void StartDesktop(const std::string& layout) {
        wayland_test::SessionOptions options;
        options.compositor = wayland_test::Compositor::Mutter;
        if (!layout.empty()) {
            options.busAsSystemBus = true;
            options.beforeCompositor = [this, layout](const std::string& bus, std::string& why) {
                return localed_.has_value() || localed_.emplace().Start(bus, layout, why);
            };
        }
        std::string reason;
        if (!session_.Start(options, reason)) {
            GTEST_SKIP() << reason;
        }
        ASSERT_TRUE(recorder_.Start(session_, reason)) << reason;
        bus_.emplace("DBUS_SESSION_BUS_ADDRESS", session_.BusAddress().c_str());
        runtime_.emplace("XDG_RUNTIME_DIR", session_.RuntimeDir().c_str());
        wayland_.emplace("WAYLAND_DISPLAY", session_.WaylandDisplay().c_str());
        // The default choice probes before it makes the sink; a seat without a
        // keyboard (so without a keymap yet) must not fail either.
        ASSERT_TRUE(platform::key_sink_factories::gnome.probe({}, reason)) << reason;
        sink_ = platform::key_sink_factories::gnome.make({}, reason);
        ASSERT_NE(sink_, nullptr) << reason;
    }

    // The layout's characters are typable and arrive exactly, the first key
    // included; `missing` (characters the layout lacks) is refused, naming
    // `layoutName`, beforehand and when posted.
    void CheckLayout(const std::string& text, const std::u32string& missing,
                     const std::string& layoutName) {
        std::string why;
        platform::ForEachCodePoint(platform::Utf8ToUtf16(text), [&](char32_t character) {
            EXPECT_TRUE(sink_->CanType(character, why)) << why;
        });
        ASSERT_TRUE(Type(*sink_, text));
        EXPECT_EQ(recorder_.WaitFor(text, 10s), text) << "the first key included";
        for (char32_t character : missing) {
            EXPECT_FALSE(sink_->CanType(character, why)) << static_cast<unsigned>(character);
            EXPECT_NE(why.find("\"" + layoutName + "\""), std::string::npos) << why;
            EXPECT_FALSE(sink_->Post({0, KeyStateDownFlag, 0, static_cast<UINT>(character)}));
        }
        ASSERT_TRUE(Type(*sink_, "!"));
        EXPECT_EQ(recorder_.WaitFor(text + "!", 5s), text + "!");
    }

    std::optional<wayland_test::LocaleService> localed_; // outlives the session
    wayland_test::WaylandSession session_;
    wayland_test::KeyRecorder recorder_;
    std::optional<ScopedEnvironment> bus_, runtime_, wayland_;
    std::unique_ptr<platform::KeySink> sink_;
};

TEST_F(GnomeSinkTest, TypesTheLayoutExactlyAndWaitsOutMutter) {
    StartDesktop("");
    ASSERT_NE(sink_, nullptr);
    std::string text = test_support::LayoutText("us", 100);
    CheckLayout(text, U"\u00E9", "English (US)");
    text = recorder_.Text();
    auto& sink = sink_;
    std::string error;
    // The session ends once typing is over; the sink stays and types again.
    ASSERT_TRUE(Type(*sink, "42"));
    EXPECT_EQ(recorder_.WaitFor(text + "42", 10s), text + "42");

    session_.StopCompositor();
    EXPECT_TRUE(ServiceUntil(
        *sink, [&] { return sink->Lost(); }, 10s))
        << "mutter's end is noticed while nothing is typed";
    EXPECT_FALSE(Type(*sink, "1"));
    EXPECT_EQ(platform::MakeGnomeKeySink(error), nullptr);
    EXPECT_NE(error.find("org.gnome.Mutter.RemoteDesktop"), std::string::npos) << error;

    std::string reason;
    ASSERT_TRUE(session_.RestartCompositor(reason)) << reason;
    wayland_test::KeyRecorder again;
    ASSERT_TRUE(again.Start(session_, reason)) << reason;
    auto remade = platform::MakeGnomeKeySink(error);
    ASSERT_NE(remade, nullptr) << error;
    // The new wev may not have the keyboard focus of the new mutter yet, and keys
    // typed before it has go nowhere: a probe, repeated until one arrives. (The
    // first key of a session is checked above, on the first mutter.)
    std::string probes;
    for (int tries = 0; tries < 20 && again.WaitFor(probes + "x", 500ms).empty(); ++tries) {
        ASSERT_TRUE(Type(*remade, "x"));
    }
    // Whatever probes were still on their way have come after a quiet half second.
    probes = again.WaitFor(std::string(64, 'x'), 500ms);
    ASSERT_FALSE(probes.empty()) << "the sink made after mutter's restart types nothing";
    ASSERT_TRUE(Type(*remade, text));
    EXPECT_EQ(again.WaitFor(probes + text, 10s), probes + text);
}

} // namespace

// The characters of track data that a US keymap puts elsewhere on a
// German keyboard; the pound sign is on the German 3 key's fourth level, which
// mutter does not reach (it would press the bare 3 key).
TEST_F(GnomeSinkTest, TypesForTheGermanLayoutMutterUses) {
    StartDesktop("de");
    ASSERT_NE(sink_, nullptr);
    CheckLayout("=yz;?" + test_support::LayoutText("de", 60), U"\u00A3\u00E9", "German");
    EXPECT_NE(sink_->Target().find("German"), std::string::npos) << sink_->Target();
}
