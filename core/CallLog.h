// The call log file. The file operations, the log folder, the local time and
// the text encoding live behind this small interface, one implementation per
// platform (log_win.cpp, log_posix.cpp); CallLog.cpp builds the entries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class TCallLog {
public:
  // The emulators' data folder: the log's folder, where the files that
  // automated tests read and write live too. Made (with missing parents on
  // Linux) when make is true; empty when it cannot be found or made.
  static std::u16string DataFolder(bool make);
  // Opens fileName in the user's log folder, creating the folder when it is
  // missing. path receives the file's full path once the folder exists, even
  // when the file itself cannot be opened; it stays empty when there is no
  // folder. Null when no file could be opened.
  static std::unique_ptr<TCallLog> Open(std::u16string_view fileName, std::u16string& path);
  // Opens a file by its full path for appending (created when missing).
  static std::unique_ptr<TCallLog> OpenFile(const std::u16string& path);

  ~TCallLog();
  TCallLog(const TCallLog&) = delete;
  TCallLog& operator=(const TCallLog&) = delete;

  // Writes one entry: the local date and time, a tab, the text, CR LF. The
  // entry is built whole and lands at the end of the file with one write,
  // flushed to disk before the call returns.
  void Write(std::u16string_view text);
  // Room an entry keeps at its start for WriteStamped: "dd.mm.yyyy hh:nn:ss" and a tab.
  static constexpr size_t kStampSize = 20;
  // Writes one entry whose text, already in the log's encoding, follows
  // kStampSize bytes of room; the time stamp goes there and CR LF is added.
  void WriteStamped(std::string& entry);
  // Appends bytes at the end of the file with one write and flushes them.
  bool Append(std::string_view bytes);

  // The local date and time as "dd.mm.yyyy hh:nn:ss".
  static std::string Timestamp();
  // Appends text as the log stores it (the system ANSI code page on Windows,
  // UTF-8 elsewhere). Characters the encoding lacks become a stand-in
  // character; they never cut the text short.
  static void AppendEncoded(std::string& out, std::u16string_view text);

private:
  explicit TCallLog(intptr_t handle) : handle_(handle) {}
  intptr_t handle_;
};
