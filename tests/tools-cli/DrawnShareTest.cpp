// How much of a rendered frame the contact sheet reports as drawn: small frames laid out like
// hello_xr's, cleared to a background that is nowhere fixed, with the scene in the middle, across
// an edge or over a corner.

#include "tools/contact-sheet/DrawnShare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

using contact_sheet::Colour;

// Both hello_xr builds the main job runs, Debian 12's 1.0.20 and the SDK 1.1.47 one, clear to
// dark slate grey: this value in the sRGB images the stand-in runtime saves.
constexpr Colour kHelloXrClear = {119, 151, 151};
constexpr Colour kBlack = {0, 0, 0};
constexpr Colour kPale = {230, 230, 250};
constexpr Colour kBlue = {0, 0, 255};
constexpr Colour kGreen = {0, 255, 0};
constexpr Colour kDarkRed = {137, 0, 0};

struct Block {
    uint32_t x0, y0, x1, y1;  // [x0, x1) x [y0, y1)
    Colour colour;
};

struct FrameCase {
    const char* name;
    uint32_t width, height;
    Colour background;
    std::vector<Block> blocks;  // drawn in order, later ones over earlier ones
    size_t drawnPixels;
};

void PrintTo(const FrameCase& c, std::ostream* out) {
    *out << c.name;
}

contact_sheet::RgbImage Draw(const FrameCase& c) {
    contact_sheet::RgbImage image;
    image.width = c.width;
    image.height = c.height;
    image.pixels.resize(static_cast<size_t>(c.width) * c.height * 3);
    for (uint32_t y = 0; y < c.height; ++y) {
        for (uint32_t x = 0; x < c.width; ++x) {
            std::copy(c.background.begin(), c.background.end(), image.At(x, y));
        }
    }
    for (const Block& block : c.blocks) {
        for (uint32_t y = block.y0; y < block.y1; ++y) {
            for (uint32_t x = block.x0; x < block.x1; ++x) {
                std::copy(block.colour.begin(), block.colour.end(), image.At(x, y));
            }
        }
    }
    return image;
}

// hello_xr's cubes at the stage's origin, 4 x 4 pixels of a 40 x 40 eye, its faces in two colours.
const std::vector<Block> kCentreCube = {{18, 18, 22, 20, kGreen}, {18, 20, 22, 22, kBlue}};

class DrawnShare : public ::testing::TestWithParam<FrameCase> {};

TEST_P(DrawnShare, CountsWhatIsNotTheClearedBackground) {
    const FrameCase& c = GetParam();
    const contact_sheet::RgbImage image = Draw(c);
    EXPECT_EQ(contact_sheet::ClearedColour(image), c.background);
    EXPECT_EQ(contact_sheet::DrawnPixels(image), c.drawnPixels);
    EXPECT_DOUBLE_EQ(contact_sheet::DrawnShare(image),
                     static_cast<double>(c.drawnPixels) / (c.width * c.height));
}

std::vector<Block> With(std::vector<Block> blocks, const Block& extra) {
    blocks.push_back(extra);
    return blocks;
}

INSTANTIATE_TEST_SUITE_P(
    Frames, DrawnShare,
    ::testing::Values(
        FrameCase{"NothingDrawn", 40, 40, kHelloXrClear, {}, 0},
        FrameCase{"CubesInTheMiddle", 40, 40, kHelloXrClear, kCentreCube, 16},
        // The SDK 1.1.47 hello_xr on the orbit: a cube near the head reaches into the top left
        // corner of one eye, so the corner pixel is the cube's.
        FrameCase{"CubeOverTheTopLeftCorner", 40, 40, kHelloXrClear,
                  With(kCentreCube, {0, 0, 6, 3, kBlue}), 16 + 18},
        FrameCase{"CubeOverTheBottomRightCorner", 40, 40, kHelloXrClear,
                  With(kCentreCube, {33, 36, 40, 40, kDarkRed}), 16 + 28},
        // Debian 12's hello_xr on the orbit: the same cube across the middle of the top edge.
        FrameCase{"CubeAcrossTheTopEdge", 40, 40, kHelloXrClear,
                  With(kCentreCube, {14, 0, 26, 5, kBlue}), 16 + 60},
        // Cleared to black, as for an additive display, and to a pale colour: no background is
        // assumed.
        FrameCase{"BlackBackgroundCubeInACorner", 40, 40, kBlack,
                  With(kCentreCube, {0, 0, 6, 3, kBlue}), 16 + 18},
        FrameCase{"PaleBackgroundCubeInACorner", 40, 40, kPale,
                  With(kCentreCube, {0, 0, 6, 3, kBlue}), 16 + 18},
        // An image one pixel high or wide is all border.
        FrameCase{"OneRow", 9, 1, kHelloXrClear, {{0, 0, 2, 1, kBlue}}, 2},
        FrameCase{"OneColumn", 1, 9, kHelloXrClear, {{0, 7, 1, 9, kBlue}}, 2},
        FrameCase{"OnePixel", 1, 1, kHelloXrClear, {}, 0}),
    [](const ::testing::TestParamInfo<FrameCase>& param) { return std::string(param.param.name); });

TEST(DrawnShareOfNothing, AnEmptyImageHasNothingDrawn) {
    const contact_sheet::RgbImage empty;
    EXPECT_EQ(contact_sheet::DrawnPixels(empty), 0u);
    EXPECT_EQ(contact_sheet::DrawnShare(empty), 0.0);
}

}  // namespace
