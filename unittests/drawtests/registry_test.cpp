// The registry of the eight tests against the rows it points at: one entry
// per button and slot, names that find their entry, and the slot and result
// label of each row agreeing with its entry.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "tests/registry.h"

namespace {

using namespace drawtests;

TEST(Registry, EachButtonSlotAndNameOnceAndAgreeingWithItsRow) {
  std::set<int> buttons, slots;
  std::set<std::string> names;
  for (const TestEntry& t : kTests) {
    SCOPED_TRACE(t.name);
    ASSERT_NE(t.row, nullptr);
    EXPECT_TRUE(buttons.insert(t.button).second);
    EXPECT_TRUE(slots.insert(t.slot).second);
    EXPECT_TRUE(names.insert(t.name).second);
    EXPECT_EQ(t.row->slot, t.slot);
    EXPECT_EQ(t.row->resultLabel, t.button);
    EXPECT_EQ(&TestRowOfButton(t.button), t.row);
    EXPECT_EQ(TestNamed(t.name), &t);
    EXPECT_EQ(ReferenceRatesBySlot()[static_cast<std::size_t>(t.slot)], t.referenceRate);
    EXPECT_GT(t.referenceRate, 0);
  }
  EXPECT_EQ(buttons, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(slots, buttons);
  EXPECT_EQ(TestNamed("blitting"), nullptr);
  EXPECT_THROW(TestOfButton(9), std::out_of_range);
  EXPECT_THROW(TestOfButton(0), std::out_of_range);
}

}  // namespace
