#include "CallLog.h"

void TCallLog::Write(std::u16string_view text) {
  std::string entry = Timestamp();
  // Most text is one byte per unit; Cyrillic in UTF-8 takes two.
  entry.reserve(entry.size() + 1 + text.size() * 2 + 2);
  entry.push_back('\t');
  AppendEncoded(entry, text);
  entry.append("\r\n");
  Append(entry);
}
