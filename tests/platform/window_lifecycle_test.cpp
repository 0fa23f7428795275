// Creation and destruction in the device's order, and visibility of children.
#include <string>

#include "platform/core/system.h"
#include "platform/windowing/painting.h"
#include "window_test_support.h"

namespace {

using window_test::Log;
using window_test::Messages;

class WindowLifecycleTest : public window_test::WindowTest {};

TEST_F(WindowLifecycleTest, ParentHearsOfItsEndWhileItsChildrenCanStillBeRead) {
    HWND parent = TopLevel();
    HWND first = Child(parent, 1);
    HWND second = Child(parent, 2);
    SetWindowTextW(first, u"saved on the way out");
    std::u16string readDuringDestroy;
    window_test::Hook() = [&](HWND window, UINT message, WPARAM, LPARAM) {
        if (window == parent && message == WM_DESTROY) {
            WCHAR buffer[64] = {};
            GetWindowTextW(GetDlgItem(parent, 1), buffer, 64);
            readDuringDestroy = buffer;
        }
        return false;
    };
    Log().clear();
    ASSERT_TRUE(DestroyWindow(parent));

    EXPECT_EQ(readDuringDestroy, u"saved on the way out");
    using Pair = std::pair<HWND, UINT>;
    EXPECT_EQ(Messages({WM_DESTROY, WM_NCDESTROY}), (std::vector<Pair>{{parent, WM_DESTROY},
                                                                       {first, WM_DESTROY},
                                                                       {first, WM_NCDESTROY},
                                                                       {second, WM_DESTROY},
                                                                       {second, WM_NCDESTROY},
                                                                       {parent, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(second));
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowLifecycleTest, DestroyingFromWithinWMDestroyDoesNotRunTwice) {
    HWND parent = TopLevel();
    HWND child = Child(parent, 1);
    window_test::Hook() = [&](HWND window, UINT message, WPARAM, LPARAM) {
        if (message == WM_DESTROY && window == child) {
            DestroyWindow(parent); // already on its way: must do nothing
            DestroyWindow(child);
        }
        return false;
    };
    Log().clear();
    DestroyWindow(parent);
    EXPECT_EQ(Messages({WM_DESTROY}).size(), 2u);
    EXPECT_EQ(Messages({WM_NCDESTROY}).size(), 2u);
    EXPECT_FALSE(IsWindow(child));
}

TEST_F(WindowLifecycleTest, OwnedWindowsGoBeforeTheirOwner) {
    HWND owner = TopLevel();
    HWND owned = CreateWindowExW(0, window_test::kClass, u"popup", WS_POPUP, 0, 0, 10, 10, owner,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(GetParent(owned), owner);
    EXPECT_FALSE(IsChild(owner, owned));
    Log().clear();
    DestroyWindow(owner);
    using Pair = std::pair<HWND, UINT>;
    EXPECT_EQ(Messages({WM_DESTROY}),
              (std::vector<Pair>{{owned, WM_DESTROY}, {owner, WM_DESTROY}}));
    EXPECT_FALSE(IsWindow(owned));
}

TEST_F(WindowLifecycleTest, CreateFailsCleanlyWhenWMCreateRefuses) {
    window_test::Hook() = [](HWND, UINT message, WPARAM, LPARAM) { return message == WM_CREATE; };
    // The hook swallows WM_CREATE (result 0): the window lives.
    HWND lives = TopLevel();
    EXPECT_NE(lives, nullptr);
    EXPECT_EQ(
        CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_EQ(CreateWindowExW(0, window_test::kClass, u"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
}

TEST_F(WindowLifecycleTest, ChildIsSeenOnlyWhileItsParentIs) {
    HWND parent = TopLevel();
    HWND child = Child(parent, 1);
    HWND grandchild = Child(child, 2);
    HWND hiddenChild = Child(parent, 3, 0);

    struct Step {
        int parentCommand;
        bool parentSeen;
        bool childSeen;
        bool grandchildSeen;
    };
    for (const Step& step : {Step{SW_HIDE, false, false, false}, Step{SW_SHOW, true, true, true},
                             Step{SW_HIDE, false, false, false}}) {
        ShowWindow(parent, step.parentCommand);
        EXPECT_EQ(IsWindowVisible(parent) != FALSE, step.parentSeen);
        EXPECT_EQ(IsWindowVisible(child) != FALSE, step.childSeen);
        EXPECT_EQ(IsWindowVisible(grandchild) != FALSE, step.grandchildSeen);
        EXPECT_FALSE(IsWindowVisible(hiddenChild));
        // The child keeps its own flag while its parent is hidden.
        EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE, 0);
    }
    ShowWindow(parent, SW_SHOW);
    EXPECT_FALSE(ShowWindow(hiddenChild, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(hiddenChild));
    EXPECT_TRUE(ShowWindow(hiddenChild, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(hiddenChild));
}

TEST_F(WindowLifecycleTest, ShowWindowTellsTheWindowOnlyOfChanges) {
    HWND window = TopLevel();
    Log().clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(ShowWindow(window, SW_SHOW));
    EXPECT_TRUE(ShowWindow(window, SW_HIDE));
    EXPECT_FALSE(ShowWindow(window, SW_HIDE));
    using Pair = std::pair<HWND, UINT>;
    EXPECT_EQ(Messages({WM_SHOWWINDOW}),
              (std::vector<Pair>{{window, WM_SHOWWINDOW}, {window, WM_SHOWWINDOW}}));
    EXPECT_EQ(Log().front().wParam, static_cast<WPARAM>(TRUE));
}

TEST_F(WindowLifecycleTest, MinimisingSendsSizeMinimisedAndShowBringsItBack) {
    HWND window = TopLevel(WS_VISIBLE);
    Log().clear();
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(window));
    ASSERT_EQ(Messages({WM_SIZE}).size(), 1u);
    auto sizeMessage = std::find_if(Log().begin(), Log().end(),
                                    [](const auto& m) { return m.message == WM_SIZE; });
    EXPECT_EQ(sizeMessage->wParam, SIZE_MINIMIZED);
    ShowWindow(window, SW_SHOW);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(Messages({WM_SIZE}).size(), 2u);
}

TEST_F(WindowLifecycleTest, DefaultTopLevelWindowFillsTheWorkArea) {
    HWND window =
        CreateWindowExW(0, window_test::kClass, u"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, work.left);
    EXPECT_EQ(rect.top, work.top);
    EXPECT_EQ(rect.right, work.right);
    EXPECT_EQ(rect.bottom, work.bottom);
    ASSERT_TRUE(MoveWindow(window, rect.left, rect.top, 240, rect.bottom - rect.top - 26, FALSE));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 240);
    EXPECT_EQ(client.bottom, work.bottom - work.top - 26);
    EXPECT_EQ(FindWindowW(window_test::kClass, u""), window);
    EXPECT_EQ(FindWindowW(u"windowtestlogging", u""), window); // class names ignore case
    EXPECT_EQ(FindWindowW(window_test::kClass, u"other"), nullptr);
}

TEST_F(WindowLifecycleTest, ExtraBytesAndLongValues) {
    HWND window = TopLevel();
    EXPECT_EQ(SetWindowLongW(window, 4, 1234), 0);
    EXPECT_EQ(GetWindowLongW(window, 4), 1234);
    EXPECT_EQ(SetWindowLongPtrW(window, 8, 99), 0);
    EXPECT_EQ(GetWindowLongPtrW(window, 8), 99);
    EXPECT_EQ(GetWindowLongW(window, 14), 0); // would run past the 16 bytes
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&window_test::LoggingProcedure));
}

} // namespace
