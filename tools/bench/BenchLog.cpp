// Cost of the call log: logged GetVersion calls through the test host against
// the same number of bare appends (one write and a flush each) of an entry of
// the same size, in one run, in alternating rounds. The last line repeats the
// figures as tab-separated values after "bench-tsv" (scripts/bench.sh).
//   bench_log [calls per round] [rounds]
#include "CallLog.h"
#include "TestEnv.h"
#include "TestHost.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

uintmax_t SizeOf(const std::u16string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
  return error ? 0 : size;
}

} // namespace

int main(int argc, char** argv) {
  const long calls = argc > 1 ? std::atol(argv[1]) : 50;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 400;
  if (calls <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: bench_log [calls per round] [rounds]\n");
    return 2;
  }
  testenv::PrepareLogHome();

  std::string error;
  const auto ready = testhost::OpenObject(TESTSIM_PATH, u"Orvik_TestSim_3001", error);
  if (!ready) {
    std::fprintf(stderr, "cannot open the test emulator: %s\n", error.c_str());
    return 1;
  }
  testhost::CountingMemory& memory = ready->memory;
  testhost::Component* sim = ready->component.get();
  const long getVersion = sim->FindMethod(u"GetVersion") >= 0 ? sim->FindMethod(u"GetVersion")
                                                              : sim->FindMethod(u"GetInterfaceRevision");
  const std::u16string logPath = testenv::LogFilePath(u"TestSim_3001_emulator.log");
  const std::u16string barePath = testenv::LogFilePath(u"bench_bare.log");
  auto bare = TCallLog::OpenFile(barePath);
  if (!bare || SizeOf(logPath) == 0) {
    std::fprintf(stderr, "no log file to write\n");
    return 1;
  }

  tVariant result = testhost::EmptyValue();
  const auto logged = [&] {
    for (long i = 0; i < calls; ++i) {
      sim->CallAsFunc(getVersion, result, nullptr, 0);
      testhost::ReleaseValue(memory, result);
    }
  };
  // The size of one call entry, from the file itself.
  const uintmax_t before = SizeOf(logPath);
  sim->CallAsFunc(getVersion, result, nullptr, 0);
  testhost::ReleaseValue(memory, result);
  const std::string entry(static_cast<size_t>(SizeOf(logPath) - before - 1), 'x');
  const std::string line = entry + "\n";

  double loggedSeconds = 0;
  double bareSeconds = 0;
  const auto bareWrites = [&] {
    for (long i = 0; i < calls; ++i)
      bare->Append(line);
  };
  const auto timed = [](const auto& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  // Alternating rounds, each kind first in every other round, so that a
  // change in the disk's load falls on both kinds alike.
  for (int round = 0; round < rounds; ++round) {
    if (round % 2 == 0) {
      loggedSeconds += timed(logged);
      bareSeconds += timed(bareWrites);
    } else {
      bareSeconds += timed(bareWrites);
      loggedSeconds += timed(logged);
    }
  }
  const double total = static_cast<double>(calls) * rounds;
  std::printf("entry size:               %zu bytes\n", line.size());
  std::printf("calls per run:            %.0f (%d rounds of %ld)\n", total, rounds, calls);
  std::printf("logged GetVersion:        %.0f calls/s\n", total / loggedSeconds);
  std::printf("bare append+flush:        %.0f writes/s\n", total / bareSeconds);
  std::printf("ratio (logged / bare):    %.3f\n", loggedSeconds / bareSeconds);
  // For scripts/bench.sh: name, measured, baseline, ratio, goal, memory (tab-separated).
  std::printf("bench-tsv\t%s\t%.0f calls/s\t%.0f writes/s\t%.3f\t1.1\t\n",
              "call log: logged GetVersion vs bare append+flush", total / loggedSeconds, total / bareSeconds,
              loggedSeconds / bareSeconds);
  return 0;
}
