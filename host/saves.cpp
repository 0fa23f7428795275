#include "host/saves.h"

#include <chrono>
#include <string>

#include "app/app_handles.h"
#include "app/settings_store.h"
#include "platform/core/standard_streams.h"
#include "platform/core/system.h"
#include "platform/core/user_notice.h"
#include "platform/registry/registry.h"
#include "platform/windowing/messages.h"

namespace host {
namespace {

constexpr UINT kSaveAgainPeriod = 1000;

UINT_PTR SaveAgainTimer = 0;
// The hive file and cause of the last failed change, empty after one went through.
std::string LockedHive;
std::string FailedHive;
std::string FailedProblem;

void StopSavingAgain() {
    if (SaveAgainTimer != 0) {
        KillTimer(nullptr, SaveAgainTimer);
        SaveAgainTimer = 0;
    }
}

// Once a second while a save waits for the lock: the whole save again. The
// first try that finds the lock still held tells the person.
void SaveAgain(HWND, UINT, UINT_PTR, DWORD) {
    if (OptionsDialog == nullptr || SaveSettings(OptionsDialog) != 0) {
        StopSavingAgain();
        return;
    }
    if (!LockedHive.empty()) {
        platform::ReportUserNotice("settings", "The settings could not be saved in " + LockedHive +
                                                   " yet (it is locked by another process); "
                                                   "they are saved once it is let go.");
    }
}

void OnHiveChange(const platform::HiveChange& change) {
    if (change.result == ERROR_SUCCESS) {
        LockedHive.clear();
        FailedHive.clear();
        platform::ClearUserNotice("settings");
        return;
    }
    FailedHive = change.hiveFile;
    FailedProblem = change.problem;
    if (change.result != ERROR_TIMEOUT) {
        LockedHive.clear();
        platform::ReportUserNotice("settings", "The settings could not be saved in " +
                                                   change.hiveFile + " (" + change.problem + ").");
        return;
    }
    LockedHive = change.hiveFile;
    if (SaveAgainTimer == 0) {
        SaveAgainTimer = SetTimer(nullptr, 0, kSaveAgainPeriod, SaveAgain);
    }
}

} // namespace

void WatchSaves() {
    platform::SetHiveLockPatience(std::chrono::milliseconds(0));
    platform::SetHiveChangeObserver(OnHiveChange);
}

bool SaveWaitsForLock() {
    return !LockedHive.empty();
}

void SayUnsavedSettings() {
    StopSavingAgain();
    if (FailedHive.empty()) {
        return;
    }
    platform::WriteErrorLine("swipetype: the settings could not be saved in " + FailedHive + " (" +
                             FailedProblem + "); the changes since the last save are lost");
}

} // namespace host
