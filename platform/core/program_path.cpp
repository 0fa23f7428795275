#include "platform/core/program_path.h"

#include <climits>
#include <filesystem>
#include <string_view>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// The name execve() was given, as the kernel left it in the auxiliary vector.
// A relative name is resolved against the folder the program started in, so it
// is taken before main() runs and anything can change the working folder.
std::string StartedAs() {
    const char* name = reinterpret_cast<const char*>(::getauxval(AT_EXECFN));
    if (name == nullptr || name[0] == '\0') {
        return std::string();
    }
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(name, error);
    return error ? std::string() : path.lexically_normal().string();
}

const std::string kStartedAs = StartedAs();

} // namespace

std::string RunningProgramPath() {
    constexpr std::string_view kReplaced = " (deleted)";
    char link[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", link, sizeof link);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof link) {
        return kStartedAs;
    }
    std::string path(link, static_cast<std::size_t>(length));
    struct stat info {};
    if (path.ends_with(kReplaced) && ::stat(path.c_str(), &info) != 0) {
        std::string installed = path.substr(0, path.size() - kReplaced.size());
        if (::stat(installed.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            return installed;
        }
    }
    return path;
}

} // namespace platform
