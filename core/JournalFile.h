// A file that several processes append records to under one exclusive lock
// held for a whole read-check-append: the operations the fiscal memory needs
// below its journal, one implementation per platform (JournalFile_posix.cpp,
// JournalFile_win.cpp). Every call answers 0 or the system's error code
// (TCallLog::ErrorText gives its reason as the user reads it).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

class TJournalFile {
public:
  // Opens the file for reading and writing, made when missing (a new file's
  // folder entry is flushed too). Null with the error in error when it cannot.
  static std::unique_ptr<TJournalFile> Open(const std::filesystem::path& path, int& error);
  ~TJournalFile();
  TJournalFile(const TJournalFile&) = delete;
  TJournalFile& operator=(const TJournalFile&) = delete;

  // Takes and gives back the exclusive lock that every user of the file takes
  // (flock on Linux, a byte far beyond the end on Windows); Lock waits for it.
  int Lock();
  void Unlock();
  // Whether path still names this open file (another process may have moved
  // it aside and started a new one).
  bool IsAt(const std::filesystem::path& path) const;
  int Size(uint64_t& size) const;
  // Reads count bytes from offset (fewer only at the end of the file).
  int Read(uint64_t offset, size_t count, std::string& bytes) const;
  // Writes bytes at offset and flushes them to the disk (one flush); on any
  // failure the file is cut back to offset.
  int WriteDurably(uint64_t offset, std::string_view bytes);
  // Cuts the file to size and flushes.
  int CutTo(uint64_t size);
  // Renames a file (the lock's holder may move its own open file aside).
  static int Rename(const std::filesystem::path& from, const std::filesystem::path& to);
  static bool Exists(const std::filesystem::path& path);

private:
  explicit TJournalFile(intptr_t handle) : handle_(handle) {}
  intptr_t handle_;
};
