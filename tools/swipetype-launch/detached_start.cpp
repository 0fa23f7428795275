#include "detached_start.h"
#include "platform/core/errors.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace launcher {
namespace {

// The launcher's environment with the given variables set.
std::vector<std::string>
MergedEnvironment(const std::vector<std::pair<std::string, std::string>>& extra) {
    std::vector<std::string> merged;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        std::string entry = *variable;
        bool replaced = false;
        for (const auto& [name, value] : extra) {
            replaced = replaced || entry.starts_with(name + "=");
        }
        if (!replaced) {
            merged.push_back(std::move(entry));
        }
    }
    for (const auto& [name, value] : extra) {
        merged.push_back(std::string(name).append("=").append(value));
    }
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Owns the spawn attributes and file actions for one start.
class SpawnSetup {
  public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    // A session of its own, so that the program outlives the launcher and its
    // terminal; signals back to their defaults; input from /dev/null.
    int Prepare() {
        sigset_t defaults;
        sigfillset(&defaults);
        int result = posix_spawnattr_setsigdefault(&attributes_, &defaults);
        sigset_t none;
        sigemptyset(&none);
        result = result != 0 ? result : posix_spawnattr_setsigmask(&attributes_, &none);
        short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
        result = result != 0 ? result : posix_spawnattr_setflags(&attributes_, flags);
        return result != 0 ? result
                           : posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null",
                                                              O_RDONLY, 0);
    }

    posix_spawnattr_t* Attributes() { return &attributes_; }
    posix_spawn_file_actions_t* Actions() { return &actions_; }

  private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

} // namespace

bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::pair<std::string, std::string>>& environment, pid_t& pid,
                   std::string& error) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp = MergedEnvironment(environment);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envpPointers = Pointers(envp);
    SpawnSetup setup;
    int result = setup.Prepare();
    if (result == 0) {
        result = posix_spawn(&pid, program.c_str(), setup.Actions(), setup.Attributes(),
                             argvPointers.data(), envpPointers.data());
    }
    if (result != 0) {
        error = platform::SystemError("cannot start " + program, result);
        return false;
    }
    return true;
}

} // namespace launcher
