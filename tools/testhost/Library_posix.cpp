// Loading a shared library, finding the program's folder and setting up its
// environment on Linux.
#include "TestHost.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <limits.h>
#include <unistd.h>

namespace testhost {

namespace {

class PosixLibrary final : public SharedLibrary {
public:
  explicit PosixLibrary(void* handle) : handle_(handle) {}
  ~PosixLibrary() override { dlclose(handle_); }
  void* Symbol(const char* name) const override { return dlsym(handle_, name); }

private:
  void* handle_;
};

} // namespace

std::unique_ptr<SharedLibrary> OpenSharedLibrary(const std::string& path, std::string& error) {
  // A bare file name would send dlopen through the system's search path:
  // the host always means a file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* message = dlerror();
    error = message != nullptr ? message : path + ": cannot be loaded";
    return nullptr;
  }
  return std::make_unique<PosixLibrary>(handle);
}

std::string ExecutableDirectory() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0)
    return ".";
  const std::string full(path, static_cast<size_t>(length));
  const size_t slash = full.rfind('/');
  return slash == std::string::npos ? "." : full.substr(0, slash == 0 ? 1 : slash);
}

std::string BesideExecutable(const std::string& fileName) {
  return ExecutableDirectory() + "/" + fileName;
}

void SetEnvironment(const char* name, const char* value) {
  if (value != nullptr)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

std::string FreshDataFolder() {
  static std::vector<std::string> made;
  char pattern[] = "/tmp/orvik-data-XXXXXX";
  if (mkdtemp(pattern) == nullptr)
    return {};
  if (made.empty())
    std::atexit([] {
      std::error_code ignored;
      for (const std::string& folder : made)
        std::filesystem::remove_all(folder, ignored);
    });
  made.push_back(pattern);
  setenv("XDG_DATA_HOME", pattern, 1);
  const std::string folder = std::string(pattern) + "/Orvik";
  std::filesystem::create_directory(folder);
  return folder;
}

} // namespace testhost
