// Cost of a fiscal receipt: receipts of ten lines sold through the test host
// (ProcessCheck, the call log on, the tape window off, a shift opened first)
// against the bare cost of the flushes their durability needs: for each
// receipt, one flushed append per file the receipt writes (the journal, the
// tape file, the call log), each of the size that file grew by, to files of
// the same folder. Alternating rounds, as bench_log. The last line repeats
// the figures as tab-separated values after "bench-tsv" (scripts/bench.sh).
//   bench_fiscal [receipts per round] [rounds]
#include "CallLog.h"
#include "TestEnv.h"
#include "TestHost.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace testhost;

constexpr char16_t kInput[] = u"<InputParameters><Parameters CashierName=\"Иванова\"/></InputParameters>";

// Ten lines of 120.00 (VAT 20%: 20.00), paid in cash.
std::u16string TenLineReceipt() {
  std::u16string xml = u"<CheckPackage><Parameters CashierName=\"Иванова\" OperationType=\"1\" "
                       u"TaxationSystem=\"0\"/><Positions>";
  for (int k = 1; k <= 10; ++k)
    xml += u"<FiscalString Name=\"Товар " + testhost::Utf8ToUtf16(std::to_string(k)) +
           u"\" Quantity=\"1\" PriceWithDiscount=\"120\" AmountWithDiscount=\"120\" VATRate=\"20\" "
           u"VATAmount=\"20\"/>";
  return xml + u"</Positions><Payments Cash=\"1200\"/></CheckPackage>";
}

uintmax_t SizeOf(const fs::path& path) {
  std::error_code error;
  const uintmax_t size = fs::file_size(path, error);
  return error ? 0 : size;
}

} // namespace

int main(int argc, char** argv) {
  const long receipts = argc > 1 ? std::atol(argv[1]) : 20;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
  if (receipts <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: bench_fiscal [receipts per round] [rounds]\n");
    return 2;
  }
  testenv::PrepareLogHome();

  std::string error;
  const auto ready = OpenObject(FISCALSIM_PATH, u"Orvik_FiscalSim_3004", error);
  if (!ready) {
    std::fprintf(stderr, "cannot open the fiscal register: %s\n", error.c_str());
    return 1;
  }
  CountingMemory& memory = ready->memory;
  Component& sim = *ready->component;
  // One call; whether it answered True, the parameters' texts in out.
  const auto call = [&](std::u16string_view method, std::vector<tVariant> values,
                        std::vector<std::u16string>* out = nullptr) {
    ValueList list(memory);
    for (const tVariant& value : values)
      list.Add(value);
    tVariant result = EmptyValue();
    const bool called = sim.CallAsFunc(sim.FindMethod(method), result, list);
    for (long k = 0; out != nullptr && k < list.Count(); ++k)
      out->push_back(TextOf(list[static_cast<size_t>(k)], &memory));
    const bool ok = called && TypeOf(result) == VTYPE_BOOL && result.bVal;
    ReleaseValue(memory, result);
    return ok;
  };
  std::vector<std::u16string> out;
  if (!call(u"SetParameter", {StringValue(memory, u"Show"), BoolValue(false)}) ||
      !call(u"Open", {EmptyValue()}, &out)) {
    std::fprintf(stderr, "the device does not open\n");
    return 1;
  }
  const std::u16string id = out.at(0);
  if (!call(u"OpenShift", {StringValue(memory, id), StringValue(memory, kInput), EmptyValue()})) {
    std::fprintf(stderr, "the shift does not open\n");
    return 1;
  }
  const std::u16string receipt = TenLineReceipt();
  bool refused = false;
  const auto sell = [&] {
    for (long i = 0; i < receipts; ++i) {
      if (!call(u"ProcessCheck",
                {StringValue(memory, id), BoolValue(false), StringValue(memory, receipt), EmptyValue()}))
        refused = true;
    }
  };

  // The files one receipt writes, and by how much each grows.
  const fs::path folder = testhost::Utf16ToUtf8(testenv::LogFilePath(u""));
  const std::vector<std::string> names{"FiscalSim_3004_journal.jsonl", "FiscalSim_3004_tape.txt",
                                       "FiscalSim_3004_emulator.log"};
  std::vector<uintmax_t> before;
  for (const std::string& name : names)
    before.push_back(SizeOf(folder / name));
  if (!call(u"ProcessCheck",
            {StringValue(memory, id), BoolValue(false), StringValue(memory, receipt), EmptyValue()})) {
    std::fprintf(stderr, "the receipt is refused\n");
    return 1;
  }
  std::vector<std::unique_ptr<TCallLog>> bare;
  std::vector<std::string> lines;
  for (size_t k = 0; k < names.size(); ++k) {
    const uintmax_t grown = SizeOf(folder / names[k]) - before[k];
    if (grown == 0)
      continue;
    bare.push_back(TCallLog::OpenFile(folder / ("bench_bare_" + names[k])));
    if (!bare.back()) {
      std::fprintf(stderr, "cannot open a file beside %s\n", names[k].c_str());
      return 1;
    }
    lines.push_back(std::string(static_cast<size_t>(grown) - 1, 'x') + "\n");
    std::printf("%-30s %ju bytes a receipt\n", names[k].c_str(), grown);
  }
  const auto flushes = [&] {
    for (long i = 0; i < receipts; ++i)
      for (size_t k = 0; k < bare.size(); ++k)
        bare[k]->Append(lines[k]);
  };

  const auto timed = [](const auto& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  double sellSeconds = 0;
  double bareSeconds = 0;
  for (int round = 0; round < rounds; ++round) {
    if (round % 2 == 0) {
      sellSeconds += timed(sell);
      bareSeconds += timed(flushes);
    } else {
      bareSeconds += timed(flushes);
      sellSeconds += timed(sell);
    }
  }
  if (refused) {
    std::fprintf(stderr, "a receipt was refused\n");
    return 1;
  }
  const double total = static_cast<double>(receipts) * rounds;
  const double appends = total * static_cast<double>(bare.size());
  std::printf("receipts per run:         %.0f (%d rounds of %ld, 10 lines each)\n", total, rounds, receipts);
  std::printf("receipts through the host: %.0f receipts/s\n", total / sellSeconds);
  std::printf("bare append+flush:        %.0f flushes/s (%zu a receipt)\n", appends / bareSeconds,
              bare.size());
  std::printf("ratio (receipts / bare):  %.3f\n", sellSeconds / bareSeconds);
  // For scripts/bench.sh: name, measured, baseline, ratio, goal, memory (tab-separated).
  std::printf("bench-tsv\t%s\t%.0f receipts/s\t%.0f flushes/s (%zu a receipt)\t%.3f\t\t\n",
              "fiscal receipt of 10 lines vs bare appends+flushes", total / sellSeconds,
              appends / bareSeconds, bare.size(), sellSeconds / bareSeconds);
  return 0;
}
