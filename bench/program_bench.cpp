// The real program's figures, as a person running it would meet them: how long
// a start takes until the reader's serial port is open, how much memory the
// running program holds (headless with the text sink, with the xtest sink, with
// the desktop front end shown), and how much processor it uses while idle. The
// reader simulator stands for the card reader; X servers are private Xvfb
// servers. Prints one row per figure: measure, value, target, tab-separated.
//
//   program_bench [start] [memory] [idle]     (all three without arguments)
//   program_bench --tick-floor                (the idle rows' comparison, run by them)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/sim_process.h"
#include "support/x_test_display.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

void Row(const std::string& measure, const std::string& value, const std::string& target) {
    std::printf("%s\t%s\t%s\n", measure.c_str(), value.c_str(), target.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A settings hive with the MSR reader on and the given poll interval. Every value
// is there: the settings are read in order, and a missing one gives it and all
// later ones their defaults.
std::string ReaderHive(unsigned intervalMs) {
    char interval[16];
    std::snprintf(interval, sizeof interval, "%08x", intervalMs);
    return std::string("Windows Registry Editor Version 5.00\n\n"
                       "[HKEY_LOCAL_MACHINE\\Software\\Zelna\\Swipetype]\n"
                       "\"Enable\"=dword:00000001\n\"UseMSR\"=dword:00000001\n"
                       "\"Beep\"=dword:00000000\n\"Prefix\"=\"\"\n\"Suffix\"=\"\"\n"
                       "\"SendTab\"=dword:00000000\n\"SendEnter\"=dword:00000001\n"
                       "\"UseTrack1\"=dword:00000000\n\"UseTrack2\"=dword:00000001\n"
                       "\"UseTrack3\"=dword:00000000\n\"TrackSeparator\"=\"\"\n"
                       "\"AutoStart\"=dword:00000000\n\"MSRInterval\"=dword:") +
           interval + "\n\"RFIDInterval\"=dword:0000015e\n";
}

pid_t Spawn(const std::vector<std::string>& arguments, const std::string& output = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    auto deadline = Clock::now() + 5s;
    while (waitpid(pid, nullptr, WNOHANG) != pid) {
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(5ms);
    }
}

// Waits for the next open of the watched file; false when none came in time.
bool WaitForOpen(int watch, std::chrono::milliseconds limit) {
    pollfd ready{watch, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(limit.count())) <= 0) {
        return false;
    }
    alignas(inotify_event) char buffer[4096];
    return read(watch, buffer, sizeof buffer) > 0;
}

struct Memory {
    long rssKiB = -1;
    long pssKiB = -1;
};

long Field(const std::string& text, const std::string& name) {
    std::size_t at = text.find("\n" + name + ":");
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + name.size() + 2);
}

Memory MemoryOf(pid_t pid) {
    fs::path proc = "/proc/" + std::to_string(pid);
    return {Field("\n" + ReadText(proc / "status"), "VmRSS"),
            Field("\n" + ReadText(proc / "smaps_rollup"), "Pss")};
}

// Processor time of every thread of the process at the scheduler's resolution
// (nanoseconds, not the clock ticks of /proc/PID/stat), and how often they ran.
struct CpuUse {
    double seconds = 0;
    long wakeups = 0;
};

CpuUse CpuUseOf(pid_t pid) {
    CpuUse use;
    std::error_code error;
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::istringstream stat(ReadText(task.path() / "schedstat"));
        double nanoseconds = 0;
        double waited = 0;
        long slices = 0;
        stat >> nanoseconds >> waited >> slices;
        use.seconds += nanoseconds / 1e9;
        use.wakeups += slices;
    }
    return use;
}

// User and system time as /proc/PID/stat counts it, in clock ticks (what ps and
// top show): a process that runs less than a tick at a time may show none.
double ClockTickSeconds(pid_t pid) {
    std::string stat = ReadText("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    // After the command: state is field 3, utime 14 and stime 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number >= 14) {
            ticks += std::atof(field.c_str());
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::string MiB(long kib) {
    return kib < 0 ? "unreadable" : Format("%.1f MiB", static_cast<double>(kib) / 1024.0);
}

// One program under measurement: a device root of its own with the reader on,
// the simulator as COM1:.
class Run {
  public:
    explicit Run(unsigned intervalMs = 325) : sim_(SWIPETYPE_SIM_PATH, {"msr", "--quiet"}) {
        char pattern[] = "/tmp/swipetype-bench-XXXXXX";
        dir_ = mkdtemp(pattern);
        fs::create_directories(dir_ / "root" / "registry");
        std::ofstream(dir_ / "root" / "registry" / "HKEY_LOCAL_MACHINE.reg")
            << ReaderHive(intervalMs);
        watch_ = inotify_init1(IN_CLOEXEC);
        if (sim_.Started()) {
            inotify_add_watch(watch_, sim_.DevicePath().c_str(), IN_OPEN);
        }
    }
    ~Run() {
        Stop(pid_);
        close(watch_);
        fs::remove_all(dir_);
    }

    // Starts the program and waits until it opened the reader's port; the time
    // that took, or nothing when it did not open it within five seconds.
    std::optional<std::chrono::duration<double, std::milli>>
    Start(const std::vector<std::string>& options) {
        Stop(pid_);
        std::vector<std::string> arguments{SWIPETYPE_PATH, "--root", (dir_ / "root").string(),
                                           "--port", "COM1:=" + sim_.DevicePath()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        auto start = Clock::now();
        pid_ = Spawn(arguments, (dir_ / "output").string());
        if (pid_ <= 0 || !WaitForOpen(watch_, 5s)) {
            std::fprintf(stderr, "program_bench: the program did not open its port: %s\n",
                         ReadText(dir_ / "output").c_str());
            return std::nullopt;
        }
        auto took = Clock::now() - start;
        startCpu_ = CpuUseOf(pid_).seconds;
        return took;
    }
    // The processor time the program had used when its port was open.
    double StartCpuSeconds() const { return startCpu_; }

    void End() {
        Stop(pid_);
        pid_ = -1;
    }
    pid_t Pid() const { return pid_; }
    bool Ready() const { return sim_.Started() && watch_ >= 0; }

  private:
    test_support::SimProcess sim_;
    fs::path dir_;
    int watch_ = -1;
    pid_t pid_ = -1;
    double startCpu_ = 0;
};

void MeasureStart() {
    Run run;
    std::vector<double> times;
    std::vector<double> cpus;
    // The first start makes the device root; the ones measured find it, as
    // every start after a machine's first does.
    for (int i = 0; i < 21 && run.Ready(); ++i) {
        auto took = run.Start({"--ui", "headless", "--keys", "text"});
        double cpu = run.StartCpuSeconds() * 1e3;
        run.End();
        if (!took) {
            break;
        }
        if (i > 0) {
            times.push_back(took->count());
            cpus.push_back(cpu);
        }
    }
    if (times.size() < 20) {
        Row("start until the reader's port is open (headless, text)", "failed", "<= 10 ms");
        return;
    }
    std::sort(times.begin(), times.end());
    std::sort(cpus.begin(), cpus.end());
    // On a busy machine the wall time is mostly waiting for a processor; the
    // processor time the program used until then is what the start costs.
    Row("start until the reader's port is open (headless, text)",
        Format("%.1f ms", times[times.size() / 2]) +
            Format(" median of 20 (min %.1f", times.front()) + Format(", max %.1f)", times.back()) +
            Format("; %.1f ms processor", cpus[cpus.size() / 2]),
        "<= 10 ms");
}

// Memory once the program has settled (its port open, its windows shown).
void MeasureMemory(const std::string& what, const std::vector<std::string>& options,
                   const std::string& rssTarget, std::chrono::milliseconds settle = 1s) {
    Run run;
    if (!run.Ready() || !run.Start(options)) {
        Row("resident memory, " + what, "failed", rssTarget);
        return;
    }
    std::this_thread::sleep_for(settle);
    Memory memory = MemoryOf(run.Pid());
    Row("resident memory (VmRSS), " + what, MiB(memory.rssKiB), rssTarget);
    Row("proportional memory (Pss), " + what, MiB(memory.pssKiB), "-");
}

void MeasureIdle(unsigned intervalMs, const std::string& target) {
    Run run(intervalMs);
    std::string measure = "idle CPU over 10 s, reader ticks every " + std::to_string(intervalMs) +
                          " ms (headless, text)";
    if (!run.Ready() || !run.Start({"--ui", "headless", "--keys", "text"})) {
        Row(measure, "failed", target);
        return;
    }
    std::this_thread::sleep_for(1s); // past the start's own work
    CpuUse before = CpuUseOf(run.Pid());
    double ticksBefore = ClockTickSeconds(run.Pid());
    std::this_thread::sleep_for(10s);
    CpuUse after = CpuUseOf(run.Pid());
    Row(measure,
        Format("%.4f s", after.seconds - before.seconds) +
            Format(" in %.0f wakeups", static_cast<double>(after.wakeups - before.wakeups)) +
            Format(" (%.2f s in clock ticks)", ClockTickSeconds(run.Pid()) - ticksBefore),
        target);
}

// What a wakeup every 20 ms costs on this machine at the least: a process of
// nothing but the reader's two system calls a tick (FIONREAD, then poll() for
// the next tick), measured like the program. On a virtual machine where system
// calls and wakeups are dear this is most of the program's own figure.
[[noreturn]] void TickFloorChild() {
    for (;;) {
        int waiting = 0;
        ioctl(STDIN_FILENO, FIONREAD, &waiting);
        poll(nullptr, 0, 20);
    }
}

void MeasureTickFloor() {
    pid_t child = Spawn({"/proc/self/exe", "--tick-floor"});
    std::this_thread::sleep_for(1s);
    CpuUse before = CpuUseOf(child);
    std::this_thread::sleep_for(10s);
    CpuUse after = CpuUseOf(child);
    Stop(child);
    Row("idle CPU over 10 s of a bare process waking every 20 ms (this machine's floor)",
        Format("%.4f s", after.seconds - before.seconds) +
            Format(" in %.0f wakeups", static_cast<double>(after.wakeups - before.wakeups)),
        "-");
}

// A desktop for the front end: a window manager and a tray host on the server.
class Desktop {
  public:
    explicit Desktop(const std::string& display) {
        setenv("DISPLAY", display.c_str(), 1);
        windowManager_ = Spawn({"/usr/bin/openbox", "--sm-disable"});
        trayHost_ = Spawn({"/usr/bin/trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                           "pixel", "--width", "120", "--height", "24", "--SetDockType", "true"});
        std::this_thread::sleep_for(1s);
    }
    ~Desktop() {
        Stop(trayHost_);
        Stop(windowManager_);
    }

  private:
    pid_t windowManager_ = -1;
    pid_t trayHost_ = -1;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> asked(argv + 1, argv + argc);
    if (asked.size() == 1 && asked.front() == "--tick-floor") {
        TickFloorChild();
    }
    auto wanted = [&](const std::string& part) {
        return asked.empty() || std::find(asked.begin(), asked.end(), part) != asked.end();
    };
    signal(SIGPIPE, SIG_IGN);
    unsetenv("DISPLAY");
    if (wanted("start")) {
        MeasureStart();
    }
    if (wanted("memory")) {
        MeasureMemory("headless, --keys text", {"--ui", "headless", "--keys", "text"}, "<= 4 MiB");
        std::string reason;
        x_test::XvfbServer server;
        if (!server.Start(reason, "1024x768x24")) {
            Row("resident memory, headless, xtest", "skipped: " + reason, "<= 6 MiB");
        } else {
            setenv("DISPLAY", server.Name().c_str(), 1);
            MeasureMemory("headless, --keys xtest", {"--ui", "headless", "--keys", "xtest"},
                          "<= 6 MiB");
            Desktop desktop(server.Name());
            MeasureMemory("GUI shown (openbox, trayer), --keys xtest",
                          {"--ui", "gtk", "--keys", "xtest"}, "<= 30 MiB", 3s);
            unsetenv("DISPLAY");
        }
    }
    if (wanted("idle")) {
        MeasureIdle(325, "0 s"); // the default interval
        MeasureIdle(20, "<= 0.02 s");
        MeasureTickFloor();
    }
    return 0;
}
