// The program's resources as the platform loads them: missing resources,
// strings, icons, menus, the menu bar and the accelerator table.
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

HINSTANCE Instance() {
    return reinterpret_cast<HINSTANCE>(0x400000);
}

TEST(ResourcesTest, MissingResourcesAreReportedAsSuch) {
    SetLastError(0);
    EXPECT_EQ(FindResourceW(Instance(), MAKEINTRESOURCEW(104), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceW(Instance(), u"OPTIONS", RT_DIALOG), nullptr);
    EXPECT_EQ(LoadResource(Instance(), nullptr), nullptr);
    EXPECT_EQ(SizeofResource(Instance(), nullptr), 0u);
}

TEST(ResourcesTest, StringsLoadWholeTruncatedOrEmptyWhenMissing) {
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
    // A missing string empties the buffer.
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

// What each entry does is shown by translating keys through the table.
TEST(ResourcesTest, AcceleratorTableLoadsOnceAndCopiesOut) {
    HACCEL table = LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(3));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(3)), table);
    ACCEL entries[4]{};
    ASSERT_EQ(CopyAcceleratorTableW(table, nullptr, 0), 2);
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 2);
    EXPECT_EQ(entries[1].key, 'Q');
    EXPECT_EQ(LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(4)), nullptr);
}

} // namespace
