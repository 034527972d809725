// The label printer's files in the data folder: the PNG of every copy and
// the record of every label.
#include "LabelFiles.h"

#include "CallLog.h"
#include "TextCodec.h"
#include "Unattended.h"

#include <filesystem>
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

// The highest label number of the folder's files ("000012-1.png": 12); 0
// when there is none.
int64_t HighestNumber(const fs::path& folder) {
  int64_t highest = 0;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::u16string name = it->path().filename().u16string();
    int64_t n = 0;
    size_t digits = 0;
    for (; digits < name.size() && digits < 15 && name[digits] >= u'0' && name[digits] <= u'9'; ++digits)
      n = n * 10 + (name[digits] - u'0');
    if (digits > 0 && digits < name.size() && name[digits] == u'-' && n > highest)
      highest = n;
  }
  return highest;
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
                               const std::vector<TPrintedLabel>& labels) {
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
    int64_t number = HighestNumber(folder);
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
