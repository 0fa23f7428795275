#include "platform/serial/remembered_ports.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/core/atomic_file.h"
#include "platform/fs/device_root.h"

namespace platform {
namespace {

constexpr const char* kFileName = "/serial-ports";
constexpr const char* kByIdFolder = "/dev/serial/by-id";
constexpr const char* kHeading =
    "# Host devices standing for the serial ports of this device root, one a line\n"
    "# as COMn:=PATH. Written by swipetype --port and swipetype-config port.\n";

// The port number of a line "COMn:=PATH" (letters in any case), else nothing.
std::optional<int> MappingNumber(const std::string& line, std::string* path = nullptr) {
    std::size_t equals = line.find(":=");
    if (line.size() < 6 || equals == std::string::npos || (line[0] | 0x20) != 'c' ||
        (line[1] | 0x20) != 'o' || (line[2] | 0x20) != 'm') {
        return std::nullopt;
    }
    int number = 0;
    auto [end, error] = std::from_chars(line.data() + 3, line.data() + equals, number);
    if (error != std::errc() || end != line.data() + equals || number < 1) {
        return std::nullopt;
    }
    if (path != nullptr) {
        *path = line.substr(equals + 2);
    }
    return number;
}

std::vector<std::string> ReadLines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool WriteWhole(const std::string& file, const std::string& text, std::string& error) {
    ReplaceFailure failure;
    if (ReplaceFile(file, text, FileReplacement{}, failure)) {
        return true;
    }
    error = failure.Sentence(file);
    return false;
}

std::string Canonical(const std::string& path) {
    std::error_code error;
    std::filesystem::path real = std::filesystem::canonical(path, error);
    return error ? "" : real.string();
}

} // namespace

std::string RememberedPortsFile() {
    std::string root = DeviceRoot();
    return root.empty() ? root : root + kFileName;
}

std::map<int, std::string> RememberedPorts() {
    std::map<int, std::string> ports;
    std::string file = RememberedPortsFile();
    if (file.empty()) {
        return ports;
    }
    for (const std::string& line : ReadLines(file)) {
        std::string path;
        if (std::optional<int> number = MappingNumber(line, &path); number && !path.empty()) {
            ports[*number] = path;
        }
    }
    return ports;
}

std::optional<std::string> RememberedPortPath(int number) {
    std::map<int, std::string> ports = RememberedPorts();
    auto found = ports.find(number);
    return found != ports.end() ? std::optional<std::string>(found->second) : std::nullopt;
}

bool RememberPortPath(int number, const std::string& path, std::string& error) {
    std::string file = RememberedPortsFile();
    if (file.empty()) {
        error = "no device root";
        return false;
    }
    std::vector<std::string> lines = ReadLines(file);
    std::string text = lines.empty() ? kHeading : "";
    for (const std::string& line : lines) {
        if (MappingNumber(line) != number) {
            text += line + "\n";
        }
    }
    if (!path.empty()) {
        text += "COM" + std::to_string(number) + ":=" + path + "\n";
    }
    return WriteWhole(file, text, error);
}

std::string PortPathToRemember(const std::string& path) {
    std::string stable = StableSerialName(path);
    if (!stable.empty()) {
        return stable;
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string StableSerialName(const std::string& path) {
    std::string device = Canonical(path);
    std::error_code error;
    if (device.empty() || !std::filesystem::is_directory(kByIdFolder, error)) {
        return "";
    }
    for (const auto& entry : std::filesystem::directory_iterator(kByIdFolder, error)) {
        if (Canonical(entry.path().string()) == device) {
            return entry.path().string();
        }
    }
    return "";
}

} // namespace platform
