#include <gtest/gtest.h>

#include <string>

#include "base/GrowArray.h"

TEST(GrowArray, FullArrayDoublesAndZeroCapacityBecomesFour) {
    GrowArray<int> a(2);
    a.append(1);
    a.append(2);
    EXPECT_EQ(a.capacity, 2);
    a.append(3);
    EXPECT_EQ(a.capacity, 4);
    EXPECT_EQ(a.count, 3);
    EXPECT_EQ(a[2], 3);

    GrowArray<int> empty(0);
    empty.append(7);
    EXPECT_EQ(empty.capacity, 4);
    EXPECT_EQ(empty[0], 7);
}

TEST(GrowArray, CopiesAreDeepAndKeepCapacity) {
    GrowArray<std::string> a(3);
    a.append("one");
    GrowArray<std::string> b(a);
    b[0] = "changed";
    EXPECT_EQ(a[0], "one");
    EXPECT_EQ(b.capacity, 3);
    GrowArray<std::string> c(8);
    c = a;
    EXPECT_EQ(c.capacity, 3);
    EXPECT_EQ(c.count, 1);
    EXPECT_EQ(c[0], "one");
}

TEST(GrowArray, AppendingOwnItemToFullArraySurvivesTheGrow) {
    GrowArray<std::string> a(1);
    a.append(std::string(40, 'x')); // long enough to live on the heap
    a.append(a[0]);
    ASSERT_EQ(a.count, 2);
    EXPECT_EQ(a[1], std::string(40, 'x'));
    EXPECT_EQ(a[0], std::string(40, 'x'));
}
