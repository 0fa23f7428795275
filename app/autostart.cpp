#include "app/autostart.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/startup_file_format.h"
#include "keys/text_conversion.h"
#include "platform/fs/files.h"
#include "platform/registry/registry.h"

namespace {

constexpr int kFolderSize = 260;       // wide characters
constexpr int kProgramPathSize = 260;  // wide characters
constexpr int kNarrowBufferSize = 264; // bytes, for the file path and the content
using startup_file::kDefaultFolder;
using startup_file::kFolderReadLimit;

// Results of building the content.
constexpr int kBuilt = 1;
constexpr int kDoesNotFit = 0;
constexpr int kNoMemory = -1;

WCHAR StartupFolder[kFolderSize];
WCHAR ProgramPath[kProgramPathSize];
char StartupFilePath[kNarrowBufferSize];
char StartupFileContent[kNarrowBufferSize];

void UseDefaultFolder() {
    std::memcpy(StartupFolder, kDefaultFolder,
                (std::char_traits<WCHAR>::length(kDefaultFolder) + 1) * sizeof(WCHAR));
}

// The startup folder from the registry, else the default.
void ReadStartupFolder() {
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, startup_file::kFolderKey, 0, 0, &key);
    if (status == ERROR_SUCCESS) {
        DWORD size = kFolderReadLimit;
        status = RegQueryValueExW(key, startup_file::kFolderValue, nullptr, nullptr,
                                  reinterpret_cast<LPBYTE>(StartupFolder), &size);
        RegCloseKey(key);
        // The stored text need not carry its terminator: it ends where its
        // bytes end, so the folder never runs on into what the buffer held.
        if (status == ERROR_SUCCESS) {
            StartupFolder[size / sizeof(WCHAR)] = u'\0';
        }
    }
    if (status != ERROR_SUCCESS) {
        UseDefaultFolder();
    }
}

// The startup file's path: folder + "\Swipetype.RUN"; kDoesNotFit when that overflows the buffer
// (possible with UTF-8 as the code page).
int BuildStartupFilePath() {
    char* folder = WideToNarrow(StartupFolder);
    if (folder == nullptr) {
        return kNoMemory;
    }
    int result = kDoesNotFit;
    if (std::strlen(folder) + std::strlen(startup_file::kName) < kNarrowBufferSize) {
        std::strcpy(StartupFilePath, folder);
        std::strcat(StartupFilePath, startup_file::kName);
        result = kBuilt;
    }
    std::free(folder);
    return result;
}

// The startup file's text: program path, carriage return, "MIN". A program path cut short by its
// buffer would name the wrong program, so it counts as not fitting.
int BuildStartupFileContent() {
    DWORD length = GetModuleFileNameW(nullptr, ProgramPath, kProgramPathSize);
    if (length == 0 || length >= static_cast<DWORD>(kProgramPathSize)) {
        return kDoesNotFit;
    }
    char* program = WideToNarrow(ProgramPath);
    if (program == nullptr) {
        return kNoMemory;
    }
    int result = kDoesNotFit;
    if (std::strlen(program) + std::strlen(startup_file::kSeparator) +
            std::strlen(startup_file::kNarrowHiddenStart) <
        kNarrowBufferSize) {
        std::strcpy(StartupFileContent, program);
        std::strcat(StartupFileContent, startup_file::kSeparator);
        std::strcat(StartupFileContent, startup_file::kNarrowHiddenStart);
        result = kBuilt;
    }
    std::free(program);
    return result;
}

// Turning autostart off (also the clean-up of a write that failed half-way).
void DeleteStartupFile() {
    WCHAR* path = NarrowToWide(StartupFilePath);
    if (path != nullptr) {
        DeleteFileW(path);
        std::free(path);
    }
}

// Turning autostart on: the file written afresh.
void WriteStartupFile() {
    using device::fopen;
    FILE* file = fopen(StartupFilePath, "w+t");
    if (file == nullptr) {
        return;
    }
    std::size_t written = std::fwrite(StartupFileContent, std::strlen(StartupFileContent), 1, file);
    int closed = std::fclose(file);
    // A file cut short (a full disk) would start the wrong thing at boot.
    if (written != 1 || closed != 0) {
        DeleteStartupFile();
    }
}

} // namespace

int SetAutoStart(HWND /*window*/, BOOL on) {
    ReadStartupFolder();
    int path = BuildStartupFilePath();
    int content = BuildStartupFileContent();
    // A conversion that could not allocate leaves the file as it is.
    if (path == kNoMemory || content == kNoMemory || path == kDoesNotFit) {
        return 1;
    }
    if (on) {
        if (content == kBuilt) {
            WriteStartupFile();
        }
    } else {
        DeleteStartupFile();
    }
    return 1;
}
