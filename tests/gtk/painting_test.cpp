// What a window paints (BeginPaint, DrawTextW, EndPaint) is drawn by the front end
// on the window's background brush, where the format puts it: read back from a
// screenshot of the X window.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "desktop_session.h"
#include "platform/gtk/gtk_inspect.h"
#include "platform/windowing/messages.h"
#include "platform/windowing/painting.h"
#include "platform/windowing/window.h"
#include "support/window_class.h"

namespace {

// The main window's way of painting: one line, centred both ways.
LRESULT PaintingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint{};
        HDC context = BeginPaint(window, &paint);
        RECT client{};
        GetClientRect(window, &client);
        DrawTextW(context, u"Swipetype", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The dark pixels of a picture, and where their middle is.
struct Ink {
    int pixels = 0;
    double x = 0;
    double y = 0;
};

// The screenshot is taken as a binary PPM (P6), which needs no image library to
// read; ImageMagick writes it with 8 or 16 bits a sample.
Ink InkIn(const std::string& path) {
    Ink ink;
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int width = 0;
    int height = 0;
    int maximum = 0;
    file >> magic >> width >> height >> maximum;
    file.get();
    if (magic != "P6" || width <= 0 || height <= 0 || (maximum != 255 && maximum != 65535)) {
        ADD_FAILURE() << "not a screenshot: " << path;
        return ink;
    }
    std::size_t sampleBytes = maximum == 255 ? 1 : 2;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 3 * sampleBytes);
    file.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    if (!file) {
        ADD_FAILURE() << "short screenshot: " << path;
        return ink;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // The high byte of each sample (big-endian when there are two).
            const unsigned char* pixel =
                &pixels[(static_cast<std::size_t>(y) * width + x) * 3 * sampleBytes];
            if (pixel[0] + pixel[sampleBytes] + pixel[2 * sampleBytes] < 3 * 128) {
                ++ink.pixels;
                ink.x += x;
                ink.y += y;
            }
        }
    }
    if (ink.pixels > 0) {
        ink.x /= ink.pixels;
        ink.y /= ink.pixels;
    }
    return ink;
}

class PaintingTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string reason;
        if (gtk_test::Desktop(reason) == nullptr) {
            GTEST_SKIP() << reason;
        }
        HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        ASSERT_TRUE(
            test_support::RegisterTestClass(u"GtkTestPainting", PaintingProcedure, 0, white));
        ASSERT_TRUE(test_support::RegisterTestClass(u"GtkTestBlank", DefWindowProcW, 0, white));
        shot_ = "/tmp/swipetype-paint-" + std::to_string(getpid()) + ".ppm";
    }
    void TearDown() override {
        if (window_ != nullptr && IsWindow(window_)) {
            DestroyWindow(window_);
        }
        std::remove(shot_.c_str());
        gtk_test::Serve(std::chrono::milliseconds(200));
    }

    // Shows a 200 x 120 window of the class and reads back what it shows.
    Ink Show(const char16_t* className) {
        window_ = CreateWindowExW(0, className, u"Painting test", WS_VISIBLE, 300, 200, 200, 120,
                                  nullptr, nullptr, gtk_test::TestInstance(), nullptr);
        EXPECT_NE(window_, nullptr);
        UpdateWindow(window_);
        platform::gtk_front_end::ShownWidget shown;
        EXPECT_TRUE(gtk_test::ServeUntil([&] {
            return platform::gtk_front_end::InspectWidget(window_, shown) && shown.shown &&
                   shown.screen.bottom - shown.screen.top == 120;
        }));
        gtk_test::Serve(std::chrono::milliseconds(300));
        EXPECT_TRUE(gtk_test::Screenshot(shown.xWindow, shot_));
        return InkIn(shot_);
    }

    HWND window_ = nullptr;
    std::string shot_;
};

TEST_F(PaintingTest, PaintedTextIsDrawnWhereTheFormatPutsIt) {
    Ink ink = Show(u"GtkTestPainting");
    EXPECT_GT(ink.pixels, 30) << "no text on the window";
    // Centred in the 200 x 120 client area.
    EXPECT_NEAR(ink.x, 100, 12);
    EXPECT_NEAR(ink.y, 60, 10);
}

TEST_F(PaintingTest, AWindowThatPaintsNothingShowsItsBackgroundOnly) {
    Ink ink = Show(u"GtkTestBlank");
    EXPECT_EQ(ink.pixels, 0);
}

} // namespace
