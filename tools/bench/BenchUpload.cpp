// Benchmark of UploadGoods: 100,000 goods records (about 16 MB of UTF-8) sent
// through the real library with the call log on, against the floor of the
// same work done bare: pugixml parsing and walking the same document, plus
// one write and flush of the same bytes. Prints both times, their ratio and
// the peak memory while the calls run (the host's parameter included, the
// setup's copies not); also the scale's own check alone (no host, no log),
// which tells the check's share from the call path's. The last two lines repeat the
// figures as tab-separated values after "bench-tsv" (scripts/bench.sh).
//   bench_upload [records] [runs]
#include "BenchIo.h"
#include "GoodsList.h"
#include "TestHost.h"

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// A goods list of count records, about 160 bytes of UTF-8 each.
std::string MakeGoods(size_t count) {
  static const char* const kNames[] = {"Сыр российский весовой", "Колбаса докторская вареная",
                                       "Масло сливочное 82,5%",  "Хлеб бородинский нарезка",
                                       "Яблоки «Гренни Смит»",   "Творог 9% фасованный"};
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Table>\r\n";
  xml.reserve(count * 170 + 64);
  char record[512];
  for (size_t i = 0; i < count; ++i) {
    const int n = std::snprintf(
        record, sizeof record,
        "  <Record PLU=\"%zu\" Code=\"%07zu\" IsWeightGoods=\"%s\" Name=\"%s, арт. %zu, партия %03zu\" "
        "Price=\"%zu,%02zu\" ShelfLife=\"%zu\"/>\r\n",
        i + 1, 2000000 + i, i % 3 == 0 ? "true" : "false", kNames[i % 6], 100000 + i, i % 1000, 50 + i % 950,
        i % 100, 1 + i % 30);
    xml.append(record, static_cast<size_t>(n));
  }
  xml += "</Table>\r\n";
  return xml;
}

// The bare floor: parse and walk every record's attributes.
size_t ParseAndWalk(const std::string& utf8) {
  pugi::xml_document document;
  if (!document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8))
    return 0;
  size_t touched = 0;
  for (pugi::xml_node record = document.document_element().first_child(); record;
       record = record.next_sibling())
    for (pugi::xml_attribute attribute = record.first_attribute(); attribute;
         attribute = attribute.next_attribute())
      touched += attribute.name()[0] != 0 && attribute.value()[0] != 0;
  return touched;
}

double Mb(long long bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv) {
  const size_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

  const std::string folder = benchio::MakeTemporaryFolder();
  if (folder.empty()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  testhost::SetEnvironment("XDG_DATA_HOME", folder.c_str());

  // The document is made again for the bare run, so that while the add-in
  // works the process holds little more than the host's parameter.
  size_t utf8Size = 0;
  std::u16string goods;
  {
    const std::string utf8 = MakeGoods(records);
    utf8Size = utf8.size();
    goods = testhost::Utf8ToUtf16(utf8);
  }
  std::printf("goods list: %zu records, %.1f MB UTF-8, %.1f MB UTF-16\n", records, Mb((long long)utf8Size),
              Mb((long long)(goods.size() * 2)));

  std::string error;
  const auto ready = testhost::OpenObject(SCALESIM_PATH, u"Orvik_ScaleSim_3001", error);
  if (!ready) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  testhost::CountingMemory& memory = ready->memory;
  testhost::Component* scale = ready->component.get();
  const long open = scale->FindMethod(u"Open");
  const long upload = scale->FindMethod(u"UploadGoods");
  testhost::ValueList openParams(memory);
  openParams.Add(testhost::EmptyValue());
  tVariant result = testhost::EmptyValue();
  scale->CallAsFunc(open, result, openParams);
  const std::u16string id = testhost::TextOf(openParams[0], &memory);
  testhost::ReleaseValue(memory, result);

  // The host's parameters, made once: the host owns them before the call.
  bool accepted = true;
  testhost::ValueList params(memory);
  params.AddString(id);
  params.AddString(goods);
  params.AddString(u"first");
  const std::u16string_view hostGoods = testhost::U16Ptr(params[1].pwstrVal);
  std::u16string().swap(goods);
  const long long before = benchio::ResidentBytes();
  const bool peakReset = benchio::ResetPeak();

  // The check alone first: the peak memory after it is the check's own.
  std::vector<double> checkTimes;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const bool ok = CheckGoodsUpload(hostGoods, u"first").empty();
    checkTimes.push_back(Seconds(Clock::now() - start));
    accepted = accepted && ok;
  }
  const long long checkPeak = benchio::PeakResidentBytes();
  benchio::ResetPeak();

  // The calls alone: their peak memory, the host's parameter included.
  const auto callUpload = [&] {
    const auto start = Clock::now();
    scale->CallAsFunc(upload, result, params);
    const double seconds = Seconds(Clock::now() - start);
    accepted = accepted && testhost::TypeOf(result) == VTYPE_BOOL && result.bVal;
    testhost::ReleaseValue(memory, result);
    return seconds;
  };
  for (int run = 0; run < 2; ++run)
    callUpload();
  const long long peak = benchio::PeakResidentBytes();

  // Then the times: each call is followed by the bare work, so that both
  // see the same machine when other programs load it.
  const std::string utf8 = MakeGoods(records);
  std::vector<double> uploadTimes;
  std::vector<double> bareTimes;
  size_t touched = 0;
  for (int run = 0; run < runs; ++run) {
    uploadTimes.push_back(callUpload());
    const auto start = Clock::now();
    touched = ParseAndWalk(utf8);
    const bool written = benchio::WriteAndFlush(folder + "/bare.log", utf8);
    bareTimes.push_back(Seconds(Clock::now() - start));
    if (!written)
      std::fprintf(stderr, "bare write failed\n");
  }

  std::sort(checkTimes.begin(), checkTimes.end());
  std::sort(uploadTimes.begin(), uploadTimes.end());
  std::sort(bareTimes.begin(), bareTimes.end());
  const double up = uploadTimes[uploadTimes.size() / 2];
  const double bare = bareTimes[bareTimes.size() / 2];
  std::printf("UploadGoods through the host interface, log on: %.3f s (median of %d; best %.3f)%s\n", up,
              runs, uploadTimes.front(), accepted ? "" : "  [REFUSED]");
  std::printf("bare pugixml parse+walk (%zu attributes) + write+flush: %.3f s (median; best %.3f)\n", touched,
              bare, bareTimes.front());
  std::printf("ratio: %.2f (goal at most 1.5)\n", up / bare);
  std::printf(
      "the check alone (streaming parse of the host's text; no host call, no log): %.3f s (median; best "
      "%.3f)\n",
      checkTimes[checkTimes.size() / 2], checkTimes.front());
  std::printf(
      "memory: resident before the calls %.1f MB (the host's parameter in UTF-16), peak with "
      "the check alone %.1f MB, peak with the calls %.1f MB = %.2fx the UTF-8 size (goal at most 3x)%s\n",
      Mb(before), Mb(checkPeak), Mb(peak), static_cast<double>(peak) / static_cast<double>(utf8Size),
      peakReset ? "" : " [the peak counts from the start: the setup's copies included]");
  // For scripts/bench.sh: name, measured, baseline, ratio, goal, memory (tab-separated).
  std::printf(
      "bench-tsv\tUploadGoods of %zu records, log on, vs bare parse+write\t%.3f s\t%.3f s\t%.2f\t1.5\t"
      "%.1f MB peak\n",
      records, up, bare, up / bare, Mb(peak));
  std::printf("bench-tsv\tUploadGoods peak memory vs the goods list's UTF-8 size\t%.1f MB\t%.1f MB\t%.2f\t3\t"
              "%.1f MB peak\n",
              Mb(peak), Mb((long long)utf8Size), static_cast<double>(peak) / static_cast<double>(utf8Size),
              Mb(peak));

  ready->component.reset();
  params.Release();
  benchio::RemoveFolder(folder);
  return accepted ? 0 : 2;
}
