// The desktop front end and the key sinks' libraries are loaded only when used:
// a headless program with the text sink maps none of them (not even with
// WAYLAND_DISPLAY set), and a program whose
// front end module is missing says so in one line.
#include <filesystem>

#include "e2e/program_fixture.h"
#include "support/scoped_environment.h"
#include "support/x_test_display.h"

namespace e2e {
namespace {

// The files mapped into the process whose names start with one of `stems`.
std::vector<std::string> MappedFiles(pid_t pid, const std::vector<std::string>& stems) {
    std::vector<std::string> found;
    std::istringstream maps(ReadFile("/proc/" + std::to_string(pid) + "/maps"));
    for (std::string line; std::getline(maps, line);) {
        std::string file = std::filesystem::path(line.substr(line.rfind(' ') + 1)).filename();
        for (const std::string& stem : stems) {
            if (file.rfind(stem, 0) == 0 &&
                std::find(found.begin(), found.end(), file) == found.end()) {
                found.push_back(file);
            }
        }
    }
    return found;
}

TEST_F(ProgramTest, AHeadlessStartWithTheTextSinkMapsNoDesktopXEvdevOrWaylandLibrary) {
    test_support::ScopedEnvironment wayland("WAYLAND_DISPLAY", "wayland-0");
    StartProgram();
    EXPECT_EQ(MappedFiles(program_.Pid(), {"libgtk", "libgdk", "libglib", "libgobject", "libgio",
                                           "libpango", "libcairo", "libX11", "libxcb", "libXtst",
                                           "libxkbcommon", "libevdev", "libwayland", "swipetype-"}),
              std::vector<std::string>{});
}

TEST_F(ProgramTest, WithoutItsFrontEndModuleTheProgramSaysSoAndRunsHeadless) {
    std::string reason;
    const x_test::XvfbServer* server = x_test::SharedXvfb(reason);
    if (server == nullptr) {
        GTEST_SKIP() << reason;
    }
    // The program with its X11 module, but not its front end's, in a folder of its own.
    std::filesystem::path built = std::filesystem::path(SWIPETYPE_PATH).parent_path();
    std::filesystem::create_directories(dir_ / "bin");
    program_path_ = (dir_ / "bin" / "swipetype").string();
    std::filesystem::copy_file(SWIPETYPE_PATH, program_path_);
    std::filesystem::copy_file(built / "swipetype-x11.so", dir_ / "bin" / "swipetype-x11.so");
    setenv("DISPLAY", server->Name().c_str(), 1);
    auto says = [](const std::string& errors) {
        return errors.find("swipetype-gtk.so: cannot open shared object file") != std::string::npos;
    };

    ui_ = "gtk";
    ASSERT_TRUE(program_.Start(ProgramArguments({})));
    EXPECT_EQ(program_.Wait(5s), std::optional<int>(1));
    EXPECT_TRUE(says(program_.Errors())) << program_.Errors();

    ui_ = ""; // the default: gtk, since DISPLAY can be opened
    StartProgram();
    EXPECT_TRUE(says(program_.Errors())) << program_.Errors();
    program_.Signal(SIGTERM);
    EXPECT_EQ(program_.Wait(5s), std::optional<int>(0));
    unsetenv("DISPLAY");
}

} // namespace
} // namespace e2e
