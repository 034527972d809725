#include "ChildProcess_posix.h"
#include "TestEnv.h"

#include "TestHost.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testenv {

namespace {
std::string temporary;
std::string saved;
} // namespace

// A child process started by a test shares its parent's folder.
constexpr char kSharedFolder[] = "ORVIK_TEST_FOLDER";

void PrepareLogHome() {
  if (!temporary.empty())
    return;
  if (const char* shared = std::getenv(kSharedFolder); shared != nullptr && shared[0] == '/') {
    temporary = shared;
  } else {
    char pattern[] = "/tmp/orvik-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
      std::abort();
    temporary = pattern;
    setenv(kSharedFolder, temporary.c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(temporary, ignored);
    });
  }
  setenv("XDG_DATA_HOME", (temporary + "/data").c_str(), 1);
}

bool CanRedirectLogHome() {
  return true;
}

void RedirectLogHome(const std::string& folder) {
  const char* current = std::getenv("XDG_DATA_HOME");
  saved = current != nullptr ? current : "";
  setenv("XDG_DATA_HOME", folder.c_str(), 1);
}

void RestoreLogHome() {
  setenv("XDG_DATA_HOME", saved.c_str(), 1);
}

std::string TemporaryFolder() {
  return temporary;
}

std::u16string LogFilePath(const std::u16string& fileName) {
  const char* home = std::getenv("XDG_DATA_HOME");
  return testhost::Utf8ToUtf16(std::string(home != nullptr ? home : "") + "/Orvik/") + fileName;
}

std::u16string DecodeLog(const std::string& bytes) {
  return testhost::Utf8ToUtf16(bytes);
}

unsigned LogCodePage() {
  return 65001;
}

std::u16string VersionOfTestProgram() {
  return BuildVersion(); // the version comes from the generated header, not a resource
}

std::vector<int> RunSelfInParallel(const std::vector<std::string>& arguments, int count) {
  char self[PATH_MAX] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::vector<int> codes(static_cast<size_t>(count), -1);
  if (n <= 0)
    return codes;
  std::vector<char*> argv{self};
  for (const std::string& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<pid_t> children(static_cast<size_t>(count), -1);
  for (pid_t& child : children)
    if (posix_spawn(&child, self, nullptr, nullptr, argv.data(), environ) != 0)
      child = -1;
  for (size_t i = 0; i < children.size(); ++i) {
    int status = 0;
    if (children[i] > 0 && waitpid(children[i], &status, 0) == children[i] && WIFEXITED(status))
      codes[i] = WEXITSTATUS(status);
  }
  return codes;
}

pid_t StartSelf(const std::string& test, const std::vector<std::string>& variables) {
  char self[PATH_MAX] = {};
  if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
    return -1;
  std::vector<std::string> own = variables;
  std::vector<char*> environment;
  for (std::string& variable : own)
    environment.push_back(variable.data());
  // The parent's environment, but the variables given anew.
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    const size_t length = equals != nullptr ? static_cast<size_t>(equals - *entry) : std::strlen(*entry);
    bool replaced = false;
    for (const std::string& variable : variables)
      replaced = replaced || (variable.size() > length && variable[length] == '=' &&
                              variable.compare(0, length, *entry, length) == 0);
    if (!replaced)
      environment.push_back(*entry);
  }
  environment.push_back(nullptr);
  std::string filter = "--gtest_filter=" + test;
  std::string brief = "--gtest_brief=1";
  char* argv[] = {self, filter.data(), brief.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t child = -1;
  if (posix_spawn(&child, self, &actions, nullptr, argv, environment.data()) != 0)
    child = -1;
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

int WaitChild(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

unsigned long ProcessId() {
  return static_cast<unsigned long>(getpid());
}

} // namespace testenv
