// The simulator's command line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mode.h"

namespace sim {

struct Options {
    Mode* mode = nullptr;
    std::string input; // empty: standard input
    std::string link;  // empty: no symbolic link
    unsigned baud = 0; // 0: the mode's own rate
    bool exitAtEnd = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Parses argv. On an error returns false with `error` set to one sentence.
bool ParseOptions(int argc, char** argv, const std::vector<std::unique_ptr<Mode>>& modes,
                  Options& options, std::string& error);

void PrintHelp(const std::vector<std::unique_ptr<Mode>>& modes, const Mode* only);

} // namespace sim
