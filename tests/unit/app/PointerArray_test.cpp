#include "app/PointerArray.h"

#include <gtest/gtest.h>

namespace {

int gItems[100];

TEST(PointerArray, NewArrayIsEmptyAndGetOutsideIsNull) {
  PointerArray a;
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Get(0), nullptr);
  EXPECT_EQ(a.Get(-1), nullptr);
}

TEST(PointerArray, AddGrowsThroughTheCapacitySequence) {
  PointerArray a;
  const int32_t expected[] = {32, 72, 122, 184, 262, 359, 480, 632};
  int step = 0;
  int32_t lastCapacity = 0;
  for (int32_t i = 0; i < 632; ++i) {
    EXPECT_EQ(a.Add(&gItems[i % 100]), i);
    if (a.Capacity() != lastCapacity) {
      ASSERT_LT(step, 8);
      EXPECT_EQ(a.Capacity(), expected[step++]) << "after add " << i;
      lastCapacity = a.Capacity();
    }
  }
  EXPECT_EQ(step, 8);
  EXPECT_EQ(a.Get(33), &gItems[33]);
  EXPECT_EQ(a.Get(631), &gItems[631 % 100]);
}

TEST(PointerArray, FirstAndThirtyThirdAdd) {
  PointerArray a;
  EXPECT_EQ(a.Add(&gItems[0]), 0);
  EXPECT_EQ(a.Capacity(), 32);
  for (int i = 1; i < 32; ++i) a.Add(&gItems[i]);
  EXPECT_EQ(a.Add(&gItems[32]), 32);
  EXPECT_EQ(a.Capacity(), 72);
}

TEST(PointerArray, SetAtBeyondCountFillsWithNull) {
  PointerArray a;
  a.SetAt(&gItems[5], 5);
  EXPECT_EQ(a.Count(), 6);
  EXPECT_EQ(a.Capacity(), 39);  // grown from the count that must fit: 6 + 1 + 32
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a.Get(i), nullptr);
  EXPECT_EQ(a.Get(5), &gItems[5]);

  a.SetAt(&gItems[1], 1);
  EXPECT_EQ(a.Get(1), &gItems[1]);
  EXPECT_EQ(a.Count(), 6);

  a.SetAt(&gItems[9], -1);
  EXPECT_EQ(a.Count(), 6);
}

TEST(PointerArray, SetCountGrowsAtCapacityMinusOneAndShrinksWithoutClearing) {
  PointerArray a;
  for (int i = 0; i < 10; ++i) a.Add(&gItems[i]);
  EXPECT_TRUE(a.SetCount(2));
  EXPECT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Get(2), nullptr);
  EXPECT_EQ(a.Capacity(), 32);

  EXPECT_TRUE(a.SetCount(31));  // capacity - 1: grows from n
  EXPECT_EQ(a.Capacity(), 31 + 7 + 32);
  EXPECT_EQ(a.Get(1), &gItems[1]);
  EXPECT_EQ(a.Get(2), nullptr);  // the slots above the old count were nulled
  EXPECT_EQ(a.Get(30), nullptr);
  EXPECT_FALSE(a.SetCount(-1));
}

TEST(PointerArray, ClearLeavesAUsableEmptyArray) {
  PointerArray a;
  for (int i = 0; i < 40; ++i) a.Add(&gItems[i]);
  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Capacity(), 0);
  EXPECT_EQ(a.Add(&gItems[3]), 0);
  EXPECT_EQ(a.Get(0), &gItems[3]);
}

}  // namespace
