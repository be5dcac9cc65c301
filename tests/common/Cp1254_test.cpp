#include "Cp1254.h"

#include <gtest/gtest.h>

#include "UserError.h"

namespace kalvor {
namespace {

TEST(Cp1254, TurkishLettersRoundTrip) {
  const std::string utf8 = "İstanbul ılık çağ şöyle ğüz ÇĞÖŞÜ €";
  std::string t = Utf8ToCp1254(utf8);
  EXPECT_EQ(static_cast<unsigned char>(t[0]), 0xDD);  // İ
  EXPECT_EQ(static_cast<unsigned char>(t[9]), 0xFD);  // ı
  EXPECT_EQ(Cp1254ToUtf8(t), utf8);
}

TEST(Cp1254, UnmappableBecomesSpaceAndBadUtf8IsRejected) {
  EXPECT_EQ(Utf8ToCp1254("a\xE2\x82\xBD" "b"), "a b");  // ruble sign is not in 1254
  EXPECT_EQ(Utf8ToCp1254("\xEF\xBB\xBFok"), "ok");      // byte order mark dropped
  EXPECT_THROW(Utf8ToCp1254("\xFD"), UserError);          // a 1254 byte is not UTF-8
  EXPECT_THROW(Utf8ToCp1254("\xC3"), UserError);          // cut inside a character
  EXPECT_THROW(Utf8ToCp1254("\xC0\x80"), UserError);      // overlong
}

}  // namespace
}  // namespace kalvor
