// Creation and destruction in the device's order, and visibility of children.
#include <string>
#include <tuple>

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

// Whether a child is seen through its parents is the application's test too.
TEST_F(WindowLifecycleTest, AChildKeepsItsOwnFlagWhileItsParentIsHidden) {
    HWND parent = TopLevel(WS_VISIBLE);
    HWND child = Child(parent, 1);
    HWND grandchild = Child(child, 2);
    ShowWindow(parent, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(grandchild));
    EXPECT_NE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE, 0);
    ShowWindow(parent, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(grandchild));
}

// The main window is made with CW_USEDEFAULT: it fills the work area.
TEST_F(WindowLifecycleTest, DefaultWindowFillsTheWorkAreaAndShowWindowTellsItOnlyOfChanges) {
    HWND window = CreateWindowExW(0, window_test::kClass, u"", 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    RECT work{};
    RECT rect{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(window, &rect);
    EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right, rect.bottom),
              std::tuple(work.left, work.top, work.right, work.bottom));
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

} // namespace
