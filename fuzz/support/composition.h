// The output composition rules, as the reference the reader targets compare the
// typed text with: the prefix, the selected tracks with the separator placed by
// the track flags alone (or the tag text), the suffix, then TAB and ENTER.
#pragma once

#include <cstdint>
#include <string>

#include "platform/core/system.h"
#include "settings/settings.h"

namespace fuzz {

// What one settings byte of a fuzz input chooses:
//   bits 0-2  UseTrack1, UseTrack2, UseTrack3     bit 5  SendEnter
//   bit 3     Beep                                 bit 6  the separator "|"
//   bit 4     SendTab                              bit 7  the prefix "<" and suffix ">"
struct OutputChoice {
    bool track[3] = {};
    bool beep = false;
    bool tab = false;
    bool enter = false;
    std::u16string separator;
    std::u16string prefix;
    std::u16string suffix;
};

inline void CopyText(WCHAR (&field)[kSettingsTextSize], const std::u16string& text) {
    text.copy(field, kSettingsTextSize - 1);
    field[text.size()] = u'\0';
}

// Puts the choice into the Settings record and returns it.
inline OutputChoice ApplyOutputChoice(std::uint8_t bits) {
    OutputChoice choice;
    for (int t = 0; t < 3; ++t) {
        choice.track[t] = (bits >> t & 1) != 0;
    }
    choice.beep = (bits & 0x08) != 0;
    choice.tab = (bits & 0x10) != 0;
    choice.enter = (bits & 0x20) != 0;
    choice.separator = (bits & 0x40) != 0 ? u"|" : u"";
    choice.prefix = (bits & 0x80) != 0 ? u"<" : u"";
    choice.suffix = (bits & 0x80) != 0 ? u">" : u"";
    Settings = DefaultSettings();
    Settings.UseTrack1 = choice.track[0];
    Settings.UseTrack2 = choice.track[1];
    Settings.UseTrack3 = choice.track[2];
    Settings.Beep = choice.beep;
    Settings.SendTab = choice.tab;
    Settings.SendEnter = choice.enter;
    CopyText(Settings.TrackSeparator, choice.separator);
    CopyText(Settings.Prefix, choice.prefix);
    CopyText(Settings.Suffix, choice.suffix);
    return choice;
}

// Narrow text in the ANSI code page as wide text.
inline std::u16string Widen(const std::string& narrow) {
    if (narrow.empty()) {
        return {};
    }
    std::u16string wide(narrow.size(), u'\0');
    int length =
        MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, narrow.data(), static_cast<int>(narrow.size()),
                            wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return wide;
}

inline std::u16string WithFrame(const OutputChoice& choice, const std::u16string& data) {
    std::u16string typed = choice.prefix + data + choice.suffix;
    typed += choice.tab ? u"\t" : u"";
    typed += choice.enter ? u"\r" : u"";
    return typed;
}

// What a good magnetic stripe read types.
inline std::u16string ExpectedCardOutput(const OutputChoice& choice, const std::string tracks[3]) {
    std::u16string data;
    const bool* use = choice.track;
    data += use[0] ? Widen(tracks[0]) : u"";
    data += use[0] && use[1] ? choice.separator : u"";
    data += use[1] ? Widen(tracks[1]) : u"";
    data += use[2] && (use[0] || use[1]) ? choice.separator : u"";
    data += use[2] ? Widen(tracks[2]) : u"";
    return WithFrame(choice, data);
}

// What a read tag types.
inline std::u16string ExpectedTagOutput(const OutputChoice& choice, const std::string& tagText) {
    return WithFrame(choice, Widen(tagText));
}

} // namespace fuzz
