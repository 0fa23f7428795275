#include "keys/scan_output.h"

#include <cstdlib>

#include "keys/keystrokes.h"
#include "keys/scan_data.h"
#include "keys/text_conversion.h"
#include "platform/core/system.h"
#include "platform/keyboard/keyboard.h"
#include "platform/windowing/window.h"
#include "res/resource_ids.h"
#include "settings/settings.h"

namespace {

constexpr UINT kGoodReadSound = MB_ICONASTERISK; // 0x40
constexpr WCHAR kTab = 9;
constexpr WCHAR kCarriageReturn = 13;

// A read is first gone through without typing, to check that the key sink can
// type every character of it; only then is it typed.
bool Checking = false;
bool AllTypable = true;

void Type(const WCHAR* text) {
    if (Checking) {
        AllTypable = AllTypable && CanTypeText(text) != FALSE;
        return;
    }
    TypeText(text, FALSE, FALSE, FALSE, 0);
}

void TypeKey(WCHAR character) {
    if (Checking) {
        const WCHAR text[] = {character, 0};
        Type(text);
        return;
    }
    TypeChar(character, FALSE, FALSE);
}

// Types a narrow text through a fresh wide copy; a failed conversion skips it.
void TypeNarrow(const char* text) {
    WCHAR* wide = NarrowToWide(text);
    Type(wide);
    std::free(wide);
}

void TypeTrack(int track) {
    if (TrackBuffers[track][0] != '\0') {
        TypeNarrow(TrackBuffers[track]);
    }
}

void TypeSeparator() {
    if (Settings.TrackSeparator[0] != u'\0') {
        Type(Settings.TrackSeparator);
    }
}

// The separators are placed by the track flags alone, not by which tracks hold text.
void TypeTracks() {
    bool track1 = Settings.UseTrack1 != 0;
    bool track2 = Settings.UseTrack2 != 0;
    bool track3 = Settings.UseTrack3 != 0;
    if (track1) {
        TypeTrack(0);
    }
    if (track1 && track2) {
        TypeSeparator();
    }
    if (track2) {
        TypeTrack(1);
    }
    if (track3 && (track1 || track2)) {
        TypeSeparator();
    }
    if (track3) {
        TypeTrack(2);
    }
}

// Prefix, the read itself and suffix, in that order; then TAB and ENTER when
// asked for (ENTER is a carriage return, not a line feed).
void TypeRead(int msr) {
    if (Settings.Prefix[0] != u'\0') {
        Type(Settings.Prefix);
    }
    if (msr == kLineOutput) {
        Type(LineText);
    } else if (msr != 0) {
        TypeTracks();
    } else {
        TypeNarrow(TagText);
    }
    if (Settings.Suffix[0] != u'\0') {
        Type(Settings.Suffix);
    }
    if (Settings.SendTab != 0) {
        TypeKey(kTab);
    }
    if (Settings.SendEnter != 0) {
        TypeKey(kCarriageReturn);
    }
}

} // namespace

int SendScanOutput(HWND dialog, int msr) {
    // What the user has typed into the dialog counts from this read on.
    GetWindowTextW(GetDlgItem(dialog, IDC_PREFIX), Settings.Prefix, kSettingsTextSize);
    GetWindowTextW(GetDlgItem(dialog, IDC_SUFFIX), Settings.Suffix, kSettingsTextSize);
    GetWindowTextW(GetDlgItem(dialog, IDC_TRACK_SEPARATOR), Settings.TrackSeparator,
                   kSettingsTextSize);
    // The good-read beep comes before any typing.
    if (Settings.Beep != 0) {
        MessageBeep(kGoodReadSound);
    }
    // A read holding a character the key sink cannot type is dropped whole.
    Checking = true;
    AllTypable = true;
    TypeRead(msr);
    Checking = false;
    if (!AllTypable) {
        CountDroppedRead();
        return 0;
    }
    TypeRead(msr);
    return 0;
}
