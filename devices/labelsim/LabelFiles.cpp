// The label printer's files in the data folder: the PNG of every copy and
// the record of every label.
#include "LabelFiles.h"

#include "CallLog.h"
#include "HeldLock.h"
#include "TextCodec.h"
#include "Unattended.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int kNumberWidth = 6;

std::u16string Padded(int64_t n, int width) {
  std::u16string text = Decimal(n);
  if (text.size() < static_cast<size_t>(width))
    text.insert(0, static_cast<size_t>(width) - text.size(), u'0');
  return text;
}

// The number of the last label recorded: the leading digits of the record
// file's last line (0 when there is none). Read from the end in pieces, so
// that neither the file's size nor the folder's count of files costs time or
// memory.
int64_t LastRecordedNumber(const fs::path& records) {
  std::ifstream in(records, std::ios::binary);
  if (!in.seekg(0, std::ios::end))
    return 0;
  std::streamoff end = in.tellg();
  // The line's end: past the CR LF that closes the file.
  std::array<char, 4096> piece{};
  bool inLine = false; // inside the last line's text, reading back towards its start
  int64_t number = 0;
  int64_t scale = 1;
  int digits = 0;
  while (end > 0) {
    const std::streamoff take = std::min<std::streamoff>(end, static_cast<std::streamoff>(piece.size()));
    end -= take;
    if (!in.seekg(end) || !in.read(piece.data(), take))
      return 0;
    for (std::streamoff i = take; i-- > 0;) {
      const char c = piece[static_cast<size_t>(i)];
      if (!inLine) {
        inLine = c != '\r' && c != '\n';
        if (!inLine)
          continue;
      }
      if (c == '\n')
        return number;
      // Digits are gathered from the right; any other character starts over,
      // so that the digits left at the line's start are its number.
      if (c >= '0' && c <= '9' && digits < 15) {
        number += (c - '0') * scale;
        scale *= 10;
        ++digits;
      } else {
        number = 0;
        scale = 1;
        digits = 0;
      }
    }
  }
  return number;
}

void AppendEscaped(std::u16string& out, std::u16string_view text) {
  for (const char16_t c : text) {
    switch (c) {
    case u'\\':
      out += u"\\\\";
      break;
    case u'\t':
      out += u"\\t";
      break;
    case u'\r':
      out += u"\\r";
      break;
    case u'\n':
      out += u"\\n";
      break;
    default:
      out += c;
    }
  }
}

} // namespace

std::u16string LabelRecordLine(int64_t number, const TPrintedLabel& label,
                               const std::vector<std::u16string>& files) {
  std::u16string line = Padded(number, kNumberWidth) + u"\t" + Decimal(label.Quantity);
  for (const auto& [name, value] : label.Values) {
    line += u'\t';
    AppendEscaped(line, name);
    line += u'=';
    AppendEscaped(line, value);
  }
  for (const std::u16string& file : files)
    line += u"\t" + file;
  return line + u"\r\n";
}

std::u16string WriteLabelFiles(std::u16string_view folderName, std::u16string_view recordFileName,
                               std::u16string_view lockFileName, const std::vector<TPrintedLabel>& labels) {
  int code = 0;
  const fs::path data = TCallLog::DataFolder(true, &code);
  if (data.empty())
    return u"Не удалось записать этикетки: нет папки данных (" + TCallLog::ErrorText(code) + u")";
  const fs::path folder = data / fs::path(folderName);
  std::error_code error;
  fs::create_directory(folder, error);
  if (!fs::is_directory(folder, error))
    return u"Не удалось записать этикетки в папку " + TCallLog::DisplayPath(folder) +
           u": папку нельзя создать";

  // The last number read, the copies written and their lines appended all
  // under the lock every process printing into this folder takes: another
  // process's batch waits for this one's lines before it numbers its own, so
  // that no two labels share a number or a file.
  const fs::path lockPath = data / fs::path(lockFileName);
  const THeldLock held(lockPath, u"блокировку этикеток");
  if (!held.Error().empty())
    return held.Error();

  std::vector<fs::path> written;
  const auto takeBack = [&] {
    for (const fs::path& file : written)
      fs::remove(file, error);
  };
  std::u16string records;
  try {
    size_t copies = 0;
    for (const TPrintedLabel& label : labels)
      copies += static_cast<size_t>(label.Quantity);
    written.reserve(copies); // no allocation between a file written and its note here
    int64_t number = LastRecordedNumber(data / fs::path(recordFileName));
    for (const TPrintedLabel& label : labels) {
      ++number;
      const int copyWidth = static_cast<int>(Decimal(label.Quantity).size());
      std::vector<std::u16string> files;
      for (int32_t copy = 1; copy <= label.Quantity; ++copy) {
        files.push_back(Padded(number, kNumberWidth) + u"-" + Padded(copy, copyWidth) + u".png");
        const fs::path file = folder / fs::path(files.back());
        if (const int failure = TCallLog::ReplaceWhole(file, label.Png); failure != 0) {
          takeBack();
          return u"Не удалось записать этикетку в файл " + TCallLog::DisplayPath(file) + u": " +
                 TCallLog::ErrorText(failure);
        }
        written.push_back(file);
      }
      records += LabelRecordLine(number, label, files);
    }
  } catch (...) {
    takeBack();
    throw;
  }
  if (records.empty())
    return {};
  if (const TDataFileResult result = AppendDataFile(recordFileName, records); !result) {
    takeBack();
    return result.FailureText(u"записи этикеток");
  }
  return {};
}
