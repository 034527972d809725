// The object's events on their way to the test host's queue, and the input
// spool, driven directly: order, a full host queue, Stop racing posts, an
// object destroyed with events queued, files claimed once, limits.
#include "CallLog.h"
#include "EventSender.h"
#include "HostEvents.h"
#include "InputSpool.h"
#include "TestEnv.h"
#include "TestHost.h"
#include "TestSim.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

v8abi::Connection* HostSide(testhost::RecordingConnection& connection) {
  return static_cast<v8abi::Connection*>(connection.HostPointer());
}

// The log lines of a sender, kept for the test (any thread may write).
struct Notes {
  std::mutex lock;
  std::vector<std::u16string> lines;
  TEventSender::TNote Sink() {
    return [this](std::u16string_view line) {
      std::lock_guard guard(lock);
      lines.emplace_back(line);
    };
  }
  size_t Count(std::u16string_view part) {
    std::lock_guard guard(lock);
    size_t n = 0;
    for (const std::u16string& line : lines)
      n += line.find(part) != std::u16string::npos ? 1 : 0;
    return n;
  }
};

TEventSender::TDeliver ToHost(testhost::RecordingConnection& connection, std::atomic<int>* offers = nullptr) {
  return [&connection, offers](const TEvent& e) {
    if (offers != nullptr)
      ++*offers;
    return hostevents::Send(HostSide(connection), e.Source, e.Name, e.Data);
  };
}

TEvent Numbered(int n) {
  return {u"Dev#1", u"Штрихкод", Decimal(n)};
}

TEST(EventSender, DeliversInPostOrderFromManyThreadsThroughAShallowQueue) {
  testhost::RecordingConnection connection; // depth 1: the sender must wait for room
  Notes notes;
  TEventSender sender(ToHost(connection), notes.Sink(), 10s);
  sender.Start();
  constexpr int kThreads = 4, kEach = 150;
  std::mutex order; // the order of posting, as the test numbers it
  int next = 0;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        std::lock_guard guard(order);
        EXPECT_TRUE(sender.Post(Numbered(next++)));
      }
    });
  const std::vector<testhost::HostEvent> got = connection.TakeEvents(kThreads * kEach, 30s);
  for (std::thread& t : posters)
    t.join();
  sender.Stop();
  ASSERT_EQ(got.size(), size_t{kThreads * kEach});
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].data, Decimal(static_cast<long long>(i))) << "event " << i;
    EXPECT_EQ(got[i].source, u"Dev#1");
    EXPECT_EQ(got[i].event, u"Штрихкод");
  }
  EXPECT_EQ(notes.Count(u"Событие передано: Dev#1 | Штрихкод | "), got.size());
  EXPECT_EQ(notes.Count(u"потеряно"), 0u);
}

TEST(EventSender, RetriesARefusedEventThenLogsItLost) {
  testhost::RecordingConnection connection; // depth 1, and nobody takes
  Notes notes;
  std::atomic<int> offers{0};
  TEventSender sender(ToHost(connection, &offers), notes.Sink(), 300ms);
  sender.Start();
  const auto start = std::chrono::steady_clock::now();
  for (int n = 1; n <= 3; ++n)
    sender.Post(Numbered(n));
  while (notes.Count(u"Dev#1 | Штрихкод | 3 потеряно") == 0 && std::chrono::steady_clock::now() - start < 10s)
    std::this_thread::sleep_for(10ms);
  const auto spent = std::chrono::steady_clock::now() - start;
  sender.Stop();
  EXPECT_EQ(notes.Count(u"Событие передано: Dev#1 | Штрихкод | 1"), 1u);
  EXPECT_EQ(notes.Count(u"Событие Dev#1 | Штрихкод | 2 потеряно: очередь событий платформы заполнена"), 1u);
  EXPECT_EQ(notes.Count(u"Событие Dev#1 | Штрихкод | 3 потеряно: очередь событий платформы заполнена"), 1u);
  EXPECT_GE(spent, 600ms) << "each refused event was offered for its whole patience";
  EXPECT_GT(offers.load(), 6) << "a refused event is offered again, not once";
  EXPECT_EQ(connection.Accepted(), 1u);
  ASSERT_EQ(connection.TakeEvents().size(), 1u);
}

TEST(EventSender, APostBeyondItsOwnQueueIsLostAtOnceAndLogged) {
  testhost::RecordingConnection connection; // nobody takes
  Notes notes;
  TEventSender sender(ToHost(connection), notes.Sink(), 10s, 5);
  sender.Start();
  int refused = 0;
  for (int n = 0; n < 20; ++n)
    refused += sender.Post(Numbered(n)) ? 0 : 1;
  EXPECT_GE(refused, 20 - 5 - 2) << "at most the queue, the event in the host and the one being offered";
  EXPECT_EQ(notes.Count(u"потеряно: очередь событий устройства заполнена"), static_cast<size_t>(refused));
  const auto start = std::chrono::steady_clock::now();
  sender.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "Stop cuts the patience short";
  EXPECT_EQ(notes.Count(u"Событие передано") + notes.Count(u"потеряно"), 20u) << "every event accounted for";
}

// Posts race Stop: whatever Post accepted is delivered or logged lost, nothing
// reaches the host after Stop returns, and later posts are refused and logged.
TEST(EventSender, NothingArrivesAfterStopWithPostsRacingIt) {
  for (int round = 0; round < 5; ++round) {
    testhost::RecordingConnection connection;
    connection.SetDepth(1000000);
    Notes notes;
    TEventSender sender(ToHost(connection), notes.Sink(), 2s);
    sender.Start();
    std::atomic<bool> go{true};
    std::atomic<int> accepted{0}, refused{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
      posters.emplace_back([&] {
        for (int n = 0; go.load() && n < 20000; ++n)
          (sender.Post(Numbered(n)) ? accepted : refused)++;
      });
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + 7 * round));
    sender.Stop();
    const size_t atStop = connection.Accepted();
    std::this_thread::sleep_for(5ms);
    go = false;
    for (std::thread& t : posters)
      t.join();
    EXPECT_EQ(connection.Accepted(), atStop) << "an event reached the host after Stop";
    EXPECT_EQ(notes.Count(u"Событие передано"), atStop);
    EXPECT_EQ(notes.Count(u"Событие передано") + notes.Count(u"потеряно: очередь"),
              static_cast<size_t>(accepted.load()))
        << "every accepted event is delivered or logged as lost";
    EXPECT_EQ(notes.Count(u"потеряно: устройство не подключено"), static_cast<size_t>(refused.load()));
    EXPECT_FALSE(sender.Post(Numbered(-1)));
  }
}

// The object goes while its thread still has events to hand over to a host
// that takes them slowly: the thread ends first, the log holds every event.
TEST(EventSender, AnObjectDestroyedWithEventsQueuedEndsItsThreadFirst) {
  testhost::RecordingConnection connection;
  connection.SetDepth(2);
  testhost::CountingMemory memory;
  std::u16string logPath;
  uintmax_t before = 0;
  {
    auto object = std::make_unique<TTestSim_3001>();
    object->AfterConstruction();
    object->MemManager = static_cast<v8abi::MemoryManager*>(memory.HostPointer());
    object->Connection = HostSide(connection);
    logPath = object->LogFilePath;
    before = testenv::FileSize(fs::path(Utf16ToUtf8(logPath)));
    EXPECT_TRUE(object->RaiseEventBuffer(1)) << "a deep enough queue is left alone";
    EXPECT_EQ(connection.Depth(), 2);
    object->StartEvents();
    for (int n = 0; n < 100; ++n)
      object->PostEvent(u"TestSim_3001#1", u"Штрихкод", Decimal(n));
    connection.TakeEvents(3, 2s);
  } // destroyed with most events still queued
  const size_t atEnd = connection.Accepted();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(connection.Accepted(), atEnd);
  const std::u16string log =
      testenv::DecodeLog(testenv::ReadFileBytes(fs::path(Utf16ToUtf8(logPath)), before));
  size_t delivered = 0, lost = 0;
  for (size_t at = 0; (at = log.find(u"Событие", at)) != std::u16string::npos; ++at)
    (log.compare(at, 17, u"Событие передано:") == 0 ? delivered : lost)++;
  EXPECT_EQ(delivered, atEnd);
  EXPECT_EQ(delivered + lost, 100u);
  EXPECT_NE(log.find(u"Уничтожен объект"), std::u16string::npos);
}

// ---- The input spool ----

TEST(InputSpool, SplitsLinesOfEveryEndingAndRefusesLongOnes) {
  std::vector<size_t> tooLong;
  const std::string longLine(TInputSpool::kLineLimit + 1, '7');
  const std::string exact(TInputSpool::kLineLimit, '8');
  const std::string bytes = "\xEF\xBB\xBF"
                            "a1\r\nb2\n\nc3\rd4\r\r\n" +
                            longLine + "\n" + exact + "\r\ne5";
  const std::vector<std::string> lines = TInputSpool::SplitLines(bytes, tooLong);
  EXPECT_EQ(lines, (std::vector<std::string>{"a1", "b2", "c3", "d4", exact, "e5"}));
  EXPECT_EQ(tooLong, std::vector<size_t>{7});
  tooLong.clear();
  EXPECT_TRUE(TInputSpool::SplitLines("\r\n\n\xEF\xBB\xBF", tooLong).size() == 1) << "a mark inside is text";
}

struct Received {
  std::mutex lock;
  std::vector<std::pair<std::u16string, std::u16string>> items; // file, item
  TInputSpool::TItem Sink() {
    return [this](std::u16string_view item, std::u16string_view file) {
      std::lock_guard guard(lock);
      items.emplace_back(std::u16string(file), std::u16string(item));
    };
  }
};

fs::path FreshSpool(const char* name) {
  const fs::path folder = TCallLog::DataFolder(true) / name;
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder);
  return folder;
}

// Written under a temporary name and renamed when complete, as a test should.
void Drop(const fs::path& folder, const std::string& name, const std::string& bytes) {
  const fs::path temporary = folder / (name + ".tmp");
  {
    std::ofstream out(temporary, std::ios::binary);
    out << bytes;
  }
  fs::rename(temporary, folder / name);
}

std::string FileName(int n) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d.txt", n);
  return name;
}

TEST(InputSpool, TwoWatchersOfOneFolderDeliverEveryLineOnceInNameOrder) {
  const fs::path folder = FreshSpool("Events_twowatchers_input");
  constexpr int kFiles = 200, kLines = 4;
  for (int f = kFiles - 1; f >= 0; --f) { // dropped in reverse: the order is the names'
    std::string text;
    for (int l = 0; l < kLines; ++l)
      text += std::to_string(f) + "-" + std::to_string(l) + (l % 2 ? "\r\n" : "\n");
    Drop(folder, FileName(f), text);
  }
  Received a, b;
  Notes notes;
  {
    TInputSpool first(folder, a.Sink(), notes.Sink(), 1ms);
    TInputSpool second(folder, b.Sink(), notes.Sink(), 1ms);
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
      {
        std::scoped_lock both(a.lock, b.lock);
        if (a.items.size() + b.items.size() >= size_t{kFiles * kLines} ||
            std::chrono::steady_clock::now() - start > 30s)
          break;
      }
      std::this_thread::sleep_for(5ms);
    }
  }
  std::map<std::u16string, int> seen;
  for (Received* r : {&a, &b}) {
    std::u16string lastFile;
    for (const auto& [file, item] : r->items) {
      ++seen[item];
      EXPECT_LE(lastFile, file) << "a watcher goes in the order of the names";
      lastFile = file;
      EXPECT_EQ(item.substr(0, item.find(u'-')), Decimal(std::stoi(Utf16ToUtf8(file)))) << "item of its file";
    }
  }
  EXPECT_EQ(seen.size(), size_t{kFiles * kLines});
  for (const auto& [item, count] : seen)
    EXPECT_EQ(count, 1) << Utf16ToUtf8(item);
  EXPECT_TRUE(fs::is_empty(folder)) << "every file removed, no claimed leftovers";
  EXPECT_EQ(notes.Count(u"получено"), size_t{kFiles * kLines});
}

TEST(InputSpool, AFileBeingWrittenIsNotTakenHalf) {
  const fs::path folder = FreshSpool("Events_writing_input");
  Received got;
  Notes notes;
  TInputSpool spool(folder, got.Sink(), notes.Sink());
  Drop(folder, "skip.tmp.tmp", "never\n");
  {
    std::ofstream out(folder / "a.txt", std::ios::binary);
    out << "4601234" << std::flush;
    EXPECT_EQ(spool.Poll(), 0u);
    EXPECT_EQ(spool.Poll(), 0u);
    out << "567893\n";
  }
  EXPECT_EQ(spool.Poll(), 1u);
  ASSERT_EQ(got.items.size(), 1u);
  EXPECT_EQ(got.items[0].second, u"4601234567893");
  EXPECT_EQ(got.items[0].first, u"a.txt");
  EXPECT_TRUE(fs::exists(folder / "skip.tmp.tmp"));
  EXPECT_FALSE(fs::exists(folder / "a.txt"));
}

TEST(InputSpool, RefusesAHugeLineAndAHugeFileWithOneLogLineEach) {
  const fs::path folder = FreshSpool("Events_huge_input");
  Received got;
  Notes notes;
  TInputSpool spool(folder, got.Sink(), notes.Sink());
  Drop(folder, "1.txt", "ok\n" + std::string(TInputSpool::kLineLimit + 1, 'x') + "\nalso ok\n");
  Drop(folder, "2.txt", std::string(TInputSpool::kFileLimit + 1, '\n'));
  EXPECT_EQ(spool.Poll(), 2u);
  EXPECT_EQ(spool.Poll(), 0u);
  EXPECT_EQ(notes.Count(u"Файл ввода 1.txt: строка 2 длиннее 8192 байт, пропущена"), 1u);
  EXPECT_EQ(notes.Count(u"Файл ввода 2.txt: больше 1048576 байт, не прочитан"), 1u) << "logged once";
  EXPECT_TRUE(fs::exists(folder / "2.txt")) << "a refused file is left to the user";
  ASSERT_EQ(got.items.size(), 2u);
  EXPECT_EQ(got.items[1].second, u"also ok");
}

// The device's side: items of its folder become its events; nothing after
// StopInput and StopEvents.
TEST(InputSpool, AnObjectsSpoolFeedsItsEventsWhileOpen) {
  struct TSpoolSim : TTestSim_3001 {
    ~TSpoolSim() override { StopInput(); }
    void OnInputItem(std::u16string_view item, std::u16string_view) override {
      PostEvent(u"TestSim_3001#1", u"Штрихкод", item);
    }
  };
  testhost::RecordingConnection connection;
  TSpoolSim object;
  object.AfterConstruction();
  object.Connection = HostSide(connection);
  object.StartEvents();
  ASSERT_TRUE(object.StartInput());
  const fs::path folder = TCallLog::DataFolder(false) / "TestSim_3001_input";
  EXPECT_EQ(TCallLog::DisplayPath(folder), object.InputFolder());
  const auto start = std::chrono::steady_clock::now();
  Drop(folder, "scan.txt", "2000000000015\r\n");
  const std::vector<testhost::HostEvent> got = connection.TakeEvents(1, 5s);
  const auto spent = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].data, u"2000000000015");
  EXPECT_LT(spent, 1s) << "a delivery within the polling period, with room to spare";
  object.StopInput();
  object.StopEvents();
  Drop(folder, "late.txt", "1\n");
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(connection.Accepted(), 1u);
  EXPECT_TRUE(fs::exists(folder / "late.txt")) << "no watcher once stopped";
  fs::remove(folder / "late.txt");
}

// The test device through its library's exports and the test host, as the
// platform drives it: a scan dropped after Open arrives once, from the
// DeviceID; nothing arrives after Close; the object goes cleanly.
TEST(EventDevice, SpoolItemsArriveAsEventsFromTheDeviceIdUntilClose) {
  std::string error;
  const std::unique_ptr<testhost::AddIn> addIn =
      testhost::AddIn::Load(testhost::BesideExecutable(EVENTSIM_FILE), error);
  ASSERT_NE(addIn, nullptr) << error;
  testhost::CountingMemory memory;
  testhost::RecordingConnection connection;
  const fs::path folder = TCallLog::DataFolder(true) / "EventSim_3001_input";
  {
    std::unique_ptr<testhost::Component> c = addIn->Create(u"Orvik_EventSim_3001", memory);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->Init(connection));
    ASSERT_TRUE(c->SetMemManager());
    tVariant ret = testhost::EmptyValue();
    testhost::ValueList open(memory, 1);
    open.Add(testhost::EmptyValue());
    ASSERT_TRUE(c->CallAsFunc(c->RequireMethod(u"Open"), ret, open));
    ASSERT_TRUE(ret.bVal);
    const std::u16string id = testhost::TextOf(open[0]);
    EXPECT_EQ(connection.Depth(), 10) << "the device raises the host's queue at Open";
    Drop(folder, "001.txt", "4601234567893\n2000000000015\n");
    Drop(folder, "002.txt", "\xEF\xBB\xBF\xD0\x9A\xD0\xBE\xD0\xB4\r\n"); // "Код", after a byte-order mark
    const std::vector<testhost::HostEvent> got = connection.TakeEvents(3, 5s);
    ASSERT_EQ(got.size(), 3u);
    for (const testhost::HostEvent& e : got) {
      EXPECT_EQ(e.source, id);
      EXPECT_EQ(e.event, u"Штрихкод");
    }
    EXPECT_EQ(got[0].data, u"4601234567893");
    EXPECT_EQ(got[1].data, u"2000000000015");
    EXPECT_EQ(got[2].data, u"Код");

    testhost::ValueList close(memory);
    close.AddString(id);
    ASSERT_TRUE(c->CallAsFunc(c->RequireMethod(u"Close"), ret, close));
    ASSERT_TRUE(ret.bVal);
    Drop(folder, "003.txt", "after close\n");
    EXPECT_TRUE(connection.TakeEvents(1, 400ms).empty()) << "an event after Close";
    EXPECT_TRUE(fs::exists(folder / "003.txt"));
  }
  EXPECT_TRUE(memory.Clean()) << memory.Summary();
  std::error_code ignored;
  fs::remove(folder / "003.txt", ignored);
}

} // namespace
