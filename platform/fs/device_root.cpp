#include "platform/fs/device_root.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/core/errors.h"
#include "platform/core/file_owner.h"
#include "platform/core/strict_utf8.h"
#include "platform/core/system.h"

namespace platform {
namespace {

// The folders every new device has, below <root>/fs.
constexpr const char* kNewDeviceFolders[] = {"Application", "Application/Startup"};

struct RootState {
    std::mutex mutex;
    std::string override;   // from SetDeviceRoot
    std::string prepared;   // the last root found complete
    std::string complained; // the last root reported as unusable
};

RootState& State() {
    static RootState state;
    return state;
}

std::string Absolute(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    std::string result = error ? path : absolute.lexically_normal().string();
    while (result.size() > 1 && result.back() == '/') {
        result.pop_back();
    }
    return result;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "";
}

std::string DefaultRoot() {
    std::string data = Environment("XDG_DATA_HOME");
    // The XDG base directory rules ignore a relative XDG_DATA_HOME.
    if (data.empty() || data.front() != '/') {
        std::string home = HomeFolder();
        if (home.empty()) {
            return "";
        }
        data = home + "/.local/share";
    }
    return data + "/swipetype";
}

// mkdir -p with the given mode for the folders it creates. A folder that is
// there already, as at every start but the first, costs one stat.
bool MakeFolders(const std::string& path, mode_t mode, std::string& error) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        return true;
    }
    std::string partial;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        partial = path.substr(0, end);
        start = end + 1;
        if (partial.empty() || partial.back() == '/') {
            continue;
        }
        if (MakeOwnedFolder(partial, mode) != 0 && errno != EEXIST) {
            error = SystemError("cannot create folder " + partial);
            return false;
        }
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = path + " is not a folder";
        return false;
    }
    return true;
}

// A root that exists but may not be written (read-only media, another
// user's folder) is used as it is: what it holds can still be read.
bool CreateRoot(const std::string& root, std::string& error) {
    if (!MakeFolders(root, 0700, error)) {
        return false;
    }
    for (const char* folder : kNewDeviceFolders) {
        if (!MakeFolders(root + "/fs/" + folder, 0755, error)) {
            return ::access(root.c_str(), W_OK) != 0;
        }
    }
    return true;
}

// Splits a path at backslashes and slashes into its non-empty components.
std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) {
                parts.push_back(std::move(part));
            }
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) {
        parts.push_back(std::move(part));
    }
    return parts;
}

// Resolves "." and ".." inside the device file system; false when a ".."
// would leave it.
bool ResolveDevicePath(const std::string& path, std::string& relative) {
    std::vector<std::string> kept;
    for (std::string& part : Components(path)) {
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            if (kept.empty()) {
                return false;
            }
            kept.pop_back();
            continue;
        }
        kept.push_back(std::move(part));
    }
    relative.clear();
    for (const std::string& part : kept) {
        relative += '/';
        relative += part;
    }
    return true;
}

// Names the root and creates what a new device has; `root` is set either way.
bool PrepareRoot(std::string& root, std::string& error) {
    root = DeviceRoot();
    if (root.empty()) {
        error = "no device root: give --root or set SWIPETYPE_ROOT or HOME";
        return false;
    }
    {
        std::lock_guard lock(State().mutex);
        if (State().prepared == root) {
            return true;
        }
    }
    if (!CreateRoot(root, error)) {
        error = "unusable device root " + root + ": " + error;
        return false;
    }
    std::lock_guard lock(State().mutex);
    State().prepared = root;
    return true;
}

} // namespace

void SetDeviceRoot(std::string_view folder) {
    std::lock_guard lock(State().mutex);
    State().override = folder.empty() ? std::string() : Absolute(std::string(folder));
}

std::string DeviceRoot() {
    std::string root;
    {
        std::lock_guard lock(State().mutex);
        root = State().override;
    }
    if (root.empty()) {
        root = Environment("SWIPETYPE_ROOT");
    }
    if (root.empty()) {
        root = DefaultRoot();
    }
    return root.empty() ? root : Absolute(root);
}

bool PrepareDeviceRoot(std::string& error) {
    std::string root;
    return PrepareRoot(root, error);
}

bool UsableDeviceRoot(std::string& root) {
    std::string error;
    if (PrepareRoot(root, error)) {
        return true;
    }
    std::unique_lock lock(State().mutex);
    bool first = State().complained != root;
    State().complained = root;
    lock.unlock();
    if (first) {
        DebugLine(error);
    }
    return false;
}

LONG DeviceToHostPath(std::u16string_view devicePath, std::string& hostPath) {
    std::optional<std::string> path = EncodeUtf8(devicePath);
    if (devicePath.empty() || !path) {
        return ERROR_INVALID_NAME;
    }
    if (path->front() == '/') {
        hostPath = "/";
        for (const std::string& part : Components(*path)) {
            hostPath += hostPath.back() == '/' ? part : "/" + part;
        }
        return ERROR_SUCCESS;
    }
    std::string relative;
    if (!ResolveDevicePath(*path, relative)) {
        return ERROR_ACCESS_DENIED;
    }
    std::string root;
    if (!UsableDeviceRoot(root)) {
        return ERROR_PATH_NOT_FOUND;
    }
    hostPath = root + "/fs" + relative;
    return ERROR_SUCCESS;
}

} // namespace platform
