// How much a card line costs to read: bio_read_line of a 1023-byte line that is
// already waiting on a pseudo-terminal, through the whole serial path (bio_,
// the Win32 calls, the tty device). Not a test: run it and read the numbers.
//
//   bench_serial                              CPU and wall time per line
//   strace -f -o trace.txt bench_serial --benchmark_min_time=0.2
//   awk '/getppid/{on=1;next} /getpgid/{on=0;lines++;next} on{n++}
//        END{printf "%.1f system calls per line\n", n/lines}' trace.txt
//
// Each timed read sits between a getppid and a getpgid call, so that a trace
// tells the system calls of the read from those of the set-up around it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "bio/bio.h"
#include "platform/serial_port_names.h"

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

void ReadWaitingLine(benchmark::State& state) {
    PseudoTerminal line;
    if (!line.Open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    platform::SetPortPath(1, line.path);
    int port = bio_open_port(1, 1024, 1024);
    if (port < 0 || bio_setup_port(port, 9600, 0, 3, 0, 4, 0) != 0) {
        state.SkipWithError("COM1: did not open on the pseudo-terminal");
        return;
    }
    // 1023 bytes fill the reader's buffer; the carriage return after them is
    // dropped as a leading terminator by the next read.
    const std::string card = std::string(1023, '7') + "\r";
    char buffer[1024];
    for (auto _ : state) {
        state.PauseTiming();
        bool sent = line.Send(card);
        state.ResumeTiming();
        if (!sent) {
            state.SkipWithError("the line did not arrive");
            break;
        }
        syscall(SYS_getppid);
        int stored = bio_read_line(port, sizeof buffer, buffer);
        syscall(SYS_getpgid, 0);
        if (stored != 1023) {
            state.SkipWithError("the line did not come back whole");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1023);
    bio_close_port(port);
    platform::ClearPortPaths();
}

BENCHMARK(ReadWaitingLine)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
