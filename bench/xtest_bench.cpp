// The xtest key sink's delivery rate: a 1023-character prefix, typed by the
// program's own keystroke synthesis through the sink into an X client under a
// private Xvfb, from the first key event to the last character the client has
// decoded. Prints one row: measure, value, target, tab-separated.
//
//   xtest_bench
#include <chrono>
#include <cstdio>
#include <string>

#include "keys/keystrokes.h"
#include "platform/keyboard/key_sink.h"
#include "platform/keyboard/x11/key_sink_xtest.h"
#include "support/x_test_display.h"

namespace {

constexpr char kMeasure[] = "xtest delivery of a 1023-character prefix into an X client";

int Report(const std::string& value) {
    std::printf("%s\t%s\t-\n", kMeasure, value.c_str());
    return 0;
}

} // namespace

int main() {
    std::string reason;
    x_test::XvfbServer server;
    x_test::TextWindow window;
    if (!server.Start(reason) || !window.Open(server.Name(), reason)) {
        return Report("skipped: " + reason);
    }
    std::string error;
    auto sink = platform::MakeXTestKeySink(server.Name(), error);
    if (sink == nullptr) {
        return Report("skipped: " + error);
    }
    platform::SetKeySink(std::move(sink));
    // The printable ASCII characters over and over: keys of the US layout, half of
    // them with Shift.
    std::u16string prefix;
    std::u32string expected;
    for (int i = 0; i < 1023; ++i) {
        char16_t c = static_cast<char16_t>(u'!' + i % (u'~' - u'!' + 1));
        prefix += c;
        expected += c;
    }
    auto start = std::chrono::steady_clock::now();
    TypeText(prefix.c_str(), FALSE, FALSE, FALSE, 0);
    std::u32string arrived = window.Take(expected.size(), std::chrono::seconds(60));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    platform::SetKeySink(nullptr);
    if (arrived != expected) {
        return Report("failed: " + std::to_string(arrived.size()) + " of 1023 arrived intact");
    }
    char value[96];
    std::snprintf(value, sizeof value, "%.0f characters/s (%.0f ms)", 1023 / seconds,
                  seconds * 1e3);
    return Report(value);
}
