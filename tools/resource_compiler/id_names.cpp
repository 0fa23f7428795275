#include "id_names.h"

#include <regex>
#include <sstream>

namespace rc {

bool ReadIdNames(const std::string& header, IdNames& names, std::string& error) {
    static const std::regex kId(R"(^\s*constexpr\s+int\s+([A-Za-z_]\w*)\s*=\s*(-?\d+)\s*;.*)");
    std::istringstream lines(header);
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        std::smatch match;
        if (!std::regex_match(line, match, kId)) {
            continue;
        }
        if (!names.emplace(match[1].str(), std::stoll(match[2].str())).second) {
            error = "line " + std::to_string(number) + ": " + match[1].str() + " is named twice";
            return false;
        }
    }
    return true;
}

} // namespace rc
