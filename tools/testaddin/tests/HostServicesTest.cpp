// The test host's own services, called as a component calls them: a detector
// that misses a double free would let every other test pass in vain.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

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

WCHAR_T* W(std::u16string& text) {
  return reinterpret_cast<WCHAR_T*>(text.data());
}

// The event queue as the platform keeps it: room for one event until the
// component raises it, a refused event lost, texts copied before the call returns.
TEST(RecordingConnection, QueuesEventsUpToItsDepthAndCopiesTheirTexts) {
  RecordingConnection connection;
  auto& c = *static_cast<v8abi::Connection*>(connection.HostPointer());
  EXPECT_EQ(c.table->GetEventBufferDepth(&c), 1);
  std::u16string source = u"Устройство#1", event = u"Штрихкод", data = u"4601234567893";
  EXPECT_TRUE(c.table->ExternalEvent(&c, W(source), W(event), W(data)));
  data.assign(u"0000000000000"); // the caller's memory is its own again
  EXPECT_FALSE(c.table->ExternalEvent(&c, W(source), W(event), W(data))) << "the queue is full";
  EXPECT_FALSE(c.table->SetEventBufferDepth(&c, 0));
  EXPECT_TRUE(c.table->SetEventBufferDepth(&c, 3));
  EXPECT_TRUE(c.table->ExternalEvent(&c, W(source), W(event), nullptr));
  EXPECT_EQ(connection.Accepted(), 2u);
  EXPECT_EQ(connection.Refused(), 1u);
  const std::vector<HostEvent> taken = connection.TakeEvents();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].source, u"Устройство#1");
  EXPECT_EQ(taken[0].data, u"4601234567893");
  EXPECT_EQ(taken[1].data, u"");
  EXPECT_TRUE(c.table->ExternalEvent(&c, W(source), W(event), W(data)));
  c.table->CleanEventBuffer(&c);
  EXPECT_EQ(connection.Queued(), 0u);
}

TEST(RecordingConnection, TakesEventsOfOtherThreadsAsTheyArrive) {
  RecordingConnection connection;
  auto& c = *static_cast<v8abi::Connection*>(connection.HostPointer());
  constexpr int kEach = 200;
  std::vector<std::thread> senders;
  for (int t = 0; t < 2; ++t)
    senders.emplace_back([&c, t] {
      for (int i = 0; i < kEach; ++i) {
        std::u16string data = Utf8ToUtf16(std::to_string(t) + ":" + std::to_string(i));
        std::u16string source = u"s", event = u"e";
        while (!c.table->ExternalEvent(&c, W(source), W(event), W(data)))
          std::this_thread::yield();
      }
    });
  const std::vector<HostEvent> taken = connection.TakeEvents(2 * kEach, std::chrono::seconds(20));
  for (std::thread& t : senders)
    t.join();
  ASSERT_EQ(taken.size(), 2u * kEach);
  int next[2] = {0, 0};
  for (const HostEvent& e : taken) {
    const std::string d = Utf16ToUtf8(e.data);
    const int t = d[0] - '0';
    EXPECT_EQ(d.substr(2), std::to_string(next[t]++)) << "one sender's events keep their order";
  }
  EXPECT_TRUE(connection.TakeEvents(1, std::chrono::milliseconds(20)).empty());
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
