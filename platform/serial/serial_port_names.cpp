#include "platform/serial/serial_port_names.h"

#include <cstdlib>
#include <map>

#include "platform/serial/remembered_ports.h"

namespace platform {
namespace {

constexpr int kLargestPortNumber = 999999;

std::map<int, std::string>& GivenPaths() {
    static std::map<int, std::string> paths;
    return paths;
}

char16_t Upper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}

} // namespace

void SetPortPath(int number, std::string path) {
    if (path.empty()) {
        GivenPaths().erase(number);
        return;
    }
    GivenPaths()[number] = std::move(path);
}

void ClearPortPaths() {
    GivenPaths().clear();
}

std::optional<std::string> ResolvePortPath(int number) {
    if (number < 1 || number > kLargestPortNumber) {
        return std::nullopt;
    }
    auto given = GivenPaths().find(number);
    if (given != GivenPaths().end()) {
        return given->second;
    }
    std::string variable = "SWIPETYPE_COM" + std::to_string(number);
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0') {
        return std::string(value);
    }
    if (std::optional<std::string> remembered = RememberedPortPath(number)) {
        return remembered;
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::optional<int> ParsePortName(LPCWSTR name) {
    if (name == nullptr || Upper(name[0]) != u'C' || Upper(name[1]) != u'O' ||
        Upper(name[2]) != u'M') {
        return std::nullopt;
    }
    const WCHAR* p = name + 3;
    long number = 0;
    int digits = 0;
    // Seven digits are enough to tell a number over the limit; stop there so the
    // value cannot overflow whatever the name holds.
    for (; *p >= u'0' && *p <= u'9' && digits < 7; ++p, ++digits) {
        number = number * 10 + (*p - u'0');
    }
    if (digits == 0 || number < 1 || number > kLargestPortNumber) {
        return std::nullopt;
    }
    if (*p == u':') {
        ++p;
    }
    if (*p != u'\0') {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

} // namespace platform
