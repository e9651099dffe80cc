// What is read off a compositor's window: the share of an eye's image that shows the frame, and
// the centroid of the scene on the frame's background, on small pictures drawn by hand.

#include "tools/screen-measure/ScreenMeasure.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "TestSupport.h"

namespace {

constexpr uint8_t kBackground[3] = {120, 150, 150};
constexpr uint8_t kCube[3] = {0, 0, 255};

// A 40 x 20 picture, the two eyes side by side (20 x 20 each), black everywhere.
contact_sheet::RgbImage BlackScreen() {
    contact_sheet::RgbImage image;
    image.width = 40;
    image.height = 20;
    image.pixels.assign(40 * 20 * 3, 0);
    return image;
}

void Fill(contact_sheet::RgbImage& image, uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1,
          const uint8_t* colour) {
    for (uint32_t y = y0; y < y1; ++y) {
        for (uint32_t x = x0; x < x1; ++x) {
            std::copy(colour, colour + 3, image.At(x, y));
        }
    }
}

TEST(ScreenMeasure, ABlackEyeShowsNothing) {
    const screen_measure::EyeMeasure measure = screen_measure::MeasureEye(BlackScreen(), 0, 20);
    EXPECT_EQ(measure.shownShare, 0.0);
    EXPECT_EQ(measure.scenePixels, 0u);
    EXPECT_FALSE(measure.centroidX);
}

// The right eye: the frame covers its upper half, a 4 x 4 cube in that half's middle; the left
// eye stays black and does not count.
TEST(ScreenMeasure, ShareAndCentroidOfOneEye) {
    contact_sheet::RgbImage image = BlackScreen();
    Fill(image, 20, 0, 40, 10, kBackground);
    Fill(image, 28, 3, 32, 7, kCube);
    const screen_measure::EyeMeasure right = screen_measure::MeasureEye(image, 20, 20);
    EXPECT_DOUBLE_EQ(right.shownShare, 0.5);
    EXPECT_EQ(right.scenePixels, 16u);
    ASSERT_TRUE(right.centroidX);
    EXPECT_DOUBLE_EQ(*right.centroidX, 0.0);
    EXPECT_DOUBLE_EQ(*right.centroidY, -0.25);
    EXPECT_EQ(screen_measure::MeasureEye(image, 0, 20).shownShare, 0.0);
}

// A cube at the eye's right edge, bottom row: off the middle by nearly half the width.
TEST(ScreenMeasure, ACubeAtTheEdgeIsFarFromTheMiddle) {
    contact_sheet::RgbImage image = BlackScreen();
    Fill(image, 0, 0, 20, 20, kBackground);
    Fill(image, 18, 18, 20, 20, kCube);
    const screen_measure::EyeMeasure left = screen_measure::MeasureEye(image, 0, 20);
    EXPECT_DOUBLE_EQ(left.shownShare, 1.0);
    ASSERT_TRUE(left.centroidX);
    EXPECT_DOUBLE_EQ(*left.centroidX, 0.45);
    EXPECT_DOUBLE_EQ(*left.centroidY, 0.45);
}

TEST(ScreenMeasure, ReadsWhatNetpbmWritesAndRefusesTheRest) {
    const std::filesystem::path dir = MakeTemporaryDirectory();
    const std::string good = (dir / "shot.ppm").string();
    std::ofstream(good, std::ios::binary) << "P6\n2 1\n255\n"
                                          << std::string("\x01\x02\x03\x04\x05\x06", 6);
    const auto image = screen_measure::ReadPpm(good);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 2u);
    EXPECT_EQ(image->At(1, 0)[2], 6);
    const std::string shortFile = (dir / "short.ppm").string();
    std::ofstream(shortFile, std::ios::binary) << "P6\n2 1\n255\n" << std::string("\x01\x02", 2);
    EXPECT_FALSE(screen_measure::ReadPpm(shortFile));
    const std::string text = (dir / "text.ppm").string();
    std::ofstream(text) << "P3\n1 1\n255\n1 2 3\n";
    EXPECT_FALSE(screen_measure::ReadPpm(text));
    EXPECT_FALSE(screen_measure::ReadPpm((dir / "missing.ppm").string()));
    std::filesystem::remove_all(dir);
}

}  // namespace
