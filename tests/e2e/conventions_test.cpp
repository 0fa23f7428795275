// The five programs' shared conventions: --opt=value, -h, one line per error
// beginning with the program's name with long values cut, and the meaning of
// exit statuses 0, 1 and 2.
#include "e2e/program_fixture.h"

namespace e2e {
namespace {

struct Call {
    std::vector<std::string> arguments; // after the program; {root} stands for a new folder
    int status;
};

struct Conventions {
    const char* path;
    std::vector<Call> calls;
};

TEST_F(ProgramTest, EveryProgramFollowsTheSameConventions) {
    const std::string longValue(300, 'x');
    const Conventions programs[] = {
        {SWIPETYPE_PATH, {{{"--root={root}", "--list-ports"}, 0}, {{"--keys=" + longValue}, 2}}},
        {SWIPETYPE_CONFIG_PATH,
         {{{"--root={root}", "init"}, 0},
          {{"set", "Prefix", longValue + longValue + longValue + longValue}, 2}}},
        {SWIPETYPE_SEND_PATH,
         {{{"--root={root}", "--timeout=1", "WM_CLOSE"}, 1}, {{"--control=" + longValue}, 2}}},
        {SWIPETYPE_LAUNCH_PATH,
         {{{"--root={root}", "--codepage=utf-8"}, 0}, {{"--codepage=" + longValue}, 2}}},
        {SWIPETYPE_SIM_PATH,
         {{{"msr", "--baud=9600", "-h"}, 0}, {{"msr", "--baud=" + longValue}, 2}}},
    };
    int folders = 0;
    for (const Conventions& program : programs) {
        std::string name = std::filesystem::path(program.path).filename();
        SendResult help = test_support::Run({program.path, "-h"});
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_NE(help.out.find("Usage:"), std::string::npos) << name;
        for (const Call& call : program.calls) {
            std::vector<std::string> arguments{program.path};
            for (std::string argument : call.arguments) {
                if (std::size_t at = argument.find("{root}"); at != std::string::npos) {
                    argument.replace(at, 6, (dir_ / std::to_string(++folders)).string());
                }
                arguments.push_back(argument);
            }
            SendResult result = test_support::Run(arguments);
            EXPECT_EQ(result.status, call.status) << name << " " << arguments[1];
            if (call.status == 0) {
                continue;
            }
            const std::string& errors = result.err;
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
            EXPECT_EQ(errors.rfind(name + ": ", 0), 0u) << errors;
            EXPECT_LT(errors.size(), 250u) << "the long value is cut: " << errors;
        }
    }
}

} // namespace
} // namespace e2e
