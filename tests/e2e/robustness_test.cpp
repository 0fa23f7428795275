// What the running program must withstand, and what it must not show: garbage
// on its socket, and exported names beyond the timer functions.
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "e2e/program_fixture.h"
#include "platform/ipc/remote_protocol.h"
#include "platform/ipc/root_instance.h"
#include "res/resource_ids.h"

namespace e2e {
namespace {

namespace remote = platform::remote;

int Connect(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends the bytes and waits a little for the other side to answer or hang up.
void SendAndLeave(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    int fd = Connect(path);
    ASSERT_GE(fd, 0);
    [[maybe_unused]] ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    pollfd ready{fd, POLLIN, 0};
    poll(&ready, 1, 20);
    close(fd);
}

// `count` requests to find the main window, back to back.
std::vector<std::uint8_t> FindWindowFrames(int count) {
    remote::Request request;
    request.operation = remote::Operation::FindWindow;
    request.className = u"SWIPETYPE";
    request.text = u"Swipetype";
    std::vector<std::uint8_t> frames;
    for (std::vector<std::uint8_t> frame = remote::Frame(remote::EncodeRequest(request));
         count-- > 0;) {
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    return frames;
}

TEST_F(ProgramTest, MalformedAndTruncatedRequestsAreRefusedWithoutHarm) {
    StartProgram();
    std::string path = remote::InstanceSocketPath(root_.string());

    std::vector<std::uint8_t> valid = FindWindowFrames(1);
    std::mt19937 random(20261206);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes = valid;
        switch (round % 4) {
        case 0: // truncated anywhere
            bytes.resize(random() % valid.size());
            break;
        case 1: // bytes flipped
            for (int flips = 0; flips < 3; ++flips) {
                bytes[random() % bytes.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
            }
            break;
        case 2: { // a length that promises more than comes, or too much
            std::uint32_t length = round % 8 == 2 ? 0xFFFFFFFFu : remote::kMaxPayload + 1;
            std::memcpy(bytes.data(), &length, sizeof length);
            break;
        }
        default: // noise
            bytes.resize(1 + random() % 200);
            for (std::uint8_t& byte : bytes) {
                byte = static_cast<std::uint8_t>(random());
            }
        }
        SendAndLeave(path, bytes);
    }
    ASSERT_TRUE(program_.Running()) << program_.Errors();
    EXPECT_EQ(Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"}).status, 0);
    Terminate();
}

TEST_F(ProgramTest, AFullDescriptorTableCostsNoCpuAndPassesWhenDescriptorsFreeUp) {
    StartProgram();
    auto limit = [&](const std::string& files) {
        return test_support::Run({"/usr/bin/prlimit", "--pid", std::to_string(program_.Pid()),
                                  "--nofile=" + files + ":"})
                   .status == 0;
    };
    // A full table: the limit is its lowest free descriptor. (poll() refuses more
    // descriptors than the limit, so a lower one would stand for another fault.)
    int free = 0;
    while (std::filesystem::exists("/proc/" + std::to_string(program_.Pid()) + "/fd/" +
                                   std::to_string(free))) {
        ++free;
    }
    ASSERT_TRUE(limit(std::to_string(free)));
    // A request waits in the listening queue while the program cannot take it.
    int waiting = Connect(remote::InstanceSocketPath(root_.string()));
    std::vector<std::uint8_t> frame = FindWindowFrames(1);
    ASSERT_EQ(send(waiting, frame.data(), frame.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(frame.size()));
    SendResult refused =
        Send({"--timeout", "1", "--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("(pid " + std::to_string(program_.Pid()) +
                               ") has no file descriptor left"),
              std::string::npos)
        << refused.err;
    EXPECT_LT(CpuUsedIn(3s), 30ms) << "spinning on the listening socket";
    ASSERT_TRUE(limit("1024"));
    pollfd reply{waiting, POLLIN, 0};
    EXPECT_EQ(poll(&reply, 1, 3000), 1) << "the waiting request is answered";
    close(waiting);
    EXPECT_EQ(Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"}).status, 0);
    Terminate();
}

TEST_F(ProgramTest, AClientThatNeverReadsIsDroppedWithoutHoldingTheProgram) {
    StartProgram();
    int stuck = Connect(remote::InstanceSocketPath(root_.string()));
    timeval wait{0, 100000};
    setsockopt(stuck, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    std::vector<std::uint8_t> requests = FindWindowFrames(2000);
    // Requests by the thousand, none of whose replies is read, until the program
    // hangs up on the client; others are answered meanwhile.
    ssize_t sent = 0;
    for (auto deadline = Clock::now() + 10s; sent >= 0 && Clock::now() < deadline;) {
        sent = send(stuck, requests.data(), requests.size(), MSG_NOSIGNAL);
        sent = sent < 0 && errno == EAGAIN ? 0 : sent;
        auto asked = Clock::now();
        EXPECT_EQ(Send({"--control", std::to_string(IDC_READING_ENABLE), "BM_GETCHECK"}).status, 0);
        ASSERT_LT(Clock::now() - asked, 1s) << "the program was held by the stuck client";
    }
    EXPECT_LT(sent, 0) << "the client was not dropped";
    close(stuck);
    Terminate();
}

TEST(ProgramExports, OnlyTheFiveTimerFunctions) {
    FILE* nm = popen("nm -D --defined-only " SWIPETYPE_PATH, "r");
    ASSERT_NE(nm, nullptr);
    std::vector<std::string> own;
    char line[512];
    while (std::fgets(line, sizeof line, nm) != nullptr) {
        std::string name = line;
        name = name.substr(name.rfind(' ') + 1);
        name.pop_back();
        // Versioned names are the libraries' own (copied data such as stdout), and
        // a sanitizer build carries its runtime's.
        bool library = name.find('@') != std::string::npos;
        bool sanitizer = name.rfind("__asan", 0) == 0 || name.rfind("__ubsan", 0) == 0 ||
                         name.rfind("__lsan", 0) == 0 || name.rfind("__sanitizer", 0) == 0;
        if (!library && !sanitizer) {
            own.push_back(name);
        }
    }
    ASSERT_EQ(pclose(nm), 0);
    std::sort(own.begin(), own.end());
    EXPECT_EQ(own, (std::vector<std::string>{"bio_get_elapsedtime", "bio_get_timer",
                                             "bio_get_timerresolution", "bio_set_timer",
                                             "bio_set_timerresolution"}));
}

} // namespace
} // namespace e2e
