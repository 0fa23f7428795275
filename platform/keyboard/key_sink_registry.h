// The key sinks of this program, in one table (key_sink_registry.cpp): the names
// --keys accepts and --help explains, the order in which the default choice
// tries them in each kind of session, and the module each one lives in. The
// build reads the table's `.module = "..."` entries and builds, for each, the
// module swipetype-<module>.so from the folder keyboard/<module>/
// (platform/CMakeLists.txt). A new sink is that folder and one row.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/keyboard/key_sink.h"

namespace platform {

struct KeySinkKind {
    // As --keys names it.
    const char* name;
    // The module it lives in (swipetype-<module>.so, built from
    // keyboard/<module>/, which defines key_sink_factories::<module>), or
    // nullptr for a sink of the program itself.
    const char* module;
    // The program's own sinks' factory; nullptr for a module's sink.
    const KeySinkFactory* builtIn;
    // What it reaches and how, in a few words, for --help.
    const char* help;
    // Where the default choice tries it: 1 first, 2 next...; 0 never.
    int x11Order;
    int waylandOrder;
    // Under Wayland it reaches only the X11 applications (those of XWayland),
    // which the person is told once.
    bool onlyX11UnderWayland;
    // What a person does to make it work here, for that notice; nullptr when
    // it is not theirs to change.
    const char* remedy;
};

std::span<const KeySinkKind> KeySinkKinds();

// The row of that name, or nullptr.
const KeySinkKind* FindKeySinkKind(std::string_view name);

// The names for messages: "xtest, uinput, wayland, text or none".
std::string KeySinkNameList();

// The modules' sinks, as the process reaches them: the program maps their
// modules (platform/modules/program_modules.h), the test programs link them.
class KeySinkModules {
  public:
    virtual ~KeySinkModules() = default;
    virtual bool Probe(const std::string& module, const KeySinkSettings& settings,
                       std::string& reason) = 0;
    virtual std::unique_ptr<KeySink> Make(const std::string& module,
                                          const KeySinkSettings& settings, std::string& error) = 0;
};

// Installs the way to the modules' sinks; until then they cannot be made.
void SetKeySinkModules(std::unique_ptr<KeySinkModules> modules);

// Tries and makes a sink of the kind, wherever it lives. The sink made is
// the bare sink; MakeKeySinkByName and the default choice keep it alive across
// a lost display (key_sink_keeper.h).
bool ProbeKeySink(const KeySinkKind& kind, const KeySinkSettings& settings, std::string& reason);
std::unique_ptr<KeySink> MakeKeySink(const KeySinkKind& kind, const KeySinkSettings& settings,
                                     std::string& error);

} // namespace platform
