// Numbers as addinhost prints them: in full, never with an exponent, and
// reading back as the same value.
#include "Session.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

using addinhost::FormatNumber;

TEST(FormatNumber, WholeSmallLargeAndNegativeNumbersInFull) {
  EXPECT_EQ(FormatNumber(1000.0), "1000");
  EXPECT_EQ(FormatNumber(0.0), "0");
  EXPECT_EQ(FormatNumber(-7.0), "-7");
  EXPECT_EQ(FormatNumber(0.001), "0.001");
  EXPECT_EQ(FormatNumber(1e-7), "0.0000001");
  EXPECT_EQ(FormatNumber(1e20), "100000000000000000000");
  EXPECT_EQ(FormatNumber(-2.345), "-2.345");
  EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(FormatNumber(0.1f), "0.1");
  EXPECT_EQ(FormatNumber(-0.0), "-0");
}

TEST(FormatNumber, ValuesNoPlatformNumberHolds) {
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(FormatNumber(-std::numeric_limits<float>::infinity()), "-inf");
}

TEST(FormatNumber, ExtremesReadBackExactlyWithoutExponent) {
  for (const double d : {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, 123456.789, 1.0 / 3}) {
    const std::string text = FormatNumber(d);
    EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
    EXPECT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
  }
  EXPECT_EQ(FormatNumber(DBL_MAX).size(), 309u);
}

} // namespace
