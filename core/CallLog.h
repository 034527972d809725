// The call log file. The file operations, the log folder, the local time and
// the text encoding live behind this small interface, one implementation per
// platform (CallLog_win.cpp, CallLog_posix.cpp); CallLog.cpp builds the entries.
#pragma once

#include "TextCodec.h"

#include <cstdint>
#include <memory>
#include <span>
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
  // Appends the pieces, in order, as one uninterrupted write (one system call
  // on Linux; under the writers' lock on Windows) and flushes them.
  bool Append(std::span<const std::string_view> pieces);

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

  template <class Texts> static void Make(TBuffer& buffer, size_t room, Texts& texts) {
    size_t bytes = room;
    texts([&bytes](std::u16string_view text) { bytes += AnsiSize(text); });
    char* out = buffer.Reserve(bytes) + room;
    texts([&out](std::u16string_view text) { out = EncodeAnsi(out, text); });
    buffer.size = bytes;
  }

  intptr_t handle_;
  TBuffer head_;
  TBuffer tail_;
};
