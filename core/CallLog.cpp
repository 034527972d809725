#include "CallLog.h"
#include "Clock.h"
#include "TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// A part of an entry larger than this is not kept after its entry is written.
constexpr size_t kKeptBytes = size_t{64} << 20;

} // namespace

std::string TCallLog::Timestamp() {
  const TLocalTime now = LocalTimeNow();
  char text[80];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", now.Day, now.Month, now.Year, now.Hour,
                now.Minute, now.Second);
  return text;
}

char* TCallLog::TBuffer::Reserve(size_t bytes) {
  size = 0;
  if (bytes > capacity) {
    // The old bytes are not needed: never two buffers at once. Until the new
    // one is there the buffer is empty, so that a refused allocation leaves
    // it whole (no capacity without memory) for the next entry.
    data.reset();
    capacity = 0;
    const size_t grown = bytes > SIZE_MAX - bytes / 8 ? bytes : bytes + bytes / 8;
    data.reset(new char[grown]); // not zero-filled
    capacity = grown;
  }
  return data.get();
}

void TCallLog::TBuffer::Trim() {
  if (capacity > kKeptBytes) {
    data.reset();
    capacity = 0;
  }
  size = 0;
}

void TCallLog::WriteCallEntry() {
  static constexpr std::string_view kEnd = "\r\n";
  const std::string stamp = Timestamp() + '\t';
  std::string_view head(head_.data.get(), head_.size);
  const std::string_view tail(tail_.data.get(), tail_.size);
  if (stamp.size() == kStampSize && head.size() >= kStampSize) {
    std::copy(stamp.begin(), stamp.end(), head_.data.get());
    const std::string_view pieces[] = {head, tail, kEnd};
    AppendEntry(pieces);
  } else { // a time stamp of another width still makes a whole entry
    head.remove_prefix(std::min(head.size(), kStampSize));
    const std::string_view pieces[] = {stamp, head, tail, kEnd};
    AppendEntry(pieces);
  }
  head_.Trim();
  tail_.Trim();
}

void TCallLog::Write(std::u16string_view text) {
  std::string entry = Timestamp();
  entry.push_back('\t');
  AppendEncoded(entry, text);
  entry.append("\r\n");
  const std::string_view piece = entry;
  AppendEntry({&piece, 1});
}

void TCallLog::AppendEntry(std::span<const std::string_view> pieces) {
  try {
    if (lost_ == 0) {
      if (!Append(pieces))
        ++lost_;
      return;
    }
    // The count goes as an entry of its own in the same write as the entry
    // that follows it: both land, or neither and the count grows.
    std::string lost = Timestamp();
    lost.push_back('\t');
    AppendEncoded(lost, u"Не записано в журнал записей: ");
    lost += std::to_string(lost_);
    lost.append("\r\n");
    std::vector<std::string_view> all;
    all.reserve(pieces.size() + 1);
    all.push_back(lost);
    all.insert(all.end(), pieces.begin(), pieces.end());
    if (Append(all))
      lost_ = 0;
    else
      ++lost_;
  } catch (...) { // an entry that found no memory is lost too, and counted
    ++lost_;
    throw;
  }
}
