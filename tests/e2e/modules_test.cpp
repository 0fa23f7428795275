// The desktop front end and the key sinks' libraries are loaded only when used:
// a headless program with the text sink maps none of them (not even with
// WAYLAND_DISPLAY set); a program whose front end module is missing, or whose
// key sink module is of another build, says so in one line.
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

class ModulesTest : public ProgramTest {
  protected:
    // The program in a folder of its own with one module beside it: the module
    // as built, or as another build would have made it (its entry,
    // swipetype_module_<stamp>, of another stamp).
    void ProgramApartWith(const std::string& module, bool anotherBuild) {
        std::filesystem::create_directories(dir_ / "bin");
        program_path_ = (dir_ / "bin" / "swipetype").string();
        std::filesystem::copy_file(SWIPETYPE_PATH, program_path_);
        std::string bytes = ReadFile(std::filesystem::path(SWIPETYPE_PATH).parent_path() / module);
        const std::string entry = "swipetype_module_";
        for (auto at = bytes.find(entry); anotherBuild && at != std::string::npos;
             at = bytes.find(entry, at + 1)) {
            bytes[at + entry.size()] = bytes[at + entry.size()] == '0' ? '1' : '0';
        }
        std::ofstream(dir_ / "bin" / module, std::ios::binary) << bytes;
    }
};

TEST_F(ModulesTest, AHeadlessStartWithTheTextSinkMapsNoDesktopXEvdevOrWaylandLibrary) {
    test_support::ScopedEnvironment wayland("WAYLAND_DISPLAY", "wayland-0");
    StartProgram();
    EXPECT_EQ(MappedFiles(program_.Pid(), {"libgtk", "libgdk", "libglib", "libgobject", "libgio",
                                           "libpango", "libcairo", "libX11", "libxcb", "libXtst",
                                           "libxkbcommon", "libevdev", "libwayland", "swipetype-"}),
              std::vector<std::string>{});
}

TEST_F(ModulesTest, AKeySinkModuleOfAnotherBuildIsRefusedUnread) {
    ProgramApartWith("swipetype-x11.so", true);
    keys_ = "xtest";
    ASSERT_TRUE(program_.Start(ProgramArguments({})));
    EXPECT_EQ(program_.Wait(5s), std::optional<int>(1));
    EXPECT_NE(program_.Errors().find("the key sink module x11 cannot be loaded: " + dir_.string() +
                                     "/bin/swipetype-x11.so is not a module of this build of the "
                                     "program (no swipetype_module_"),
              std::string::npos)
        << program_.Errors();
}

TEST_F(ModulesTest, WithoutItsFrontEndModuleTheProgramSaysSoAndRunsHeadless) {
    std::string reason;
    const x_test::XvfbServer* server = x_test::SharedXvfb(reason);
    if (server == nullptr) {
        GTEST_SKIP() << reason;
    }
    // The program with its X11 module, but not its front end's.
    ProgramApartWith("swipetype-x11.so", false);
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
