// A desktop for the front end's tests: a private Xvfb server with a window
// manager (openbox) and a tray host (trayer), started once for the test program,
// DISPLAY pointing at it and the front end started on it. Helpers drive it with
// xdotool as a person would while this process keeps serving its message loop.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/core/types.h"
#include "platform/windowing/window.h"

namespace gtk_test {

// Null with `reason` set when the desktop cannot run here (no Xvfb, say).
const std::string* Desktop(std::string& reason);
// True when openbox and trayer came up with it.
bool HasWindowManager();
bool HasTrayHost();
// Waits (ten seconds at most) until a window manager has taken the X display.
bool WaitForWindowManager(const std::string& display);

// The module handle the tests' windows and resources are made with.
HINSTANCE TestInstance();

// Runs the message loop until `done` holds or the time is up; returns `done()`.
bool ServeUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeLimit = std::chrono::seconds(5));
// Runs the message loop for a while.
void Serve(std::chrono::milliseconds duration);

// Runs xdotool with the arguments while serving the loop; true when it exits 0.
bool Xdotool(const std::vector<std::string>& arguments);
bool ClickAt(int x, int y, int count = 1);
bool ClickCentre(const RECT& rect, int count = 1);
bool TypeText(const std::string& text);
bool PressKey(const std::string& key);

// Writes a screenshot of the X window (0: the whole screen) to the PNG file.
bool Screenshot(unsigned long xWindow, const std::string& path);

} // namespace gtk_test
