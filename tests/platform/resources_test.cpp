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

// What the strings say is seen where the program shows them.
TEST(ResourcesTest, StringsLoadWholeTruncatedOrEmptyWhenMissing) {
    WCHAR buffer[100];
    std::fill(std::begin(buffer), std::end(buffer), u'\xFFFF');
    EXPECT_EQ(LoadStringW(Instance(), 104, buffer, 100), 7);
    EXPECT_EQ(std::u16string(buffer), u"Options");
    WCHAR small[5];
    EXPECT_EQ(LoadStringW(Instance(), 2, small, 5), 4);
    EXPECT_EQ(std::u16string(small), u"Init");
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
    EXPECT_EQ(platform::IconResourceId(nullptr), 0u);
}

} // namespace
