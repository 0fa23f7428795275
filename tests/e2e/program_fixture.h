// Runs the real swipetype program as a person would have it: a fresh device
// root, the reader simulator as COM1:, the text key sink on a pipe, the event
// log, and swipetype-send to reach its windows.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/unicode.h"
#include "res/resource_ids.h"
#include "settings/setting_catalog.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include <gtest/gtest.h>

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

using SendResult = test_support::ChildResult;
using test_support::Process;
using test_support::WaitUntil;

inline std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A complete Settings key: every setting of the catalogue at its default, but
// for Enable, UseMSR and Prefix as given, ENTER after the data, and track 2
// alone.
inline std::string SettingsHive(int enable, int useMsr, const std::string& prefix) {
    auto dword = [](DWORD value) {
        char text[20];
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(value));
        return std::string(text);
    };
    const std::map<std::u16string, std::string> given = {
        {u"Enable", dword(enable)}, {u"UseMSR", dword(useMsr)}, {u"Prefix", '"' + prefix + '"'},
        {u"SendEnter", dword(1)},   {u"UseTrack1", dword(0)},   {u"UseTrack3", dword(0)}};
    std::string hive = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\" +
                       platform::Utf16ToUtf8(kSettingsKey) + "]\n";
    for (const SettingEntry& setting : SettingCatalog) {
        auto found = given.find(setting.name);
        std::string value = found != given.end()           ? found->second
                            : setting.kind != kTextSetting ? dword(setting.defaultNumber)
                            : setting.words != nullptr ? '"' + std::string(setting.words[0]) + '"'
                                                       : std::string("\"\"");
        hive += '"' + platform::Utf16ToUtf8(setting.name) + "\"=" + value + "\n";
    }
    return hive;
}

class ProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = temp_.Path();
        root_ = dir_ / "root";
        log_ = dir_ / "events.jsonl";
    }

    void TearDown() override {
        program_.Stop(0ms);
        sim_.Stop(0ms);
    }

    void WriteHive(const std::string& text) {
        std::filesystem::create_directories(root_ / "registry");
        std::ofstream(root_ / "registry" / "HKEY_LOCAL_MACHINE.reg") << text;
    }

    std::string Hive() { return ReadFile(root_ / "registry" / "HKEY_LOCAL_MACHINE.reg"); }

    // The simulator in `mode`; its first line names the device.
    void StartSimulator(const std::string& mode, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments{SWIPETYPE_SIM_PATH, mode, "--quiet"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        ASSERT_TRUE(sim_.Start(arguments));
        ASSERT_TRUE(WaitUntil([&] { return sim_.Output().find('\n') != std::string::npos; }))
            << sim_.Errors();
        device_ = sim_.Output().substr(0, sim_.Output().find('\n'));
    }

    std::vector<std::string> ProgramArguments(const std::vector<std::string>& commandLine) {
        std::vector<std::string> arguments = wrapper_;
        arguments.insert(arguments.end(),
                         {program_path_, "--root", root_.string(), "--log", log_.string()});
        if (!keys_.empty()) {
            arguments.insert(arguments.end(), {"--keys", keys_});
        }
        if (!ui_.empty()) {
            arguments.insert(arguments.end(), {"--ui", ui_});
        }
        if (!device_.empty() && givePort_) {
            arguments.push_back("--port");
            arguments.push_back("COM1:=" + device_);
        }
        arguments.push_back("--");
        arguments.insert(arguments.end(), commandLine.begin(), commandLine.end());
        return arguments;
    }

    // Starts the program and waits until its options dialog answers.
    void StartProgram(const std::vector<std::string>& commandLine = {}) {
        started_ = Clock::now();
        ASSERT_TRUE(program_.Start(ProgramArguments(commandLine), terminal_));
        ASSERT_TRUE(WaitUntil(
            [&] {
                return Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"})
                               .status == 0 ||
                       !program_.Running();
            },
            10s))
            << program_.Errors();
        ASSERT_TRUE(program_.Running()) << program_.Errors();
    }

    // Whether the program has said `text` on standard error within `timeout`.
    bool Says(const std::string& text, std::chrono::milliseconds timeout = 5s) {
        return WaitUntil([&] { return program_.Errors().find(text) != std::string::npos; },
                         timeout);
    }

    // The CPU time the program uses, by the scheduler's own account, while the test waits.
    std::chrono::nanoseconds CpuUsedIn(std::chrono::milliseconds span) {
        auto used = [&] {
            long long nanoseconds = 0;
            std::ifstream("/proc/" + std::to_string(program_.Pid()) + "/schedstat") >> nanoseconds;
            return std::chrono::nanoseconds(nanoseconds);
        };
        auto before = used();
        std::this_thread::sleep_for(span);
        return used() - before;
    }

    // SIGTERM ends the program in order.
    void Terminate() {
        program_.Signal(SIGTERM);
        EXPECT_EQ(program_.Wait(5s), 0) << program_.Errors();
    }

    // A tool (swipetype-send, swipetype-config) on a device root, run through
    // `wrapper` when one is given.
    SendResult RunTool(const std::string& tool, const std::vector<std::string>& arguments,
                       const std::filesystem::path& root, const std::vector<std::string>& wrapper) {
        std::vector<std::string> full = wrapper;
        full.insert(full.end(), {tool, "--root", root.string()});
        full.insert(full.end(), arguments.begin(), arguments.end());
        return test_support::Run(full);
    }

    SendResult Send(const std::vector<std::string>& arguments) {
        return RunTool(send_path_, arguments, root_, sendWrapper_);
    }

    // swipetype-config on the test's device root, or on `root`.
    SendResult Config(const std::vector<std::string>& arguments,
                      const std::filesystem::path& root = {},
                      const std::vector<std::string>& wrapper = {}) {
        return RunTool(SWIPETYPE_CONFIG_PATH, arguments, root.empty() ? root_ : root, wrapper);
    }

    // A single tap on the tray icon. Posted: a tap that opens the popup menu
    // does not return until the menu closes.
    void TapTray(int mouseMessage = 513) {
        ASSERT_EQ(Send({"--post", "UM_TRAY_NOTIFY", "2", std::to_string(mouseMessage)}).status, 0);
    }

    // The main window is hidden exactly when a tray tap opens the popup menu
    // (found within a while, and dismissed).
    bool MainWindowHidden() {
        std::this_thread::sleep_for(5ms); // past the repeated-tap guard
        TapTray();
        return WaitUntil([&] { return Send({"--menu", "0"}).status == 0; }, 600ms);
    }

    std::vector<std::string> LogLines(const std::string& event) {
        std::vector<std::string> lines;
        std::istringstream log(ReadFile(log_));
        for (std::string line; std::getline(log, line);) {
            if (line.find("\"event\":\"" + event + "\"") != std::string::npos) {
                lines.push_back(line.substr(line.find("\"event\"")));
            }
        }
        return lines;
    }

    test_support::TempDir temp_{"swipetype-e2e"};
    std::filesystem::path dir_;
    std::filesystem::path root_;
    std::filesystem::path log_;
    std::string device_;
    bool givePort_ = true;
    std::string program_path_ = SWIPETYPE_PATH;
    // swipetype-send, where sendWrapper_'s user can run it.
    std::string send_path_ = SWIPETYPE_SEND_PATH;
    std::string keys_ = "text";            // "" for the default choice
    std::string ui_ = "headless";          // "" for the default choice
    std::vector<std::string> wrapper_;     // a program that runs the program (setpriv)
    std::vector<std::string> sendWrapper_; // and one that runs swipetype-send
    int terminal_ = -1;                    // the program's output and error, when not pipes
    Process sim_;
    Process program_;
    Clock::time_point started_;
};

} // namespace e2e
