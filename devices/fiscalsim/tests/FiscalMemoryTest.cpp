// The fiscal memory in one process: numbers, shifts, counters and cash as the
// journal carries them, the refusals that leave it untouched, a document
// with its follow-up, the 24-hour rule through the clock, a closed drive and a
// reset, what a second instance sees, and a torn tail cut back.
#include "FiscalMemoryTest.h"

#include <chrono>
#include <cstdio>
#include <fstream>

namespace {

using namespace fmemtest;
using fiscal::TDocumentType;
using fiscal::TFiscalMemory;
using fiscal::TShiftState;

class FiscalMemory : public testing::Test {
protected:
  void SetUp() override {
    folder_ = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    journal_ = folder_ / "FiscalSim_journal.jsonl";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::unique_ptr<TFiscalMemory> Memory() {
    return std::make_unique<TFiscalMemory>(
        journal_, [this] { return now_; }, kSerial, kKey);
  }
  fiscal::TFiscalState State(TFiscalMemory& memory) {
    auto transaction = memory.Begin();
    EXPECT_TRUE(transaction) << testing::PrintToString(transaction.Error());
    return transaction.State();
  }
  void Append(const std::string& bytes) {
    std::ofstream(journal_, std::ios::binary | std::ios::app) << bytes;
  }

  fs::path folder_;
  fs::path journal_;
  fiscal::TLocalSeconds now_ = kMorning;
};

TEST_F(FiscalMemory, NumbersCountersAndCashFollowTheDocuments) {
  auto memory = Memory();
  RegisterAndOpen(*memory);
  EXPECT_EQ(CommitOne(*memory, Sale(15000, 20000, 5000)), 3); // cash with change
  EXPECT_EQ(CommitOne(*memory, Sale(5000, 0)), 4);            // card
  EXPECT_EQ(CommitOne(*memory, Sale(3000, 3000, 0, 2)), 5);   // a return paid out in cash
  fiscal::TDocument correction = Sale(2000, 2000);
  correction.Type = TDocumentType::Correction;
  EXPECT_EQ(CommitOne(*memory, correction), 6);
  fiscal::TDocument in = Doc(TDocumentType::CashIn), out = Doc(TDocumentType::CashOut);
  in.Total = 10000;
  out.Total = 4000;
  // Cash in, out and the X-report are no fiscal documents: no number taken.
  EXPECT_EQ(CommitOne(*memory, in), 0);
  EXPECT_EQ(CommitOne(*memory, out), 0);
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::XReport)), 0);

  fiscal::TFiscalState state = State(*memory);
  EXPECT_EQ(state.NextDocumentNumber, 7);
  EXPECT_EQ(state.NextReceiptNumber, 5);
  EXPECT_EQ(state.CashBalance, 15000 - 3000 + 2000 + 10000 - 4000);
  EXPECT_EQ(state.Counters[0], (fiscal::TOperationCounters{2, 20000, 1, 2000}));
  EXPECT_EQ(state.Counters[1], (fiscal::TOperationCounters{1, 3000, 0, 0}));
  EXPECT_EQ(state.Counters[2], fiscal::TOperationCounters{});
  const std::vector<std::string> lines = Lines(journal_);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(Member(lines[2], "1031"), 15000);
  EXPECT_EQ(Member(lines[2], "change"), 5000);
  EXPECT_EQ(Member(lines[4], "1042"), 3);

  // A new shift: receipt numbers and counters start again, the cash stays.
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::CloseShift)), 7);
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::OpenShift)), 8);
  EXPECT_EQ(CommitOne(*memory, Sale(100, 100)), 9);
  state = State(*memory);
  EXPECT_EQ(state.ShiftNumber, 2);
  EXPECT_EQ(state.Last->Line.find("\"1042\":1,") != std::string::npos, true) << state.Last->Line;
  EXPECT_EQ(state.Counters[0], (fiscal::TOperationCounters{1, 100, 0, 0}));
  EXPECT_EQ(state.Counters[1], fiscal::TOperationCounters{});
  EXPECT_EQ(state.CashBalance, 20000 + 100);
}

TEST_F(FiscalMemory, RefusalsLeaveTheJournalAsItWas) {
  auto memory = Memory();
  std::u16string error;
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::OpenShift), &error), -1);
  EXPECT_EQ(error, u"ККТ не зарегистрирована - операция невозможна");
  ASSERT_EQ(CommitOne(*memory, Doc(TDocumentType::Registration)), 1);
  const std::string before = testenv::ReadFileBytes(journal_);

  const std::pair<fiscal::TDocument, std::u16string> refused[] = {
      {Sale(100, 100), u"Смена закрыта - операция невозможна"},
      {Doc(TDocumentType::XReport), u"Смена закрыта - операция невозможна"},
      {Doc(TDocumentType::CloseShift), u"Смена закрыта - операция невозможна"},
      {Doc(TDocumentType::Registration), u"ККТ уже зарегистрирована - операция невозможна"},
  };
  for (const auto& [document, message] : refused) {
    EXPECT_EQ(CommitOne(*memory, document, &error), -1);
    EXPECT_EQ(error, message);
  }
  EXPECT_EQ(testenv::ReadFileBytes(journal_), before);

  ASSERT_EQ(CommitOne(*memory, Doc(TDocumentType::OpenShift)), 2);
  const std::string open = testenv::ReadFileBytes(journal_);
  fiscal::TDocument out = Doc(TDocumentType::CashOut);
  out.Total = 1;
  fiscal::TDocument ownKey = Sale(100, 100), notObject = Sale(100, 100), badChange = Sale(100, 100, 200);
  ownKey.Extra = R"({"lines":[],"1040":7})";
  notObject.Extra = R"([1,2])";
  const std::pair<fiscal::TDocument, std::u16string> refusedOpen[] = {
      {Doc(TDocumentType::OpenShift), u"Смена открыта - операция невозможна"},
      {Doc(TDocumentType::CloseDrive), u"Смена открыта - операция невозможна"},
      {out, u"Недостаточно наличных в кассе"},
      {Sale(100, 100, 0, 2), u"Недостаточно наличных в кассе"},
      {ownKey, u"Неверные данные документа: ключ 1040 заполняет фискальная память"},
      {notObject, u"Неверные данные документа: не объект JSON"},
      {badChange, u"Сдача больше суммы наличными"},
  };
  for (const auto& [document, message] : refusedOpen) {
    EXPECT_EQ(CommitOne(*memory, document, &error), -1);
    EXPECT_EQ(error, message);
  }
  EXPECT_EQ(testenv::ReadFileBytes(journal_), open);
  EXPECT_EQ(CommitOne(*memory, Sale(100, 100)), 3); // nothing was taken by the refusals
}

// A document and its follow-up: the follow-up is built on the first's number
// and the state after it, both lines land together and any instance reads
// both; a refused follow-up refuses the first too.
TEST_F(FiscalMemory, AFollowUpIsRecordedWithItsDocumentOrNeitherIs) {
  auto memory = Memory();
  RegisterAndOpen(*memory);
  auto notice = [](std::optional<std::string> extra) -> fiscal::TFollowUp {
    return [extra](const fiscal::TFiscalState& state,
                   const fiscal::TLastDocument& first) -> std::optional<fiscal::TDocument> {
      if (!extra)
        return std::nullopt;
      fiscal::TDocument document = Doc(TDocumentType::MarkingNotice);
      document.Extra = !extra->empty() ? *extra
                                       : R"({"receipt":)" + std::to_string(first.Number) + R"(,"cash":)" +
                                             std::to_string(state.CashBalance) + "}";
      return document;
    };
  };
  const std::string before = testenv::ReadFileBytes(journal_);
  {
    auto transaction = memory->Begin();
    const fiscal::TCommitResult refused = transaction.Commit(Sale(100, 100), notice(R"({"1040":9})"));
    EXPECT_FALSE(refused.Ok);
    EXPECT_EQ(refused.Error, u"Неверные данные документа: ключ 1040 заполняет фискальная память");
    EXPECT_EQ(transaction.State().NextDocumentNumber, 3);
    EXPECT_EQ(transaction.State().CashBalance, 0);
  }
  EXPECT_EQ(testenv::ReadFileBytes(journal_), before);

  {
    auto transaction = memory->Begin();
    const fiscal::TCommitResult both = transaction.Commit(Sale(100, 100), notice(""));
    ASSERT_TRUE(both.Ok) << testing::PrintToString(both.Error);
    EXPECT_EQ(both.Document.Number, 3);
    ASSERT_TRUE(both.FollowUp);
    EXPECT_EQ(both.FollowUp->Number, 4);
    EXPECT_EQ(transaction.State().NextDocumentNumber, 5);
    // None to follow: the document alone.
    const fiscal::TCommitResult alone = transaction.Commit(Sale(50, 50), notice(std::nullopt));
    ASSERT_TRUE(alone.Ok);
    EXPECT_EQ(alone.Document.Number, 5);
    EXPECT_FALSE(alone.FollowUp);
  }
  const std::vector<std::string> lines = Lines(journal_);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(Member(lines[3], "1040"), 4);
  EXPECT_EQ(Member(lines[3], "receipt"), 3);
  EXPECT_EQ(Member(lines[3], "cash"), 100);
  const fiscal::TFiscalState state = State(*Memory());
  EXPECT_EQ(state.NextDocumentNumber, 6);
  EXPECT_EQ(state.NextReceiptNumber, 3);
  EXPECT_EQ(state.Documents, 5);
}

TEST_F(FiscalMemory, AShiftExpiresAfterTwentyFourHoursByTheClock) {
  auto memory = Memory();
  RegisterAndOpen(*memory);
  now_ = kMorning + 24 * 3600 - 1;
  EXPECT_EQ(State(*memory).Shift, TShiftState::Open);
  EXPECT_EQ(CommitOne(*memory, Sale(100, 100)), 3);
  now_ = kMorning + 24 * 3600;
  EXPECT_EQ(State(*memory).Shift, TShiftState::Expired);
  std::u16string error;
  for (const TDocumentType type :
       {TDocumentType::Receipt, TDocumentType::CashIn, TDocumentType::XReport, TDocumentType::OpenShift}) {
    fiscal::TDocument document = type == TDocumentType::Receipt ? Sale(100, 100) : Doc(type);
    EXPECT_EQ(CommitOne(*memory, document, &error), -1);
    EXPECT_EQ(error, u"Длительность смены превысила 24 часа. Необходимо снять Z-отчет");
  }
  // Only closing is left; the next shift opens at the clock's time.
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::CloseShift)), 4);
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::OpenShift)), 5);
  const fiscal::TFiscalState state = State(*memory);
  EXPECT_EQ(state.Shift, TShiftState::Open);
  EXPECT_EQ(state.ShiftOpenedAt, "2026-12-10T10:00:00");
}

// A clock put back (a test's key taken away) cannot date a fiscal document
// before the last one; what is not fiscal is not held to it.
TEST_F(FiscalMemory, NoFiscalDocumentIsDatedBeforeTheLastOne) {
  auto memory = Memory();
  RegisterAndOpen(*memory);
  now_ = kMorning + 3600;
  EXPECT_EQ(CommitOne(*memory, Sale(100, 100)), 3);
  const std::string before = testenv::ReadFileBytes(journal_);
  now_ = kMorning + 3599;
  std::u16string error;
  EXPECT_EQ(CommitOne(*memory, Sale(100, 100), &error), -1);
  EXPECT_EQ(error, u"Дата и время документа 2026-12-09T10:59:59 раньше даты последнего фискального документа "
                   u"2026-12-09T11:00:00 - операция невозможна");
  EXPECT_EQ(testenv::ReadFileBytes(journal_), before);
  EXPECT_EQ(Memory()->Begin().State().LastFiscalAt, kMorning + 3600); // as another instance reads it
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::XReport)), 0);
  now_ = kMorning + 3600;
  EXPECT_EQ(CommitOne(*memory, Sale(100, 100)), 4);
}

TEST_F(FiscalMemory, AClosedDriveRefusesEverythingUntilAReset) {
  auto memory = Memory();
  RegisterAndOpen(*memory);
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::CloseShift)), 3);
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::CloseDrive)), 4);
  std::u16string error;
  for (const TDocumentType type :
       {TDocumentType::OpenShift, TDocumentType::SettlementsReport, TDocumentType::Registration}) {
    EXPECT_EQ(CommitOne(*memory, Doc(type), &error), -1);
    EXPECT_EQ(error, u"Фискальный накопитель закрыт - операция невозможна");
  }
  EXPECT_TRUE(Memory()->Begin().State().DriveClosed); // also as another instance reads it
  const std::string old = testenv::ReadFileBytes(journal_);

  now_ = kMorning + 3661;
  EXPECT_EQ(memory->Reset(), u"");
  EXPECT_EQ(testenv::ReadFileBytes(folder_ / "FiscalSim_journal.20261209-110101.jsonl"), old);
  EXPECT_TRUE(fs::exists(journal_));
  EXPECT_EQ(fs::file_size(journal_), 0u);
  EXPECT_EQ(CommitOne(*memory, Doc(TDocumentType::Registration)), 1);
  // A second reset in the same second keeps the first one's file.
  EXPECT_EQ(memory->Reset(), u"");
  EXPECT_TRUE(fs::exists(folder_ / "FiscalSim_journal.20261209-110101-2.jsonl"));
  // An empty journal is new already: nothing is set aside.
  const size_t files = std::distance(fs::directory_iterator(folder_), fs::directory_iterator());
  EXPECT_EQ(memory->Reset(), u"");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), files);
}

TEST_F(FiscalMemory, AnotherInstanceContinuesFromTheJournal) {
  auto first = Memory();
  RegisterAndOpen(*first);
  fiscal::TDocument sale = Sale(15000, 20000, 5000);
  sale.Extra = "{ \"lines\" : [ {\"name\": \"Хлеб\\n\", \"qty\": 1000} ],\n \"cashier\": \"Иванова\" }";
  ASSERT_EQ(CommitOne(*first, sale), 3);

  auto second = Memory();
  fiscal::TFiscalState state = State(*second);
  EXPECT_EQ(state.NextDocumentNumber, 4);
  EXPECT_EQ(state.NextReceiptNumber, 2);
  EXPECT_EQ(state.CashBalance, 15000);
  EXPECT_EQ(state.Shift, TShiftState::Open);
  EXPECT_EQ(state.ShiftNumber, 1);
  EXPECT_EQ(CommitOne(*second, Sale(100, 100)), 4);
  EXPECT_EQ(CommitOne(*first, Sale(100, 100)), 5); // the first catches up with the second's line
  EXPECT_EQ(State(*first).CashBalance, 15200);

  // The line: the memory's members, the caller's compacted, the sign last,
  // which anyone with the key can check.
  const std::string line = Lines(journal_)[2];
  EXPECT_EQ(line.substr(0, 55), R"({"type":"receipt","1040":3,"1038":1,"1042":1,"1012":"20)");
  EXPECT_NE(line.find(R"("lines":[{"name":"Хлеб\n","qty":1000}],"cashier":"Иванова","1077":")"),
            std::string::npos)
      << line;
  const size_t sign = line.rfind(",\"1077\":\"");
  ASSERT_NE(sign, std::string::npos);
  EXPECT_EQ(line.substr(sign + 9, 10), TFiscalMemory::FiscalSign(kKey, line.substr(0, sign)));
  EXPECT_NE(TFiscalMemory::FiscalSign("other key", line.substr(0, sign)), line.substr(sign + 9, 10));

  // Lines that cross the pieces the journal is read in, and a torn end after them.
  fiscal::TDocument long_ = Sale(100, 100);
  long_.Extra = R"({"note":")" + std::string(700000, 'n') + "\"}";
  for (int64_t number = 6; number <= 8; ++number)
    ASSERT_EQ(CommitOne(*first, long_), number);
  Append(R"({"type":"receipt")");
  EXPECT_EQ(State(*Memory()).NextDocumentNumber, 9);
  EXPECT_EQ(CommitOne(*second, Sale(100, 100)), 9);
}

TEST_F(FiscalMemory, ATornTailIsCutBackAndADamagedLineRefused) {
  {
    auto memory = Memory();
    RegisterAndOpen(*memory);
  }
  const std::string whole = testenv::ReadFileBytes(journal_);
  for (const char* torn : {R"({"type":"receipt","1040":3,"10)", "{\"type\"\n"}) {
    Append(torn);
    auto memory = Memory();
    EXPECT_EQ(State(*memory).NextDocumentNumber, 3);
    EXPECT_EQ(testenv::ReadFileBytes(journal_), whole);
  }
  Append("{\"type\":\"rec");
  EXPECT_EQ(CommitOne(*Memory(), Sale(100, 100)),
            3); // a commit cuts it too, and writes after the whole lines
  bool tornAfter = true;
  int64_t count = 0;
  EXPECT_TRUE(Contiguous(Lines(journal_, &tornAfter), count));
  EXPECT_FALSE(tornAfter);
  EXPECT_EQ(count, 3);

  // A line that does not read in the middle is no torn record: refused whole.
  const std::string good = testenv::ReadFileBytes(journal_);
  std::string damaged = good;
  damaged.insert(good.find('\n') + 1, "garbage\n");
  std::ofstream(journal_, std::ios::binary | std::ios::trunc) << damaged;
  auto memory = Memory();
  auto transaction = memory->Begin();
  EXPECT_FALSE(transaction);
  EXPECT_NE(transaction.Error().find(u"Журнал фискальной памяти повреждён"), std::u16string::npos);
  EXPECT_FALSE(transaction.Commit(Sale(100, 100)).Ok);
  EXPECT_EQ(testenv::ReadFileBytes(journal_), damaged);
}

// Commits per second with a flush of the disk each (one flush a commit); a
// figure to read, not a limit.
TEST_F(FiscalMemory, CommitsPerSecond) {
  auto memory = Memory();
  RegisterAndOpen(*memory);
  constexpr int kCommits = 200;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kCommits; ++i)
    ASSERT_EQ(CommitOne(*memory, Sale(100, 100)), i + 3);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("fiscal memory: %d commits in %.3f s, %.0f per second\n", kCommits, seconds,
              kCommits / seconds);
}

} // namespace
