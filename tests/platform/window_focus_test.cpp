// The keyboard focus, activation and painting state.
#include <string>

#include "platform/windowing/painting.h"
#include "window_test_support.h"

namespace {

using window_test::Log;
using window_test::Messages;
using Pair = std::pair<HWND, UINT>;

class WindowFocusTest : public window_test::WindowTest {};

TEST_F(WindowFocusTest, FocusMovesWithKillBeforeSet) {
    HWND top = TopLevel(WS_VISIBLE);
    HWND a = Child(top, 1);
    HWND b = Child(top, 2);
    SetFocus(a);
    Log().clear();
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_EQ(Messages({WM_KILLFOCUS, WM_SETFOCUS}),
              (std::vector<Pair>{{a, WM_KILLFOCUS}, {b, WM_SETFOCUS}}));
    EXPECT_EQ(Log()[0].wParam, reinterpret_cast<WPARAM>(b)); // who gets it
    EXPECT_EQ(Log()[1].wParam, reinterpret_cast<WPARAM>(a)); // who had it
    Log().clear();
    EXPECT_EQ(SetFocus(b), b);
    EXPECT_TRUE(Log().empty());
}

TEST_F(WindowFocusTest, FocusInAnotherTopLevelWindowActivatesIt) {
    HWND first = TopLevel(WS_VISIBLE);
    HWND second = TopLevel(WS_VISIBLE);
    HWND child = Child(first, 1);
    ASSERT_EQ(GetActiveWindow(), second);
    Log().clear();
    SetFocus(child);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), child);
    auto activations = Messages({WM_ACTIVATE});
    ASSERT_EQ(activations.size(), 2u);
    EXPECT_EQ(activations[0].first, second);
    EXPECT_EQ(activations[1].first, first);
}

TEST_F(WindowFocusTest, SetForegroundWithTheLowBitActivatesAnOwnedPopup) {
    HWND owner = TopLevel(WS_VISIBLE);
    HWND popup = CreateWindowExW(0, window_test::kClass, u"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                 owner, nullptr, nullptr, nullptr);
    HWND other = TopLevel(WS_VISIBLE);
    ASSERT_EQ(GetActiveWindow(), other);
    auto marked = reinterpret_cast<HWND>(reinterpret_cast<UINT_PTR>(owner) | 1);
    EXPECT_TRUE(SetForegroundWindow(marked));
    EXPECT_EQ(GetForegroundWindow(), popup);
    EXPECT_TRUE(SetForegroundWindow(owner));
    EXPECT_EQ(GetForegroundWindow(), owner);
}

TEST_F(WindowFocusTest, HidingOrDestroyingTheFocusLeavesNone) {
    HWND top = TopLevel(WS_VISIBLE);
    HWND child = Child(top, 1);
    SetFocus(child);
    ASSERT_EQ(GetFocus(), child);
    ShowWindow(top, SW_HIDE);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(GetActiveWindow(), nullptr);
    ShowWindow(top, SW_SHOW);
    SetFocus(child);
    ASSERT_EQ(GetFocus(), child);
    DestroyWindow(child);
    EXPECT_EQ(GetFocus(), nullptr);
    DestroyWindow(top);
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

// When a window paints: what it draws is shown by the front ends' tests
// (tests/gtk/painting_test.cpp, the main window's).
TEST_F(WindowFocusTest, PaintComesOnceForAnyNumberOfInvalidationsAndReplacesTheLast) {
    HWND window = TopLevel(WS_VISIBLE);
    window_test::Hook() = [](HWND window, UINT message, WPARAM, LPARAM) {
        if (message != WM_PAINT) {
            return false;
        }
        PAINTSTRUCT paint;
        RECT client{};
        DrawTextW(BeginPaint(window, &paint), u"painted", -1, &client, DT_SINGLELINE);
        EndPaint(window, &paint);
        return true;
    };
    // Created visible, the window waits for one WM_PAINT from the loop.
    Log().clear();
    EXPECT_EQ(platform::PumpMessages(), 1);
    // Invalidated twice, painted once; UpdateWindow paints at once.
    InvalidateRect(window, nullptr, TRUE);
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_EQ(platform::PumpMessages(), 1);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    EXPECT_EQ(Messages({WM_PAINT}).size(), 3u);
    platform::WindowView view;
    ASSERT_TRUE(platform::ViewWindow(window, view));
    ASSERT_EQ(view.painted.size(), 1u); // each paint replaces the last
    EXPECT_EQ(view.painted[0].text, u"painted");
}

TEST_F(WindowFocusTest, HiddenWindowsAreNotPaintedUntilShown) {
    HWND window = TopLevel();
    InvalidateRect(window, nullptr, TRUE);
    Log().clear();
    EXPECT_EQ(platform::PumpMessages(), 0);
    ShowWindow(window, SW_SHOW);
    platform::PumpMessages();
    EXPECT_EQ(Messages({WM_PAINT}).size(), 1u);
}

} // namespace
