// The host's command line and environment (host/options.h).
//
// Input: the environment, "NAME=value" lines, then the arguments, all separated
// by zero bytes (fuzz/support/arguments.h); the first piece is the environment.
//
// A refused command line says why in a line that names the program. Accepted
// options written out again in one canonical form, with no environment, read
// back to the same options, and the program's own command line is the tail of
// the arguments as given.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz/support/arguments.h"
#include "fuzz/support/check.h"
#include "host/options.h"

using fuzz::Check;

namespace {

host::Environment EnvironmentOf(const std::string& block) {
    std::map<std::string, std::string> variables;
    std::size_t start = 0;
    while (start < block.size()) {
        std::size_t end = block.find('\n', start);
        end = end == std::string::npos ? block.size() : end;
        std::string line = block.substr(start, end - start);
        std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            variables[line.substr(0, equals)] = line.substr(equals + 1);
        }
        start = end + 1;
    }
    return [variables](const std::string& name) -> std::optional<std::string> {
        auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional(found->second);
    };
}

std::vector<std::string> Canonical(const host::HostOptions& options) {
    std::vector<std::string> arguments;
    auto add = [&](const std::string& option, const std::optional<std::string>& value) {
        if (value) {
            arguments.push_back(option + "=" + *value);
        }
    };
    add("--root", options.root);
    for (const host::PortMapping& port : options.ports) {
        add("--port", "COM" + std::to_string(port.number) + ":=" + port.path);
    }
    add("--keys", options.keys);
    add("--layout", options.layout);
    add("--key-delay", std::to_string(options.keyDelay.count()));
    add("--log", options.log);
    add("--ui", options.ui);
    add("--codepage", options.codePage == 65001 ? "utf-8" : "1252");
    if (options.help) {
        arguments.push_back("--help");
    }
    if (options.version) {
        arguments.push_back("--version");
    }
    if (options.listPorts) {
        arguments.push_back("--list-ports");
    }
    arguments.push_back("--");
    arguments.insert(arguments.end(), options.commandLine.begin(), options.commandLine.end());
    return arguments;
}

bool Same(const host::HostOptions& a, const host::HostOptions& b) {
    auto samePorts = [](const host::PortMapping& x, const host::PortMapping& y) {
        return x.number == y.number && x.path == y.path;
    };
    return a.root == b.root && a.keys == b.keys && a.layout == b.layout &&
           a.keyDelay == b.keyDelay && a.log == b.log && a.ui == b.ui && a.codePage == b.codePage &&
           a.help == b.help && a.version == b.version && a.listPorts == b.listPorts &&
           a.commandLine == b.commandLine &&
           std::equal(a.ports.begin(), a.ports.end(), b.ports.begin(), b.ports.end(), samePorts);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> pieces = fuzz::Arguments(data, size);
    if (pieces.empty()) {
        return 0;
    }
    host::Environment environment = EnvironmentOf(pieces.front());
    std::vector<std::string> arguments(pieces.begin() + 1, pieces.end());
    host::ParseResult result = host::ParseHostOptions(arguments, environment);
    if (!result.error.empty()) {
        Check(result.error.starts_with("swipetype: "), "a refusal names the program", result.error);
        return 0;
    }
    const host::HostOptions& options = result.options;
    const std::vector<std::string>& own = options.commandLine;
    Check(own.size() <= arguments.size() &&
              std::equal(own.begin(), own.end(), arguments.end() - static_cast<long>(own.size())),
          "the program's command line is the tail of the arguments");
    for (const host::PortMapping& port : options.ports) {
        Check(port.number >= 1 && port.number <= 255,
              "a port mapping names COM1: to COM255: (an empty device forgets one)");
    }
    Check(options.keyDelay.count() >= 0 && options.keyDelay.count() <= 60000,
          "the key delay is within 0 to 60000 ms");
    host::ParseResult again = host::ParseHostOptions(Canonical(options), EnvironmentOf(""));
    Check(again.error.empty() && Same(again.options, options),
          "the options written out canonically read back the same", again.error);
    return 0;
}
