// The input spool of a device: a folder <Component>_input/ in the data folder
// where automated tests drop files of input (scanned codes, cards read). While
// the device is open, a thread of the spool looks at the folder every 100 ms
// or so. Each file is claimed by exactly one watcher, of this process or of
// another, before it is read: only the claimant reads it and removes it. Files
// go in the order of their names (the bytes of the name on Linux, its UTF-16
// units on Windows); each non-empty line of a file (UTF-8, with or without a
// byte-order mark; lines end at CR LF, LF or CR) is one item, handed to the
// device in order. The spool knows nothing of events: the device decides what
// an item becomes.
//
// Skipped until they are complete: names that begin with "." or end in ".tmp"
// (a writer writes such a name and renames it when done), a file its writer
// still holds (Windows: open at all; Linux: under flock), and a file that does
// not yet end in a line break and was written to within the last second.
// Limits: a file over kFileLimit bytes is not read; a line over kLineLimit
// bytes is skipped. Both, and files that cannot be claimed, read or removed,
// are logged once, not tried again until the file changes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// ---- The system's part (InputSpool_posix.cpp, InputSpool_win.cpp) ----

struct TSpoolFile {
  std::filesystem::path Path;
  std::u16string Name; // as the user reads it
  uint64_t Size = 0;
  int64_t QuietMs = 0; // time since its last write
};

// The regular files of the folder whose names do not begin with "."; 0, or
// the system's error code when the folder cannot be read.
int ListSpoolFolder(const std::filesystem::path& folder, std::vector<TSpoolFile>& files);
// Makes the folder when it is missing; 0 or the system's error code.
int MakeSpoolFolder(const std::filesystem::path& folder);

enum class TClaim {
  Taken,  // this watcher alone has the file
  Busy,   // its writer (or another watcher) holds it now: later
  Gone,   // another watcher took it first
  Failed, // it cannot be taken (see the error code)
};

// A file taken out of the others' reach. Neither removed nor read, it is
// given back under its own name when the object goes.
class TClaimedFile {
public:
  static TClaim Claim(const TSpoolFile& file, std::unique_ptr<TClaimedFile>& claimed, int& error);
  virtual ~TClaimedFile() = default;
  // Reads the whole file, or limit + 1 bytes of a longer one; false with the
  // system's error code.
  virtual bool Read(size_t limit, std::string& bytes, int& error) = 0;
  // Removes the file for good; no watcher can take it again. False with the
  // system's error code (the file is given back then).
  virtual bool Remove(int& error) = 0;
};

// ---- The spool ----

class TInputSpool {
public:
  using TItem = std::function<void(std::u16string_view item, std::u16string_view fileName)>;
  using TNote = std::function<void(std::u16string_view line)>;

  static constexpr size_t kFileLimit = size_t{1} << 20;
  static constexpr size_t kLineLimit = 8192;
  // A file without its last line break is taken once it has not been written
  // to for this long.
  static constexpr int64_t kQuietMs = 1000;

  TInputSpool(std::filesystem::path folder, TItem item, TNote note,
              std::chrono::milliseconds period = std::chrono::milliseconds(100));
  ~TInputSpool(); // Stop
  TInputSpool(const TInputSpool&) = delete;
  TInputSpool& operator=(const TInputSpool&) = delete;

  // Makes the folder and starts watching; false, logged, when the folder
  // cannot be made.
  bool Start();
  // Ends watching: a file being delivered is delivered to its end, then the
  // thread is joined. Neither function given above is called after Stop.
  void Stop();
  // One look at the folder: every complete file is claimed, read, removed and
  // its items delivered. The number of items delivered.
  size_t Poll();

  // The items of a file's bytes, in order: non-empty lines, a byte-order mark
  // at the start dropped. A line longer than kLineLimit bytes is not an item:
  // its number (from 1) goes to tooLong.
  static std::vector<std::string> SplitLines(std::string_view bytes, std::vector<size_t>& tooLong);

private:
  void Run();
  void ReportOnce(const TSpoolFile& file, std::u16string_view text);

  std::filesystem::path folder_;
  TItem item_;
  TNote note_;
  std::chrono::milliseconds period_;

  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
  bool folderReported_ = false;
  // Files already logged as refused (name, size), not tried again while so.
  std::set<std::pair<std::u16string, uint64_t>> reported_;
};
