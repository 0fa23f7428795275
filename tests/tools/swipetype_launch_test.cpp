// The boot launcher, run as the program it is: it starts a recording test
// program named in a startup file, with the command line that follows it, and
// refuses startup files that someone else could have written.
#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/registry/registry.h"
#include "support/child_process.h"
#include "support/scoped_environment.h"
#include "support/temp_device_root.h"

#ifndef SWIPETYPE_LAUNCH_PATH
#define SWIPETYPE_LAUNCH_PATH ""
#endif

namespace {

using test_support::ReadFile;
using test_support::TempDeviceRoot;
using test_support::WriteFile;
using namespace std::chrono_literals;

using RunResult = test_support::ChildResult;

// Runs the launcher with these arguments; 10 s at most.
RunResult RunLauncher(const std::vector<std::string>& arguments) {
    return test_support::RunServingLoop(SWIPETYPE_LAUNCH_PATH, arguments);
}

class Launcher : public testing::Test {
  protected:
    void SetUp() override {
        if (std::string(SWIPETYPE_LAUNCH_PATH).empty()) {
            GTEST_SKIP() << "the launcher was not built with the tests";
        }
        // The recording program: writes its arguments, one per line, and the
        // device root it was given, then moves the record into place.
        recorder_ = root_.Path() + "/bin/record args";
        record_ = root_.Path() + "/record";
        WriteFile(recorder_, "#!/bin/sh\n"
                             "{ printf '%s\\n' \"$@\"; printf 'root=%s\\n' \"$SWIPETYPE_ROOT\"; }"
                             " > '" +
                                 record_ + ".tmp' && mv '" + record_ + ".tmp' '" + record_ + "'\n");
        ::chmod(recorder_.c_str(), 0755);
    }

    std::string StartupFile(const std::string& name) const {
        return root_.Fs("Application/Startup/" + name);
    }

    void WriteStartupFile(const std::string& name, const std::string& content,
                          mode_t mode = 0644) const {
        WriteFile(StartupFile(name), content);
        ::chmod(StartupFile(name).c_str(), mode);
    }

    // The record the program left, waiting up to 5 s for it.
    std::string Record() const {
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!std::filesystem::exists(record_) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        return ReadFile(record_);
    }

    // Names the startup folder in the registry, as a device's set-up does.
    static void SetStartupFolder(const std::u16string& folder) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Zelna\\Startup", 0, nullptr, 0, 0,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, u"Path", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(folder.c_str()),
                                 static_cast<DWORD>((folder.size() + 1) * sizeof(char16_t))),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    RunResult Run(std::vector<std::string> extra = {}) const {
        std::vector<std::string> arguments{"--root", root_.Path()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunLauncher(arguments);
    }

    TempDeviceRoot root_;
    std::string recorder_;
    std::string record_;
};

TEST_F(Launcher, StartsTheProgramWithItsCommandLine) {
    WriteStartupFile("Swipetype.RUN", recorder_ + "\rMIN");
    RunResult result = Run();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("started Swipetype.RUN: " + recorder_ + " MIN (pid "))
        << result.out;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1);
    EXPECT_EQ(Record(), "MIN\nroot=" + root_.Path() + "\n");
}

TEST_F(Launcher, WordsAndQuotesOfTheCommandLine) {
    WriteStartupFile("A.RUN", recorder_ + "\r  one \"two words\"\tthree\"\"\n");
    RunResult result = Run();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Record(), "one\ntwo words\nthree\nroot=" + root_.Path() + "\n");
}

TEST_F(Launcher, RefusesAFileOfAnotherOwner) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can give a file to another user";
    }
    WriteStartupFile("Swipetype.RUN", recorder_ + "\rMIN");
    ASSERT_EQ(::chown(StartupFile("Swipetype.RUN").c_str(), 65534, 65534), 0);
    RunResult result = Run();
    EXPECT_EQ(result.out, "skipped Swipetype.RUN: not owned by you\n");
}

TEST_F(Launcher, RefusesLinksAndMalformedFiles) {
    WriteStartupFile("A.RUN", "no carriage return");
    WriteStartupFile("B.RUN", "\rMIN");
    WriteStartupFile("C.RUN", std::string("/bin/true\0\rMIN", 14));
    WriteStartupFile("D.RUN", "\\..\\..\\bin\\sh\rMIN");
    WriteStartupFile("E.RUN", root_.Path() + "/bin/missing\rMIN");
    std::filesystem::create_symlink(StartupFile("A.RUN"), StartupFile("F.RUN"));
    WriteStartupFile("G.RUN", recorder_ + "\rMIN", 0664);
    WriteStartupFile("H.RUN", recorder_ + "\rMIN", 0646);
    WriteStartupFile("notes.txt", recorder_ + "\rMIN");
    RunResult result = Run();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "skipped A.RUN: no carriage return after the program\n"
                          "skipped B.RUN: names no program\n"
                          "skipped C.RUN: holds a zero byte\n"
                          "skipped D.RUN: names a program outside the device: \\..\\..\\bin\\sh\n"
                          "skipped E.RUN: cannot start " +
                              root_.Path() +
                              "/bin/missing: No such file or directory\n"
                              "skipped F.RUN: a symbolic link\n"
                              "skipped G.RUN: others can write it\n"
                              "skipped H.RUN: others can write it\n");
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(std::filesystem::exists(record_)) << "nothing was started";
}

TEST_F(Launcher, FolderComesFromTheRegistryAndCanEndWithABackslash) {
    SetStartupFolder(u"\\Kiosk\\");
    WriteStartupFile("Ignored.RUN", recorder_ + "\rWRONG");
    WriteFile(root_.Fs("Kiosk/Swipetype.run"), recorder_ + "\rMIN");
    ::chmod(root_.Fs("Kiosk/Swipetype.run").c_str(), 0600);
    RunResult result = Run();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Record(), "MIN\nroot=" + root_.Path() + "\n");
}

TEST_F(Launcher, EmptyOrMissingFolderStartsNothing) {
    RunResult result = Run();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
    std::filesystem::remove_all(root_.Fs("Application"));
    SetStartupFolder(u"\\Nowhere");
    result = Run();
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "no startup folder " + root_.Fs("Nowhere") + ": nothing to start\n");
}

TEST_F(Launcher, InstallAndUninstallTheAutostartEntry) {
    std::string config = root_.Path() + "/config dir";
    test_support::ScopedEnvironment configHome("XDG_CONFIG_HOME", config.c_str());
    RunResult result = RunLauncher({"--root", root_.Path() + "/with $pecial", "--install"});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string entry = config + "/autostart/swipetype-launch.desktop";
    EXPECT_EQ(result.out, "installed " + entry + "\n");
    std::string launcher = std::filesystem::canonical(SWIPETYPE_LAUNCH_PATH).string();
    EXPECT_EQ(ReadFile(entry), "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Swipetype launcher\n"
                               "Comment=Starts the programs in the Swipetype startup folder\n"
                               "Exec=" +
                                   launcher + " --root \"" + root_.Path() +
                                   "/with \\\\$pecial\"\n"
                                   "Terminal=false\n"
                                   "NoDisplay=true\n"
                                   "X-GNOME-Autostart-enabled=true\n");
    struct stat info {};
    ASSERT_EQ(::stat(entry.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    result = RunLauncher({"--uninstall"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "removed " + entry + "\n");
    EXPECT_FALSE(std::filesystem::exists(entry));
    result = RunLauncher({"--uninstall"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "not installed: no " + entry + "\n");
}

TEST_F(Launcher, HelpAndUsageErrors) {
    RunResult help = RunLauncher({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: swipetype-launch"), std::string::npos);
    RunResult wrong = RunLauncher({"--frobnicate"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.out, "");
    EXPECT_EQ(wrong.err, "swipetype-launch: unknown option '--frobnicate' (see --help)\n");
    EXPECT_EQ(RunLauncher({"--root"}).status, 2);
    EXPECT_EQ(RunLauncher({"--install", "--uninstall"}).status, 2);
    EXPECT_EQ(RunLauncher({"--codepage", "437"}).status, 2);
}

} // namespace
