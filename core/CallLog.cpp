#include "CallLog.h"

#include <algorithm>

void TCallLog::WriteStamped(std::string& entry) {
  const std::string stamp = Timestamp();
  if (stamp.size() + 1 == kStampSize && entry.size() >= kStampSize) {
    entry.replace(0, stamp.size(), stamp);
    entry[stamp.size()] = '\t';
  } else { // a time stamp of another width still makes a whole entry
    entry.replace(0, std::min(entry.size(), kStampSize), stamp + '\t');
  }
  entry.append("\r\n");
  Append(entry);
}

void TCallLog::Write(std::u16string_view text) {
  std::string entry = Timestamp();
  // Most text is one byte per unit; Cyrillic in UTF-8 takes two.
  entry.reserve(entry.size() + 1 + text.size() * 2 + 2);
  entry.push_back('\t');
  AppendEncoded(entry, text);
  entry.append("\r\n");
  Append(entry);
}
