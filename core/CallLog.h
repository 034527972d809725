// The call log file. The file operations, the log folder, the local time and
// the text encoding live behind this small interface, one implementation per
// platform (CallLog_win.cpp, CallLog_posix.cpp); CallLog.cpp builds the entries.
#pragma once

#include "TextCodec.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

class TCallLog {
public:
  // The emulators' data folder: the log's folder, where the files that
  // automated tests read and write live too. Made (with missing parents on
  // Linux) when make is true; empty when it cannot be found or made, and then
  // *error (when given) receives the system's error code. The path is the
  // system's own form (bytes on Linux, kept as they are even when they are no
  // UTF-8; UTF-16 on Windows).
  static std::filesystem::path DataFolder(bool make, int* error = nullptr);
  // Opens fileName in the user's log folder, creating the folder when it is
  // missing. path receives the file's full path (for display) once the folder
  // exists, even when the file itself cannot be opened; it stays empty when
  // there is no folder. Null when no file could be opened.
  static std::unique_ptr<TCallLog> Open(std::u16string_view fileName, std::u16string& path);
  // Opens a file by its full path for appending (created when missing); null
  // when it cannot, with the system's error code in *error when given.
  static std::unique_ptr<TCallLog> OpenFile(const std::filesystem::path& path, int* error = nullptr);
  // Replaces the file at path whole with bytes: a temporary file beside it is
  // written, flushed to disk and renamed over it, so that a reader sees the
  // old or the new bytes and never a part. 0 on success, else the system's
  // error code; no temporary file is left behind either way.
  static int ReplaceWhole(const std::filesystem::path& path, std::string_view bytes);
  // A path as the user reads it (a name that is no valid UTF-8 shows stand-in
  // characters: for display only, never to be opened again).
  static std::u16string DisplayPath(const std::filesystem::path& path);
  // The reason of a system error code as the user reads it: a short Russian
  // text for the common faults of a file (no space, no access), else the
  // system's own text.
  static std::u16string ErrorText(int code);

  ~TCallLog();
  TCallLog(const TCallLog&) = delete;
  TCallLog& operator=(const TCallLog&) = delete;

  // Writes one entry: the local date and time, a tab, the text, CR LF. The
  // entry is built whole and lands at the end of the file with one write,
  // flushed to disk before the call returns. An entry that cannot be written
  // leaves the file as it was and is counted; the next entry that can be
  // written is preceded by one that says how many were lost.
  void Write(std::u16string_view text);

  // A call entry is made in two parts: the head (method and input values)
  // before the method runs, the tail (error, output values, result) after.
  // Each part is given as a function that hands its texts, in order, to the
  // function it receives; it is called twice, for the exact size and for the
  // bytes, which go straight into the log's encoding in a buffer that is kept
  // from call to call: a parameter of many megabytes costs neither a copy nor
  // fresh memory on every call. WriteCallEntry then puts the time stamp before
  // the head and CR LF after the tail and writes both as one entry.
  template <class Texts> void MakeHead(Texts&& texts) { Make(head_, kStampSize, texts); }
  template <class Texts> void MakeTail(Texts&& texts) { Make(tail_, 0, texts); }
  void WriteCallEntry();

  // Appends bytes at the end of the file with one write and flushes them.
  bool Append(std::string_view bytes) { return Append(std::span<const std::string_view>(&bytes, 1)); }
  // Appends the pieces, in order, as one uninterrupted write and flushes them,
  // under an exclusive lock that every writer of the file takes (flock on
  // Linux, a byte far beyond the end on Windows). Either all of it lands or
  // the file is cut back to the size it had: false then, and Error() tells
  // why.
  bool Append(std::span<const std::string_view> pieces);
  // The system's error code of the last failed Append.
  int Error() const { return error_; }
  // Entries of this log that could not be written since the last one that was.
  uint64_t LostEntries() const { return lost_; }

  // The local date and time as "dd.mm.yyyy hh:nn:ss".
  static std::string Timestamp();
  // Room an entry keeps at its start for the time stamp: "dd.mm.yyyy hh:nn:ss" and a tab.
  static constexpr size_t kStampSize = 20;
  // Text as the log stores it (the system ANSI code page on Windows, UTF-8
  // elsewhere). Characters the encoding lacks become a stand-in character;
  // they never cut the text short.
  static void AppendEncoded(std::string& out, std::u16string_view text) { AppendAnsi(out, text); }

private:
  explicit TCallLog(intptr_t handle) : handle_(handle) {}

  // Bytes of one part of an entry; the memory is only ever reused or
  // replaced, never zero-filled.
  struct TBuffer {
    std::unique_ptr<char[]> data;
    size_t size = 0;
    size_t capacity = 0;
    char* Reserve(size_t bytes); // the contents are dropped when it must grow
    void Trim();                 // gives a very large buffer back after use
  };

  // Appends a log entry's pieces, preceded by the lost entries' count when
  // entries were lost before it; counts the entry as lost when it fails.
  void AppendEntry(std::span<const std::string_view> pieces);

  template <class Texts> static void Make(TBuffer& buffer, size_t room, Texts& texts) {
    size_t bytes = room;
    texts([&bytes](std::u16string_view text) { bytes += AnsiSize(text); });
    char* out = buffer.Reserve(bytes) + room;
    texts([&out](std::u16string_view text) { out = EncodeAnsi(out, text); });
    buffer.size = bytes;
  }

  intptr_t handle_;
  int error_ = 0;
  uint64_t lost_ = 0;
  TBuffer head_;
  TBuffer tail_;
};
