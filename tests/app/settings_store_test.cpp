#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "options_dialog_fixture.h"

namespace {

using namespace app_test;

// The store on the real options dialog, created over an empty registry.
class SettingsStore : public OptionsDialogTest {
  protected:
    void SetUp() override {
        OptionsDialogTest::SetUp();
        CreateDialog();
    }

    // Every control shows the opposite of the defaults, and every field holds
    // something else than its default, so a field or control the load forgets
    // is seen.
    void ScrambleDialogAndFields() {
        for (int id : {IDC_READING_ENABLE, IDC_BEEP_ENABLE, IDC_INPUT_RFID, IDC_AUTOSTART_ENABLE,
                       IDC_SEND_ENTER, IDC_SEND_TAB, IDC_INPUT_LINE}) {
            SendMessageW(GetDlgItem(options_, id), BM_SETCHECK, BST_CHECKED, 0);
        }
        for (int id : {IDC_READING_DISABLE, IDC_BEEP_DISABLE, IDC_INPUT_MSR, IDC_AUTOSTART_DISABLE,
                       IDC_TRACK1, IDC_TRACK2, IDC_TRACK3}) {
            SendMessageW(GetDlgItem(options_, id), BM_SETCHECK, BST_UNCHECKED, 0);
        }
        for (int id : {IDC_PREFIX, IDC_SUFFIX, IDC_TRACK_SEPARATOR}) {
            SetWindowTextW(GetDlgItem(options_, id), u"stale");
        }
        Settings.Beep = 7;
        Settings.UseMSR = 0;
        Settings.UseTrack1 = Settings.UseTrack2 = Settings.UseTrack3 = 0;
        Settings.SendTab = Settings.SendEnter = Settings.AutoStart = 1;
        Settings.MSRInterval = Settings.RFIDInterval = 1;
        Settings.UseLine = 7;
        Settings.LineBaud = 1;
        for (WCHAR* text : {Settings.Prefix, Settings.Suffix, Settings.TrackSeparator,
                            Settings.LineFormat, Settings.LineEnd}) {
            std::fill(text, text + kSettingsTextSize, u'x');
        }
    }

    // Each setting stored with another value than its default.
    static void StoreAll() {
        const std::pair<LPCWSTR, DWORD> numbers[] = {
            {u"Enable", 0},      {u"UseMSR", 0},        {u"Beep", 1},           {u"SendTab", 1},
            {u"SendEnter", 1},   {u"UseTrack1", 0},     {u"UseTrack2", 1},      {u"UseTrack3", 0},
            {u"AutoStart", 1},   {u"MSRInterval", 500}, {u"RFIDInterval", 600}, {u"UseLine", 1},
            {u"LineBaud", 19200}};
        for (const auto& [name, value] : numbers) {
            StoreSetting(name, value);
        }
        StoreSetting(u"Prefix", u"P:");
        StoreSetting(u"Suffix", u":S");
        StoreSetting(u"TrackSeparator", u"|");
        StoreSetting(u"LineFormat", u"7E1");
        StoreSetting(u"LineEnd", u"ETX");
    }

    // The number fields in record order: Enable, UseMSR, Beep, SendTab, SendEnter,
    // UseTrack1 to 3, AutoStart, MSRInterval, RFIDInterval.
    static std::vector<DWORD> Numbers() {
        return {Settings.Enable,    Settings.UseMSR,      Settings.Beep,         Settings.SendTab,
                Settings.SendEnter, Settings.UseTrack1,   Settings.UseTrack2,    Settings.UseTrack3,
                Settings.AutoStart, Settings.MSRInterval, Settings.RFIDInterval, Settings.UseLine,
                Settings.LineBaud};
    }
    // Prefix, Suffix, TrackSeparator.
    static std::vector<std::u16string> Texts() {
        return {Settings.Prefix, Settings.Suffix, Settings.TrackSeparator, Settings.LineFormat,
                Settings.LineEnd};
    }

    // The checks of reading on/off, MSR/RFID, beep on/off, Tab, Enter, the three
    // tracks and autostart on/off.
    std::vector<WPARAM> Checks() const {
        std::vector<WPARAM> checks;
        for (int id : {IDC_READING_ENABLE, IDC_READING_DISABLE, IDC_INPUT_MSR, IDC_INPUT_RFID,
                       IDC_BEEP_ENABLE, IDC_BEEP_DISABLE, IDC_SEND_TAB, IDC_SEND_ENTER, IDC_TRACK1,
                       IDC_TRACK2, IDC_TRACK3, IDC_AUTOSTART_ENABLE, IDC_AUTOSTART_DISABLE,
                       IDC_INPUT_LINE}) {
            checks.push_back(Check(options_, id));
        }
        return checks;
    }
    // The prefix, suffix and separator boxes.
    std::vector<std::u16string> EditTexts() const {
        return {Text(options_, IDC_PREFIX), Text(options_, IDC_SUFFIX),
                Text(options_, IDC_TRACK_SEPARATOR)};
    }

    void ExpectDefaults() {
        EXPECT_EQ(Numbers(), (std::vector<DWORD>{0, 1, 0, 0, 0, 1, 1, 1, 0, 325, 350, 0, 9600}));
        EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"", u"", u"", u"8N1", u"CR"}));
        EXPECT_EQ(Checks(), (std::vector<WPARAM>{0, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1, 0}));
        EXPECT_EQ(EditTexts(), (std::vector<std::u16string>{u"", u"", u""}));
    }
};

TEST_F(SettingsStore, FirstRunWithoutTheKeyGivesDefaults) {
    ScrambleDialogAndFields();
    EXPECT_EQ(LoadSettings(options_), 0);
    ExpectDefaults();
    EXPECT_TRUE(device_->Calls().empty()) << "no reader touched the port";
}

TEST_F(SettingsStore, EveryStoredValueIsLoadedAndShown) {
    StoreAll();
    ScrambleDialogAndFields();
    EXPECT_EQ(LoadSettings(options_), 1);
    EXPECT_EQ(Numbers(), (std::vector<DWORD>{0, 0, 1, 1, 1, 0, 1, 0, 1, 500, 600, 1, 19200}));
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"P:", u":S", u"|", u"7E1", u"ETX"}));
    // The input type shows Line, whatever UseMSR holds.
    EXPECT_EQ(Checks(), (std::vector<WPARAM>{0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1}));
    EXPECT_EQ(EditTexts(), (std::vector<std::u16string>{u"P:", u":S", u"|"}));
    EXPECT_EQ(MSRActive + RFIDActive, 0) << "reading is off";
    EXPECT_FALSE(std::filesystem::exists(root_.Fs("Application/Startup/Swipetype.RUN")))
        << "loading AutoStart does not touch the startup file";
}

TEST_F(SettingsStore, AMissingValueTakesItsDefaultAndTheOthersLoadAndSurviveASave) {
    StoreAll();
    // Rewrite the key without "Beep", in the middle of the table.
    std::string hive = HiveText(root_);
    std::size_t beep = hive.find("\"Beep\"=dword:00000001\n");
    ASSERT_NE(beep, std::string::npos);
    hive.erase(beep, std::strlen("\"Beep\"=dword:00000001\n"));
    test_support::WriteFile(root_.Hive("HKEY_LOCAL_MACHINE"), hive);

    ScrambleDialogAndFields();
    EXPECT_EQ(LoadSettings(options_), 0);
    EXPECT_EQ(Settings.Beep, 0u) << "its own default";
    EXPECT_EQ(Check(options_, IDC_BEEP_DISABLE), 1u);
    EXPECT_EQ(Texts()[0], u"P:");
    EXPECT_EQ(Settings.RFIDInterval, 600u);
    ASSERT_EQ(SaveSettings(options_), 1);
    std::string saved = HiveText(root_);
    EXPECT_EQ(saved.substr(0, beep), hive.substr(0, beep)) << saved;
    EXPECT_EQ(saved.substr(beep), hive.substr(beep) + "\"Beep\"=dword:00000000\n") << saved;
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
        EXPECT_EQ(LoadSettings(options_), 0);
        EXPECT_EQ(Texts(), (std::vector<std::u16string>{std::u16string(1023, u'z'), u":S", u"|",
                                                        u"7E1", u"ETX"}));
        EXPECT_EQ(Settings.MSRInterval, 500u) << "the later fields load";
    }
}

// Texts are taken from their edit boxes, cut to their fields, and stored with
// their terminators; loading gives back every field.
TEST_F(SettingsStore, SaveCreatesTheKeyAndRoundTripsEveryField) {
    Settings.Enable = 0;
    Settings.UseMSR = 0;
    Settings.Beep = 1;
    Settings.SendTab = 1;
    Settings.UseTrack2 = 0;
    Settings.AutoStart = 1;
    Settings.MSRInterval = 111;
    Settings.RFIDInterval = 222;
    SetWindowTextW(GetDlgItem(options_, IDC_PREFIX), u"<\"pre\\fix\">");
    SetWindowTextW(GetDlgItem(options_, IDC_SUFFIX), std::u16string(1500, u'a').c_str());
    EXPECT_EQ(SaveSettings(options_), 1);
    SettingsRecord saved = Settings;
    ExpectStored(root_, {"\"Prefix\"=\"<\\\"pre\\\\fix\\\">\"",
                         "\"Suffix\"=\"" + std::string(1023, 'a') + "\"", "\"TrackSeparator\"=\"\"",
                         "\"RFIDInterval\"=dword:000000de"});
    Settings = DefaultSettings();
    EXPECT_EQ(LoadSettings(options_), 1);
    EXPECT_EQ(std::memcmp(&saved, &Settings, sizeof saved), 0);
}

// In table order: the values before the failing one are stored, the failing one
// and those after it are not.
TEST_F(SettingsStore, FailedWriteOfSuffixStopsTheSave) {
    StoreAll();
    Settings = DefaultSettings();
    SetWindowTextW(GetDlgItem(options_, IDC_PREFIX), u"new prefix");
    SetWindowTextW(GetDlgItem(options_, IDC_SUFFIX), u"new suffix");
    SetWindowTextW(GetDlgItem(options_, IDC_TRACK_SEPARATOR), u"new separator");
    std::copy_n(u"previous", 9, Settings.TrackSeparator);

    platform::FailNextRegistryWrite(u"Suffix");
    EXPECT_EQ(SaveSettings(options_), 0);
    ExpectStored(root_, {"\"Beep\"=dword:00000000", "\"Prefix\"=\"new prefix\"",
                         "\"Suffix\"=\":S\"", "\"SendTab\"=dword:00000001",
                         "\"TrackSeparator\"=\"|\"", "\"MSRInterval\"=dword:000001f4"});
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"new prefix", u"new suffix", u"previous",
                                                    u"8N1", u"CR"}))
        << "the failing text was copied from its edit box, the later one not";
}

// A settings key that cannot even be made (its hive cannot be read) is a failed
// save, so that the failure is said.
TEST_F(SettingsStore, SaveFailsWhenTheKeyCannotBeMade) {
    std::filesystem::remove(root_.Hive("HKEY_LOCAL_MACHINE"));
    std::filesystem::create_directories(root_.Hive("HKEY_LOCAL_MACHINE"));
    EXPECT_EQ(SaveSettings(options_), 0);
}

// The registry is left as it is until the next save; the startup file goes
// whatever AutoStart said (a click on Enable that was never saved).
TEST_F(SettingsStore, ResetShowsEveryDefaultAndRemovesTheStartupFile) {
    StoreAll();
    ASSERT_EQ(SetAutoStart(options_, TRUE), 1);
    std::string hiveBefore = HiveText(root_);
    ScrambleDialogAndFields();
    Settings.AutoStart = 0;

    EXPECT_EQ(ResetSettings(options_), 1);
    ExpectDefaults();
    EXPECT_FALSE(std::filesystem::exists(root_.Fs("Application/Startup/Swipetype.RUN")));
    EXPECT_EQ(HiveText(root_), hiveBefore);
}

} // namespace
