// Makes writes fail for real on Linux, without root: a file size limit
// (RLIMIT_FSIZE) with SIGXFSZ ignored gives a write that reaches it a short
// count, and the next one EFBIG. The limit of the process is restored when the
// object goes.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testenv {

class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t bytes) {
    previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    set_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousSignal_);
  }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

  bool Set() const { return set_; }

private:
  rlimit saved_{};
  void (*previousSignal_)(int) = SIG_DFL;
  bool set_ = false;
};

} // namespace testenv
