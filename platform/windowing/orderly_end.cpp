#include "platform/windowing/orderly_end.h"

#include <cstdio>
#include <cstdlib>

#include "platform/windowing/messages.h"

namespace platform {
namespace {

std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
}

std::function<int(int)>& Finish() {
    static std::function<int(int)> finish;
    return finish;
}

} // namespace

void SetOrderlyEndHandler(std::function<void()> handler) {
    Handler() = std::move(handler);
}

void RequestOrderlyEnd() {
    if (Handler()) {
        Handler()();
    } else {
        PostQuitMessage(0);
    }
}

void SetOrderlyFinish(std::function<int(int)> finish) {
    Finish() = std::move(finish);
}

void EndOrderlyHere() {
    RequestOrderlyEnd();
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) != 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    int status = static_cast<int>(message.wParam);
    if (Finish()) {
        status = Finish()(status);
    }
    // The callers' frames are never returned to, nor are the destructors of
    // objects that may still refer to them run.
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace platform
