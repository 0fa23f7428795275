// A small program that drives the kde sink for the tests and the bench. KWin
// grants fake input only to a program it knows by its executable (a desktop
// file names it) and reads that executable through the client's process, which
// must therefore be one of the session's user; it also reads the whole file to
// check it, so the program is kept small (the test programs are not).
//
// It makes the sink, says "ready TARGET" (or "error WHY"), then answers each
// command line of its standard input with one line:
//   type TEXT   "typed" or "not typed", once every key event is posted
//   timed TEXT  as type, then "start NANOSECONDS" of the monotonic clock when the
//               first key event was posted (for a rate measured by the caller)
//   can TEXT    "yes", or why the first character that cannot be typed cannot
//   choose      the name of the sink the program would choose by default
//   use NAME    "using TARGET" once the commands go to that sink instead (the
//               bench's xtest into XWayland), or "error WHY"
// Each answer line begins with "driver: ".
#include <chrono>
#include <iostream>
#include <memory>
#include <string>

#include "platform/core/unicode.h"
#include "platform/core/virtual_keys.h"
#include "platform/keyboard/kde/key_sink_kde.h"
#include "platform/keyboard/key_sink_choice.h"
#include "platform/keyboard/key_sink_registry.h"
#include "support/linked_key_sinks.h"

namespace {

void Say(const std::string& line) {
    std::cout << "driver: " << line << std::endl;
}

// Posts `text` as the program's key events do: a key-down with the character,
// then its key-up.
bool Type(platform::KeySink& sink, const std::u16string& text) {
    bool typed = true;
    for (char16_t unit : text) {
        for (UINT flags : {static_cast<UINT>(KeyStateDownFlag), 0U}) {
            typed = sink.Post({0, flags, 0, unit}) && typed;
        }
    }
    return typed;
}

std::string CanType(platform::KeySink& sink, const std::u16string& text) {
    std::string why;
    for (char16_t unit : text) {
        if (!sink.CanType(unit, why)) {
            return why;
        }
    }
    return "yes";
}

} // namespace

int main() {
    std::string error;
    std::unique_ptr<platform::KeySink> sink = platform::MakeKdeKeySink("", error);
    Say(sink ? "ready " + sink->Target() : "error " + error);
    for (std::string line; sink && std::getline(std::cin, line);) {
        std::string command = line.substr(0, line.find(' '));
        std::u16string text = platform::Utf8ToUtf16(
            line.size() > command.size() ? line.substr(command.size() + 1) : "");
        if (command == "type" || command == "timed") {
            auto start = std::chrono::steady_clock::now();
            Say(Type(*sink, text) ? "typed" : "not typed");
            if (command == "timed") {
                Say("start " + std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  start.time_since_epoch())
                                                  .count()));
            }
        } else if (command == "can") {
            Say(CanType(*sink, text));
        } else if (command == "use") {
            platform::SetKeySinkModules(test_support::LinkedKeySinkModules());
            std::unique_ptr<platform::KeySink> other =
                platform::MakeKeySinkByName(platform::Utf16ToUtf8(text), {}, error);
            Say(other ? "using " + other->Target() : "error " + error);
            if (other) {
                sink = std::move(other);
            }
        } else if (command == "choose") {
            platform::SetKeySinkModules(test_support::LinkedKeySinkModules());
            platform::KeySinkSettings settings;
            settings.uinputPath = "/nonexistent/uinput";
            std::unique_ptr<platform::KeySink> chosen =
                platform::ChooseDefaultKeySink(settings, error);
            Say(chosen ? chosen->Name() : "nothing");
        }
    }
    return sink ? 0 : 1;
}
