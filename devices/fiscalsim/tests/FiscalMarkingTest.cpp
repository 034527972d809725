// The register's marking codes called as the bridge calls them: a code
// requested, polled, confirmed and sold with its notice; the marking system's
// answers the control file scripts (a refusal, a delay, no link); and each
// refusal of the flow leaving the journal as it was.
#include "EmulatorFixture.h"
#include "FiscalSim.h"
#include "TestEnv.h"
#include "TestHost.h"
#include "TextCodec.h"
#ifndef _WIN32
#include "FileSizeLimit_posix.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testhost::BoolValue;
using testhost::IntValue;

constexpr char16_t kInput[] = u"<InputParameters><Parameters CashierName=\"Иванова\"/></InputParameters>";
// Well-formed codes of two GTINs, and one whose GTIN's check digit is wrong.
const std::string kMilk = std::string("0104607000000014215Ab!c%ZxY0tQ\x1d") + "91EE06\x1d" + "92dGVzdGtleQ==";
const std::string kShoes = std::string("010462020200120721shoe42\x1d") + "91EE06\x1d" + "92a2V5";
const std::string kBadGtin = std::string("0104607000000015215Ab\x1d") + "91EE06\x1d" + "92a2V5";

std::u16string Base64(const std::string& code) {
  return EncodeBase64(code);
}

std::string Attribute(const std::u16string& xml, std::string_view name) {
  const std::string text = Utf16ToUtf8(xml), key = " " + std::string(name) + "=\"";
  const size_t at = text.find(key);
  return at == std::string::npos
             ? std::string()
             : text.substr(at + key.size(), text.find('"', at + key.size()) - at - key.size());
}

class FiscalMarking : public testenv::EmulatorFixture<TFiscalSim_3004> {
protected:
  void SetUp() override {
    folder = fs::path(testhost::Utf8ToUtf16(testhost::FreshDataFolder()));
    ASSERT_FALSE(folder.empty());
    Script("");
    EmulatorFixture::SetUp();
    std::error_code ignored;
    fs::remove(folder / fs::path(object.JournalFileName()), ignored);
    fs::remove(folder / fs::path(object.TapeFileName()), ignored);
    ASSERT_EQ(Call(u"SetParameter", {Str(u"Show"), BoolValue(false)}), 1);
    ASSERT_EQ(Call(u"OpenShift", {Str(id), Str(kInput)}, 3), 1) << Utf16ToUtf8(LastError());
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove(folder / "operator.txt", ignored);
  }

  // operator.txt with the given key lines (none when empty).
  void Script(std::string_view lines) {
    std::error_code ignored;
    fs::remove(folder / "operator.txt", ignored);
    if (!lines.empty())
      std::ofstream(folder / "operator.txt", std::ios::binary) << "dialog\n" << lines;
  }
  std::string Journal() { return testenv::ReadFileBytes(folder / fs::path(object.JournalFileName())); }
  std::string Tape() { return testenv::ReadFileBytes(folder / fs::path(object.TapeFileName())); }

  int OpenSession() { return Call(u"OpenSessionRegistrationKM", {Str(id)}); }
  // RequestKM of a code; its RequestKMResult in answer.
  int Request(std::u16string_view guid, const std::string& code, std::u16string_view more = u"") {
    const int outcome =
        Call(u"RequestKM",
             {Str(id), Str(u"<RequestKM GUID=\"" + std::u16string(guid) + u"\" MarkingCode=\"" +
                           Base64(code) + u"\" PlannedStatus=\"1\" " + std::u16string(more) + u"/>")},
             3);
    answer = Text(2);
    return outcome;
  }
  // GetProcessingKMResult's status (-1 when the call failed); its document in answer.
  int Poll() {
    if (Call(u"GetProcessingKMResult", {Str(id)}, 3) != 1)
      return -1;
    answer = Text(1);
    return Int(2);
  }
  int Confirm(std::u16string_view guid, int type = 0) {
    return Call(u"ConfirmKM", {Str(id), Str(guid), IntValue(type)});
  }
  int Sell(const std::string& code) {
    const std::u16string package =
        u"<CheckPackage><Parameters CashierName=\"Иванова\" OperationType=\"1\" TaxationSystem=\"0\"/>"
        u"<Positions><FiscalString Name=\"Хлеб\" Quantity=\"1\" PriceWithDiscount=\"45\" "
        u"AmountWithDiscount=\"45\" "
        u"VATRate=\"10\" VATAmount=\"4.09\"/><FiscalString Name=\"Молоко\" Quantity=\"1\" "
        u"PriceWithDiscount=\"90\" "
        u"AmountWithDiscount=\"90\" VATRate=\"10\" VATAmount=\"8.18\" MarkingCode=\"" +
        Base64(code) + u"\"/></Positions><Payments Cash=\"200\"/></CheckPackage>";
    return Call(u"ProcessCheck", {Str(id), BoolValue(false), Str(package)}, 4);
  }
  // Requested, answered and confirmed for sale.
  void Approve(std::u16string_view guid, const std::string& code) {
    ASSERT_EQ(Request(guid, code), 1) << Utf16ToUtf8(LastError());
    ASSERT_EQ(Poll(), 0);
    ASSERT_EQ(Confirm(guid), 1) << Utf16ToUtf8(LastError());
  }
  fs::path folder;
  std::u16string answer;
};

TEST_F(FiscalMarking, AnAcceptedCodeIsSoldWithItsNoticeAndTheSessionCloses) {
  ASSERT_EQ(OpenSession(), 1);
  ASSERT_EQ(Request(u"a-1", kMilk), 1) << Utf16ToUtf8(LastError());
  EXPECT_EQ(Attribute(answer, "Checking"), "true");
  EXPECT_EQ(Attribute(answer, "CheckingResult"), "true");
  ASSERT_EQ(Poll(), 0);
  EXPECT_EQ(Attribute(answer, "GUID"), "a-1");
  EXPECT_EQ(Attribute(answer, "Result"), "true");
  EXPECT_EQ(Attribute(answer, "ResultCode"), "15");
  EXPECT_EQ(Attribute(answer, "StatusInfo"), "1");
  EXPECT_EQ(Attribute(answer, "HandleCode"), "0");
  ASSERT_EQ(Confirm(u"a-1"), 1);
  ASSERT_EQ(Sell(kMilk), 1) << Utf16ToUtf8(LastError());

  const std::string journal = Journal();
  EXPECT_NE(journal.find("\"km\":{\"2000\":\"0104607000000014215Ab!c%ZxY0tQ\\u001d91EE06"),
            std::string::npos);
  EXPECT_NE(journal.find("\"gtin\":\"04607000000014\",\"serial\":\"5Ab!c%ZxY0tQ\",\"2003\":1,\"2106\":15,"
                         "\"rule\":\"km=accept (по умолчанию)\""),
            std::string::npos)
      << journal;
  // The notice follows its receipt with the next document number.
  const size_t notice = journal.find("{\"type\":\"marking_notice\",\"1040\":4,");
  ASSERT_NE(notice, std::string::npos) << journal;
  EXPECT_NE(journal.find("\"receipt\":3,", notice), std::string::npos);
  const std::string tape = Tape();
  EXPECT_NE(tape.find("[М+] Молоко"), std::string::npos) << tape;
  EXPECT_NE(tape.find("КМ 0104607000000014"), std::string::npos) << tape;
  EXPECT_EQ(tape.find("[М"), tape.find("[М+] Молоко")); // the unmarked line has no mark
  // The copy of the notice reads back.
  ASSERT_EQ(Call(u"PrintCheckCopy", {Str(id), Str(u"4")}), 1) << Utf16ToUtf8(LastError());
  EXPECT_NE(Tape().find("УВЕДОМЛЕНИЕ О РЕАЛИЗАЦИИ"), std::string::npos);

  // The receipt closed the session: the code cannot be sold again.
  EXPECT_EQ(Request(u"a-2", kMilk), 0);
  EXPECT_NE(LastError().find(u"не открыта"), std::u16string::npos);
  EXPECT_EQ(Sell(kMilk), 0);
  EXPECT_NE(LastError().find(u"не был запрошен"), std::u16string::npos);
}

TEST_F(FiscalMarking, ARejectedCodeIsRefusedAtTheReceiptEvenWhenConfirmed) {
  // The shoes' own rule wins over the rule of all codes.
  Script("km=accept\nKM.04620202001207=reject:15\n");
  ASSERT_EQ(OpenSession(), 1);
  ASSERT_EQ(Request(u"s-1", kShoes), 1);
  ASSERT_EQ(Poll(), 0);
  EXPECT_EQ(Attribute(answer, "Result"), "false");
  // A reject rule's result code is given as it is, all bits set included.
  EXPECT_EQ(Attribute(answer, "ResultCode"), "15");
  EXPECT_EQ(Attribute(answer, "StatusInfo"), "2");
  ASSERT_EQ(Confirm(u"s-1"), 1);
  const std::string before = Journal();
  EXPECT_EQ(Sell(kShoes), 0);
  const std::u16string error = LastError();
  EXPECT_NE(error.find(u"строке 2 \"Молоко\""), std::u16string::npos) << Utf16ToUtf8(error);
  EXPECT_NE(error.find(u"отклонён системой маркировки"), std::u16string::npos) << Utf16ToUtf8(error);
  EXPECT_EQ(Journal(), before);
  // The milk in the same session answers by the rule of all codes.
  Approve(u"m-1", kMilk);
  EXPECT_EQ(Sell(kMilk), 1) << Utf16ToUtf8(LastError());
  EXPECT_NE(Journal().find("\"rule\":\"km=accept\""), std::string::npos);
}

TEST_F(FiscalMarking, ADelayedAnswerHoldsEveryOtherOperationUntilItComes) {
  Script("km=delay:1\n");
  ASSERT_EQ(OpenSession(), 1);
  ASSERT_EQ(Request(u"d-1", kMilk, u"WaitForResult=\"false\""), 1);
  ASSERT_EQ(Poll(), 1);
  EXPECT_EQ(Attribute(answer, "Result"), "false");
  // Nothing else runs meanwhile; the error and the device's own methods do.
  EXPECT_EQ(Call(u"GetCurrentStatus", {Str(id), Str(kInput)}, 3), 0);
  EXPECT_NE(LastError().find(u"ожидает ответа системы маркировки"), std::u16string::npos);
  EXPECT_EQ(Sell(kMilk), 0);
  EXPECT_EQ(Request(u"d-2", kShoes), 0);
  EXPECT_EQ(Confirm(u"d-1"), 0);
  EXPECT_EQ(Call(u"GetDescription", {}, 1), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  ASSERT_EQ(Poll(), 0);
  EXPECT_EQ(Attribute(answer, "ResultCode"), "15");
  EXPECT_EQ(Call(u"GetCurrentStatus", {Str(id), Str(kInput)}, 3), 1);
  ASSERT_EQ(Confirm(u"d-1"), 1);
  EXPECT_EQ(Sell(kMilk), 1) << Utf16ToUtf8(LastError());
}

TEST_F(FiscalMarking, ACodeTheSystemDidNotCheckSellsMarkedUnchecked) {
  Script("km=unreachable\n");
  ASSERT_EQ(OpenSession(), 1);
  ASSERT_EQ(Request(u"u-1", kMilk), 1);
  ASSERT_EQ(Poll(), 2);
  EXPECT_EQ(Attribute(answer, "ResultCode"), "3");
  ASSERT_EQ(Confirm(u"u-1"), 1);
  ASSERT_EQ(Sell(kMilk), 1) << Utf16ToUtf8(LastError());
  EXPECT_NE(Tape().find("[М] Молоко"), std::string::npos);
  EXPECT_NE(Journal().find("\"2106\":3,\"rule\":\"km=unreachable\""), std::string::npos);
  // The drive's check alone: nothing to wait for nor to confirm.
  ASSERT_EQ(OpenSession(), 1);
  ASSERT_EQ(Request(u"l-1", kMilk, u"NotSendToServer=\"true\""), 1);
  ASSERT_EQ(Sell(kMilk), 1) << Utf16ToUtf8(LastError());
  EXPECT_NE(Journal().find("\"2106\":3,\"rule\":\"NotSendToServer\""), std::string::npos);
}

TEST_F(FiscalMarking, OnlyARequestedResolvedAndConfirmedCodeSells) {
  ASSERT_EQ(OpenSession(), 1);
  const std::string before = Journal();
  // Never requested.
  EXPECT_EQ(Sell(kMilk), 0);
  EXPECT_NE(LastError().find(u"строке 2 \"Молоко\" не был запрошен"), std::u16string::npos);
  // Requested and answered, not confirmed.
  ASSERT_EQ(Request(u"c-1", kMilk), 1);
  ASSERT_EQ(Poll(), 0);
  EXPECT_EQ(Sell(kMilk), 0);
  EXPECT_NE(LastError().find(u"не подтверждён"), std::u16string::npos);
  // Confirmed as not to be sold.
  ASSERT_EQ(Confirm(u"c-1", 1), 1);
  EXPECT_EQ(Sell(kMilk), 0);
  EXPECT_NE(LastError().find(u"отказан"), std::u16string::npos);
  EXPECT_EQ(Journal(), before);
  // The flow's own refusals.
  EXPECT_EQ(Request(u"c-1", kShoes), 0); // the same GUID again
  EXPECT_NE(LastError().find(u"уже был"), std::u16string::npos);
  EXPECT_EQ(Confirm(u"nobody"), 0);
  EXPECT_EQ(Confirm(u"c-1", 2), 0);
  EXPECT_EQ(Call(u"RequestKM", {Str(id), Str(u"<RequestKM GUID=\"x\" MarkingCode=\"MDE=\"/>")}, 3), 0);
  EXPECT_NE(LastError().find(u"PlannedStatus"), std::u16string::npos);
  // A malformed rule of the control file refuses the request.
  Script("km=sometimes\n");
  EXPECT_EQ(Request(u"c-2", kShoes), 0);
  EXPECT_NE(LastError().find(u"km=sometimes"), std::u16string::npos);
}

TEST_F(FiscalMarking, ClosingTheSessionCancelsWhatWasPending) {
  Script("km=delay:60\n");
  ASSERT_EQ(OpenSession(), 1);
  ASSERT_EQ(Request(u"p-1", kMilk), 1);
  ASSERT_EQ(Poll(), 1);
  ASSERT_EQ(Call(u"CloseSessionRegistrationKM", {Str(id)}), 1);
  // The register is free again; the cancelled code is not the receipt's.
  EXPECT_EQ(Call(u"GetCurrentStatus", {Str(id), Str(kInput)}, 3), 1);
  EXPECT_EQ(Poll(), -1);
  EXPECT_EQ(Sell(kMilk), 0);
  EXPECT_NE(LastError().find(u"не был запрошен"), std::u16string::npos);
  // A session opened again starts empty.
  ASSERT_EQ(OpenSession(), 1);
  EXPECT_EQ(Sell(kMilk), 0);
}

TEST_F(FiscalMarking, AMalformedCodeFailsTheDrivesCheckAndNeverSells) {
  ASSERT_EQ(OpenSession(), 1);
  for (const auto& [guid, code] : {std::pair{u"b-1", kBadGtin}, std::pair{u"b-2", std::string("01046070")}}) {
    ASSERT_EQ(Request(guid, code), 1);
    EXPECT_EQ(Attribute(answer, "Checking"), "true");
    EXPECT_EQ(Attribute(answer, "CheckingResult"), "false");
    // Not sent to the system: nothing to wait for.
    ASSERT_EQ(Poll(), 0);
    EXPECT_EQ(Attribute(answer, "Result"), "false");
    EXPECT_EQ(Attribute(answer, "ResultCode"), "1");
    ASSERT_EQ(Confirm(guid), 1);
  }
  EXPECT_EQ(Sell(kBadGtin), 0);
  EXPECT_NE(LastError().find(u"не прошёл проверку в ФН: неверная контрольная цифра GTIN"),
            std::u16string::npos);
  // Not Base64 at all.
  ASSERT_EQ(Call(u"RequestKM",
                 {Str(id), Str(u"<RequestKM GUID=\"b-3\" MarkingCode=\"не код\" PlannedStatus=\"1\"/>")}, 3),
            1);
  EXPECT_EQ(Attribute(Text(2), "CheckingResult"), "false");
}

#ifndef _WIN32
// A disk that takes the receipt's line but not its notice (a file size limit
// with room for the receipt alone): neither is recorded and the call answers
// why, the session stays open; with the disk taking writes again the same
// receipt sells with its notice numbered right after it.
TEST_F(FiscalMarking, AReceiptAndItsNoticeAreRecordedTogetherOrNotAtAll) {
  ASSERT_EQ(OpenSession(), 1);
  Approve(u"w-1", kMilk);
  ASSERT_EQ(Sell(kMilk), 1) << Utf16ToUtf8(LastError());
  const std::string before = Journal();
  // The first sale's receipt line: the second's differs only in its numbers and sign.
  const size_t noticeAt = before.rfind("{\"type\":\"marking_notice\"");
  const size_t receiptAt = before.rfind("{\"type\":\"receipt\"", noticeAt);
  ASSERT_NE(noticeAt, std::string::npos);
  ASSERT_NE(receiptAt, std::string::npos);

  ASSERT_EQ(OpenSession(), 1);
  Approve(u"w-2", kMilk);
  {
    testenv::TFileSizeLimit limit(before.size() + (noticeAt - receiptAt) + 16);
    ASSERT_TRUE(limit.Set());
    EXPECT_EQ(Sell(kMilk), 0);
  }
  EXPECT_EQ(LastError(), u"Не удалось записать документ в файл " +
                             (folder / fs::path(object.JournalFileName())).u16string() +
                             u": файл превысил допустимый размер");
  EXPECT_EQ(Journal(), before);

  ASSERT_EQ(Sell(kMilk), 1) << Utf16ToUtf8(LastError());
  EXPECT_EQ(Attribute(Text(3), "CheckNumber"), "5");
  const std::string added = Journal().substr(before.size());
  EXPECT_TRUE(added.starts_with("{\"type\":\"receipt\",\"1040\":5,")) << added;
  const size_t notice = added.find("\n{\"type\":\"marking_notice\",\"1040\":6,");
  ASSERT_NE(notice, std::string::npos) << added;
  EXPECT_NE(added.find("\"receipt\":5,", notice), std::string::npos) << added;
  EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), 2);
}
#endif

} // namespace
