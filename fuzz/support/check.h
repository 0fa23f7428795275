// A failed property is a finding: the target says which property failed and
// aborts, and libFuzzer keeps the input that did it.
#pragma once

#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

[[noreturn]] inline void PropertyFailed(const char* property, const std::string& detail) {
    std::fprintf(stderr, "\nproperty failed: %s\n%s%s", property, detail.c_str(),
                 detail.empty() ? "" : "\n");
    std::abort();
}

inline void Check(bool holds, const char* property, const std::string& detail = {}) {
    if (!holds) {
        PropertyFailed(property, detail);
    }
}

// The same with a detail that is worked out only when the property fails.
template <std::invocable Describe> void Check(bool holds, const char* property, Describe describe) {
    if (!holds) {
        PropertyFailed(property, describe());
    }
}

} // namespace fuzz
