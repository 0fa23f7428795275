#include "startup_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>

#include "app/startup_file_format.h"
#include "platform/core/errors.h"
#include "platform/registry/registry.h"

namespace launcher {
namespace {

using startup_file::kDefaultFolder;
using startup_file::kFolderReadLimit;

bool IsStartupFileName(const std::string& name) {
    if (name.size() <= 4) {
        return false;
    }
    std::string end = name.substr(name.size() - 4);
    std::transform(end.begin(), end.end(), end.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return end == ".RUN";
}

} // namespace

std::u16string StartupFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, startup_file::kFolderKey, 0, 0, &key) != ERROR_SUCCESS) {
        return kDefaultFolder;
    }
    WCHAR folder[kFolderReadLimit / sizeof(WCHAR) + 1] = {};
    DWORD size = kFolderReadLimit;
    LONG result = RegQueryValueExW(key, startup_file::kFolderValue, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(folder), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return kDefaultFolder;
    }
    std::u16string text(folder, size / sizeof(WCHAR));
    return text.substr(0, text.find(u'\0'));
}

bool ListStartupFiles(const std::string& hostFolder, std::vector<std::string>& names,
                      std::string& error) {
    DIR* directory = ::opendir(hostFolder.c_str());
    if (directory == nullptr) {
        error = platform::SystemError("cannot read the startup folder " + hostFolder);
        return false;
    }
    while (dirent* entry = ::readdir(directory)) {
        if (IsStartupFileName(entry->d_name)) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return true;
}

} // namespace launcher
