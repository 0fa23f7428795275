#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <utility>

#include "host/options.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/key_sink_registry.h"

namespace {

using host::ParseHostOptions;

host::Environment Env(std::map<std::string, std::string> variables = {}) {
    return [variables =
                std::move(variables)](const std::string& name) -> std::optional<std::string> {
        auto found = variables.find(name);
        return found != variables.end() ? std::optional<std::string>(found->second) : std::nullopt;
    };
}

// "--" ends the options: what follows is the program's own command line.
TEST(HostOptionsTest, DefaultsWithNothingGivenAndDoubleDashEndsTheOptions) {
    auto result = ParseHostOptions({"--", "--help"}, Env());
    ASSERT_EQ(result.error, "");
    EXPECT_FALSE(result.options.root);
    EXPECT_FALSE(result.options.keys);
    EXPECT_FALSE(result.options.help);
    EXPECT_EQ(result.options.layout, "") << "the session's own layout";
    EXPECT_EQ(result.options.keyDelay.count(), 0);
    EXPECT_EQ(result.options.codePage, 1252u);
    EXPECT_EQ(result.options.commandLine, std::vector<std::string>{"--help"});
}

TEST(HostOptionsTest, OptionsInBothFormsAndTheProgramsCommandLine) {
    auto result =
        ParseHostOptions({"--root", "/r", "--port=COM1:=/dev/pts/7", "--port", "COM2:=/dev/ttyUSB0",
                          "--keys=text", "--key-delay", "5", "--log", "/tmp/l", "--ui", "headless",
                          "--codepage", "utf-8", "--layout", "de", "MIN", "--root", "x"},
                         Env());
    ASSERT_EQ(result.error, "");
    const host::HostOptions& options = result.options;
    EXPECT_EQ(options.root, "/r");
    ASSERT_EQ(options.ports.size(), 2u);
    EXPECT_EQ(options.ports[0].number, 1);
    EXPECT_EQ(options.ports[0].path, "/dev/pts/7");
    EXPECT_EQ(options.ports[1].number, 2);
    EXPECT_EQ(options.keys, "text");
    EXPECT_EQ(options.keyDelay.count(), 5);
    EXPECT_EQ(options.log, "/tmp/l");
    EXPECT_EQ(options.ui, "headless");
    EXPECT_EQ(options.codePage, 65001u);
    EXPECT_EQ(options.layout, "de");
    EXPECT_EQ(options.commandLine, (std::vector<std::string>{"MIN", "--root", "x"}));
}

TEST(HostOptionsTest, EnvironmentGivesDefaultsThatOptionsOverride) {
    auto env = Env({{"SWIPETYPE_ROOT", "/env-root"},
                    {"SWIPETYPE_KEYS", "uinput"},
                    {"XKB_DEFAULT_LAYOUT", "fr"},
                    {"SWIPETYPE_KEY_DELAY", "3"},
                    {"SWIPETYPE_LOG", "/env-log"},
                    {"SWIPETYPE_UI", "gtk"}});
    auto result = ParseHostOptions({"--keys", "text"}, env);
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.options.root, "/env-root");
    EXPECT_EQ(result.options.keys, "text");
    EXPECT_EQ(result.options.layout, "fr");
    EXPECT_EQ(result.options.keyDelay.count(), 3);
    EXPECT_EQ(result.options.log, "/env-log");
    EXPECT_EQ(result.options.ui, "gtk");
}

TEST(HostOptionsTest, PortsFromBothSourcesAndTheOptionsGiven) {
    auto env = Env({{"SWIPETYPE_COM1", "/dev/env"},
                    {"SWIPETYPE_COM255", "/dev/far"},
                    {"SWIPETYPE_ROOT", "/r"},
                    {"SWIPETYPE_UI", "headless"}});
    auto result = ParseHostOptions({"-h", "--port", "COM1:=", "--keys", "none", "MIN"}, env);
    ASSERT_EQ(result.error, "");
    EXPECT_TRUE(result.options.help);
    ASSERT_EQ(result.options.ports.size(), 3u);
    EXPECT_EQ(result.options.ports[1].number, 255);
    EXPECT_EQ(result.options.ports[2].number, 1);
    EXPECT_EQ(result.options.ports[2].path, "") << "the later one, which forgets";
    EXPECT_EQ(result.options.given,
              (std::vector<std::string>{"SWIPETYPE_UI", "SWIPETYPE_COM1", "SWIPETYPE_COM255",
                                        "--port", "--keys"}));
}

TEST(HostOptionsTest, ACommandLineThatIsNotMinIsNamedWithAHint) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"MIN"}, ""},
        {{"min"}, "'min' is not exactly MIN, so the window is shown at start"},
        {{"MIN", "/dev/ttyACM0"}, "did you mean --port COM1:=/dev/ttyACM0?"},
        {{"-keys=text"}, "did you mean the option --keys? Options come before"},
        {{"MIN", "--list-ports"}, "did you mean the option --list-ports?"},
        {{"-x"}, "options start with -- and come before it"},
    };
    for (const auto& [commandLine, expected] : cases) {
        std::string line = host::DescribeCommandLine(commandLine);
        EXPECT_EQ(expected.empty(), line.empty()) << line;
        EXPECT_NE(line.find(expected), std::string::npos) << line;
    }
}

TEST(HostOptionsTest, BadInputIsOneClearLine) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"--keys", "keyboard"},
        {"--key-delay", "-1"},
        {"--key-delay", "x"},
        {"--key-delay", std::to_string(platform::kLongestKeyDelay.count() + 1)},
        {"--port", "COM0:=/x"},
        {"--port", "COM1:"},
        {"--port", "COM256:=/x"},
        {"--port", "TTY1=/x"},
        {"--codepage", "437"},
        {"--ui", "qt"},
        {"--root"},
    };
    for (const auto& arguments : bad) {
        auto result = ParseHostOptions(arguments, Env());
        EXPECT_FALSE(result.error.empty()) << arguments[0];
        EXPECT_EQ(result.error.find('\n'), std::string::npos);
        EXPECT_EQ(result.error.rfind("swipetype: ", 0), 0u);
    }
    auto fromEnv = ParseHostOptions({}, Env({{"SWIPETYPE_KEYS", "bogus"}}));
    EXPECT_NE(fromEnv.error.find("SWIPETYPE_KEYS"), std::string::npos);
}

TEST(HostOptionsTest, CommandLineKeepsEachArgumentAsGiven) {
    EXPECT_EQ(host::JoinCommandLine({"MIN"}), u"MIN");
    EXPECT_EQ(host::JoinCommandLine({"MIN "}), u"MIN ");
    EXPECT_EQ(host::JoinCommandLine({"a b", "", "c\u00e9"}), u"a b  c\u00e9");
    EXPECT_EQ(host::JoinCommandLine({}), u"");
}

// Runs of blanks and line ends as one space, as a reader takes wrapped text.
std::string Unwrapped(const std::string& text) {
    std::istringstream words(text);
    std::string flat;
    for (std::string word; words >> word;) {
        flat += (flat.empty() ? "" : " ") + word;
    }
    return flat;
}

// --help gives each sink's row of the table whole, within 79 columns, and the
// note "X11 applications only" only in the Wayland order, after the sinks the
// table marks so.
TEST(HostOptionsTest, HelpGivesEachSinkRowWholeWithinTheWidth) {
    const std::string help = host::UsageText();
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 79u) << line;
    }
    const std::string flat = Unwrapped(help);
    const std::string note = " (X11 applications only)";
    std::size_t wayland = flat.find("; under Wayland");
    ASSERT_NE(wayland, std::string::npos) << flat;
    std::size_t x11 = flat.find("default under X11: ");
    ASSERT_LT(x11, wayland) << flat;
    EXPECT_EQ(flat.substr(x11, wayland - x11).find(note), std::string::npos) << flat;
    for (const platform::KeySinkKind& kind : platform::KeySinkKinds()) {
        std::string name = kind.name;
        EXPECT_NE(flat.find(" " + name + " " + Unwrapped(kind.help)), std::string::npos) << name;
        bool noted = flat.find(" " + name + note, wayland) != std::string::npos;
        EXPECT_EQ(noted, kind.onlyX11UnderWayland && kind.waylandOrder > 0) << name;
    }
}

} // namespace
