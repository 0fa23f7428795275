// The Settings record: the program's configuration values, module-level
// for the whole run. Each field carries the name of its registry value; what
// each one is (type, default, limits, control, meaning) is its row in the
// setting catalogue (settings/setting_catalog.h).
#pragma once

#include "platform/core/types.h"

constexpr int kSettingsTextSize = 1024; // wide characters, terminator included

struct SettingsRecord {
    DWORD Enable;
    DWORD UseMSR;
    DWORD Beep;
    WCHAR Prefix[kSettingsTextSize];
    WCHAR Suffix[kSettingsTextSize];
    DWORD SendTab;
    DWORD SendEnter;
    DWORD UseTrack1;
    DWORD UseTrack2;
    DWORD UseTrack3;
    WCHAR TrackSeparator[kSettingsTextSize];
    DWORD AutoStart;
    DWORD MSRInterval;  // milliseconds
    DWORD RFIDInterval; // milliseconds
    DWORD UseLine;
    DWORD LineBaud; // bits per second
    WCHAR LineFormat[kSettingsTextSize];
    WCHAR LineEnd[kSettingsTextSize];
};

// Holds the defaults at program start.
extern SettingsRecord Settings;

// The values every field has at program start: each row's default.
SettingsRecord DefaultSettings();
