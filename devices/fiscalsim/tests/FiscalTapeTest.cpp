#include "FiscalTape.h"
#include "FiscalRecord.h"

#include <gtest/gtest.h>

TEST(FiscalTape, MalformedLineGivesOneLine) {
  EXPECT_EQ(fiscal::FiscalTapeLines("{", 32, false).size(), 1u);
}
