#include "platform/orderly_end.h"

#include "platform/messages.h"

namespace platform {
namespace {

std::function<void()>& Handler() {
    static std::function<void()> handler;
    return handler;
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

} // namespace platform
