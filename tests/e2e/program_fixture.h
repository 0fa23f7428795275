// Runs the real swipetype program as a person would have it: a fresh device
// root, the reader simulator as COM1:, the text key sink on a pipe, the event
// log, and swipetype-send to reach its windows.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include <gtest/gtest.h>

namespace e2e {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A child process with its standard input, output and error on pipes, or its
// output and error on a terminal the test holds.
class Process {
  public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() { Kill(); }

    bool Start(const std::vector<std::string>& arguments, int terminal = -1) {
        Kill(); // a process object may be started again once the last one ended
        out_.clear();
        err_.clear();
        status_.reset();
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return false;
        }
        pid_ = test_support::SpawnChild(arguments.at(0), {arguments.begin() + 1, arguments.end()},
                                        {{in[0], STDIN_FILENO},
                                         {terminal < 0 ? out[1] : terminal, STDOUT_FILENO},
                                         {terminal < 0 ? err[1] : terminal, STDERR_FILENO}});
        close(in[0]);
        close(out[1]);
        close(err[1]);
        input_ = in[1];
        output_ = out[0];
        error_ = err[0];
        fcntl(output_, F_SETFL, O_NONBLOCK);
        fcntl(error_, F_SETFL, O_NONBLOCK);
        return pid_ > 0;
    }

    void Write(const std::string& text) const {
        [[maybe_unused]] ssize_t written = write(input_, text.data(), text.size());
    }
    void CloseInput() {
        if (input_ >= 0) {
            close(input_);
            input_ = -1;
        }
    }
    // What a reader of its output that went away leaves: pipes without a reader.
    void CloseOutputs() {
        for (int* fd : {&output_, &error_}) {
            close(*fd);
            *fd = -1;
        }
    }

    // Whether its standard output is read (by Output() and Wait()), or left to
    // fill up as a pipe nobody reads.
    void ReadOutput(bool read) { readOutput_ = read; }

    // What the process printed so far.
    const std::string& Output() {
        Drain();
        return out_;
    }
    const std::string& Errors() {
        Drain();
        return err_;
    }

    void Signal(int signal) const {
        if (pid_ > 0) {
            kill(pid_, signal);
        }
    }

    // The exit status, or nullopt when it has not ended within `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        auto deadline = Clock::now() + timeout;
        while (pid_ > 0) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (Clock::now() > deadline) {
                return std::nullopt;
            }
            Drain();
            std::this_thread::sleep_for(2ms);
        }
        Drain();
        return status_;
    }

    pid_t Pid() const { return pid_; }

    bool Running() { return pid_ > 0 && !Wait(0ms).has_value(); }

    void Kill() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        CloseInput();
        for (int* fd : {&output_, &error_}) {
            if (*fd >= 0) {
                close(*fd);
                *fd = -1;
            }
        }
    }

  private:
    void Drain() {
        char buffer[4096];
        for (auto [fd, into] :
             {std::pair{readOutput_ ? output_ : -1, &out_}, std::pair{error_, &err_}}) {
            if (fd < 0) {
                continue;
            }
            for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
                into->append(buffer, static_cast<std::size_t>(n));
            }
        }
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int error_ = -1;
    bool readOutput_ = true;
    std::string out_;
    std::string err_;
    std::optional<int> status_;
};

struct SendResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = 5s) {
    auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// CPU time the process has used, from the scheduler's own account.
inline std::chrono::nanoseconds CpuTime(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/schedstat");
    long long nanoseconds = 0;
    stat >> nanoseconds;
    return std::chrono::nanoseconds(nanoseconds);
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A complete Settings key: every value as the test gives it.
inline std::string SettingsHive(int enable, int useMsr, const std::string& prefix) {
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\n"
           "\"Enable\"=dword:0000000" +
           std::to_string(enable) +
           "\n"
           "\"UseMSR\"=dword:0000000" +
           std::to_string(useMsr) +
           "\n"
           "\"Beep\"=dword:00000000\n"
           "\"Prefix\"=\"" +
           prefix +
           "\"\n"
           "\"Suffix\"=\"\"\n"
           "\"SendTab\"=dword:00000000\n"
           "\"SendEnter\"=dword:00000001\n"
           "\"UseTrack1\"=dword:00000000\n"
           "\"UseTrack2\"=dword:00000001\n"
           "\"UseTrack3\"=dword:00000000\n"
           "\"TrackSeparator\"=\"\"\n"
           "\"AutoStart\"=dword:00000000\n"
           "\"MSRInterval\"=dword:00000145\n"
           "\"RFIDInterval\"=dword:0000015e\n";
}

class ProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = temp_.Path();
        root_ = dir_ / "root";
        log_ = dir_ / "events.jsonl";
    }

    void TearDown() override {
        program_.Kill();
        sim_.Kill();
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
        ASSERT_TRUE(WaitUntil([&] {
            return Send({"--control", "1003", "BM_GETCHECK"}).status == 0 || !program_.Running();
        })) << program_.Errors();
        ASSERT_TRUE(program_.Running()) << program_.Errors();
    }

    // A tool (swipetype-send, swipetype-config) on a device root, run through
    // `wrapper` when one is given.
    SendResult RunTool(const std::string& tool, const std::vector<std::string>& arguments,
                       const std::filesystem::path& root, const std::vector<std::string>& wrapper) {
        Process process;
        std::vector<std::string> full = wrapper;
        full.insert(full.end(), {tool, "--root", root.string()});
        full.insert(full.end(), arguments.begin(), arguments.end());
        SendResult result;
        if (!process.Start(full)) {
            return result;
        }
        process.CloseInput();
        result.status = process.Wait(10s).value_or(-1);
        result.out = process.Output();
        result.err = process.Errors();
        return result;
    }

    SendResult Send(const std::vector<std::string>& arguments) {
        return RunTool(SWIPETYPE_SEND_PATH, arguments, root_, sendWrapper_);
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

    // True when a popup menu is open (found within `timeout`): dismisses it.
    bool PopupOpenThenDismiss(std::chrono::milliseconds timeout) {
        return WaitUntil([&] { return Send({"--menu", "0"}).status == 0; }, timeout);
    }

    // The main window is hidden exactly when a tray tap opens the popup menu.
    bool MainWindowHidden() {
        std::this_thread::sleep_for(5ms); // past the repeated-tap guard
        TapTray();
        return PopupOpenThenDismiss(600ms);
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
