// Shared by the window-system tests: a window class that logs the messages it
// gets, and a fixture that starts each test with an empty window system, an
// empty message loop and a manual clock, and puts them back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/clock.h"
#include "platform/resources/resources.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/key_state.h"
#include "platform/windowing/message_loop.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/window.h"
#include "platform/windowing/window_view.h"
#include "support/window_class.h"

namespace window_test {

struct Logged {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Logged>& Log() {
    static std::vector<Logged> log;
    return log;
}

// Runs inside the logging procedure before the default handling, for a test
// that wants to act on a message; returning true skips the default handling.
inline std::function<bool(HWND, UINT, WPARAM, LPARAM)>& Hook() {
    static std::function<bool(HWND, UINT, WPARAM, LPARAM)> hook;
    return hook;
}

inline LRESULT LoggingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Log().push_back({window, message, wParam, lParam});
    if (Hook() && Hook()(window, message, wParam, lParam)) {
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

inline constexpr char16_t kClass[] = u"WindowTestLogging";

// The program's own module, whose resources the tests load.
inline HINSTANCE Instance() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

inline const DLGTEMPLATE* DialogTemplate(UINT id) {
    HRSRC found = FindResourceW(Instance(), MAKEINTRESOURCEW(id), RT_DIALOG);
    return static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(Instance(), found)));
}

// The messages of one kind, in order, as (window, message) pairs.
inline std::vector<std::pair<HWND, UINT>> Messages(std::initializer_list<UINT> kinds) {
    std::vector<std::pair<HWND, UINT>> found;
    for (const Logged& entry : Log()) {
        for (UINT kind : kinds) {
            if (entry.message == kind) {
                found.emplace_back(entry.window, entry.message);
            }
        }
    }
    return found;
}

class WindowTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test_support::RegisterTestClass(kClass, LoggingProcedure, 16));
        DestroyEverything();
        platform::ResetMessageLoop();
        platform::UseManualClock(platform::Milliseconds{1000});
        platform::ReleaseAllKeys();
        Log().clear();
        Hook() = nullptr;
    }
    void TearDown() override {
        Hook() = nullptr;
        DestroyEverything();
        platform::ResetMessageLoop();
        platform::UseRealClock();
        platform::ReleaseAllKeys();
    }
    static void DestroyEverything() {
        for (HWND window : platform::TopLevelWindows()) {
            if (IsWindow(window)) {
                DestroyWindow(window);
            }
        }
    }
    static HWND TopLevel(DWORD style = 0, const char16_t* title = u"top") {
        return CreateWindowExW(0, kClass, title, style, 0, 30, 200, 200, nullptr, nullptr, nullptr,
                               nullptr);
    }
    // Runs `action` at each tick of a 100 ms timer of `window`: how a test acts
    // from inside a loop that the call under test runs.
    static void OnTimerOf(HWND window, std::function<void()> action) {
        Hook() = [window, action = std::move(action)](HWND to, UINT message, WPARAM, LPARAM) {
            if (to == window && message == WM_TIMER) {
                action();
            }
            return false;
        };
        SetTimer(window, 5, 100, nullptr);
    }
    static HWND Child(HWND parent, int id, DWORD style = WS_VISIBLE, const char16_t* cls = kClass) {
        return CreateWindowExW(0, cls, u"", WS_CHILD | style, 0, 0, 50, 20, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr,
                               nullptr);
    }
};

} // namespace window_test
