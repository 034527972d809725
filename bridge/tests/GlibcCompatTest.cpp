// The replacements that let the Linux libraries load on old glibc, linked into
// this program the way they are into the libraries.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

TEST(GlibcCompat, StatFamilyDescribesFilesAndLinks) {
  char dir_template[] = "/tmp/orvik-compat.XXXXXX";
  const char* dir = mkdtemp(dir_template);
  ASSERT_NE(dir, nullptr);
  const std::string file = std::string(dir) + "/data";
  const std::string link = std::string(dir) + "/link";
  const int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "12345", 5), 5);
  ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);

  struct stat st {};
  ASSERT_EQ(stat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_size, 5);
  const ino_t inode = st.st_ino;
  ASSERT_EQ(fstat(fd, &st), 0);
  EXPECT_EQ(st.st_ino, inode);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(dir, &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_NE(stat((std::string(dir) + "/missing").c_str(), &st), 0);

  close(fd);
  std::remove(link.c_str());
  std::remove(file.c_str());
  rmdir(dir);
}

// A timed wait on the steady clock sleeps until its deadline (neither waking
// early again and again nor oversleeping), and a notification ends it early.
TEST(GlibcCompat, SteadyClockWaitsKeepTheirDeadline) {
  std::mutex mutex;
  std::condition_variable cv;
  std::unique_lock lock(mutex);
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::milliseconds(60);
  int wakes = 0;
  while (cv.wait_until(lock, deadline) != std::cv_status::timeout)
    ++wakes;
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(60));
  EXPECT_LT(waited, std::chrono::seconds(30));
  EXPECT_LE(wakes, 2);

  bool ready = false;
  std::thread notifier([&] {
    std::lock_guard guard(mutex);
    ready = true;
    cv.notify_one();
  });
  EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(60), [&] { return ready; }));
  lock.unlock();
  notifier.join();
}

} // namespace
