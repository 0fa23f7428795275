#include "startup_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/errors.h"
#include "platform/core/fd_io.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/core/unique_fd.h"
#include "platform/fs/device_root.h"

namespace launcher {
namespace {

// A startup file is a path and a word or two; anything larger is not one.
constexpr std::size_t kMaximumSize = 4096;

// Opens without following a symbolic link and checks who may change the file.
platform::UniqueFd OpenTrusted(const std::string& path, std::string& reason) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid()) {
        reason = errno == ELOOP ? "a symbolic link"
                                : std::string("cannot open: ") + platform::ErrorText();
        return fd;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = "not a plain file";
    } else if (info.st_uid != ::geteuid()) {
        reason = "not owned by you";
    } else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        reason = "others can write it";
    } else if (static_cast<std::size_t>(info.st_size) > kMaximumSize) {
        reason = "larger than a startup file";
    } else {
        return fd;
    }
    return platform::UniqueFd();
}

// Reads one byte more than a startup file may hold, to tell one that is larger.
bool ReadSmallFile(int fd, std::string& bytes) {
    if (!platform::ReadAll(fd, bytes, kMaximumSize + 1)) {
        return false;
    }
    if (bytes.size() > kMaximumSize) {
        errno = EFBIG; // it grew since it was checked
        return false;
    }
    return true;
}

// Narrow text in the ANSI code page to wide text.
std::u16string Widen(const std::string& narrow) {
    if (narrow.empty()) {
        return {};
    }
    int length =
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(length > 0 ? length : 0), u'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(),
                        length);
    return wide;
}

} // namespace

bool ReadStartupFile(const std::string& path, StartupEntry& entry, std::string& reason) {
    platform::UniqueFd fd = OpenTrusted(path, reason);
    if (!fd.Valid()) {
        return false;
    }
    std::string bytes;
    bool read = ReadSmallFile(fd.Get(), bytes);
    int readError = errno;
    fd.Reset();
    if (!read) {
        reason = std::string("cannot read: ") + platform::ErrorText(readError);
        return false;
    }
    return ParseStartupFile(bytes, entry, reason);
}

bool ParseStartupFile(const std::string& bytes, StartupEntry& entry, std::string& reason) {
    if (bytes.find('\0') != std::string::npos) {
        reason = "holds a zero byte";
        return false;
    }
    std::size_t carriageReturn = bytes.find('\r');
    if (carriageReturn == std::string::npos || carriageReturn == 0) {
        reason = carriageReturn == 0 ? "names no program" : "no carriage return after the program";
        return false;
    }
    std::string commandLine = bytes.substr(carriageReturn + 1);
    // A file edited by hand may end with a line break; it is not part of the line.
    while (!commandLine.empty() && (commandLine.back() == '\n' || commandLine.back() == '\r')) {
        commandLine.pop_back();
    }
    std::u16string program = Widen(bytes.substr(0, carriageReturn));
    if (platform::DeviceToHostPath(program, entry.program) != ERROR_SUCCESS) {
        reason = "names a program outside the device: " + platform::Utf16ToUtf8(program);
        return false;
    }
    entry.commandLine = platform::Utf16ToUtf8(Widen(commandLine));
    entry.arguments = SplitCommandLine(entry.commandLine);
    return true;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
            }
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

} // namespace launcher
