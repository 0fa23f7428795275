// What the reader tests share on top of the readers' set-up
// (tests/support/reader_port_fixture.h): a window standing for the options dialog, which
// the readers' timers are set on, and what was typed.
#pragma once

#include <string>

#include "platform/windowing/window.h"
#include "reader/track_decode.h"
#include "support/key_events.h"
#include "support/reader_port_fixture.h"
#include "support/window_class.h"

namespace reader_test {

inline LRESULT DialogStandIn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

class ReaderTest : public test_support::ReaderPortTest {
  protected:
    void SetUp() override {
        ReaderPortTest::SetUp();
        ASSERT_TRUE(test_support::RegisterTestClass(u"ReaderTestDialog", DialogStandIn));
        readerWindow_ = CreateWindowExW(0, u"ReaderTestDialog", u"", 0, 0, 0, 100, 100, nullptr,
                                        nullptr, nullptr, nullptr);
        ASSERT_NE(readerWindow_, nullptr);
        ClearMSRBuffers();
        ClearTagText();
    }

    void TearDown() override {
        ReaderPortTest::TearDown();
        DestroyWindow(readerWindow_);
    }

    // Runs the loop for `milliseconds` on the manual clock.
    static void RunFor(DWORD milliseconds) {
        ASSERT_TRUE(platform::RunMessagesFor(platform::Milliseconds{milliseconds}));
    }

    // What was typed, as narrow text (the tests type ASCII only).
    static std::string Typed() {
        std::u16string typed = test_support::TypedText();
        return {typed.begin(), typed.end()};
    }
};

} // namespace reader_test
