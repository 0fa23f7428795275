// swipetype-launch's own command line (tools/swipetype-launch/launch_options.h).
//
// Input: the arguments, separated by zero bytes (fuzz/support/arguments.h).
//
// A refused command line says why in one line. Accepted options written out again
// in one canonical form read back to the same options.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/support/arguments.h"
#include "fuzz/support/check.h"
#include "launch_options.h"

using fuzz::Check;

namespace {

std::vector<std::string> Canonical(const launcher::LaunchOptions& options) {
    std::vector<std::string> arguments;
    if (options.root) {
        arguments.insert(arguments.end(), {"--root", *options.root});
    }
    if (options.codePageGiven) {
        arguments.insert(arguments.end(),
                         {"--codepage", options.codePage == 65001 ? "utf-8" : "1252"});
    }
    const char* actions[] = {nullptr, "--install", "--uninstall", "--help", "--version"};
    if (const char* action = actions[static_cast<int>(options.action)]) {
        arguments.push_back(action);
    }
    return arguments;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    launcher::ParsedOptions parsed = launcher::ParseLaunchOptions(fuzz::Arguments(data, size));
    if (!parsed.error.empty()) {
        return 0;
    }
    const launcher::LaunchOptions& options = parsed.options;
    Check(!options.root || !options.root->empty(), "a device root is a folder's name");
    Check(options.codePage == 1252 || options.codePage == 65001, "the code page is 1252 or UTF-8");
    launcher::ParsedOptions again = launcher::ParseLaunchOptions(Canonical(options));
    const launcher::LaunchOptions& read = again.options;
    Check(again.error.empty() && read.action == options.action && read.root == options.root &&
              read.codePage == options.codePage && read.codePageGiven == options.codePageGiven,
          "the options written out canonically read back the same", again.error);
    return 0;
}
