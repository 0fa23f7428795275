// swipetype-launch's reading of startup files and splitting of their command
// lines.
//
// Input: a mode byte (bit 0: the files are in UTF-8, else Windows-1252), then the
// bytes of one startup file, which is written into the startup folder of a
// device root made for the run and read back as the launcher reads it.
//
// Reading the file gives what parsing its bytes gives. A program named by a
// device path lies inside <root>/fs, never above it and never at a "." or ".."
// component. The command line is split into words that are its text less the
// quotes and the blanks outside quotes, and putting each word back in quotes
// gives the same words again.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "fuzz/support/check.h"
#include "platform/core/codepage.h"
#include "platform/core/system.h"
#include "platform/fs/device_root.h"
#include "startup_file.h"

using fuzz::Check;

namespace {

struct Root {
    // In memory when the machine has a tmpfs there: every input writes the file.
    Root() {
        std::string pattern = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        pattern += "/swipetype-fuzz-XXXXXX";
        Check(mkdtemp(pattern.data()) != nullptr, "a device root can be made");
        path = pattern;
        platform::SetDeviceRoot(path);
        std::string error;
        Check(platform::PrepareDeviceRoot(error), "the device root is prepared", error);
        file = path + "/fs/Application/Startup/Fuzz.RUN";
    }
    ~Root() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string path;
    std::string file;
};

const Root& DeviceRoot() {
    static Root root;
    return root;
}

// The text less its double quotes and the blanks outside them.
std::string Letters(std::string_view text) {
    std::string kept;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted || (c != ' ' && c != '\t')) {
            kept += c;
        }
    }
    return kept;
}

void CheckSplit(std::string_view commandLine) {
    std::vector<std::string> words = launcher::SplitCommandLine(commandLine);
    std::string joined;
    std::string quoted;
    for (const std::string& word : words) {
        Check(word.find('"') == std::string::npos, "a word holds no quote");
        joined += word;
        quoted += "\"" + word + "\" ";
    }
    Check(joined == Letters(commandLine), "the words are the line less quotes and outer blanks");
    Check(launcher::SplitCommandLine(quoted) == words, "each word in quotes is the same word");
}

// A program named by a host path (one that begins with "/") is the user's
// business; one named by a device path must lie inside <root>/fs.
void CheckProgramPath(std::string_view named, const std::string& program) {
    if (named.starts_with('/')) {
        Check(program.starts_with('/'), "a host path stays a host path", program);
        return;
    }
    const std::string fs = DeviceRoot().path + "/fs";
    std::string_view rest = std::string_view(program).substr(std::min(fs.size(), program.size()));
    Check(program.starts_with(fs) && (rest.empty() || rest.front() == '/'),
          "a device path stays inside <root>/fs", program);
    for (std::size_t start = 1; start <= rest.size();) {
        std::size_t end = rest.find('/', start);
        end = end == std::string_view::npos ? rest.size() : end;
        std::string_view part = rest.substr(start, end - start);
        Check(!part.empty() && part != "." && part != "..",
              "a device path is resolved, without empty, \".\" or \"..\" parts", program);
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    platform::SetAnsiCodePage((data[0] & 1) != 0 ? CP_UTF8 : 1252);
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckSplit(bytes);

    launcher::StartupEntry parsed;
    std::string reason;
    bool good = launcher::ParseStartupFile(bytes, parsed, reason);
    Check(good || !reason.empty(), "a refused file has a reason");
    if (good) {
        CheckProgramPath(bytes.substr(0, bytes.find('\r')), parsed.program);
        Check(!parsed.commandLine.ends_with('\r') && !parsed.commandLine.ends_with('\n'),
              "a command line ends before its line break");
        Check(parsed.arguments == launcher::SplitCommandLine(parsed.commandLine),
              "the arguments are the command line split");
    }

    {
        std::ofstream file(DeviceRoot().file, std::ios::binary | std::ios::trunc);
        file << bytes;
    }
    chmod(DeviceRoot().file.c_str(), 0600);
    launcher::StartupEntry read;
    bool readGood = launcher::ReadStartupFile(DeviceRoot().file, read, reason);
    if (bytes.size() <= 4096) {
        Check(readGood == good && read.program == parsed.program &&
                  read.commandLine == parsed.commandLine && read.arguments == parsed.arguments,
              "reading the file gives what parsing its bytes gives");
    } else {
        Check(!readGood, "a file larger than a startup file is refused");
    }
    platform::SetAnsiCodePage(1252);
    return 0;
}
