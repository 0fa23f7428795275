#include "startup_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <unistd.h>

#include "app/startup_file_format.h"
#include "platform/core/errors.h"
#include "platform/core/system.h"
#include "platform/core/unicode.h"
#include "platform/fs/files.h"
#include "startup_folder.h"

namespace config_tool {
namespace {

using startup_file::kWideName;

// Wide text in the ANSI code page, as the program writes its startup file;
// nothing when the code page lacks one of its characters.
std::optional<std::string> Narrow(const std::u16string& text) {
    BOOL lossy = FALSE;
    int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, &lossy);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), length, nullptr, &lossy);
    narrow.resize(std::strlen(narrow.c_str()));
    return lossy ? std::nullopt : std::optional<std::string>(narrow);
}

} // namespace

bool WriteStartupFile(std::string& error) {
    std::error_code unknown;
    std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", unknown);
    std::string program = (self.parent_path() / "swipetype").string();
    if (unknown || ::access(program.c_str(), X_OK) != 0) {
        error = "no swipetype program beside this one to start at boot (" + program + ")";
        return false;
    }
    std::optional<std::string> path = Narrow(launcher::StartupFolder() + kWideName);
    std::optional<std::string> content =
        Narrow(platform::Utf8ToUtf16(program) + platform::Utf8ToUtf16(startup_file::kSeparator) +
               startup_file::kHiddenStart);
    if (!path || !content) {
        error = "the startup file's path or content does not fit the ANSI code page";
        return false;
    }
    using device::fopen;
    FILE* file = fopen(path->c_str(), "w+t");
    if (file == nullptr) {
        error = platform::SystemError("cannot write the startup file " + *path);
        return false;
    }
    bool written = std::fwrite(content->data(), content->size(), 1, file) == 1;
    if (std::fclose(file) != 0 || !written) {
        error = platform::SystemError("cannot write the startup file " + *path);
        RemoveStartupFile();
        return false;
    }
    return true;
}

void RemoveStartupFile() {
    DeleteFileW((launcher::StartupFolder() + kWideName).c_str());
}

} // namespace config_tool
