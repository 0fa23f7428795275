#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "platform/ipc/remote_socket.h"
#include "platform/ipc/root_instance.h"
#include "platform/windowing/message_loop.h"
#include "support/temp_dir.h"

namespace {

using namespace platform::remote;
using namespace std::chrono_literals;

class RemoteSocketTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = folder_.Path();
        path_ = InstanceSocketPath(root_);
        std::string error;
        ASSERT_EQ(ClaimRoot(root_, claim_, error), ClaimResult::Claimed) << error;
    }
    void TearDown() override {
        server_.reset();
        platform::ResetMessageLoop();
    }

    // Runs `client` on a thread while this thread serves the loop, with a deadline.
    template <typename Body> void WithClient(Body client) {
        std::atomic<bool> done{false};
        std::thread thread([&] {
            client();
            done = true;
        });
        auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done && std::chrono::steady_clock::now() < deadline) {
            platform::ServiceWaitSources(20ms);
        }
        thread.join();
        ASSERT_TRUE(done) << "the client did not finish in time";
    }

    test_support::TempDir folder_{"swipetype-remote"};
    std::string root_;
    std::string path_;
    platform::LockFile claim_;
    std::unique_ptr<Server> server_;
};

// A plain connection that sends whatever bytes a test writes.
int Connect(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

Reply Echo(const Request& request) {
    return {Status::Ok, static_cast<std::int64_t>(request.wParam) * 2, request.text};
}

TEST_F(RemoteSocketTest, ServesRequestsOnTheLoopThreadAndASecondClaimIsRefused) {
    std::string error;
    ASSERT_TRUE(StartServer(path_, Echo, server_, error)) << error;
    platform::LockFile second;
    EXPECT_EQ(ClaimRoot(root_, second, error), ClaimResult::HeldByAnother);
    struct stat status {};
    ASSERT_EQ(stat(path_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((root_ + "/instance").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    WithClient([&] {
        InstanceLook look = LookForInstance(root_);
        ASSERT_EQ(look.state, InstanceState::Reachable);
        EXPECT_EQ(look.peer.pid, getpid());
        std::unique_ptr<Client> client = std::move(look.client);
        Request request;
        request.operation = Operation::SendMessage;
        request.wParam = 21;
        request.text = u"hello";
        for (int i = 0; i < 3; ++i) {
            std::optional<Reply> reply = client->Call(request, 5000ms);
            ASSERT_TRUE(reply);
            EXPECT_EQ(reply->result, 42);
            EXPECT_EQ(reply->text, u"hello");
        }
    });
}

// A device root in which the instance folder cannot be made is refused, saying why.
TEST_F(RemoteSocketTest, ARootWithoutRoomForTheInstanceFolderIsRefusedSayingWhy) {
    std::string notAFolder = root_ + "/plain-file";
    ASSERT_TRUE(std::ofstream(notAFolder).good());
    platform::LockFile claim;
    std::string error;
    EXPECT_EQ(ClaimRoot(notAFolder, claim, error), ClaimResult::Failed);
    EXPECT_EQ(error.rfind("cannot create " + notAFolder + "/instance: ", 0), 0u) << error;
}

TEST_F(RemoteSocketTest, MalformedRequestGetsAnAnswerAndTheConnectionCloses) {
    std::string error;
    ASSERT_TRUE(StartServer(path_, Echo, server_, error));
    WithClient([&] {
        int fd = Connect(path_);
        ASSERT_GE(fd, 0);
        const unsigned char garbage[] = {3, 0, 0, 0, 0xEE, 0xEE, 0xEE};
        ASSERT_EQ(write(fd, garbage, sizeof garbage), static_cast<ssize_t>(sizeof garbage));
        std::vector<std::uint8_t> received(64);
        ssize_t n = read(fd, received.data(), received.size());
        ASSERT_GT(n, 4);
        received.resize(static_cast<std::size_t>(n));
        auto reply = DecodeReply(std::vector<std::uint8_t>(received.begin() + 4, received.end()));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, Status::Malformed);
        EXPECT_EQ(read(fd, received.data(), received.size()), 0) << "closed after it";
        close(fd);
    });
}

TEST_F(RemoteSocketTest, OversizedFrameClosesTheConnection) {
    std::string error;
    ASSERT_TRUE(StartServer(path_, Echo, server_, error));
    WithClient([&] {
        int fd = Connect(path_);
        ASSERT_GE(fd, 0);
        const unsigned char huge[] = {0xFF, 0xFF, 0xFF, 0x7F};
        ASSERT_EQ(write(fd, huge, sizeof huge), 4);
        char byte;
        EXPECT_EQ(read(fd, &byte, 1), 0);
        close(fd);
    });
}

} // namespace
