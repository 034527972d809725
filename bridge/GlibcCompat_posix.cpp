// C library functions whose current glibc versions are newer than the oldest
// glibc the Linux libraries load on (2.17), and that have no older version of
// the same name. The linker sends every call to NAME, ours and the static C++
// runtime's alike, to __wrap_NAME here (ld --wrap, cmake/GlibcPins.cmake,
// ORVIK_GLIBC_WRAPPED); the functions below use only what old glibc had.
#include <cerrno>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>

extern "C" {

// Before glibc 2.33 stat, fstat and lstat were inline wrappers in the headers
// around these, which take the layout's version (1 on x86_64) first.
int __xstat(int layout, const char* path, struct stat* buf);
int __fxstat(int layout, int fd, struct stat* buf);
int __lxstat(int layout, const char* path, struct stat* buf);

int __wrap_stat(const char* path, struct stat* buf) {
  return __xstat(1, path, buf);
}

int __wrap_fstat(int fd, struct stat* buf) {
  return __fxstat(1, fd, buf);
}

int __wrap_lstat(const char* path, struct stat* buf) {
  return __lxstat(1, path, buf);
}

// glibc 2.30 added waiting on a condition against a chosen clock, and the C++
// runtime's headers use it for timed waits on the steady clock. Old glibc
// waits against the real-time clock only: the time left on the steady clock is
// measured now and the wait ends that long from now on the real-time clock. A
// wait cut short or drawn out by a change of the system time is no fault: the
// runtime compares its own clock afterwards and waits again if need be.
int __wrap_pthread_cond_clockwait(pthread_cond_t* cond, pthread_mutex_t* mutex, clockid_t clock,
                                  const struct timespec* deadline) {
  if (clock == CLOCK_REALTIME)
    return pthread_cond_timedwait(cond, mutex, deadline);
  if (clock != CLOCK_MONOTONIC)
    return EINVAL;
  timespec steady{};
  timespec real{};
  clock_gettime(CLOCK_MONOTONIC, &steady);
  clock_gettime(CLOCK_REALTIME, &real);
  constexpr long kNano = 1000000000L;
  long long seconds = static_cast<long long>(deadline->tv_sec) - steady.tv_sec + real.tv_sec;
  long nanos = deadline->tv_nsec - steady.tv_nsec + real.tv_nsec;
  while (nanos < 0) {
    nanos += kNano;
    --seconds;
  }
  while (nanos >= kNano) {
    nanos -= kNano;
    ++seconds;
  }
  timespec until{};
  until.tv_sec = static_cast<time_t>(seconds);
  until.tv_nsec = nanos;
  return pthread_cond_timedwait(cond, mutex, &until);
}

} // extern "C"
