// The way of a scan from a dropped file to the host: a code written to the
// scanner's spool folder (under a temporary name, then renamed, as tests are
// told to) until the host's ExternalEvent has it, timed drop by drop; then a
// file of many codes through the same way, taken as an idle client takes
// them, for the events per second the device delivers. The goal is the
// spool's promise: a delivery within 200 ms. The last line repeats the figures
// as tab-separated values after "bench-tsv" (scripts/bench.sh).
//   bench_input [drops] [codes in the long file]
#include "TestEnv.h"
#include "TestHost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace testhost;

void Drop(const fs::path& folder, const std::string& name, const std::string& text) {
  const fs::path temporary = folder / (name + ".tmp");
  std::ofstream(temporary, std::ios::binary) << text;
  fs::rename(temporary, folder / name);
}

double Percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  const size_t at =
      std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
  return values[at];
}

} // namespace

int main(int argc, char** argv) {
  const int drops = argc > 1 ? std::atoi(argv[1]) : 50;
  const int codes = argc > 2 ? std::atoi(argv[2]) : 5000;
  if (drops <= 0 || codes <= 0) {
    std::fprintf(stderr, "usage: bench_input [drops] [codes in the long file]\n");
    return 2;
  }
  testenv::PrepareLogHome();

  std::string error;
  const auto ready = OpenObject(SCANSIM_PATH, u"Orvik_ScanSim_3001", error);
  if (!ready) {
    std::fprintf(stderr, "cannot open the scanner: %s\n", error.c_str());
    return 1;
  }
  CountingMemory& memory = ready->memory;
  Component& sim = *ready->component;
  RecordingConnection& host = ready->connection;
  const auto call = [&](std::u16string_view method, std::vector<tVariant> values) {
    ValueList list(memory);
    for (const tVariant& value : values)
      list.Add(value);
    tVariant result = EmptyValue();
    const bool ok =
        sim.CallAsFunc(sim.FindMethod(method), result, list) && TypeOf(result) == VTYPE_BOOL && result.bVal;
    ReleaseValue(memory, result);
    return ok;
  };
  if (!call(u"SetParameter", {StringValue(memory, u"Show"), BoolValue(false)}) ||
      !call(u"Open", {EmptyValue()})) {
    std::fprintf(stderr, "the scanner does not open\n");
    return 1;
  }
  const fs::path folder = Utf16ToUtf8(testenv::LogFilePath(u"ScanSim_3001_input"));

  // One code a drop, the next dropped once the last has arrived.
  std::vector<double> latencies;
  for (int i = 0; i < drops; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%06d.txt", i);
    const auto start = Clock::now();
    Drop(folder, name, "4607001771180\r\n");
    if (host.TakeEvents(1, std::chrono::seconds(5)).size() != 1) {
      std::fprintf(stderr, "drop %d did not arrive within 5 s\n", i);
      return 1;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }

  // One file of many codes, taken as they come.
  std::string text;
  for (int i = 0; i < codes; ++i)
    text += std::to_string(4600000000000LL + i) + "\r\n";
  const auto start = Clock::now();
  Drop(folder, "long.txt", text);
  const size_t taken = host.TakeEvents(static_cast<size_t>(codes), std::chrono::seconds(120)).size();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (taken != static_cast<size_t>(codes)) {
    std::fprintf(stderr, "%zu of %d codes arrived\n", taken, codes);
    return 1;
  }

  const double median = Percentile(latencies, 0.5);
  const double p95 = Percentile(latencies, 0.95);
  const double worst = *std::max_element(latencies.begin(), latencies.end());
  std::printf("drop to event:     median %.0f ms, 95%% %.0f ms, worst %.0f ms (%d drops, goal 200 ms)\n",
              median, p95, worst, drops);
  std::printf("one file of codes: %d events in %.2f s, %.0f events/s\n", codes, seconds, codes / seconds);
  // For scripts/bench.sh: name, measured, baseline, ratio, goal, memory (tab-separated).
  std::printf("bench-tsv\t%s\t%.0f ms median, %.0f ms worst\t%.0f events/s from one file\t\t200 ms\t\n",
              "scan dropped in the spool to the host's event", median, worst, codes / seconds);
  return worst <= 200 ? 0 : 3;
}
