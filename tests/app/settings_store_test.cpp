#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_fixture.h"
#include "app/autostart.h"
#include "app/settings_store.h"
#include "platform/windowing/messages.h"

namespace {

using namespace app_test;

class SettingsStore : public AppTest {
  protected:
    // Every control shows the opposite of the defaults, and every field holds
    // something else than its default, so a field or control the load forgets
    // is seen.
    void ScrambleDialogAndFields() {
        for (int id : {IDC_READING_ENABLE, IDC_BEEP_ENABLE, IDC_INPUT_RFID, IDC_AUTOSTART_ENABLE,
                       IDC_SEND_ENTER, IDC_SEND_TAB}) {
            SendMessageW(GetDlgItem(dialog_, id), BM_SETCHECK, BST_CHECKED, 0);
        }
        for (int id : {IDC_READING_DISABLE, IDC_BEEP_DISABLE, IDC_INPUT_MSR, IDC_AUTOSTART_DISABLE,
                       IDC_TRACK1, IDC_TRACK2, IDC_TRACK3}) {
            SendMessageW(GetDlgItem(dialog_, id), BM_SETCHECK, BST_UNCHECKED, 0);
        }
        for (int id : {IDC_PREFIX, IDC_SUFFIX, IDC_TRACK_SEPARATOR}) {
            SetWindowTextW(GetDlgItem(dialog_, id), u"stale");
        }
        Settings.Beep = 7;
        Settings.UseMSR = 0;
        Settings.UseTrack1 = Settings.UseTrack2 = Settings.UseTrack3 = 0;
        Settings.SendTab = Settings.SendEnter = Settings.AutoStart = 1;
        Settings.MSRInterval = Settings.RFIDInterval = 1;
        for (WCHAR* text : {Settings.Prefix, Settings.Suffix, Settings.TrackSeparator}) {
            std::fill(text, text + kSettingsTextSize, u'x');
        }
    }

    void StoreAll() {
        StoreSetting(u"Enable", 0u);
        StoreSetting(u"UseMSR", 0u);
        StoreSetting(u"Beep", 1u);
        StoreSetting(u"Prefix", u"P:");
        StoreSetting(u"Suffix", u":S");
        StoreSetting(u"SendTab", 1u);
        StoreSetting(u"SendEnter", 1u);
        StoreSetting(u"UseTrack1", 0u);
        StoreSetting(u"UseTrack2", 1u);
        StoreSetting(u"UseTrack3", 0u);
        StoreSetting(u"TrackSeparator", u"|");
        StoreSetting(u"AutoStart", 1u);
        StoreSetting(u"MSRInterval", 500u);
        StoreSetting(u"RFIDInterval", 600u);
    }

    // The number fields in record order: Enable, UseMSR, Beep, SendTab, SendEnter,
    // UseTrack1 to 3, AutoStart, MSRInterval, RFIDInterval.
    static std::vector<DWORD> Numbers() {
        return {Settings.Enable,    Settings.UseMSR,      Settings.Beep,        Settings.SendTab,
                Settings.SendEnter, Settings.UseTrack1,   Settings.UseTrack2,   Settings.UseTrack3,
                Settings.AutoStart, Settings.MSRInterval, Settings.RFIDInterval};
    }
    // Prefix, Suffix, TrackSeparator.
    static std::vector<std::u16string> Texts() {
        return {Settings.Prefix, Settings.Suffix, Settings.TrackSeparator};
    }

    // The checks of reading on/off, MSR/RFID, beep on/off, Tab, Enter, the three
    // tracks and autostart on/off.
    std::vector<WPARAM> Checks() const {
        std::vector<WPARAM> checks;
        for (int id : {IDC_READING_ENABLE, IDC_READING_DISABLE, IDC_INPUT_MSR, IDC_INPUT_RFID,
                       IDC_BEEP_ENABLE, IDC_BEEP_DISABLE, IDC_SEND_TAB, IDC_SEND_ENTER, IDC_TRACK1,
                       IDC_TRACK2, IDC_TRACK3, IDC_AUTOSTART_ENABLE, IDC_AUTOSTART_DISABLE}) {
            checks.push_back(Check(dialog_, id));
        }
        return checks;
    }
    // The prefix, suffix and separator boxes.
    std::vector<std::u16string> EditTexts() const {
        return {Text(dialog_, IDC_PREFIX), Text(dialog_, IDC_SUFFIX),
                Text(dialog_, IDC_TRACK_SEPARATOR)};
    }

    void ExpectDefaults() {
        EXPECT_EQ(Numbers(), (std::vector<DWORD>{0, 1, 0, 0, 0, 1, 1, 1, 0, 325, 350}));
        EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"", u"", u""}));
        EXPECT_EQ(Checks(), (std::vector<WPARAM>{0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1}));
        EXPECT_EQ(EditTexts(), (std::vector<std::u16string>{u"", u"", u""}));
    }
};

TEST_F(SettingsStore, FirstRunWithoutTheKeyGivesDefaults) {
    ScrambleDialogAndFields();
    Settings.Enable = 1;
    EXPECT_EQ(LoadSettings(dialog_), 0);
    ExpectDefaults();
    EXPECT_EQ(MSRActive, 0);
    EXPECT_EQ(RFIDActive, 0);
    EXPECT_TRUE(device_->Calls().empty()) << "no reader touched the port";
}

TEST_F(SettingsStore, EveryStoredValueIsLoadedAndShown) {
    StoreAll();
    ScrambleDialogAndFields();
    EXPECT_EQ(LoadSettings(dialog_), 1);
    EXPECT_EQ(Numbers(), (std::vector<DWORD>{0, 0, 1, 1, 1, 0, 1, 0, 1, 500, 600}));
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"P:", u":S", u"|"}));
    EXPECT_EQ(Checks(), (std::vector<WPARAM>{0, 1, 0, 1, 1, 0, 1, 1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(EditTexts(), (std::vector<std::u16string>{u"P:", u":S", u"|"}));
    EXPECT_EQ(MSRActive + RFIDActive, 0) << "reading is off";
    EXPECT_FALSE(std::filesystem::exists(root_.Fs("Application/Startup/Swipetype.RUN")))
        << "loading AutoStart does not touch the startup file";
}

TEST_F(SettingsStore, AMissingValueTakesItsDefaultAndTheOthersLoadAndSurviveASave) {
    StoreAll();
    // Rewrite the key without "Beep", in the middle of the table.
    std::string hive = test_support::ReadFile(root_.Hive("HKEY_LOCAL_MACHINE"));
    std::size_t beep = hive.find("\"Beep\"=dword:00000001\n");
    ASSERT_NE(beep, std::string::npos);
    hive.erase(beep, std::strlen("\"Beep\"=dword:00000001\n"));
    test_support::WriteFile(root_.Hive("HKEY_LOCAL_MACHINE"), hive);

    ScrambleDialogAndFields();
    EXPECT_EQ(LoadSettings(dialog_), 0);
    EXPECT_EQ(Settings.Beep, 0u) << "its own default";
    EXPECT_EQ(Check(dialog_, IDC_BEEP_DISABLE), 1u);
    EXPECT_EQ(std::u16string(Settings.Prefix), u"P:");
    EXPECT_EQ(Text(dialog_, IDC_PREFIX), u"P:");
    EXPECT_EQ(Check(dialog_, IDC_AUTOSTART_ENABLE), 1u);
    EXPECT_EQ(Settings.RFIDInterval, 600u);
    ASSERT_EQ(SaveSettings(dialog_), 1);
    std::string saved = test_support::ReadFile(root_.Hive("HKEY_LOCAL_MACHINE"));
    EXPECT_EQ(saved.substr(0, beep), hive.substr(0, beep)) << saved;
    EXPECT_EQ(saved.substr(beep), hive.substr(beep) + "\"Beep\"=dword:00000000\n") << saved;
}

TEST_F(SettingsStore, LongestPrefixIsSavedAndLoadedBackUnchanged) {
    std::u16string longest(1023, u'\0');
    for (std::size_t i = 0; i < longest.size(); ++i) {
        longest[i] = static_cast<char16_t>(u'!' + i % 90);
    }
    longest[500] = u'\u20AC'; // not every character is ASCII
    SetWindowTextW(GetDlgItem(dialog_, IDC_PREFIX), longest.c_str());
    EXPECT_EQ(SaveSettings(dialog_), 1);
    Stored stored = StoredSetting(u"Prefix");
    EXPECT_EQ(stored.type, REG_SZ);
    EXPECT_EQ(stored.bytes, TextBytes(longest));
    EXPECT_EQ(stored.bytes.size(), 2048u);

    std::fill(Settings.Prefix, Settings.Prefix + kSettingsTextSize, u'x');
    SetWindowTextW(GetDlgItem(dialog_, IDC_PREFIX), u"");
    EXPECT_EQ(LoadSettings(dialog_), 1);
    EXPECT_EQ(std::u16string(Settings.Prefix), longest);
    EXPECT_EQ(Text(dialog_, IDC_PREFIX), longest);
}

TEST_F(SettingsStore, EmptyTextIsStoredAsTwoBytesAndTooLongEditTextIsCut) {
    SetWindowTextW(GetDlgItem(dialog_, IDC_SUFFIX), std::u16string(1500, u'a').c_str());
    EXPECT_EQ(SaveSettings(dialog_), 1);
    EXPECT_EQ(StoredSetting(u"Suffix").bytes, TextBytes(std::u16string(1023, u'a')));
    for (LPCWSTR name : {u"Prefix", u"TrackSeparator"}) {
        Stored stored = StoredSetting(name);
        EXPECT_EQ(stored.type, REG_SZ);
        EXPECT_EQ(stored.bytes, (std::vector<BYTE>{0, 0}));
    }
    EXPECT_EQ(StoredSetting(u"UseMSR").bytes, DwordBytes(1));
    EXPECT_EQ(StoredSetting(u"UseMSR").type, REG_DWORD);
    EXPECT_EQ(StoredSetting(u"RFIDInterval").bytes, DwordBytes(350));
}

// A stored text too long for its field, read through the load's own buffer
// (2048 bytes, no terminator) or through memory of its size: the field keeps
// its first 1023 units, the load says it was not whole, and the later fields
// load.
TEST_F(SettingsStore, StoredTextTooLongForItsFieldIsCut) {
    const std::vector<BYTE> cases[] = {TextBytes(std::u16string(1024, u'z'), false),
                                       TextBytes(std::u16string(1500, u'z'))};
    for (const std::vector<BYTE>& bytes : cases) {
        StoreAll();
        StoreBytes(HKEY_LOCAL_MACHINE, kSettingsKey, u"Prefix", REG_SZ, bytes);
        ScrambleDialogAndFields();
        EXPECT_EQ(LoadSettings(dialog_), 0);
        EXPECT_EQ(std::u16string(Settings.Prefix), std::u16string(1023, u'z'));
        EXPECT_EQ(std::u16string(Settings.Suffix), u":S") << "the next field is intact";
        EXPECT_EQ(Settings.MSRInterval, 500u) << "the later fields load";
    }
}

TEST_F(SettingsStore, StoredIntervalTakesEffectAtTheReadersStart) {
    StoreAll();
    StoreSetting(u"Enable", 1u);
    StoreSetting(u"UseMSR", 1u);
    StoreSetting(u"MSRInterval", 1000u);
    EXPECT_EQ(LoadSettings(dialog_), 1);
    EXPECT_EQ(Settings.MSRInterval, 1000u);
    ASSERT_EQ(MSRActive, 1);

    auto polls = [&] {
        return std::count(device_->Calls().begin(), device_->Calls().end(),
                          platform::CommCall::ClearError);
    };
    device_->ClearCalls();
    ASSERT_TRUE(platform::RunMessagesFor(platform::Milliseconds{999}));
    EXPECT_EQ(polls(), 0) << "no tick before 1000 ms";
    ASSERT_TRUE(platform::RunMessagesFor(platform::Milliseconds{1}));
    EXPECT_GE(polls(), 1) << "the tick at 1000 ms polls the port";
    device_->ClearCalls();
    ASSERT_TRUE(platform::RunMessagesFor(platform::Milliseconds{999}));
    EXPECT_EQ(polls(), 0);
    EXPECT_TRUE(KillTimer(dialog_, MSRTimerId)) << "the dialog owns the poll timer";
}

TEST_F(SettingsStore, EnabledRfidStartsTheRfidReaderOnTheDialog) {
    StoreAll();
    StoreSetting(u"Enable", 1u);
    EXPECT_EQ(LoadSettings(dialog_), 1);
    EXPECT_EQ(RFIDActive, 1);
    EXPECT_EQ(MSRActive, 0);
    EXPECT_EQ(Check(dialog_, IDC_READING_ENABLE), 1u);
    ASSERT_TRUE(platform::RunMessagesFor(platform::Milliseconds{600}));
    EXPECT_EQ(device_->Output(), "\xBA\x02\x01\xB9") << "one request at the 600 ms tick";
    EXPECT_TRUE(KillTimer(dialog_, RFIDTimerId));
}

TEST_F(SettingsStore, FailedWriteOfSuffixStopsTheSave) {
    StoreAll();
    Settings = DefaultSettings();
    Settings.Enable = 1;
    Settings.UseMSR = 0;
    Settings.Beep = 1;
    Settings.SendTab = 1;
    SetWindowTextW(GetDlgItem(dialog_, IDC_PREFIX), u"new prefix");
    SetWindowTextW(GetDlgItem(dialog_, IDC_SUFFIX), u"new suffix");
    SetWindowTextW(GetDlgItem(dialog_, IDC_TRACK_SEPARATOR), u"new separator");
    std::copy_n(u"previous", 9, Settings.TrackSeparator);

    platform::FailNextRegistryWrite(u"Suffix");
    EXPECT_EQ(SaveSettings(dialog_), 0);

    EXPECT_EQ(StoredSetting(u"Enable").bytes, DwordBytes(1));
    EXPECT_EQ(StoredSetting(u"UseMSR").bytes, DwordBytes(0));
    EXPECT_EQ(StoredSetting(u"Beep").bytes, DwordBytes(1));
    EXPECT_EQ(StoredSetting(u"Prefix").bytes, TextBytes(u"new prefix"));
    EXPECT_EQ(std::u16string(Settings.Suffix), u"new suffix") << "copied from its edit box";
    EXPECT_EQ(StoredSetting(u"Suffix").bytes, TextBytes(u":S")) << "but not stored";
    EXPECT_EQ(StoredSetting(u"SendTab").bytes, DwordBytes(1)) << "1 before, not rewritten";
    EXPECT_EQ(StoredSetting(u"SendEnter").bytes, DwordBytes(1));
    EXPECT_EQ(StoredSetting(u"UseTrack1").bytes, DwordBytes(0));
    EXPECT_EQ(std::u16string(Settings.TrackSeparator), u"previous");
    EXPECT_EQ(StoredSetting(u"TrackSeparator").bytes, TextBytes(u"|"));
    EXPECT_EQ(StoredSetting(u"MSRInterval").bytes, DwordBytes(500));
}

TEST_F(SettingsStore, SaveCreatesTheKeyAndRoundTripsEveryField) {
    Settings.Enable = 0;
    Settings.UseMSR = 0;
    Settings.Beep = 1;
    Settings.SendTab = 1;
    Settings.UseTrack2 = 0;
    Settings.AutoStart = 1;
    Settings.MSRInterval = 111;
    Settings.RFIDInterval = 222;
    SetWindowTextW(GetDlgItem(dialog_, IDC_PREFIX), u"<\"pre\\fix\">");
    SetWindowTextW(GetDlgItem(dialog_, IDC_TRACK_SEPARATOR), u"\t");
    EXPECT_EQ(SaveSettings(dialog_), 1);
    SettingsRecord saved = Settings;

    Settings = DefaultSettings();
    EXPECT_EQ(LoadSettings(dialog_), 1);
    EXPECT_EQ(std::memcmp(&saved, &Settings, sizeof saved), 0);
    std::string hive = test_support::ReadFile(root_.Hive("HKEY_LOCAL_MACHINE"));
    EXPECT_NE(hive.find("\"Prefix\"=\"<\\\"pre\\\\fix\\\">\"\n"), std::string::npos) << hive;
}

TEST_F(SettingsStore, ResetWhileTheRfidReaderRuns) {
    StoreAll();
    StoreSetting(u"Enable", 1u);
    ASSERT_EQ(LoadSettings(dialog_), 1);
    ASSERT_EQ(RFIDActive, 1);
    ASSERT_TRUE(device_->IsOpen());
    std::string hiveBefore = test_support::ReadFile(root_.Hive("HKEY_LOCAL_MACHINE"));
    ScrambleDialogAndFields();
    Settings.Enable = 1;
    Settings.UseMSR = 0;
    Settings.AutoStart = 0;

    EXPECT_EQ(ResetSettings(dialog_), 1);
    EXPECT_EQ(RFIDActive, 0);
    EXPECT_FALSE(device_->IsOpen()) << "the port is closed";
    ExpectDefaults();
    ASSERT_TRUE(platform::RunMessagesFor(platform::Milliseconds{2000}));
    EXPECT_TRUE(device_->Output().empty()) << "no poll after the reset";
    EXPECT_EQ(test_support::ReadFile(root_.Hive("HKEY_LOCAL_MACHINE")), hiveBefore)
        << "the registry is unchanged until the next save";
}

TEST_F(SettingsStore, ResetRemovesTheStartupFileWhateverAutoStartSays) {
    std::string startupFile = root_.Fs("Application/Startup/Swipetype.RUN");
    for (DWORD autoStart : {1u, 0u}) {
        SetAutoStart(dialog_, TRUE);
        ASSERT_TRUE(std::filesystem::exists(startupFile));
        Settings.AutoStart = autoStart;
        ResetSettings(dialog_);
        EXPECT_EQ(Settings.AutoStart, 0u);
        EXPECT_FALSE(std::filesystem::exists(startupFile)) << "AutoStart was " << autoStart;
    }
}

} // namespace
