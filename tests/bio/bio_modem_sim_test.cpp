// The modem command layer against the simulator's modem on a pseudo-terminal, on
// the real clock: a whole call as a program would make it. The profile's times are
// shortened (the defaults assume a modem that answers within 55 ms and a guard
// time of a second), but every step is the real one.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "bio/bio.h"
#include "platform/core/clock.h"
#include "platform/serial/serial_port_names.h"
#include "support/serial_test_deadline.h"
#include "support/sim_process.h"

namespace {

using namespace std::chrono_literals;
using test_support::SimProcess;
using SteadyClock = std::chrono::steady_clock;

const std::string kSimulator = SWIPETYPE_SIM_PATH;
// A port number the in-memory devices of the other tests do not use.
constexpr int kPortNumber = 7;
// Milliseconds per timer unit is 1: the profile's values below are milliseconds.
constexpr int kReplyTime = 400;
constexpr int kGuardTime = 100; // well inside the reply time, as the escape needs

class BioModemSimTest : public testing::Test {
  protected:
    void SetUp() override {
        platform::UseRealClock();
        bio_set_timerresolution(1);
    }
    void TearDown() override {
        if (port_ >= 0) {
            bio_close_port(port_);
        }
        platform::SetPortPath(kPortNumber, "");
    }

    // Opens the simulator's line as COM7: at 19200 baud with the shortened profile.
    int OpenLine(SimProcess& sim) {
        platform::SetPortPath(kPortNumber, sim.DevicePath());
        port_ = bio_open_port(kPortNumber, 1024, 1024);
        EXPECT_GE(port_, 0);
        EXPECT_EQ(bio_setup_port(port_, 19200, 0, 3, 0, 4, 0), 0);
        EXPECT_EQ(bio_set_modemvalue(port_, 6, 10), 0);         // DTR low, then high
        EXPECT_EQ(bio_set_modemvalue(port_, 0, 10), 0);         // pause before dialling
        EXPECT_EQ(bio_set_modemvalue(port_, 2, kReplyTime), 0); // command replies
        EXPECT_EQ(bio_set_modemvalue(port_, 3, 5000), 0);       // the call result
        return port_;
    }

    int port_ = -1;
    serialtest::TestDeadline deadline_{20};
};

TEST_F(BioModemSimTest, AWholeCall) {
    SimProcess sim(kSimulator, {"modem", "--carrier", "28800", "--speed", "9600", "--guard-time",
                                std::to_string(kGuardTime)});
    ASSERT_TRUE(sim.Started());
    int id = OpenLine(sim);
    ASSERT_GE(id, 0);

    ASSERT_EQ(bio_init_modem(id), 0);
    EXPECT_TRUE(sim.Reports("command: ATV1Q0"));

    ASSERT_EQ(bio_dial_number(id, 1, "5551234"), 0);
    EXPECT_EQ(bio_wait_connect(id), 0);
    EXPECT_EQ(bio_get_carrierspeed(id), 28800);
    EXPECT_EQ(bio_get_connectspeed(id), 9600);
    EXPECT_TRUE(sim.Reports("dialling \"5551234\" by tone"));

    // Online, "AT" is data: the hang-up needs the escape, with its guard times.
    auto start = SteadyClock::now();
    EXPECT_EQ(bio_hangup_modem(id), 0);
    EXPECT_GE(SteadyClock::now() - start, std::chrono::milliseconds(3 * kReplyTime + kGuardTime));
    EXPECT_TRUE(sim.Reports("escape: command state"));
    EXPECT_TRUE(sim.Reports("call ended: hung up"));

    // In the command state again, without a call: the modem answers at once.
    start = SteadyClock::now();
    EXPECT_EQ(bio_send_command(id, ""), 0);
    EXPECT_LT(SteadyClock::now() - start, std::chrono::milliseconds(kReplyTime));
}

TEST_F(BioModemSimTest, AConnectWithoutASpeedKeepsTheLineRate) {
    SimProcess sim(kSimulator, {"modem", "--quiet", "--speed", "none"});
    ASSERT_TRUE(sim.Started());
    int id = OpenLine(sim);
    ASSERT_GE(id, 0);
    ASSERT_EQ(bio_dial_number(id, 1, "1"), 0);
    auto start = SteadyClock::now();
    EXPECT_EQ(bio_wait_connect(id), 0);
    EXPECT_EQ(bio_get_carrierspeed(id), 19200);
    EXPECT_EQ(bio_get_connectspeed(id), 19200);
    // The digit read gives up after the reply time instead of holding the caller.
    EXPECT_LT(SteadyClock::now() - start, std::chrono::milliseconds(3 * kReplyTime));
}

} // namespace
