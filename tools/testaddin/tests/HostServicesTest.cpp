// The test host's own services, called as a component calls them: a detector
// that misses a double free would let every other test pass in vain.
#include "TestHost.h"

#include <gtest/gtest.h>

namespace {

using namespace testhost;

v8abi::MemoryManager& Manager(CountingMemory& memory) {
  return *static_cast<v8abi::MemoryManager*>(memory.HostPointer());
}

TEST(CountingMemory, CountsBlocksAndRecordsEveryMisuse) {
  CountingMemory memory;
  v8abi::MemoryManager& mm = Manager(memory);
  void* a = nullptr;
  void* b = nullptr;
  ASSERT_TRUE(mm.table->AllocMemory(&mm, &a, 10));
  ASSERT_TRUE(mm.table->AllocMemory(&mm, &b, 0));
  EXPECT_EQ(memory.BlockSize(a), 10u);
  EXPECT_TRUE(memory.Owns(b));
  EXPECT_EQ(memory.LiveBlocks(), 2u);

  void* again = a;
  mm.table->FreeMemory(&mm, &a);
  EXPECT_EQ(a, nullptr) << "FreeMemory clears the caller's pointer";
  EXPECT_TRUE(memory.Faults().empty());

  int local = 0;
  void* foreign = &local;
  void* none = nullptr;
  mm.table->FreeMemory(&mm, &again);
  mm.table->FreeMemory(&mm, &foreign);
  mm.table->FreeMemory(&mm, &none);
  mm.table->FreeMemory(&mm, nullptr);
  ASSERT_EQ(memory.Faults().size(), 4u);
  EXPECT_EQ(memory.Faults()[0].kind, MemoryFaultKind::DoubleFree);
  EXPECT_EQ(memory.Faults()[1].kind, MemoryFaultKind::ForeignBlock);
  EXPECT_EQ(memory.Faults()[2].kind, MemoryFaultKind::NullBlock);
  EXPECT_EQ(memory.Faults()[3].kind, MemoryFaultKind::NullArgument);
  EXPECT_EQ(local, 0) << "a foreign block is never touched";
  EXPECT_EQ(memory.Allocations(), 2u);
  EXPECT_EQ(memory.Frees(), 1u);
  EXPECT_FALSE(memory.Clean());
  memory.Free(b);
  memory.ClearFaults();
  EXPECT_TRUE(memory.Clean());
}

TEST(CountingMemory, FailsTheRequestedAllocationsAndHugeOnes) {
  CountingMemory memory;
  v8abi::MemoryManager& mm = Manager(memory);
  memory.FailNextAllocations(2);
  void* p = &memory;
  EXPECT_FALSE(mm.table->AllocMemory(&mm, &p, 4));
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(memory.Allocate(4), nullptr);
  EXPECT_FALSE(mm.table->AllocMemory(&mm, &p, static_cast<unsigned long>(-1)));
  EXPECT_EQ(memory.FailedAllocations(), 3u);
  ASSERT_TRUE(mm.table->AllocMemory(&mm, &p, 4));
  memory.Free(p);
  EXPECT_TRUE(memory.Clean());
}

TEST(HostValues, StringsAreHostBlocksAndChecksFindBadOnes) {
  CountingMemory memory;
  tVariant v = StringValue(memory, u"абв");
  EXPECT_EQ(CheckHostText(memory, v), "");
  EXPECT_EQ(TextOf(v, &memory), u"абв");
  EXPECT_EQ(DescribeValue(v), "\"абв\"");

  v.wstrLen = 4; // longer than the block holds
  EXPECT_NE(CheckHostText(memory, v), "");
  EXPECT_EQ(TextOf(v, &memory), std::u16string(u"абв\0", 4)) << "never read past the block";
  v.wstrLen = 2; // the zero is not where the length says
  EXPECT_NE(CheckHostText(memory, v), "");
  ReleaseValue(memory, v);
  EXPECT_EQ(TypeOf(v), VTYPE_EMPTY);

  char16_t foreign[] = u"x";
  v.vt = VTYPE_PWSTR;
  v.pwstrVal = reinterpret_cast<WCHAR_T*>(foreign);
  v.wstrLen = 1;
  EXPECT_NE(CheckHostText(memory, v), "");
  EXPECT_TRUE(memory.Clean());

  EXPECT_EQ(DescribeValue(StringValue(memory, u"a\"b\\c\nd\x01")), "\"a\\\"b\\\\c\\nd\\u0001\"");
  EXPECT_EQ(DescribeValue(DoubleValue(2)), "2.0");
  EXPECT_EQ(DescribeValue(DoubleValue(0.1)), "0.1");
  EXPECT_EQ(DescribeValue(IntValue(-3)), "-3");
  EXPECT_EQ(DescribeValue(BoolValue(false)), "false");
  EXPECT_EQ(DescribeValue(EmptyValue()), "empty");
}

TEST(RecordingConnection, KeepsEveryAddErrorInOrder) {
  RecordingConnection connection;
  auto& c = *static_cast<v8abi::Connection*>(connection.HostPointer());
  EXPECT_TRUE(c.table->AddError(&c, 1006, HostPtr(u"источник"), HostPtr(u"текст"), 1));
  EXPECT_TRUE(c.table->AddError(&c, 1007, nullptr, nullptr, 0));
  ASSERT_EQ(connection.Errors().size(), 2u);
  EXPECT_EQ(connection.Errors()[0].source, u"источник");
  EXPECT_EQ(connection.Errors()[0].description, u"текст");
  EXPECT_EQ(connection.Errors()[1].code, 1007);
  EXPECT_EQ(connection.Errors()[1].description, u"");
}

TEST(Text, ConvertsBothWaysAndReplacesMalformedInput) {
  const std::string utf8 = "Ёж \xF0\x9D\x84\x9E";
  EXPECT_EQ(Utf8ToUtf16(utf8), u"Ёж \U0001D11E");
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("a\xD0"), u"a\uFFFD");       // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");     // overlong
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD"); // a surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

} // namespace
