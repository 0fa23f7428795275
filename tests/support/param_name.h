// Readable names for the cases of parameterized suites: gtest and CTest take
// letters, digits and '_' only, and without a name a case shows as its index.
#pragma once

#include <sstream>
#include <string>
#include <string_view>

namespace testsupport {

// The parts streamed one after another; '-' becomes 'm', anything else that
// is no letter or digit becomes '_'.
template <class... Parts> std::string ParamName(const Parts&... parts) {
    std::ostringstream text;
    (text << ... << parts);
    std::string name;
    for (char c : text.str()) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += plain ? c : c == '-' ? 'm' : '_';
    }
    return name.empty() ? "empty" : name;
}

// Names each case by its `name` member.
struct ByName {
    template <class Info> std::string operator()(const Info& info) const {
        return ParamName(info.param.name);
    }
};

} // namespace testsupport
