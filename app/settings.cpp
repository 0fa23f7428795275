#include "app/settings.h"

SettingsRecord DefaultSettings() {
    SettingsRecord defaults{};
    defaults.Enable = 0;
    defaults.UseMSR = 1;
    defaults.Beep = 0;
    defaults.SendTab = 0;
    defaults.SendEnter = 0;
    defaults.UseTrack1 = 1;
    defaults.UseTrack2 = 1;
    defaults.UseTrack3 = 1;
    defaults.AutoStart = 0;
    defaults.MSRInterval = kDefaultMSRInterval;
    defaults.RFIDInterval = kDefaultRFIDInterval;
    return defaults;
}

SettingsRecord Settings = DefaultSettings();
