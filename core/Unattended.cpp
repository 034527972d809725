// The operator's answer as set from outside the application, and the data
// files that the emulators keep for automated tests.
#include "Unattended.h"

#include "CallLog.h"
#include "TextCodec.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr char16_t kExpectedWords[] = u": ожидается dialog, approve или refuse";
// A word longer than this is named by its beginning.
constexpr size_t kShownWordLimit = 64;

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\v' || c == u'\f';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

std::u16string DecodeUtf16(std::string_view bytes, bool little) {
  std::u16string text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    text.push_back(static_cast<char16_t>(little ? a | (b << 8) : (a << 8) | b));
  }
  return text;
}

// UTF-16 with a byte-order mark (what Windows PowerShell 5 writes by
// default), else UTF-8 with or without one. Text with zero bytes is no UTF-8:
// it is UTF-16 without a mark (as some tools write it), whose ASCII
// characters, the word among them, have their zero byte second in little-endian
// order and first in big-endian order.
std::u16string DecodeFile(std::string_view bytes) {
  const bool little = bytes.starts_with("\xFF\xFE");
  if (little || bytes.starts_with("\xFE\xFF"))
    return DecodeUtf16(bytes.substr(2), little);
  if (bytes.starts_with("\xEF\xBB\xBF"))
    return Utf8ToUtf16(bytes.substr(3));
  size_t zerosFirst = 0;
  size_t zerosSecond = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    zerosFirst += bytes[i] == 0 ? 1 : 0;
    zerosSecond += bytes[i + 1] == 0 ? 1 : 0;
  }
  if (zerosFirst == 0 && zerosSecond == 0)
    return Utf8ToUtf16(bytes);
  return DecodeUtf16(bytes, zerosSecond >= zerosFirst);
}

std::u16string Quoted(std::u16string_view word) {
  if (word.size() <= kShownWordLimit)
    return u"\"" + std::u16string(word) + u"\"";
  return u"\"" + std::u16string(word.substr(0, kShownWordLimit)) + u"…\"";
}

// Takes the word; an unknown one makes the setting invalid with a message
// that names where the word came from.
void ApplyWord(TOperatorSetting& setting, std::u16string_view word, std::u16string_view where) {
  setting.Word = word;
  const std::u16string lower = LowerAscii(word);
  if (lower == u"dialog") {
    setting.Mode = TOperatorMode::Dialog;
  } else if (lower == u"approve") {
    setting.Mode = TOperatorMode::Approve;
  } else if (lower == u"refuse") {
    setting.Mode = TOperatorMode::Refuse;
  } else {
    setting.Mode = TOperatorMode::Invalid;
    setting.Error =
        u"Неизвестный ответ оператора " + Quoted(word) + u" " + std::u16string(where) + kExpectedWords;
  }
}

TOperatorSetting InvalidFile(std::u16string_view path, std::u16string message) {
  TOperatorSetting setting;
  setting.Source = TOperatorSource::File;
  setting.Origin = path;
  setting.Mode = TOperatorMode::Invalid;
  setting.Error = std::move(message);
  return setting;
}

} // namespace

const std::u16string* TOperatorSetting::Value(std::u16string_view key) const {
  const std::u16string lower = LowerCaseFull(key);
  for (auto it = Values.rbegin(); it != Values.rend(); ++it)
    if (it->first == lower)
      return &it->second;
  return nullptr;
}

std::u16string TOperatorSetting::LogNote() const {
  if (!Automatic())
    return {};
  std::u16string note = Mode == TOperatorMode::Approve
                            ? u"Ответ оператора: approve (одобрено автоматически), "
                            : u"Ответ оператора: refuse (отказ автоматически), ";
  if (Source == TOperatorSource::File)
    note += u"из файла " + Origin;
  else
    note += u"из переменной окружения " + Origin;
  return note;
}

TOperatorSetting OperatorSettingFromFile(std::string_view bytes, std::u16string_view path) {
  TOperatorSetting setting;
  setting.Source = TOperatorSource::File;
  setting.Origin = path;
  setting.ValuesFile = path;
  const std::u16string text = DecodeFile(bytes);
  std::u16string_view rest = text;
  bool first = true;
  while (first || !rest.empty()) {
    // A line ends at CR LF, LF or CR.
    const size_t end = rest.find_first_of(u"\r\n");
    const std::u16string_view line = Trim(rest.substr(0, end));
    if (end == std::u16string_view::npos)
      rest = {};
    else
      rest.remove_prefix(rest.substr(end).starts_with(u"\r\n") ? end + 2 : end + 1);
    if (first) {
      first = false;
      if (line.empty())
        return InvalidFile(path, u"Первая строка файла ответа оператора " + std::u16string(path) + u" пуста" +
                                     kExpectedWords);
      // A file of keys only (its first line a pair) gives no word: the
      // answer is then the variable's (ReadOperatorSetting).
      if (line.find(u'=') == std::u16string_view::npos) {
        ApplyWord(setting, line, u"в файле " + std::u16string(path));
        continue;
      }
    }
    // Further lines: "key=value" for the devices that read them; blank
    // lines, "#" comments and lines of another form are skipped.
    const size_t equals = line.find(u'=');
    if (line.empty() || line.front() == u'#' || equals == std::u16string_view::npos)
      continue;
    const std::u16string_view key = Trim(line.substr(0, equals));
    if (!key.empty())
      setting.Values.emplace_back(LowerCaseFull(key), Trim(line.substr(equals + 1)));
  }
  return setting;
}

TOperatorSetting OperatorSettingFromVariable(const std::optional<std::u16string>& value) {
  TOperatorSetting setting;
  if (!value)
    return setting;
  const std::u16string_view word = Trim(*value);
  if (word.empty())
    return setting; // an empty variable counts as none, as shells treat it
  setting.Source = TOperatorSource::Variable;
  setting.Origin = kOperatorVariableName;
  ApplyWord(setting, word, u"в переменной окружения " + std::u16string(kOperatorVariableName));
  return setting;
}

TOperatorSetting ReadOperatorSetting() {
  const fs::path folder = TCallLog::DataFolder(false);
  if (!folder.empty()) {
    const fs::path file = folder / fs::path(kOperatorFileName);
    const std::u16string path = TCallLog::DisplayPath(file);
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (status.type() != fs::file_type::not_found && !error) {
      // The file decides while it exists, even when it cannot be read.
      if (!fs::is_regular_file(status))
        return InvalidFile(path, u"Не удалось прочитать файл ответа оператора " + path);
      std::ifstream in(file, std::ios::binary);
      std::string bytes(kOperatorFileLimit + 1, '\0');
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      if (!in && !in.eof())
        return InvalidFile(path, u"Не удалось прочитать файл ответа оператора " + path);
      bytes.resize(static_cast<size_t>(in.gcount()));
      if (bytes.size() > kOperatorFileLimit)
        return InvalidFile(path, u"Файл ответа оператора " + path + u" больше 64 КБ");
      TOperatorSetting setting = OperatorSettingFromFile(bytes, path);
      if (setting.Mode != TOperatorMode::Invalid && setting.Word.empty()) {
        // Keys without a word: who answers is the variable's to say.
        TOperatorSetting answer = OperatorSettingFromVariable(EnvironmentVariable(kOperatorVariable));
        answer.Values = std::move(setting.Values);
        answer.ValuesFile = path;
        if (answer.Source == TOperatorSource::None)
          answer.Origin = path;
        return answer;
      }
      return setting;
    }
  }
  return OperatorSettingFromVariable(EnvironmentVariable(kOperatorVariable));
}

namespace {

// The file of the data folder (made when missing); result receives its path,
// or the reason when there is no folder.
fs::path DataFile(std::u16string_view fileName, TDataFileResult& result) {
  int error = 0;
  const fs::path folder = TCallLog::DataFolder(true, &error);
  if (folder.empty()) {
    result.Path = fileName;
    result.Error = u"нет папки данных (" + TCallLog::ErrorText(error) + u")";
    return {};
  }
  fs::path file = folder / fs::path(fileName);
  result.Path = TCallLog::DisplayPath(file);
  return file;
}

} // namespace

TDataFileResult WriteDataFile(std::u16string_view fileName, std::u16string_view text) {
  TDataFileResult result;
  const fs::path file = DataFile(fileName, result);
  if (file.empty())
    return result;
  if (const int error = TCallLog::ReplaceWhole(file, Utf16ToUtf8(text)); error != 0)
    result.Error = TCallLog::ErrorText(error);
  return result;
}

TDataFileResult AppendDataFile(std::u16string_view fileName, std::u16string_view text) {
  TDataFileResult result;
  // The folder is there on every line but the first: open the file first and
  // make the folder only when that fails (records are appended a line at a
  // time, many a second).
  int error = 0;
  std::unique_ptr<TCallLog> log;
  if (const fs::path folder = TCallLog::DataFolder(false); !folder.empty()) {
    const fs::path file = folder / fs::path(fileName);
    result.Path = TCallLog::DisplayPath(file);
    log = TCallLog::OpenFile(file, &error);
  }
  if (log == nullptr) {
    const fs::path file = DataFile(fileName, result);
    if (file.empty())
      return result;
    log = TCallLog::OpenFile(file, &error);
  }
  if (log == nullptr)
    result.Error = TCallLog::ErrorText(error);
  else if (!log->Append(Utf16ToUtf8(text)))
    result.Error = TCallLog::ErrorText(log->Error());
  return result;
}
