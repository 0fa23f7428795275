// The program's resources as the platform loads them: missing resources,
// strings, icons and menus.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/system.h"
#include "platform/resources/resources.h"
#include "platform/windowing/dialogs.h"
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
    EXPECT_EQ(LoadMenuW(Instance(), MAKEINTRESOURCEW(103)), nullptr);
    EXPECT_EQ(LoadAcceleratorsW(Instance(), MAKEINTRESOURCEW(4)), nullptr);
    EXPECT_EQ(LoadImageW(Instance(), MAKEINTRESOURCEW(104), IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(LoadImageW(Instance(), MAKEINTRESOURCEW(102), IMAGE_BITMAP, 16, 16, 0), nullptr);
}

// What the strings say is seen where the program shows them.
TEST(ResourcesTest, StringsLoadWholeTruncatedOrEmptyWhenMissing) {
    WCHAR buffer[100];
    std::fill(std::begin(buffer), std::end(buffer), u'\xFFFF');
    EXPECT_EQ(LoadStringW(Instance(), 104, buffer, 100), 7);
    EXPECT_EQ(std::u16string(buffer), u"Options");
    WCHAR small[5];
    EXPECT_EQ(LoadStringW(Instance(), 2, small, 5), 4);
    EXPECT_EQ(std::u16string(small), u"Init");

    const WCHAR* inPlace = nullptr;
    EXPECT_EQ(LoadStringW(Instance(), 104, reinterpret_cast<LPWSTR>(&inPlace), 0), 7);
    ASSERT_NE(inPlace, nullptr);
    EXPECT_EQ(std::u16string(inPlace, 7), u"Options");
    // A missing string empties the buffer.
    for (UINT id : {0u, 4u, 103u, 105u, 5000u}) {
        WCHAR kept[8] = u"keep";
        EXPECT_EQ(LoadStringW(Instance(), id, kept, 8), 0) << id;
        EXPECT_EQ(kept[0], u'\0') << id;
    }
}

bool IsPng(const platform::IconPicture& picture) {
    return picture.pngSize > 8 && std::memcmp(picture.png, "\x89PNG\r\n\x1a\n", 8) == 0;
}

TEST(ResourcesTest, IconsKnowTheirResourceIdAndSizeAndTheTrayPicturesDiffer) {
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

    platform::IconPicture tray[2];
    for (UINT id : {102u, 103u}) {
        auto icon =
            static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
        EXPECT_EQ(platform::IconResourceId(icon), id);
        ASSERT_TRUE(platform::GetIconPicture(icon, tray[id - 102]));
        EXPECT_EQ(tray[id - 102].width, 16);
        EXPECT_EQ(tray[id - 102].height, 16);
        EXPECT_TRUE(IsPng(tray[id - 102]));
    }
    EXPECT_FALSE(tray[0].pngSize == tray[1].pngSize &&
                 std::memcmp(tray[0].png, tray[1].png, tray[0].pngSize) == 0);
    auto small =
        static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, 0));
    EXPECT_TRUE(DestroyIcon(small));
    EXPECT_EQ(platform::IconResourceId(small), 0u);
    EXPECT_FALSE(DestroyIcon(small));
    EXPECT_EQ(platform::IconResourceId(nullptr), 0u);
}

// What the menus hold is seen where they are used (the main window, the popups).
TEST(ResourcesTest, AMenuHoldsItsPopupAndGoesWithIt) {
    HMENU popup = LoadMenuW(Instance(), MAKEINTRESOURCEW(105));
    ASSERT_NE(popup, nullptr);
    HMENU submenu = GetSubMenu(popup, 0);
    ASSERT_NE(submenu, nullptr);
    EXPECT_EQ(GetSubMenu(popup, 1), nullptr);
    std::vector<platform::MenuItemView> view = platform::ViewMenu(popup);
    ASSERT_EQ(view.size(), 1u);
    EXPECT_EQ(view[0].text, u"Popup");
    EXPECT_EQ(view[0].flags & MF_POPUP, MF_POPUP);
    EXPECT_EQ(view[0].submenu.size(), 3u);
    EXPECT_TRUE(DestroyMenu(popup));
    EXPECT_FALSE(IsMenu(popup));
    EXPECT_FALSE(IsMenu(submenu)); // a submenu goes with its menu
    EXPECT_FALSE(DestroyMenu(popup));
}

} // namespace
