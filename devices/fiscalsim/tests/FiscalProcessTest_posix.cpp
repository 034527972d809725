// The real library across processes on Linux, each process loading it
// through the test host as the platform does: a seller killed at random
// instants of ProcessCheck, a data folder that fills mid-receipt, and two
// sellers at once over one data folder. What the journal, the tape file and
// the register's answers must be afterwards is checked from the files
// themselves.
#include "ChildProcess_posix.h"
#include "FiscalHost.h"
#include "FiscalMemory.h"
#include "FiscalTape.h"
#include "Tape.h"

#include <sys/mount.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// What a seller child is told through its environment.
constexpr char kHomeVariable[] = "FISCAL_SELLER_HOME";       // the data home to sell in
constexpr char kCountVariable[] = "FISCAL_SELLER_COUNT";     // receipts to sell, 0 for ever
constexpr char kReadyVariable[] = "FISCAL_SELLER_READY";     // a file made after the first receipt
constexpr char kNumbersVariable[] = "FISCAL_SELLER_NUMBERS"; // where its receipt numbers go
// When set, a file awaited before the first receipt; the ready file is then
// made once the device is open, before it.
constexpr char kGoVariable[] = "FISCAL_SELLER_GO";

constexpr char kDriveKey[] = "orvik-drive-key-9999078900001234"; // the default drive's key
constexpr int32_t kLineLength = 42;                              // the register's default
constexpr int64_t kReceiptTotal = 29500;                         // kopecks, of kReceipt
// Three lines (55.00 + 2 x 60.00 + 120.00 = 295.00), 300.00 cash given: 5.00 change.
constexpr char16_t kReceipt[] =
    u"<CheckPackage><Parameters CashierName=\"Иванова\" OperationType=\"1\" TaxationSystem=\"0\"/>"
    u"<Positions>"
    u"<FiscalString Name=\"Хлеб\" Quantity=\"1\" PriceWithDiscount=\"55\" AmountWithDiscount=\"55\" "
    u"VATRate=\"10\" VATAmount=\"5\"/>"
    u"<FiscalString Name=\"Молоко\" Quantity=\"2\" PriceWithDiscount=\"60\" AmountWithDiscount=\"120\" "
    u"VATRate=\"20\" VATAmount=\"20\"/>"
    u"<FiscalString Name=\"Сыр\" Quantity=\"1\" PriceWithDiscount=\"120\" AmountWithDiscount=\"120\" "
    u"VATRate=\"20\" VATAmount=\"20\"/>"
    u"</Positions><Payments Cash=\"300\"/></CheckPackage>";

std::string Attribute(const std::u16string& xml, std::string_view name) {
  const std::string text = Utf16ToUtf8(xml), key = " " + std::string(name) + "=\"";
  const size_t at = text.find(key);
  return at == std::string::npos
             ? std::string()
             : text.substr(at + key.size(), text.find('"', at + key.size()) - at - key.size());
}

std::string Money(int64_t kopecks) {
  const std::string cents = std::to_string(kopecks % 100);
  return std::to_string(kopecks / 100) + "." + (cents.size() < 2 ? "0" : "") + cents;
}

// One object of the library, loaded as the platform loads it, with its device open.
class TRegister {
public:
  // Null with the reason in error.
  static std::unique_ptr<TRegister> Open(std::string& error) {
    auto ready = OpenObject(BesideExecutable(FISCALSIM_FILE), kClass, error);
    if (!ready)
      return nullptr;
    auto made = std::unique_ptr<TRegister>(new TRegister(std::move(ready)));
    std::vector<std::u16string> out;
    if (made->Call(u"SetParameter", {StringValue(made->Memory(), u"Show"), BoolValue(false)}) != 1 ||
        made->Call(u"Open", {EmptyValue()}, &out) != 1) {
      error = "the device does not open: " + Utf16ToUtf8(made->LastError());
      return nullptr;
    }
    made->Id = out.at(0);
    return made;
  }

  // One call; its boolean result (-1 when none), the parameters' texts after it in out.
  int Call(std::u16string_view method, std::vector<tVariant> values,
           std::vector<std::u16string>* out = nullptr) {
    Component& component = *ready_->component;
    ValueList list(Memory());
    for (const tVariant& value : values)
      list.Add(value);
    tVariant result = EmptyValue();
    if (!component.CallAsFunc(component.FindMethod(method), result, list))
      return -1;
    for (long k = 0; out != nullptr && k < list.Count(); ++k)
      out->push_back(TextOf(list[static_cast<size_t>(k)], &Memory()));
    const int outcome = TypeOf(result) == VTYPE_BOOL ? result.bVal : -1;
    ReleaseValue(Memory(), result);
    return outcome;
  }
  // GetCurrentStatus's output parameters; empty when it answers False.
  std::u16string Status() {
    std::vector<std::u16string> out;
    if (Call(u"GetCurrentStatus", {StringValue(Memory(), Id), StringValue(Memory(), kInput), EmptyValue()},
             &out) != 1)
      return {};
    return out.at(2);
  }
  // Sells kReceipt: its DocumentOutputParameters, empty when refused.
  std::u16string Sell() {
    std::vector<std::u16string> out;
    if (Call(u"ProcessCheck",
             {StringValue(Memory(), Id), BoolValue(false), StringValue(Memory(), kReceipt), EmptyValue()},
             &out) != 1)
      return {};
    return out.at(3);
  }
  bool ShiftCall(std::u16string_view method, std::u16string* output = nullptr) {
    std::vector<std::u16string> out;
    const bool ok =
        Call(method, {StringValue(Memory(), Id), StringValue(Memory(), kInput), EmptyValue()}, &out) == 1;
    if (ok && output != nullptr)
      *output = out.at(2);
    return ok;
  }
  std::u16string LastError() {
    std::vector<std::u16string> out;
    Call(u"GetLastError", {EmptyValue()}, &out);
    return out.empty() ? std::u16string() : out[0];
  }
  CountingMemory& Memory() { return ready_->memory; }

  std::u16string Id;

private:
  explicit TRegister(std::unique_ptr<ReadyObject> ready) : ready_(std::move(ready)) {}
  std::unique_ptr<ReadyObject> ready_;
};

fs::path DataFolderOf(const fs::path& home) {
  return home / "Orvik";
}
fs::path JournalIn(const fs::path& home) {
  return DataFolderOf(home) / "FiscalSim_3004_journal.jsonl";
}
fs::path TapeIn(const fs::path& home) {
  return DataFolderOf(home) / "FiscalSim_3004_tape.txt";
}

// The journal's lines; torn says whether the last piece has no line feed.
std::vector<std::string> Lines(const fs::path& journal, bool* torn = nullptr) {
  const std::string bytes = testenv::ReadFileBytes(journal);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(bytes.substr(start, end - start));
  if (torn != nullptr)
    *torn = start < bytes.size();
  return lines;
}

// The integer of "key":N in a line, -1 when absent.
int64_t Member(const std::string& line, const std::string& key) {
  const std::string head = "\"" + key + "\":";
  const size_t at = line.find(head);
  return at == std::string::npos ? -1 : std::atoll(line.c_str() + at + head.size());
}
bool IsReceipt(const std::string& line) {
  return line.find("\"type\":\"receipt\"") != std::string::npos;
}

// What a whole journal must be: no torn or repeated line, every fiscal line
// signed by the drive, fiscal numbers 1..count with none missing or twice,
// receipt numbers of each shift 1, 2, 3... in order; cash the sum of the
// receipts' cash parts.
struct TJournal {
  std::vector<std::string> Lines;
  int64_t Count = 0;    // fiscal documents
  int64_t Receipts = 0; // of the whole journal
  int64_t Cash = 0;     // kopecks
};
testing::AssertionResult WholeJournal(const fs::path& path, TJournal& journal) {
  bool torn = true;
  journal = TJournal{Lines(path, &torn)};
  if (torn)
    return testing::AssertionFailure() << "the journal ends in a torn line";
  std::set<std::string> seen;
  int64_t shift = -1, receipt = 0;
  for (const std::string& line : journal.Lines) {
    if (!seen.insert(line).second)
      return testing::AssertionFailure() << "a line twice: " << line;
    const int64_t number = Member(line, "1040");
    if (number < 0)
      continue;
    if (number != journal.Count + 1)
      return testing::AssertionFailure() << "document " << number << " after " << journal.Count;
    ++journal.Count;
    const size_t sign = line.rfind(",\"1077\":");
    std::string given = sign == std::string::npos ? std::string() : line.substr(sign + 8);
    std::erase(given, '"');
    std::erase(given, '}');
    if (sign == std::string::npos ||
        given != fiscal::TFiscalMemory::FiscalSign(kDriveKey, line.substr(0, sign)))
      return testing::AssertionFailure() << "a line its sign does not match: " << line;
    if (!IsReceipt(line))
      continue;
    if (Member(line, "1038") != shift) {
      shift = Member(line, "1038");
      receipt = 0;
    }
    if (Member(line, "1042") != ++receipt)
      return testing::AssertionFailure() << "receipt " << Member(line, "1042") << " of shift " << shift
                                         << " where " << receipt << " was due";
    ++journal.Receipts;
    journal.Cash += Member(line, "1031");
  }
  return testing::AssertionSuccess();
}

// The tape file's text of a journal line, as the register prints it.
std::string TapeOf(const std::string& line) {
  return Utf16ToUtf8(TapeFileText(fiscal::FiscalTapeLines(line, kLineLength, false)));
}

// Starts this program as a seller in home (see the variables above); -1 when
// it cannot start.
pid_t StartSeller(const fs::path& home, int count, const fs::path& ready, const fs::path& numbers,
                  const fs::path& go = {}) {
  return testenv::StartSelf("FiscalSeller.Sells", {std::string(kHomeVariable) + "=" + home.string(),
                                                   std::string(kCountVariable) + "=" + std::to_string(count),
                                                   std::string(kReadyVariable) + "=" + ready.string(),
                                                   std::string(kNumbersVariable) + "=" + numbers.string(),
                                                   std::string(kGoVariable) + "=" + go.string()});
}

// Waits for a file to appear, a minute at most: whether it did.
bool AwaitFile(const fs::path& path) {
  for (int waited = 0; waited < 60000; ++waited) {
    if (fs::exists(path))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return fs::exists(path);
}

int Wait(pid_t child) {
  return testenv::WaitChild(child);
}

// The seller's side, run only as a child of the tests below: opens the
// device, opens a shift when none is open, and sells, writing each receipt's
// number as it is answered.
TEST(FiscalSeller, Sells) {
  const char* home = std::getenv(kHomeVariable);
  if (home == nullptr)
    GTEST_SKIP() << "run by the process tests only";
  testenv::RedirectLogHome(home);
  const int count = std::atoi(std::getenv(kCountVariable));
  std::string error;
  auto sim = TRegister::Open(error);
  ASSERT_NE(sim, nullptr) << error;
  if (Attribute(sim->Status(), "ShiftState") != "2") {
    ASSERT_TRUE(sim->ShiftCall(u"OpenShift")) << Utf16ToUtf8(sim->LastError());
  }
  std::ofstream numbers(std::getenv(kNumbersVariable));
  const std::string go = std::getenv(kGoVariable);
  if (!go.empty()) {
    std::ofstream(std::getenv(kReadyVariable)) << "ready";
    ASSERT_TRUE(AwaitFile(go));
  }
  for (int i = 0; count == 0 || i < count; ++i) {
    const std::u16string output = sim->Sell();
    ASSERT_FALSE(output.empty()) << Utf16ToUtf8(sim->LastError());
    numbers << Attribute(output, "CheckNumber") << std::endl;
    if (i == 0 && go.empty())
      std::ofstream(std::getenv(kReadyVariable)) << "ready";
  }
}

// A new object of the library with its device open; null (a failure) when
// it cannot be made.
std::unique_ptr<TRegister> Register() {
  std::string error;
  auto sim = TRegister::Open(error);
  EXPECT_NE(sim, nullptr) << error;
  return sim;
}

// Each test with a data home of its own, which its children share.
class FiscalProcesses : public testing::Test {
protected:
  void SetUp() override {
    home_ =
        fs::path(testenv::TemporaryFolder()) / testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(home_);
    fs::create_directories(home_);
    testenv::RedirectLogHome(home_.string());
  }
  void TearDown() override {
    testenv::RestoreLogHome();
    std::error_code ignored;
    fs::remove_all(home_, ignored);
  }
  fs::path home_;
};

// After every kill: a new object opens the device and answers its status; the
// journal is whole (see WholeJournal) and its cash is the balance; the tape
// file grew by the whole tape of each receipt the child committed, in order,
// except the last one committed, which may be whole, cut short or missing
// (the child died printing it, or before); and the next receipt takes the
// next number, with its whole tape.
TEST_F(FiscalProcesses, ASellerKilledInsideProcessCheckLeavesAWholeRegister) {
  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // Microseconds after the child's first receipt: several receipts' time, so
  // that the kill falls at any point of the call.
  std::uniform_int_distribution<int> pause(0, 20000);
  {
    auto sim = Register();
    ASSERT_NE(sim, nullptr);
    ASSERT_TRUE(sim->ShiftCall(u"OpenShift")) << Utf16ToUtf8(sim->LastError());
  }
  const fs::path ready = home_ / "ready", numbers = home_ / "numbers";
  TJournal journal;
  ASSERT_TRUE(WholeJournal(JournalIn(home_), journal));
  uintmax_t tapeAt = fs::file_size(TapeIn(home_));
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove(ready);
    const size_t linesBefore = journal.Lines.size();
    const pid_t child = StartSeller(home_, 0, ready, numbers);
    ASSERT_GT(child, 0);
    AwaitFile(ready);
    std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
    kill(child, SIGKILL);
    ASSERT_EQ(Wait(child), -SIGKILL) << "the seller ended by itself";

    auto sim = Register();
    ASSERT_NE(sim, nullptr);
    const std::u16string status = sim->Status();
    ASSERT_FALSE(status.empty()) << Utf16ToUtf8(sim->LastError());
    ASSERT_TRUE(WholeJournal(JournalIn(home_), journal));
    ASSERT_GT(journal.Lines.size(), linesBefore) << "the child sold nothing";
    EXPECT_EQ(Attribute(status, "CheckNumber"), std::to_string(journal.Count));
    EXPECT_EQ(Attribute(status, "CashBalance"), Money(journal.Cash));
    EXPECT_EQ(journal.Cash, journal.Receipts * kReceiptTotal);

    const std::string tape = testenv::ReadFileBytes(TapeIn(home_), tapeAt);
    std::string whole;
    for (size_t k = linesBefore; k + 1 < journal.Lines.size(); ++k)
      whole += TapeOf(journal.Lines[k]);
    const std::string last = TapeOf(journal.Lines.back());
    ASSERT_EQ(tape.substr(0, whole.size()), whole);
    ASSERT_TRUE(last.starts_with(tape.substr(whole.size())))
        << "the tape after the last whole receipt is no part of the last one:\n"
        << tape.substr(whole.size());

    tapeAt += tape.size();
    const std::u16string sold = sim->Sell();
    ASSERT_FALSE(sold.empty()) << Utf16ToUtf8(sim->LastError());
    EXPECT_EQ(Attribute(sold, "CheckNumber"), std::to_string(journal.Count + 1));
    ASSERT_TRUE(WholeJournal(JournalIn(home_), journal));
    EXPECT_EQ(testenv::ReadFileBytes(TapeIn(home_), tapeAt), TapeOf(journal.Lines.back()));
    tapeAt = fs::file_size(TapeIn(home_));
    // The test stays short on a slow machine: fewer rounds, never a failure.
    if (round >= 10 && std::chrono::steady_clock::now() - start > std::chrono::seconds(15))
      break;
  }
}

// The data home on a 64 KB tmpfs of its own, with a ballast file to free.
class FiscalOnASmallDisk : public testing::Test {
protected:
  void SetUp() override {
    disk_ = fs::path(testenv::TemporaryFolder()) / "fiscal-small-disk";
    fs::create_directories(disk_);
    if (mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=64k") != 0)
      GTEST_SKIP() << "a tmpfs cannot be mounted here: " << std::strerror(errno);
    mounted_ = true;
    testenv::RedirectLogHome(disk_.string());
  }
  void TearDown() override {
    if (mounted_) {
      testenv::RestoreLogHome();
      umount2(disk_.c_str(), MNT_DETACH);
    }
  }
  fs::path disk_;
  bool mounted_ = false;
};

TEST_F(FiscalOnASmallDisk, AReceiptThatFindsNoRoomRecordsNothingAndTheNextTakesTheNumber) {
  std::ofstream(disk_ / "ballast", std::ios::binary) << std::string(16 * 1024, 'x');
  auto sim = Register();
  ASSERT_NE(sim, nullptr);
  ASSERT_TRUE(sim->ShiftCall(u"OpenShift")) << Utf16ToUtf8(sim->LastError());
  const fs::path journalPath = JournalIn(disk_);
  std::string before;
  int64_t last = 0;
  bool refused = false;
  for (int n = 0; n < 200 && !refused; ++n) {
    before = testenv::ReadFileBytes(journalPath);
    const std::u16string sold = sim->Sell();
    if (sold.empty()) {
      refused = true;
      EXPECT_EQ(Utf16ToUtf8(sim->LastError()),
                "Не удалось записать документ в файл " + journalPath.string() + ": нет места на диске");
    } else {
      last = std::atoll(Attribute(sold, "CheckNumber").c_str());
    }
  }
  ASSERT_TRUE(refused) << "the disk never filled";
  EXPECT_EQ(testenv::ReadFileBytes(journalPath), before);
  TJournal journal;
  ASSERT_TRUE(WholeJournal(journalPath, journal));
  EXPECT_EQ(journal.Count, last);
  EXPECT_EQ(Attribute(sim->Status(), "CheckNumber"), std::to_string(last));

  fs::remove(disk_ / "ballast");
  const std::u16string sold = sim->Sell();
  ASSERT_FALSE(sold.empty()) << Utf16ToUtf8(sim->LastError());
  EXPECT_EQ(Attribute(sold, "CheckNumber"), std::to_string(last + 1));
  ASSERT_TRUE(WholeJournal(journalPath, journal));
  EXPECT_EQ(journal.Count, last + 1);
  EXPECT_EQ(journal.Cash, journal.Receipts * kReceiptTotal);
}

TEST_F(FiscalProcesses, TwoSellersAtOnceShareOneNumberingWithNoneMissingOrTwice) {
  constexpr int kEach = 100;
  {
    auto sim = Register();
    ASSERT_NE(sim, nullptr);
    ASSERT_TRUE(sim->ShiftCall(u"OpenShift")) << Utf16ToUtf8(sim->LastError());
  }
  const fs::path numbers[2] = {home_ / "numbers-a", home_ / "numbers-b"};
  // Both start selling together, once both have their device open.
  const fs::path go = home_ / "go";
  const pid_t a = StartSeller(home_, kEach, home_ / "ready-a", numbers[0], go);
  const pid_t b = StartSeller(home_, kEach, home_ / "ready-b", numbers[1], go);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_TRUE(AwaitFile(home_ / "ready-a"));
  EXPECT_TRUE(AwaitFile(home_ / "ready-b"));
  std::ofstream(go) << "go";
  EXPECT_EQ(Wait(a), 0);
  EXPECT_EQ(Wait(b), 0);

  TJournal journal;
  ASSERT_TRUE(WholeJournal(JournalIn(home_), journal));
  EXPECT_EQ(journal.Count, 2 + 2 * kEach); // registration, the shift, the receipts
  EXPECT_EQ(journal.Receipts, 2 * kEach);
  std::multiset<int64_t> answered, recorded;
  for (const fs::path& path : numbers) {
    std::ifstream in(path);
    int count = 0;
    for (int64_t number; in >> number; ++count)
      answered.insert(number);
    EXPECT_EQ(count, kEach) << path;
  }
  for (const std::string& line : journal.Lines)
    if (IsReceipt(line))
      recorded.insert(Member(line, "1040"));
  EXPECT_EQ(answered, recorded);
  // Each document is printed under the journal's lock: the tape holds them
  // whole, in the journal's order, never one inside another.
  std::string tape;
  for (const std::string& line : journal.Lines)
    tape += TapeOf(line);
  EXPECT_TRUE(testenv::ReadFileBytes(TapeIn(home_)) == tape)
      << "the tape is not the journal's documents in order";

  auto sim = Register();
  ASSERT_NE(sim, nullptr);
  const std::u16string status = sim->Status();
  EXPECT_EQ(Attribute(status, "CashBalance"), Money(2 * kEach * kReceiptTotal));
  EXPECT_EQ(Attribute(status, "ShiftClosingCheckNumber"), std::to_string(2 * kEach));
  std::u16string closed;
  ASSERT_TRUE(sim->ShiftCall(u"CloseShift", &closed)) << Utf16ToUtf8(sim->LastError());
  EXPECT_EQ(Attribute(closed, "CheckCount"), std::to_string(2 * kEach));
  EXPECT_EQ(Attribute(closed, "TotalChecksAmount"), Money(2 * kEach * kReceiptTotal));
}

} // namespace
