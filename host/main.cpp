// The Linux entry point: host options, then the platform set-up that stands in
// for the device (device root, serial ports, key sink, event log, code page,
// the cross-process window interface), then the device program's WinMain.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/private_messages.h"
#include "host/front_end.h"
#include "host/hand_edits.h"
#include "host/options.h"
#include "host/reader_port_wait.h"
#include "host/remembered_ports_start.h"
#include "host/saves.h"
#include "host/serial_port_list.h"
#include "host/service_manager.h"
#include "host/setting_requests.h"
#include "host/setting_trace.h"
#include "host/signals.h"
#include "host/status_answer.h"
#include "platform/core/codepage.h"
#include "platform/core/event_log.h"
#include "platform/core/output_queue.h"
#include "platform/core/standard_streams.h"
#include "platform/core/system.h"
#include "platform/core/user_notice.h"
#include "platform/fs/device_root.h"
#include "platform/ipc/remote_windows.h"
#include "platform/keyboard/key_delay.h"
#include "platform/keyboard/key_sink_choice.h"
#include "platform/keyboard/key_sink_registry.h"
#include "platform/keyboard/keyboard.h"
#include "platform/modules/program_modules.h"
#include "platform/registry/registry.h"
#include "platform/shell/tray_menu.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/orderly_end.h"

namespace {

// Where the device loads a program; resources are found whatever the value.
const HINSTANCE kProgramInstance = reinterpret_cast<HINSTANCE>(0x00010000);

// How long output that standard output or error has not taken yet may hold up
// the end of the program.
constexpr auto kOutputPatienceAtEnd = std::chrono::milliseconds(100);

int Fail(const std::string& line) {
    platform::WriteErrorLine("swipetype: " + line);
    return 1;
}

// The sink of the running instance. A start that only hands over to another
// instance types nothing, so it takes none.
bool ChooseKeySink(const host::HostOptions& options, std::string& error) {
    platform::KeySinkSettings settings;
    settings.layout = options.layout;
    platform::SetKeyDelay(options.keyDelay);
    if (options.keys) {
        auto sink = platform::MakeKeySinkByName(*options.keys, settings, error);
        if (sink == nullptr) {
            return false;
        }
        std::string target = sink->Target();
        platform::SetKeySink(std::move(sink));
        platform::WriteErrorLine("swipetype: keys go to the " + *options.keys +
                                     " sink, as asked: " + target,
                                 platform::JournalPriority::Info);
        return true;
    }
    std::string why;
    platform::SetKeySink(platform::ChooseDefaultKeySink(settings, why));
    platform::WriteErrorLine("swipetype: " + why, platform::JournalPriority::Info);
    return true;
}

// Claims the device root and serves its windows, or finds the program that
// runs there. One that started a moment earlier holds the root before its
// socket and main window exist: this start waits for them a few seconds, so
// that it hands over instead of running a second copy; if that program died
// meanwhile, its claim is gone and this start takes the root.
platform::WindowInterfaceRole StartOrFindRunningInstance(std::string& error) {
    using Role = platform::WindowInterfaceRole;
    constexpr auto kWaitForWindow = std::chrono::seconds(3);
    constexpr auto kStep = std::chrono::milliseconds(20);
    auto deadline = std::chrono::steady_clock::now() + kWaitForWindow;
    for (;;) {
        Role role = platform::StartWindowInterface(error);
        bool handsOver = role == Role::AnotherInstanceServes &&
                         platform::FindRemoteWindow(u"SWIPETYPE", u"Swipetype") != nullptr;
        if (handsOver || role == Role::Serving || role == Role::Failed ||
            role == Role::AnotherUserHolds) {
            return role;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            if (role == Role::AnotherInstanceServes) {
                error = "Swipetype runs on the device root " + platform::DeviceRoot() +
                        " but its window does not answer";
            }
            return Role::AnotherInstanceHolds;
        }
        platform::StopWindowInterface();
        std::this_thread::sleep_for(kStep);
    }
}

// A start that handed over to the running instance says so, naming what of its
// own it did not apply: the running instance keeps its ports, sink and log.
void SayHandedOver(const host::HostOptions& options) {
    std::string line = "swipetype: Swipetype already runs on the device root " +
                       platform::DeviceRoot() + "; its window is shown";
    std::vector<std::string> notApplied;
    for (const std::string& name : options.given) {
        if (std::find(notApplied.begin(), notApplied.end(), name) == notApplied.end()) {
            notApplied.push_back(name);
        }
    }
    for (std::size_t i = 0; i < notApplied.size(); ++i) {
        line += (i == 0 ? ", and this start's " : ", ") + notApplied[i];
    }
    if (!notApplied.empty()) {
        line += " did not apply (they take effect when it is started again)";
    }
    platform::WriteErrorLine(line, platform::JournalPriority::Info);
}

// SIGUSR1 (logrotate, the service's reload): the event log, rotated away, is
// opened again at its path, and the hive is taken again as a hand edit would be.
void ReopenLog() {
    host::NotifyReloading();
    std::string error;
    if (!platform::ReopenEventLog(error)) {
        platform::WriteErrorLine("swipetype: " + error +
                                 "; the event log goes on in the file it had");
    }
    host::TakeHandEditsNow();
    host::NotifyReloaded();
}

// The signal that ended the program, 0 for none.
int& EndingSignal() {
    static int signal = 0;
    return signal;
}

// A hang-up (the terminal closed, or a kill -HUP) is no stop asked for: it ends
// the program the orderly way, but with 128 + SIGHUP, as a shell reports a
// process a hang-up ended, so that a service manager restarts it. SIGTERM and
// SIGINT are the stops an administrator asks for, and end with 0 as "Exit".
int ExitStatus(int status) {
    return EndingSignal() == SIGHUP && status == 0 ? 128 + SIGHUP : status;
}

// A change from swipetype-config is saved at once: a hand edit of the hive made
// just before it is taken first, or the save would write over it.
platform::SettingAnswer AnswerAfterHandEdits(platform::remote::SettingAction action,
                                             std::u16string_view name, std::u16string_view value) {
    host::TakeHandEditsNow();
    return host::AnswerSettingRequest(action, name, value);
}

// "Exit" as the menus give it; before the main window exists, just the quit.
void EndOrderly() {
    if (MainWindow != nullptr) {
        PostMessageW(MainWindow, WM_COMMAND, IDM_EXIT, 0);
    } else {
        PostQuitMessage(0);
    }
}

// The start-up, step by step. Each step that can end the start gives the exit
// status it ends with; nothing means go on.

// The process's own settings: modules, code page, device root, ports, event
// log. --list-ports ends here.
std::optional<int> SetUpProcess(const host::HostOptions& options) {
    std::string error;
    platform::SetKeySinkModules(platform::LoadableKeySinkModules());
    if (!platform::SetAnsiCodePage(options.codePage)) {
        return Fail("the code page " + std::to_string(options.codePage) + " is not available");
    }
    if (options.root) {
        platform::SetDeviceRoot(*options.root);
    }
    if (options.listPorts) {
        host::ApplyPorts(options.ports);
        return host::ListSerialPorts(stdout);
    }
    // From here on, nothing this program writes may hold up its one thread.
    platform::MakeStandardStreamsNonBlocking();
    if (!platform::PrepareDeviceRoot(error)) {
        return Fail(error); // it names the root and why it cannot be used
    }
    host::ApplyPorts(options.ports);
    if (options.log && !platform::OpenEventLog(*options.log, error)) {
        return Fail(error);
    }
    return std::nullopt;
}

// This start serves the device root, or hands over to the program that does
// (`handsOver`); another user's or an unanswering program ends it.
std::optional<int> ClaimDeviceRoot(bool& handsOver) {
    std::string error;
    platform::WindowInterfaceRole role = StartOrFindRunningInstance(error);
    if (role == platform::WindowInterfaceRole::AnotherInstanceHolds ||
        role == platform::WindowInterfaceRole::AnotherUserHolds) {
        platform::StopWindowInterface();
        return Fail(error + "; a second one does not start beside it");
    }
    if (role == platform::WindowInterfaceRole::Failed) {
        // The program still runs; only a second start cannot find it.
        platform::WriteErrorLine("swipetype: other programs cannot reach this one: " + error,
                                 platform::JournalPriority::Warning);
    }
    handsOver = role == platform::WindowInterfaceRole::AnotherInstanceServes;
    return std::nullopt;
}

// Handled before any library starts a thread of its own (GIO's D-Bus worker
// with the front end, say), so that whichever thread takes a signal passes it
// to the loop. An ending saves the settings: a hand edit made just before is
// taken first. The orderly end and the tray menu's source are set here too.
void HandleSignalsAndEnding() {
    std::string error;
    auto endAfterHandEdits = [](int signal) {
        EndingSignal() = signal;
        host::TakeHandEditsNow();
        EndOrderly();
    };
    if (!host::HandleEndingSignals(endAfterHandEdits, error) ||
        !host::HandleReopenSignal(ReopenLog, error)) {
        platform::WriteErrorLine("swipetype: " + error);
    }
    platform::SetOrderlyEndHandler(EndOrderly);
    // A panel that draws the tray icon's menu itself shows the popup a tap
    // opens, and hands the choice over as that popup does.
    platform::SetTrayMenuSource({kProgramInstance, IDR_TRAY_POPUP, 0, UM_POPUP_COMMAND});
}

// The running instance: its key sink, its answers to other programs, the
// service manager, the hive's saves and hand edits, its ports, its front end.
std::optional<int> StartServing(const host::HostOptions& options) {
    std::string error;
    if (!ChooseKeySink(options, error)) {
        platform::StopWindowInterface();
        return Fail(error);
    }
    platform::SetSettingHandler(AnswerAfterHandEdits);
    host::SetStatusIdentity(SWIPETYPE_VERSION);
    platform::SetStatusHandler(host::AnswerStatusRequest);
    if (!host::StartServiceNotifications(error)) {
        platform::WriteErrorLine("swipetype: " + error);
    }
    host::TraceSettingWrites();
    // The settings are saved whatever the registry answers (OK, QUIT and Exit
    // go ahead); host/saves.h says what becomes of a save that fails.
    host::WatchSaves();
    if (!host::TakeHandEdits(error)) {
        platform::WriteErrorLine("swipetype: " + error +
                                 "; the hive edited while the program runs is written over "
                                 "when it saves");
    }
    host::RememberPorts(options.ports);
    host::WaitForReaderPort();
    if (std::string line = host::DescribeCommandLine(options.commandLine); !line.empty()) {
        platform::WriteErrorLine(line, platform::JournalPriority::Info);
    }
    if (!host::StartFrontEnd(options.ui, error)) {
        platform::StopWindowInterface();
        return Fail(error);
    }
    return std::nullopt;
}

// The device program itself, then what follows its message loop, whether its
// own loop ended or a lost display ended the program from inside the display
// library.
int RunProgram(const host::HostOptions& options, bool handedOver) {
    auto finish = [&options, handedOver](int exitCode) {
        if (handedOver) {
            SayHandedOver(options);
        }
        host::NotifyStopping();
        host::StopServiceNotifications();
        host::SayUnsavedSettings();
        host::StopFrontEnd();
        host::StopTakingHandEdits();
        platform::StopWindowInterface();
        platform::FlushQueuedOutputs(kOutputPatienceAtEnd);
        platform::CloseEventLog();
        return ExitStatus(exitCode);
    };
    platform::SetOrderlyFinish(finish);
    std::u16string commandLine = host::JoinCommandLine(options.commandLine);
    return finish(WinMain(kProgramInstance, nullptr, commandLine.data(), SW_SHOW));
}

int Run(const host::HostOptions& options) {
    if (std::optional<int> ended = SetUpProcess(options)) {
        return *ended;
    }
    bool handsOver = false;
    if (std::optional<int> ended = ClaimDeviceRoot(handsOver)) {
        return *ended;
    }
    HandleSignalsAndEnding();
    if (handsOver) {
        // A start that hands over types nothing and shows nothing itself.
        platform::SetKeySink(platform::MakeNullKeySink());
    } else if (std::optional<int> ended = StartServing(options)) {
        return *ended;
    }
    return RunProgram(options, handsOver);
}

} // namespace

int main(int argc, char** argv) {
    platform::OpenClosedStandardDescriptors();
    platform::SetDebugLineName("swipetype");
    host::IgnoreBrokenPipes();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    host::ParseResult parsed = host::ParseHostOptions(arguments, host::ProcessEnvironment());
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(host::UsageText().c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::printf("swipetype %s\n", SWIPETYPE_VERSION);
        return 0;
    }
    int status = Run(parsed.options);
    platform::FlushQueuedOutputs(kOutputPatienceAtEnd); // a start that failed or handed over
    return status;
}
