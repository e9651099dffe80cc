#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tracking/CaptureOrder.h"

namespace {

struct Offer {
    double capture;  // seconds
    bool taken;
};

// Frames offered in turn, each with whether it is to be taken.
TEST(CaptureOrderTest, TakesFramesNewerThanTheNewestAndThoseAfterAClockStep) {
    const struct {
        std::string name;
        std::vector<Offer> offers;
    } cases[] = {
        {"in order", {{10.0, true}, {10.004, true}, {10.008, true}}},
        // The first frame has nothing to be compared with, wherever its clock stands.
        {"a first frame at any time", {{-5.0, true}}},
        {"one captured at the newest's time", {{10.0, true}, {10.0, false}, {10.004, true}}},
        {"one overtaken by the next",
         {{10.0, true}, {10.008, true}, {10.004, false}, {10.012, true}}},
        // A refused frame does not become the newest: the next is compared with the one before.
        {"several late ones in a row",
         {{10.0, true},
          {10.020, true},
          {10.004, false},
          {10.008, false},
          {10.016, false},
          {10.024, true}}},
        {"one late by just under the clock step", {{10.0, true}, {10.0 - 0.0999, false}}},
        // Older by the clock step or more: the clock stepped back, and the stream goes on from
        // the frame, frames after it being compared with it.
        {"one older by the clock step", {{0.1, true}, {0.0, true}, {0.004, true}, {0.0, false}}},
        {"a server restarted an hour ago",
         {{10.0, true}, {-3590.0, true}, {-3589.996, true}, {-3589.998, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CaptureOrder order;
        for (size_t i = 0; i < c.offers.size(); ++i) {
            EXPECT_EQ(order.Take(c.offers[i].capture), c.offers[i].taken) << "offer " << i;
        }
    }
}

}  // namespace
