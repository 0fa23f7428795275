// What the serial library costs, through the whole path (bio_, the Win32 calls,
// the tty device) on a pseudo-terminal. Not a test: run it and read the numbers.
//
//   ReadWaitingLine      bio_read_line of a 1023-byte line that is already waiting:
//                        CPU and wall time per line
//   SystemCallsPerLine   the system calls one such read makes, counted under
//                        ptrace in a child process (counter syscalls_per_line)
//   SilentCallWait       bio_wait_connect on a silent line for 2 s: the processor
//                        time the whole wait used (counter cpu_ms)
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#include "bio/bio.h"
#include "platform/serial/serial_port_names.h"

namespace {

// The far end of the line, and a second descriptor on the tty to see what waits.
struct PseudoTerminal {
    int master = -1;
    int slave = -1;
    std::string path;

    bool Open() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            return false;
        }
        path = ptsname(master);
        slave = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return slave >= 0;
    }
    ~PseudoTerminal() {
        if (slave >= 0) {
            ::close(slave);
        }
        if (master >= 0) {
            ::close(master);
        }
    }

    // Sends a line and waits until the tty holds all of it.
    bool Send(const std::string& bytes) {
        if (::write(master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            return false;
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        int waiting = 0;
        while (ioctl(slave, TIOCINQ, &waiting) == 0 && waiting < static_cast<int>(bytes.size())) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::yield();
        }
        return true;
    }
};

// COM1: on a pseudo-terminal, set up as the MSR reader has it.
struct ReaderLine {
    PseudoTerminal line;
    int port = -1;

    bool Open() {
        if (!line.Open()) {
            return false;
        }
        platform::SetPortPath(1, line.path);
        port = bio_open_port(1, 1024, 1024);
        return port >= 0 && bio_setup_port(port, 9600, 0, 3, 0, 4, 0) == 0;
    }
    ~ReaderLine() {
        bio_close_port(port);
        platform::ClearPortPaths();
    }

    // Sends a card line and reads it back. The read sits between a getppid and a
    // getpgid call, so that a trace tells its system calls from the rest.
    bool ReadOneLine(benchmark::State* timing) {
        // 1023 bytes fill the reader's buffer; the carriage return after them is
        // dropped as a leading terminator by the next read.
        static const std::string card = std::string(1023, '7') + "\r";
        char buffer[1024];
        if (timing != nullptr) {
            timing->PauseTiming();
        }
        bool sent = line.Send(card);
        if (timing != nullptr) {
            timing->ResumeTiming();
        }
        syscall(SYS_getppid);
        int stored = bio_read_line(port, sizeof buffer, buffer);
        syscall(SYS_getpgid, 0);
        return sent && stored == 1023;
    }
};

void ReadWaitingLine(benchmark::State& state) {
    ReaderLine reader;
    if (!reader.Open()) {
        state.SkipWithError("COM1: did not open on a pseudo-terminal");
        return;
    }
    for (auto _ : state) {
        if (!reader.ReadOneLine(&state)) {
            state.SkipWithError("the line did not come back whole");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1023);
}

// Runs `lines` line reads in a traced child and counts the system calls between
// the marks around each read. Returns the count per line, or -1.
double CountSystemCallsPerLine(int lines) {
    pid_t child = fork();
    if (child == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        raise(SIGSTOP);
        ReaderLine reader;
        bool whole = reader.Open();
        for (int i = 0; whole && i < lines; i++) {
            whole = reader.ReadOneLine(nullptr);
        }
        _exit(whole ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) {
        return -1;
    }
    // ptrace() takes its address and data arguments as pointers.
    auto asPointer = [](long value) { return reinterpret_cast<void*>(value); };
    ptrace(PTRACE_SETOPTIONS, child, nullptr, asPointer(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
    long inside = 0;
    long marked = 0;
    bool counting = false;
    int signal = 0;
    while (ptrace(PTRACE_SYSCALL, child, nullptr, asPointer(signal)) == 0 &&
           waitpid(child, &status, 0) == child && WIFSTOPPED(status)) {
        signal = WSTOPSIG(status) == (SIGTRAP | 0x80) ? 0 : WSTOPSIG(status);
        __ptrace_syscall_info info{};
        if (signal != 0 ||
            ptrace(PTRACE_GET_SYSCALL_INFO, child, asPointer(sizeof info), &info) <= 0 ||
            info.op != PTRACE_SYSCALL_INFO_ENTRY) {
            continue;
        }
        if (info.entry.nr == SYS_getppid) {
            counting = true;
        } else if (info.entry.nr == SYS_getpgid) {
            counting = false;
            marked++;
        } else if (counting) {
            inside++;
        }
    }
    waitpid(child, &status, 0);
    bool whole = WIFEXITED(status) && WEXITSTATUS(status) == 0 && marked == lines;
    return whole ? static_cast<double>(inside) / static_cast<double>(marked) : -1;
}

void SystemCallsPerLine(benchmark::State& state) {
    double perLine = -1;
    for (auto _ : state) {
        perLine = CountSystemCallsPerLine(100);
    }
    if (perLine < 0) {
        state.SkipWithError("the traced reads did not run (is ptrace allowed?)");
        return;
    }
    state.counters["syscalls_per_line"] = perLine;
}

double ProcessMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void SilentCallWait(benchmark::State& state) {
    ReaderLine reader;
    if (!reader.Open() || bio_set_modemvalue(reader.port, MODEM_VALUE_CALL_TIME, 2000) != 0) {
        state.SkipWithError("COM1: did not open on a pseudo-terminal");
        return;
    }
    double used = 0;
    for (auto _ : state) {
        double before = ProcessMilliseconds();
        if (bio_wait_connect(reader.port) != BIO_NO_CALL_RESULT) {
            state.SkipWithError("the silent line gave a call result");
            break;
        }
        used += ProcessMilliseconds() - before;
    }
    state.counters["cpu_ms"] = used / static_cast<double>(state.iterations());
}

BENCHMARK(ReadWaitingLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(SystemCallsPerLine)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SilentCallWait)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
