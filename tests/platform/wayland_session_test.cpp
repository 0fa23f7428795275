// The Wayland test desktop as the key sink tests use it: text typed through the
// virtual keyboard protocol, characters outside the layout included, reaches the
// focused native client and is recorded exactly.
#include <gtest/gtest.h>

#include "support/wayland_session.h"

namespace {

using namespace std::chrono_literals;

TEST(WaylandSession, TextTypedIntoTheFocusedClientIsRecordedExactly) {
    wayland_test::WaylandSession session;
    std::string reason;
    if (!session.Start({}, reason)) {
        GTEST_SKIP() << reason;
    }
    wayland_test::KeyRecorder recorder;
    ASSERT_TRUE(recorder.Start(session, reason)) << reason;
    wayland_test::RunResult typed = session.Run({"wtype", "é€ß"});
    ASSERT_EQ(typed.status, 0) << typed.err;
    EXPECT_EQ(recorder.WaitFor("é€ß", 10s), "é€ß");
}

} // namespace
