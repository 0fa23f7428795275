// The options dialog: the reading state machine, table-driven over every
// command and state, and the other commands whose faults a user would notice.
#include "options_dialog_fixture.h"
#include "reader/line_reader.h"
#include "support/param_name.h"

namespace {

using namespace app_test;

struct ReadingState {
    DWORD enable;
    DWORD useMSR;
    const char* name;
};

constexpr ReadingState kOffMSR{0, 1, "Off, MSR"};
constexpr ReadingState kOffRFID{0, 0, "Off, RFID"};
constexpr ReadingState kOnMSR{1, 1, "On, MSR"};
constexpr ReadingState kOnRFID{1, 0, "On, RFID"};

constexpr int kResetDefaults = 0; // the main window's "Reset Defaults" command

struct Transition {
    int command;
    ReadingState from;
    ReadingState to;
    int reader; // 0 none, 1 MSR, 2 RFID: which runs afterwards
    bool refreshed;
};

std::string Describe(const Transition& t) {
    return std::string("command ") +
           (t.command == kResetDefaults ? "Reset Defaults" : std::to_string(t.command)) + " from " +
           t.from.name;
}

const Transition kTransitions[] = {
    {IDC_READING_ENABLE, kOffMSR, kOnMSR, 1, true},
    {IDC_READING_ENABLE, kOffRFID, kOnRFID, 2, true},
    {IDC_READING_ENABLE, kOnMSR, kOnMSR, 1, false},
    {IDC_READING_ENABLE, kOnRFID, kOnRFID, 2, false},
    {IDC_READING_DISABLE, kOffMSR, kOffMSR, 0, false},
    {IDC_READING_DISABLE, kOffRFID, kOffRFID, 0, false},
    {IDC_READING_DISABLE, kOnMSR, kOffMSR, 0, true},
    {IDC_READING_DISABLE, kOnRFID, kOffRFID, 0, true},
    {IDC_INPUT_MSR, kOffMSR, kOffMSR, 0, false},
    {IDC_INPUT_MSR, kOffRFID, kOffMSR, 0, false},
    {IDC_INPUT_MSR, kOnMSR, kOnMSR, 1, false},
    {IDC_INPUT_MSR, kOnRFID, kOnMSR, 1, false},
    {IDC_INPUT_RFID, kOffMSR, kOffRFID, 0, false},
    {IDC_INPUT_RFID, kOffRFID, kOffRFID, 0, false},
    {IDC_INPUT_RFID, kOnMSR, kOnRFID, 2, false},
    {IDC_INPUT_RFID, kOnRFID, kOnRFID, 2, false},
    {kResetDefaults, kOffMSR, kOffMSR, 0, true},
    {kResetDefaults, kOffRFID, kOffMSR, 0, true},
    {kResetDefaults, kOnMSR, kOffMSR, 0, true},
    {kResetDefaults, kOnRFID, kOffMSR, 0, true},
};

class ReadingStateMachine : public OptionsDialogTest,
                            public testing::WithParamInterface<Transition> {};

TEST_P(ReadingStateMachine, CommandMovesToTheRightStateAndReader) {
    const Transition& t = GetParam();
    SCOPED_TRACE(Describe(t));
    // The dialog's initialisation loads the starting state and starts its reader.
    StoreSetting(u"Enable", t.from.enable);
    StoreSetting(u"UseMSR", t.from.useMSR);
    CreateDialog();
    ASSERT_EQ(Settings.Enable, t.from.enable);
    ASSERT_EQ(Settings.UseMSR, t.from.useMSR);
    ASSERT_EQ(MSRActive, t.from.enable && t.from.useMSR ? 1 : 0);
    ASSERT_EQ(RFIDActive, t.from.enable && !t.from.useMSR ? 1 : 0);
    // AutoStart on, with its file, so that a reset can be seen removing it.
    Click(IDC_AUTOSTART_ENABLE);
    ASSERT_TRUE(std::filesystem::exists(StartupFile()));
    platform::StartRecording();
    int opensBefore = PortOpens();

    if (t.command == kResetDefaults) {
        ResetSettings(options_);
    } else {
        Click(t.command);
    }

    EXPECT_EQ(Settings.Enable, t.to.enable);
    EXPECT_EQ(Settings.UseMSR, t.to.useMSR);
    EXPECT_EQ(MSRActive, t.reader == 1 ? 1 : 0);
    EXPECT_EQ(RFIDActive, t.reader == 2 ? 1 : 0);
    EXPECT_EQ(device_->IsOpen(), t.reader != 0);
    if (t.reader != 0) {
        EXPECT_EQ(LastBaudRate(), t.reader == 1 ? 9600u : 19200u);
    }
    // A reader that already ran is not started a second time.
    bool started = t.reader != 0 && (t.from.enable == 0 || t.from.useMSR != t.to.useMSR);
    EXPECT_EQ(PortOpens() - opensBefore, started ? 1 : 0);
    EXPECT_EQ(TrayRefreshed(), t.refreshed);
    if (t.refreshed || t.command == kResetDefaults) {
        EXPECT_EQ(platform::Recorded().tray.size(), 2u);
    } else {
        EXPECT_TRUE(platform::Recorded().tray.empty());
    }
    EXPECT_EQ(TrayPicture(), t.to.enable ? 102u : 103u);
    EXPECT_EQ(std::filesystem::exists(StartupFile()), t.command != kResetDefaults);
}

INSTANTIATE_TEST_SUITE_P(EveryCommandFromEveryState, ReadingStateMachine,
                         testing::ValuesIn(kTransitions),
                         [](const testing::TestParamInfo<Transition>& info) {
                             return testsupport::ParamName(Describe(info.param), "_to_",
                                                           info.param.to.name);
                         });

TEST_F(OptionsDialogTest, BeepPairIsReadFromItsEnableButton) {
    CreateDialog();
    Click(IDC_BEEP_ENABLE);
    EXPECT_EQ(Settings.Beep, 1u);
    Click(IDC_BEEP_DISABLE);
    EXPECT_EQ(Settings.Beep, 0u); // "Disable" reads the unchecked "Enable"
    Click(IDC_BEEP_ENABLE);
    EXPECT_EQ(Settings.Beep, 1u);
}

TEST_F(OptionsDialogTest, CheckBoxesSetTheirFlags) {
    CreateDialog();
    struct Case {
        int id;
        DWORD* field;
    };
    for (const Case& c :
         {Case{IDC_SEND_ENTER, &Settings.SendEnter}, Case{IDC_SEND_TAB, &Settings.SendTab},
          Case{IDC_TRACK1, &Settings.UseTrack1}, Case{IDC_TRACK2, &Settings.UseTrack2},
          Case{IDC_TRACK3, &Settings.UseTrack3}}) {
        DWORD before = *c.field;
        Click(c.id);
        EXPECT_EQ(*c.field, before ? 0u : 1u) << c.id;
        EXPECT_EQ(*c.field, Check(options_, c.id)) << c.id;
        Click(c.id);
        EXPECT_EQ(*c.field, before) << c.id;
    }
}

TEST_F(OptionsDialogTest, AutoStartEnableTwiceWritesOnceAndDisableDeletes) {
    CreateDialog();
    Click(IDC_AUTOSTART_ENABLE);
    ASSERT_TRUE(std::filesystem::exists(StartupFile()));
    EXPECT_EQ(Settings.AutoStart, 1u);
    // A second click finds AutoStart already on and leaves the file alone.
    std::filesystem::last_write_time(StartupFile(), std::filesystem::file_time_type{});
    test_support::WriteFile(StartupFile(), "marker");
    Click(IDC_AUTOSTART_ENABLE);
    EXPECT_EQ(test_support::ReadFile(StartupFile()), "marker");
    Click(IDC_AUTOSTART_DISABLE);
    EXPECT_FALSE(std::filesystem::exists(StartupFile()));
    EXPECT_EQ(Settings.AutoStart, 0u);
}

TEST_F(OptionsDialogTest, OkSavesAndHidesTheMainWindowWhileTheTrayIconStays) {
    CreateDialog();
    SetWindowTextW(GetDlgItem(options_, IDC_PREFIX), u"ID:");
    Click(IDC_OK);
    ExpectStored(root_, {"\"Prefix\"=\"ID:\""});
    EXPECT_FALSE(IsWindowVisible(MainWindow));
    EXPECT_FALSE(IsWindowVisible(options_)); // it goes with its parent
    EXPECT_TRUE(IsWindow(options_));
    EXPECT_EQ(platform::TrayIcons().size(), 1u);
    EXPECT_FALSE(platform::QuitPending());
}

TEST_F(OptionsDialogTest, QuitSavesRemovesTheIconAndEndsTheLoop) {
    CreateDialog();
    SetWindowTextW(GetDlgItem(options_, IDC_SUFFIX), u"!");
    Click(IDC_QUIT);
    ExpectStored(root_, {"\"Suffix\"=\"!\""});
    EXPECT_TRUE(platform::TrayIcons().empty());
    EXPECT_FALSE(IsWindow(MenuBar));
    EXPECT_TRUE(IsWindow(options_)); // the windows stand until the process ends
    // The loop ends once the messages posted before the quit are handled.
    MSG message{};
    int handled = 0;
    while (GetMessageW(&message, nullptr, 0, 0) > 0 && handled < 100) {
        DispatchMessageW(&message);
        ++handled;
    }
    EXPECT_LT(handled, 100);
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(OptionsDialogTest, DestructionSavesWhatTheEditBoxesHold) {
    CreateDialog();
    SetWindowTextW(GetDlgItem(options_, IDC_TRACK_SEPARATOR), u"|");
    Click(IDC_READING_ENABLE);
    // "Exit": the main window goes, and the dialog with it.
    RemoveTrayIcon();
    DestroyWindow(MainWindow);
    EXPECT_FALSE(IsWindow(options_));
    ExpectStored(root_, {"\"TrackSeparator\"=\"|\"", "\"Enable\"=dword:00000001"});
    EXPECT_FALSE(IsWindow(MenuBar));
    EXPECT_TRUE(platform::QuitPending());
    MainWindow = nullptr;
}

TEST_F(OptionsDialogTest, FocusGoesToThePrefixBox) {
    CreateDialog();
    HWND prefix = GetDlgItem(options_, IDC_PREFIX);
    SetFocus(GetDlgItem(options_, IDC_OK));
    ASSERT_NE(GetFocus(), prefix);
    SetFocus(options_);
    EXPECT_EQ(GetFocus(), prefix);
}

TEST_F(OptionsDialogTest, ActivationAndSettingChangesReachTheShell) {
    CreateDialog();
    SendMessageW(options_, WM_SETTINGCHANGE, 0xE0, 0);
    SendMessageW(options_, WM_ACTIVATE, WA_ACTIVE, 0);
    platform::ShellWindowState state;
    ASSERT_TRUE(platform::GetShellWindowState(options_, state));
    EXPECT_EQ(state.settingChanges, 1);
    EXPECT_EQ(state.activations, 1);
    EXPECT_EQ(ShellActivateInfo.fActive, 1u);
}

// The third input type: Line runs the line reader at LineBaud whatever UseMSR
// says, and MSR or RFID takes its place again.
struct LineTransition {
    DWORD enable;
    DWORD useMSR;
    DWORD useLine;
    int command;
    DWORD toUseLine;
    int reader; // 0 none, 1 MSR, 2 RFID, 3 line
};

class LineInputType : public OptionsDialogTest,
                      public testing::WithParamInterface<LineTransition> {};

TEST_P(LineInputType, RunsTheLineReaderInsteadOfUseMSRs) {
    const LineTransition& t = GetParam();
    StoreSetting(u"Enable", t.enable);
    StoreSetting(u"UseMSR", t.useMSR);
    StoreSetting(u"UseLine", t.useLine);
    StoreSetting(u"LineBaud", 19200);
    CreateDialog();
    Click(t.command);
    EXPECT_EQ(Settings.UseLine, t.toUseLine);
    EXPECT_EQ(Check(options_, IDC_INPUT_LINE), t.toUseLine);
    EXPECT_EQ(MSRActive + 2 * RFIDActive + 3 * LineActive, t.reader);
    EXPECT_EQ(device_->IsOpen(), t.reader != 0);
    if (t.reader == 3) {
        EXPECT_EQ(LastBaudRate(), 19200u);
    }
}

INSTANTIATE_TEST_SUITE_P(EachWay, LineInputType,
                         testing::Values(LineTransition{1, 1, 0, IDC_INPUT_LINE, 1, 3},
                                         LineTransition{1, 0, 1, IDC_INPUT_MSR, 0, 1},
                                         LineTransition{1, 1, 1, IDC_INPUT_RFID, 0, 2},
                                         LineTransition{0, 1, 1, IDC_READING_ENABLE, 1, 3},
                                         LineTransition{1, 1, 1, IDC_READING_DISABLE, 1, 0}));

} // namespace
