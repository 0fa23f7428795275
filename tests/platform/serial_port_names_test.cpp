// Which host device stands for "COMn:", and which names are port names.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/serial/serial_port_names.h"
#include "support/param_name.h"
#include "support/temp_device_root.h"

namespace {

// In a device root of its own, which remembers no port.
class PortNamesTest : public testing::Test {
  protected:
    void TearDown() override {
        platform::ClearPortPaths();
        unsetenv("SWIPETYPE_COM7");
    }
    test_support::TempDeviceRoot root_;
};

TEST_F(PortNamesTest, GivenPathThenEnvironmentThenDefault) {
    unsetenv("SWIPETYPE_COM7");
    EXPECT_EQ(platform::ResolvePortPath(7), "/dev/ttyS6");
    EXPECT_EQ(platform::ResolvePortPath(1), "/dev/ttyS0");
    setenv("SWIPETYPE_COM7", "/dev/ttyUSB0", 1);
    EXPECT_EQ(platform::ResolvePortPath(7), "/dev/ttyUSB0");
    platform::SetPortPath(7, "/dev/pts/9");
    EXPECT_EQ(platform::ResolvePortPath(7), "/dev/pts/9");
    platform::SetPortPath(7, "");
    EXPECT_EQ(platform::ResolvePortPath(7), "/dev/ttyUSB0");
    setenv("SWIPETYPE_COM7", "", 1);
    EXPECT_EQ(platform::ResolvePortPath(7), "/dev/ttyS6");
}

TEST_F(PortNamesTest, NumbersOutsideTheRangeHaveNoPath) {
    EXPECT_FALSE(platform::ResolvePortPath(0));
    EXPECT_FALSE(platform::ResolvePortPath(-1));
    EXPECT_FALSE(platform::ResolvePortPath(1000000));
    EXPECT_EQ(platform::ResolvePortPath(999999), "/dev/ttyS999998");
}

struct NameCase {
    const char16_t* name;
    int number; // 0: not a port name
};

class ParseNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(ParseNameTest, ReadsThePortNumber) {
    std::optional<int> number = platform::ParsePortName(GetParam().name);
    if (GetParam().number == 0) {
        EXPECT_FALSE(number);
    } else {
        EXPECT_EQ(number, GetParam().number);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, ParseNameTest,
    testing::Values(NameCase{u"COM1:", 1}, NameCase{u"com12", 12}, NameCase{u"cOm999999:", 999999},
                    NameCase{u"COM0001:", 1}, NameCase{u"COM1000000:", 0},
                    NameCase{u"COM99999999999999999999:", 0}, NameCase{u"COM0:", 0},
                    NameCase{u"COM:", 0}, NameCase{u"COM-1:", 0}, NameCase{u"COM1:2", 0},
                    NameCase{u"COM1 :", 0}, NameCase{u"XCOM1:", 0}, NameCase{u"", 0},
                    NameCase{nullptr, 0}),
    [](const testing::TestParamInfo<NameCase>& info) {
        const char16_t* name = info.param.name;
        return name ? testsupport::ParamName(
                          std::string(name, name + std::char_traits<char16_t>::length(name)))
                    : std::string("null");
    });

} // namespace
