#include "platform/fs/files.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/core/file_owner.h"
#include "platform/core/program_path.h"
#include "platform/core/strict_utf8.h"
#include "platform/core/system.h"
#include "platform/core/unique_fd.h"
#include "platform/fs/device_root.h"

namespace {

constexpr mode_t kDeviceFileMode = 0644;

int ErrnoFromError(LONG error) {
    switch (error) {
    case ERROR_INVALID_NAME:
        return EINVAL;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    default:
        return ENOENT;
    }
}

struct OpenMode {
    int flags = 0;
    const char* streamMode = nullptr; // for fdopen
    bool rewrites = false;            // "w": created or emptied
};

// Parses "r", "w" or "a", then any of "+", "t", "b".
bool ParseMode(const char* mode, OpenMode& result) {
    if (mode[0] == '\0') {
        return false;
    }
    bool update = false;
    for (const char* c = mode + 1; *c != '\0'; ++c) {
        if (*c == '+') {
            update = true;
        } else if (*c != 't' && *c != 'b') {
            return false;
        }
    }
    switch (mode[0]) {
    case 'r':
        result = {update ? O_RDWR : O_RDONLY, update ? "r+" : "r", false};
        return true;
    case 'w':
        result = {(update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC, update ? "w+" : "w", true};
        return true;
    case 'a':
        result = {(update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND, update ? "a+" : "a", false};
        return true;
    default:
        return false;
    }
}

// The host path of narrow device text; errno set when there is none.
bool NarrowDevicePath(const char* path, std::string& hostPath) {
    int length = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (length <= 1) {
        errno = length == 1 ? ENOENT : EINVAL;
        return false;
    }
    std::u16string wide(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide.data(), length);
    wide.pop_back();
    LONG result = platform::DeviceToHostPath(wide, hostPath);
    if (result != ERROR_SUCCESS) {
        errno = ErrnoFromError(result);
        return false;
    }
    return true;
}

} // namespace

BOOL DeleteFileW(LPCWSTR path) {
    if (path == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string hostPath;
    LONG result = platform::DeviceToHostPath(path, hostPath);
    if (result != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(result));
        return FALSE;
    }
    if (::unlink(hostPath.c_str()) != 0) {
        SetLastError(platform::Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR buffer, DWORD capacity) {
    if (buffer == nullptr && capacity > 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string program = platform::RunningProgramPath();
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    std::optional<std::u16string> path = platform::DecodeUtf8(program);
    if (!path) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (capacity == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path->size() >= capacity) {
        path->copy(buffer, capacity - 1);
        buffer[capacity - 1] = u'\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return capacity;
    }
    path->copy(buffer, path->size());
    buffer[path->size()] = u'\0';
    return static_cast<DWORD>(path->size());
}

namespace device {

std::FILE* fopen(const char* path, const char* mode) {
    OpenMode parsed{};
    if (path == nullptr || mode == nullptr || !ParseMode(mode, parsed)) {
        errno = EINVAL;
        return nullptr;
    }
    std::string hostPath;
    if (!NarrowDevicePath(path, hostPath)) {
        return nullptr;
    }
    struct stat before {};
    bool existed = ::stat(hostPath.c_str(), &before) == 0;
    platform::UniqueFd fd(::open(hostPath.c_str(), parsed.flags | O_CLOEXEC, kDeviceFileMode));
    if (!fd.Valid()) {
        return nullptr;
    }
    // A file made new under another user's device root (root writing for
    // them) is that user's, as the folder is.
    std::string refusal;
    if (!existed && !platform::KeepOwnership(fd.Get(), hostPath, refusal, true)) {
        fd.Reset();
        ::unlink(hostPath.c_str());
        errno = EPERM;
        return nullptr;
    }
    if (parsed.rewrites) {
        // Tightens or loosens what the umask or an earlier writer left; a file
        // of another owner keeps its mode (and the write goes on regardless).
        (void)::fchmod(fd.Get(), kDeviceFileMode);
    }
    std::FILE* file = ::fdopen(fd.Get(), parsed.streamMode);
    if (file == nullptr) {
        int error = errno;
        fd.Reset();
        errno = error;
        return nullptr;
    }
    fd.Release(); // the stream holds it now
    return file;
}

} // namespace device
