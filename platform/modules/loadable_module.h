// Loading the program's modules (module_interface.h) with dlopen. A module is
// looked for beside the program, where the build tree has it, then in the
// install folder relative to the program (../lib/<triplet>/swipetype from the
// program's bin folder), so that an install moved elsewhere as a whole still
// finds its modules.
#pragma once

#include <memory>
#include <string>

#include "platform/modules/module_interface.h"

namespace platform {

// A mapped module's exports, whose first member is its checked header. The
// module is unmapped with the last handle unless it is kept for the whole run.
using ModuleHandle = std::shared_ptr<const ModuleHeader>;

enum class ModuleLifetime {
    WhileHeld, // unmapped with the last handle
    WholeRun,  // stays mapped until the program ends (its libraries cannot go)
};

// Maps swipetype-<name>.so and checks that it is this build's module of that
// name. Null with `error` set to one line naming the file and what is wrong
// (dlopen's own message when it does not load).
ModuleHandle LoadModule(const std::string& name, ModuleLifetime lifetime, std::string& error);

// The exports of the kind of module it is.
template <typename Exports> const Exports* ExportsOf(const ModuleHandle& module) {
    return reinterpret_cast<const Exports*>(module.get());
}

} // namespace platform
