#include "Framework.h"

#include <gtest/gtest.h>

namespace kalvor {
namespace {

TEST(MemoryStream, WritesAtPositionGrowsAndClears) {
  TMemoryStream s;
  s.Write("abcd", 4);
  s.SetPosition(2);
  s.Write("XYZ", 3);  // overwrites two bytes, appends one
  ASSERT_EQ(s.Size(), 5u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.Memory()), 5), "abXYZ");
  EXPECT_EQ(s.Position(), 5u);
  char buf[8];
  s.SetPosition(3);
  EXPECT_EQ(s.Read(buf, 8), 2u);
  s.Clear();
  EXPECT_EQ(s.Size(), 0u);
  EXPECT_EQ(s.Position(), 0u);
}

}  // namespace
}  // namespace kalvor
