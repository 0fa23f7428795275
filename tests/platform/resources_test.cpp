// The program's resources as the platform loads them: dialog templates decoded
// field by field against the tables they were written from, strings, icons,
// menus, the menu bar and the accelerator table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/byte_reader.h"
#include "platform/core/system.h"
#include "platform/resources/menu_bar_resource.h"
#include "platform/resources/resources.h"
#include "platform/windowing/dialogs.h"
#include "platform/windowing/key_state.h"
#include "platform/windowing/menus/accelerators.h"
#include "platform/windowing/menus/menus.h"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kLabel = kChild | SS_LEFT | WS_GROUP;
constexpr DWORD kRadioFirst = kChild | BS_AUTORADIOBUTTON | WS_GROUP;
constexpr DWORD kRadioSecond = kChild | BS_AUTORADIOBUTTON;
constexpr DWORD kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;

struct ControlRow {
    int id;
    WORD classAtom;
    std::u16string text; // empty with an ordinal
    WORD iconOrdinal;
    DWORD style;
    short x, y, cx, cy;
};

struct DecodedDialog {
    DLGTEMPLATE header{};
    std::u16string caption;
    WORD fontPoints = 0;
    std::u16string fontName;
    std::vector<ControlRow> controls;
};

HINSTANCE Instance() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

// Decodes a template independently of the dialog manager, so that a fault in
// the compiler and the same fault in the reader cannot cancel out.
DecodedDialog Decode(std::span<const BYTE> bytes) {
    DecodedDialog dialog;
    std::memcpy(&dialog.header, bytes.data(), sizeof(DLGTEMPLATE));
    platform::ByteReader reader(bytes);
    reader.Skip(sizeof(DLGTEMPLATE));
    EXPECT_EQ(reader.Word(), 0); // menu
    EXPECT_EQ(reader.Word(), 0); // class
    dialog.caption = reader.Text();
    if ((dialog.header.style & DS_SETFONT) != 0) {
        dialog.fontPoints = reader.Word();
        dialog.fontName = reader.Text();
    }
    for (int i = 0; i < dialog.header.cdit; ++i) {
        reader.AlignTo(4);
        ControlRow row{};
        row.style = reader.Dword();
        EXPECT_EQ(reader.Dword(), 0u); // extended style
        row.x = static_cast<short>(reader.Word());
        row.y = static_cast<short>(reader.Word());
        row.cx = static_cast<short>(reader.Word());
        row.cy = static_cast<short>(reader.Word());
        row.id = static_cast<short>(reader.Word());
        EXPECT_EQ(reader.Word(), 0xFFFF);
        row.classAtom = reader.Word();
        WORD first = reader.Word();
        if (first == 0xFFFF) {
            row.iconOrdinal = reader.Word();
        } else if (first != 0) {
            row.text = std::u16string(1, static_cast<char16_t>(first)) + reader.Text();
        }
        EXPECT_EQ(reader.Word(), 0); // creation data
        dialog.controls.push_back(row);
    }
    EXPECT_FALSE(reader.Failed());
    EXPECT_TRUE(reader.AtEnd());
    return dialog;
}

std::span<const BYTE> Resource(LPCWSTR type, UINT id) {
    HRSRC found = FindResourceW(Instance(), MAKEINTRESOURCEW(id), type);
    if (found == nullptr) {
        return {};
    }
    auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Instance(), found)));
    return {data, SizeofResource(Instance(), found)};
}

void ExpectControls(const DecodedDialog& dialog, const std::vector<ControlRow>& expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const ControlRow& got = dialog.controls[i];
        const ControlRow& want = expected[i];
        SCOPED_TRACE("control #" + std::to_string(i) + " id " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.classAtom, want.classAtom);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.iconOrdinal, want.iconOrdinal);
        EXPECT_EQ(got.style, want.style);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
    }
}

constexpr WORD B = kDialogButtonAtom;
constexpr WORD E = kDialogEditAtom;
constexpr WORD S = kDialogStaticAtom;

TEST(ResourcesTest, OptionsTemplateHoldsEveryControlInOrder) {
    std::span<const BYTE> bytes = Resource(RT_DIALOG, 102);
    ASSERT_FALSE(bytes.empty());
    DecodedDialog dialog = Decode(bytes);
    EXPECT_EQ(dialog.header.style, 0x40000040u);
    EXPECT_EQ(dialog.header.dwExtendedStyle, 0u);
    EXPECT_EQ(dialog.header.x, 0);
    EXPECT_EQ(dialog.header.y, 0);
    EXPECT_EQ(dialog.header.cx, 141);
    EXPECT_EQ(dialog.header.cy, 160);
    EXPECT_EQ(dialog.caption, u"");
    EXPECT_EQ(dialog.fontPoints, 12);
    EXPECT_EQ(dialog.fontName, u"System");
    ExpectControls(dialog, {
                               {1002, S, u"Swipetype", 0, kLabel, 2, 4, 38, 10},
                               {1003, B, u"Enable", 0, kRadioFirst, 65, 3, 35, 11},
                               {1004, B, u"Disable", 0, kRadioSecond, 101, 3, 37, 11},
                               {1005, S, u"Beep Sound", 0, kLabel, 2, 32, 40, 10},
                               {1006, B, u"Enable", 0, kRadioFirst, 65, 31, 35, 11},
                               {1007, B, u"Disable", 0, kRadioSecond, 101, 31, 37, 11},
                               {1008, S, u"Input Type", 0, kLabel, 2, 18, 40, 10},
                               {1009, B, u"MSR", 0, kRadioFirst, 65, 17, 35, 11},
                               {1010, B, u"RFID", 0, kRadioSecond, 101, 17, 37, 11},
                               {1013, S, u"Prefix before data:", 0, kLabel, 2, 46, 61, 10},
                               {1014, E, u"", 0, kEdit, 64, 44, 68, 12},
                               {1015, S, u"Suffix after data:", 0, kLabel, 2, 60, 54, 10},
                               {1016, E, u"", 0, kEdit, 64, 58, 68, 12},
                               {1017, B, u"ENTER", 0, kCheck, 96, 74, 38, 10},
                               {1018, B, u"TAB", 0, kCheck, 64, 74, 25, 10},
                               {1019, S, u"Include MSR Tracks:", 0, kLabel, 2, 88, 69, 9},
                               {1023, S, u"MSR Track Separator:", 0, kLabel, 2, 102, 71, 8},
                               {1024, E, u"", 0, kEdit, 75, 101, 26, 12},
                               {1025, B, u"1", 0, kCheck, 75, 88, 17, 10},
                               {1026, B, u"2", 0, kCheck, 96, 88, 17, 10},
                               {1027, B, u"3", 0, kCheck, 117, 88, 17, 10},
                               {1028, S, u"Send after suffix:", 0, kLabel, 2, 74, 55, 8},
                               {1030, S, u"AutoStart on boot", 0, kLabel, 2, 116, 60, 10},
                               {1011, B, u"Enable", 0, kRadioFirst, 65, 115, 35, 11},
                               {1012, B, u"Disable", 0, kRadioSecond, 101, 115, 37, 11},
                               {1031, B, u"OK", 0, kPush, 2, 131, 64, 14},
                               {1032, B, u"QUIT", 0, kPush, 68, 131, 64, 14},
                           });
}

TEST(ResourcesTest, AboutTemplateHasCaptionButtonIconAndTexts) {
    std::span<const BYTE> bytes = Resource(RT_DIALOG, 103);
    ASSERT_FALSE(bytes.empty());
    DecodedDialog dialog = Decode(bytes);
    EXPECT_EQ(dialog.header.style, 0x80c00040u);
    EXPECT_EQ(dialog.header.dwExtendedStyle, 0x80000000u);
    EXPECT_EQ(dialog.header.cx, 139);
    EXPECT_EQ(dialog.header.cy, 160);
    EXPECT_EQ(dialog.caption, u"About Swipetype");
    EXPECT_EQ(dialog.fontPoints, 10);
    EXPECT_EQ(dialog.fontName, u"System");
    ASSERT_EQ(dialog.controls.size(), 5u);
    ExpectControls(dialog,
                   {
                       {-1, S, u"", 101, kChild | SS_ICON, 11, 17, 20, 20},
                       {-1, S, u"Swipetype Version 1.1", 0, kLabel | SS_NOPREFIX, 40, 10, 79, 8},
                       {-1, S, dialog.controls[2].text, 0, kLabel, 40, 25, 70, 8},
                       {1009, S, dialog.controls[3].text, 0, kLabel, 40, 40, 87, 8},
                       {1032, B, u"OK", 0, kPush, 24, 63, 86, 17},
                   });
    EXPECT_FALSE(dialog.controls[2].text.empty());
    EXPECT_FALSE(dialog.controls[3].text.empty());
}

TEST(ResourcesTest, MissingResourcesAreReportedAsSuch) {
    SetLastError(0);
    EXPECT_EQ(FindResourceW(Instance(), MAKEINTRESOURCEW(104), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceW(Instance(), u"OPTIONS", RT_DIALOG), nullptr);
    EXPECT_EQ(LoadResource(Instance(), nullptr), nullptr);
    EXPECT_EQ(SizeofResource(Instance(), nullptr), 0u);
}

TEST(ResourcesTest, StringsLoadWholeAndTruncated) {
    struct Case {
        UINT id;
        std::u16string text;
    };
    for (const Case& c : std::vector<Case>{{1, u"Swipetype"},
                                           {2, u"Initializing Swipetype..."},
                                           {3, u"SWIPETYPE"},
                                           {104, u"Options"}}) {
        WCHAR buffer[100];
        std::fill(std::begin(buffer), std::end(buffer), u'\xFFFF');
        EXPECT_EQ(LoadStringW(Instance(), c.id, buffer, 100), static_cast<int>(c.text.size()));
        EXPECT_EQ(std::u16string(buffer), c.text);
    }
    WCHAR small[5];
    EXPECT_EQ(LoadStringW(Instance(), 2, small, 5), 4);
    EXPECT_EQ(std::u16string(small), u"Init");

    const WCHAR* inPlace = nullptr;
    EXPECT_EQ(LoadStringW(Instance(), 104, reinterpret_cast<LPWSTR>(&inPlace), 0), 7);
    ASSERT_NE(inPlace, nullptr);
    EXPECT_EQ(std::u16string(inPlace, 7), u"Options");
}

TEST(ResourcesTest, MissingStringGivesEmptyBuffer) {
    for (UINT id : {0u, 4u, 103u, 105u, 5000u}) {
        WCHAR buffer[8] = u"keep";
        EXPECT_EQ(LoadStringW(Instance(), id, buffer, 8), 0) << id;
        EXPECT_EQ(buffer[0], u'\0') << id;
    }
}

bool IsPng(const platform::IconPicture& picture) {
    return picture.pngSize > 8 && std::memcmp(picture.png, "\x89PNG\r\n\x1a\n", 8) == 0;
}

TEST(ResourcesTest, IconsKnowTheirResourceIdAndSize) {
    HICON program = LoadIconW(Instance(), MAKEINTRESOURCEW(101));
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(LoadIconW(Instance(), MAKEINTRESOURCEW(101)), program);
    platform::IconPicture picture;
    ASSERT_TRUE(platform::GetIconPicture(program, picture));
    EXPECT_EQ(picture.resourceId, 101u);
    EXPECT_EQ(picture.width, 32);
    EXPECT_TRUE(IsPng(picture));
    // The program icon's pictures are 8 bits per pixel (palette).
    EXPECT_EQ(picture.png[24], 8);
    EXPECT_EQ(picture.png[25], 3);

    auto small =
        static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, 0));
    ASSERT_TRUE(platform::GetIconPicture(small, picture));
    EXPECT_EQ(picture.width, 16);
    EXPECT_EQ(picture.height, 16);
    EXPECT_TRUE(DestroyIcon(small));
    EXPECT_EQ(platform::IconResourceId(small), 0u);
    EXPECT_FALSE(DestroyIcon(small));
}

TEST(ResourcesTest, TrayPicturesDifferAndAreSixteenPixels) {
    auto enabled =
        static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(102), IMAGE_ICON, 16, 16, 0));
    auto disabled =
        static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(103), IMAGE_ICON, 16, 16, 0));
    EXPECT_EQ(platform::IconResourceId(enabled), 102u);
    EXPECT_EQ(platform::IconResourceId(disabled), 103u);
    platform::IconPicture on;
    platform::IconPicture off;
    ASSERT_TRUE(platform::GetIconPicture(enabled, on));
    ASSERT_TRUE(platform::GetIconPicture(disabled, off));
    EXPECT_EQ(on.width, 16);
    EXPECT_EQ(off.width, 16);
    EXPECT_TRUE(IsPng(on));
    EXPECT_TRUE(IsPng(off));
    EXPECT_FALSE(on.pngSize == off.pngSize && std::memcmp(on.png, off.png, on.pngSize) == 0);
    EXPECT_EQ(platform::IconResourceId(nullptr), 0u);
    EXPECT_EQ(LoadImageW(Instance(), MAKEINTRESOURCEW(104), IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(LoadImageW(Instance(), MAKEINTRESOURCEW(102), IMAGE_BITMAP, 16, 16, 0), nullptr);
}

std::vector<std::pair<UINT, std::u16string>> Commands(const platform::MenuItemView& popup) {
    std::vector<std::pair<UINT, std::u16string>> commands;
    for (const platform::MenuItemView& item : popup.submenu) {
        commands.emplace_back(item.command, item.text);
    }
    return commands;
}

TEST(ResourcesTest, MenusHoldTheirPopupAndCommands) {
    HMENU options = LoadMenuW(Instance(), MAKEINTRESOURCEW(102));
    ASSERT_NE(options, nullptr);
    std::vector<platform::MenuItemView> view = platform::ViewMenu(options);
    ASSERT_EQ(view.size(), 1u);
    EXPECT_EQ(view[0].text, u"Options");
    EXPECT_EQ(view[0].flags & MF_POPUP, MF_POPUP);
    using Items = std::vector<std::pair<UINT, std::u16string>>;
    EXPECT_EQ(Commands(view[0]),
              (Items{{40003, u"About"}, {40013, u"Reset Defaults"}, {40004, u"Exit"}}));

    HMENU popup = LoadMenuW(Instance(), MAKEINTRESOURCEW(105));
    ASSERT_NE(popup, nullptr);
    HMENU submenu = GetSubMenu(popup, 0);
    ASSERT_NE(submenu, nullptr);
    EXPECT_EQ(GetSubMenu(popup, 1), nullptr);
    EXPECT_EQ(GetMenuItemCount(submenu), 3);
    EXPECT_EQ(GetMenuItemID(submenu, 0), 40019u);
    EXPECT_EQ(GetMenuItemID(submenu, 1), 40020u);
    EXPECT_EQ(GetMenuItemID(submenu, 2), 40021u);
    EXPECT_EQ(platform::ViewMenu(popup)[0].text, u"Popup");

    EXPECT_TRUE(DestroyMenu(popup));
    EXPECT_FALSE(IsMenu(popup));
    EXPECT_FALSE(IsMenu(submenu)); // a submenu goes with its menu
    EXPECT_FALSE(DestroyMenu(popup));
    EXPECT_TRUE(DestroyMenu(options));
    EXPECT_EQ(LoadMenuW(Instance(), MAKEINTRESOURCEW(103)), nullptr);
}

TEST(ResourcesTest, MenuBarDropsDownTheOptionsMenu) {
    platform::MenuBarResource bar;
    ASSERT_TRUE(platform::ReadMenuBarResource(Instance(), 102, bar));
    EXPECT_EQ(bar.menuId, 102);
    ASSERT_EQ(bar.buttons.size(), 1u);
    EXPECT_EQ(bar.buttons[0].image, I_IMAGENONE);
    EXPECT_EQ(bar.buttons[0].command, 40001);
    EXPECT_EQ(bar.buttons[0].state, TBSTATE_ENABLED);
    EXPECT_EQ(bar.buttons[0].style, TBSTYLE_DROPDOWN | TBSTYLE_AUTOSIZE);
    EXPECT_EQ(bar.buttons[0].stringId, 104);
    EXPECT_EQ(bar.buttons[0].submenu, 0);
    EXPECT_FALSE(platform::ReadMenuBarResource(Instance(), 105, bar));
}

TEST(ResourcesTest, AcceleratorTableHasCtrlAAndCtrlQ) {
    HACCEL table = LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(3));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(3)), table);
    ACCEL entries[4]{};
    ASSERT_EQ(CopyAcceleratorTableW(table, nullptr, 0), 2);
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
    constexpr BYTE kFlags = FVIRTKEY | FCONTROL | FNOINVERT;
    EXPECT_EQ(entries[0].fVirt, kFlags);
    EXPECT_EQ(entries[0].key, 'A');
    EXPECT_EQ(entries[0].cmd, 40003);
    EXPECT_EQ(entries[1].fVirt, kFlags);
    EXPECT_EQ(entries[1].key, 'Q');
    EXPECT_EQ(entries[1].cmd, 1);
    EXPECT_EQ(LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(4)), nullptr);
}

} // namespace
