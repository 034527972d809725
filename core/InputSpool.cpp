#include "InputSpool.h"

#include "CallLog.h"
#include "TextCodec.h"

#include <algorithm>

namespace {

bool EndsWithTmp(std::u16string_view name) {
  if (name.size() < 4)
    return false;
  std::u16string_view tail = name.substr(name.size() - 4);
  static constexpr char16_t kTmp[] = u".tmp";
  for (size_t i = 0; i < 4; ++i) {
    char16_t c = tail[i];
    if (c >= u'A' && c <= u'Z')
      c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != kTmp[i])
      return false;
  }
  return true;
}

bool EndsWithLineBreak(std::string_view bytes) {
  return !bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r');
}

} // namespace

TInputSpool::TInputSpool(std::filesystem::path folder, TItem item, TNote note,
                         std::chrono::milliseconds period)
    : folder_(std::move(folder)), item_(std::move(item)), note_(std::move(note)), period_(period) {}

TInputSpool::~TInputSpool() {
  Stop();
}

bool TInputSpool::Start() {
  std::lock_guard lock(lock_);
  if (thread_.joinable())
    return true;
  if (const int error = MakeSpoolFolder(folder_); error != 0) {
    note_(u"Папка ввода " + TCallLog::DisplayPath(folder_) + u" не создана: " + TCallLog::ErrorText(error));
    return false;
  }
  stopping_ = false;
  folderReported_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TInputSpool::Stop() {
  {
    std::lock_guard lock(lock_);
    if (!thread_.joinable())
      return;
    stopping_ = true;
    wake_.notify_all();
  }
  thread_.join();
}

void TInputSpool::Run() {
  std::unique_lock lock(lock_);
  while (!stopping_) {
    lock.unlock();
    try {
      Poll();
    } catch (...) {
      // No memory for this look: the files stay where they are for the next.
    }
    lock.lock();
    wake_.wait_for(lock, period_, [this] { return stopping_; });
  }
}

void TInputSpool::ReportOnce(const TSpoolFile& file, std::u16string_view text) {
  if (reported_.emplace(file.Name, file.Size).second)
    note_(u"Файл ввода " + file.Name + u": " + std::u16string(text));
}

std::vector<std::string> TInputSpool::SplitLines(std::string_view bytes, std::vector<size_t>& tooLong) {
  if (bytes.starts_with("\xEF\xBB\xBF"))
    bytes.remove_prefix(3);
  std::vector<std::string> lines;
  size_t number = 0;
  while (!bytes.empty()) {
    const size_t end = std::min(bytes.find_first_of("\r\n"), bytes.size());
    const std::string_view line = bytes.substr(0, end);
    ++number;
    if (line.size() > kLineLimit)
      tooLong.push_back(number);
    else if (!line.empty())
      lines.emplace_back(line);
    size_t next = end;
    if (next < bytes.size())
      next += (bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n') ? 2 : 1;
    bytes.remove_prefix(next);
  }
  return lines;
}

size_t TInputSpool::Poll() {
  std::vector<TSpoolFile> files;
  if (const int error = ListSpoolFolder(folder_, files); error != 0) {
    if (!folderReported_)
      note_(u"Папка ввода " + TCallLog::DisplayPath(folder_) + u" не читается: " +
            TCallLog::ErrorText(error));
    folderReported_ = true;
    return 0;
  }
  folderReported_ = false;
  std::sort(files.begin(), files.end(),
            [](const TSpoolFile& a, const TSpoolFile& b) { return a.Path.native() < b.Path.native(); });
  // Forget the refusals of files that are gone or changed.
  std::set<std::pair<std::u16string, uint64_t>> present;
  for (const TSpoolFile& file : files)
    present.emplace(file.Name, file.Size);
  std::erase_if(reported_, [&present](const auto& key) { return present.count(key) == 0; });

  size_t delivered = 0;
  for (const TSpoolFile& file : files) {
    if (EndsWithTmp(file.Name) || reported_.count({file.Name, file.Size}) != 0)
      continue;
    if (file.Size > kFileLimit) {
      ReportOnce(file, u"больше " + Decimal(static_cast<long long>(kFileLimit)) + u" байт, не прочитан");
      continue;
    }
    std::unique_ptr<TClaimedFile> claimed;
    int error = 0;
    const TClaim claim = TClaimedFile::Claim(file, claimed, error);
    if (claim == TClaim::Busy || claim == TClaim::Gone)
      continue;
    if (claim == TClaim::Failed) {
      ReportOnce(file, u"не удалось взять: " + TCallLog::ErrorText(error));
      continue;
    }
    std::string bytes;
    if (!claimed->Read(kFileLimit, bytes, error)) {
      ReportOnce(file, u"не прочитан: " + TCallLog::ErrorText(error));
      continue;
    }
    if (bytes.size() > kFileLimit) { // it grew after the listing
      ReportOnce(file, u"больше " + Decimal(static_cast<long long>(kFileLimit)) + u" байт, не прочитан");
      continue;
    }
    // Still being written: its last line is not ended and the writer was at
    // work a moment ago. It goes back under its name for a later look.
    if (!EndsWithLineBreak(bytes) && file.QuietMs < kQuietMs)
      continue;
    // Removed before its items go out: a file that cannot be removed would
    // be read again, and its items delivered twice.
    if (!claimed->Remove(error)) {
      ReportOnce(file, u"не удалён: " + TCallLog::ErrorText(error));
      continue;
    }
    claimed.reset();
    std::vector<size_t> tooLong;
    const std::vector<std::string> lines = SplitLines(bytes, tooLong);
    for (size_t number : tooLong)
      note_(u"Файл ввода " + file.Name + u": строка " + Decimal(static_cast<long long>(number)) +
            u" длиннее " + Decimal(static_cast<long long>(kLineLimit)) + u" байт, пропущена");
    for (const std::string& line : lines) {
      const std::u16string item = Utf8ToUtf16(line);
      note_(u"Из файла ввода " + file.Name + u" получено: " + item);
      item_(item, file.Name);
      ++delivered;
    }
  }
  return delivered;
}
