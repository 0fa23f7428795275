// Loading the program's modules (module_interface.h) with dlopen. A module is
// looked for beside the program, where the build tree has it, then in the
// install folder relative to the program (../lib/<triplet>/swipetype from the
// program's bin folder), so that an install moved elsewhere as a whole still
// finds its modules.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/modules/module_interface.h"

namespace platform {

// A mapped module, unmapped when the last holder lets go unless it is kept.
class LoadedModule {
  public:
    LoadedModule(void* handle, const ModuleHeader* header) : handle_(handle), header_(header) {}
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // The module's exports, whose first member is its checked header.
    template <typename Exports> const Exports* ExportsAs() const {
        return reinterpret_cast<const Exports*>(header_);
    }

  private:
    void* handle_;
    const ModuleHeader* header_;
};
using ModuleHandle = std::shared_ptr<const LoadedModule>;

enum class ModuleLifetime {
    WhileHeld, // unmapped with the last handle
    WholeRun,  // stays mapped until the program ends (its libraries cannot go)
};

// Where swipetype-<name>.so is looked for, in order.
std::vector<std::string> ModuleCandidates(const std::string& name);

// Maps swipetype-<name>.so and checks that it is this build's module of that
// name. Null with `error` set to one line naming the file and what is wrong
// (dlopen's own message when it does not load).
ModuleHandle LoadModule(const std::string& name, ModuleLifetime lifetime, std::string& error);

} // namespace platform
