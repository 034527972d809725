// What a card becomes: the tracks by position, framed by the prefix and
// ended by the suffix, and the lines that are no card.
#include "MsrSim.h"

#include <gtest/gtest.h>

namespace {

TEST(CardEvent, UsedTracksInOrderFramedByPrefixAndSuffix) {
  TMsrSettings settings; // no prefix, CR after each track
  TInputEvent event;
  ASSERT_EQ(CardEvent(u"%B4111111111111111^IVANOV/I^2512?\t;4111111111111111=2512?", settings, event), u"");
  EXPECT_EQ(event.Name, u"ДанныеКарты");
  EXPECT_EQ(event.Data, u"%B4111111111111111^IVANOV/I^2512?\r;4111111111111111=2512?\r");

  ASSERT_EQ(CardEvent(u"\t;1234=5678?", settings, event), u"");
  EXPECT_EQ(event.Data, u";1234=5678?\r") << "an empty first field leaves track 1 unused";
  ASSERT_EQ(CardEvent(u"\t\t 3333 ", settings, event), u"");
  EXPECT_EQ(event.Data, u"3333\r");

  settings.Prefix = 2;
  settings.Suffix = 0;
  settings.EnglishName = true;
  ASSERT_EQ(CardEvent(u"one\t\tthree", settings, event), u"");
  EXPECT_EQ(event.Name, u"TracksData");
  EXPECT_EQ(event.Data, u"\u0002onethree");
  settings.Suffix = 0x1F4B3; // a character outside the BMP is a surrogate pair
  ASSERT_EQ(CardEvent(u"1", settings, event), u"");
  EXPECT_EQ(event.Data, u"\u00021\U0001F4B3");
}

TEST(CardEvent, MoreThanThreeFieldsOrNoTrackIsNoCard) {
  const TMsrSettings settings;
  TInputEvent event;
  EXPECT_NE(CardEvent(u"1\t2\t3\t4", settings, event), u"");
  EXPECT_NE(CardEvent(u"1\t2\t3\t", settings, event), u"") << "a fourth field, even empty";
  EXPECT_NE(CardEvent(u"\t \t", settings, event), u"");
  EXPECT_EQ(CardEvent(u"1\t2\t3", settings, event), u"");
}

} // namespace
