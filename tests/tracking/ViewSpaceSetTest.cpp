#include <gtest/gtest.h>

#include <cstdint>

#include "tracking/ViewSpaceSet.h"

namespace {

XrSpace Space(uintptr_t handle) {
    return reinterpret_cast<XrSpace>(handle);
}
XrSession Session(uintptr_t handle) {
    return reinterpret_cast<XrSession>(handle);
}
XrPosef Ahead(float metres) {
    return {{0, 0, 0, 1}, {0, 0, -metres}};
}

TEST(ViewSpaceSet, FreedSlotsAreTakenAgain) {
    ViewSpaceSet set;
    for (uintptr_t handle = 1; handle <= 2 * ViewSpaceSet::kCapacity; ++handle) {
        ASSERT_TRUE(set.Add(Space(handle), Session(1), Ahead(1))) << handle;
        set.Remove(Space(handle));
        EXPECT_FALSE(set.Find(Space(handle))) << handle;
    }
    ASSERT_TRUE(set.Add(Space(0x999), Session(1), Ahead(2)));
    ASSERT_TRUE(set.Find(Space(0x999)));
    EXPECT_EQ(set.Find(Space(0x999))->position.z, -2.0f);
}

TEST(ViewSpaceSet, AHandleAddedAgainReplacesWhatWasKept) {
    ViewSpaceSet set;
    ASSERT_TRUE(set.Add(Space(7), Session(1), Ahead(1)));
    ASSERT_TRUE(set.Add(Space(7), Session(2), Ahead(3)));
    ASSERT_TRUE(set.Find(Space(7)));
    EXPECT_EQ(set.Find(Space(7))->position.z, -3.0f);
    set.Remove(Space(7));
    EXPECT_FALSE(set.Find(Space(7))) << "one entry per handle";
}

TEST(ViewSpaceSet, ASessionTakesOnlyItsOwnSpaces) {
    ViewSpaceSet set;
    ASSERT_TRUE(set.Add(Space(1), Session(10), Ahead(1)));
    ASSERT_TRUE(set.Add(Space(2), Session(20), Ahead(1)));
    ASSERT_TRUE(set.Add(Space(3), Session(10), Ahead(1)));
    set.RemoveSession(Session(10));
    EXPECT_FALSE(set.Find(Space(1)));
    EXPECT_TRUE(set.Find(Space(2)));
    EXPECT_FALSE(set.Find(Space(3)));
    set.Clear();
    EXPECT_FALSE(set.Find(Space(2)));
}

TEST(ViewSpaceSet, AFullTableRefusesAndSaysSoOncePerFilling) {
    ViewSpaceSet set;
    for (uintptr_t handle = 1; handle <= ViewSpaceSet::kCapacity; ++handle) {
        ASSERT_TRUE(set.Add(Space(handle), Session(1), Ahead(1)));
    }
    EXPECT_FALSE(set.Add(Space(1000), Session(1), Ahead(1)));
    EXPECT_FALSE(set.Find(Space(1000)));
    EXPECT_TRUE(set.TakeFullNotice());
    EXPECT_FALSE(set.Add(Space(1001), Session(1), Ahead(1)));
    EXPECT_FALSE(set.TakeFullNotice());
    EXPECT_TRUE(set.Add(Space(5), Session(1), Ahead(2))) << "a kept handle still replaces";

    set.Clear();
    EXPECT_TRUE(set.Add(Space(1000), Session(1), Ahead(1)));
    for (uintptr_t handle = 1; handle < ViewSpaceSet::kCapacity; ++handle) {
        ASSERT_TRUE(set.Add(Space(handle), Session(1), Ahead(1)));
    }
    EXPECT_FALSE(set.Add(Space(1001), Session(1), Ahead(1)));
    EXPECT_TRUE(set.TakeFullNotice()) << "said again once the table filled up anew";
}

TEST(ViewSpaceSet, NullIsNeverKept) {
    ViewSpaceSet set;
    EXPECT_FALSE(set.Add(XR_NULL_HANDLE, Session(1), Ahead(1)));
    EXPECT_FALSE(set.Find(XR_NULL_HANDLE));
}

}  // namespace
