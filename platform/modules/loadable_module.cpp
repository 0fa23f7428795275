#include "platform/modules/loadable_module.h"

#include <dlfcn.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "platform/core/program_path.h"

// Made by the build (platform/modules/CMakeLists.txt): kModuleEntryName and
// kModuleFolderFromProgram.
#include "module_build.h"

namespace platform {
namespace {

std::filesystem::path ProgramFolder() {
    std::string program = RunningProgramPath();
    return program.empty() ? std::filesystem::path() : std::filesystem::path(program).parent_path();
}

// Where swipetype-<name>.so is looked for, in order.
std::vector<std::string> Candidates(const std::string& name) {
    std::filesystem::path folder = ProgramFolder();
    if (folder.empty()) {
        return {};
    }
    std::string file = "swipetype-" + name + ".so";
    return {(folder / file).string(),
            (folder / kModuleFolderFromProgram / file).lexically_normal().string()};
}

} // namespace

ModuleHandle LoadModule(const std::string& name, ModuleLifetime lifetime, std::string& error) {
    std::vector<std::string> candidates = Candidates(name);
    if (candidates.empty()) {
        error =
            "swipetype-" + name + ".so cannot be looked for: the program's own path cannot be told";
        return nullptr;
    }
    // The first that exists; when none does, the install folder, which dlopen's
    // message then names as missing.
    std::string path = candidates.back();
    for (const std::string& candidate : candidates) {
        if (::access(candidate.c_str(), F_OK) == 0) {
            path = candidate;
            break;
        }
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        error = dlerror();
        return nullptr;
    }
    // A module of another build has an entry of another name: nothing of it is read.
    auto entry = reinterpret_cast<ModuleEntry>(dlsym(handle, kModuleEntryName));
    const ModuleHeader* header = entry != nullptr ? entry() : nullptr;
    if (header == nullptr) {
        error = path + " is not a module of this build of the program (no " + kModuleEntryName +
                "): install the program and its modules from one build";
    } else if (name != header->name) {
        error = path + " is the module \"" + header->name + "\", not \"" + name + "\"";
    } else {
        if (lifetime == ModuleLifetime::WholeRun) { // kept only once it is known to be ours
            dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        }
        return {header, [handle](const ModuleHeader*) { dlclose(handle); }};
    }
    dlclose(handle);
    return nullptr;
}

} // namespace platform
