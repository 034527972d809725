// A Xvfb display of the test program's own and the X tools that look at and
// drive its windows.
#include "XDisplay.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>

namespace xtest {

namespace {

// The Xvfb of this program: started with -displayfd, which writes the number
// of a free display once the server listens; it ends with the program (and
// with a crashed one, through the parent-death signal).
class TOwnDisplay {
public:
  TOwnDisplay() {
    for (const char* tool : {"Xvfb", "xdotool", "xwininfo", "xprop", "import"}) {
      int status = 0;
      Run(std::string("command -v ") + tool + " >/dev/null 2>&1", &status);
      if (status != 0) {
        Failure = std::string(tool) + " is not installed";
        return;
      }
    }
    int fds[2];
    if (pipe(fds) != 0) {
      Failure = "no pipe";
      return;
    }
    const pid_t parent = getpid();
    const std::string fd = std::to_string(fds[1]); // nothing that allocates after the fork
    Pid = fork();
    if (Pid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent)
        _exit(1);
      close(fds[0]);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    char c = 0;
    while (Pid > 0 && poll(&wait, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
      number += c;
    close(fds[0]);
    if (number.empty()) {
      Failure = "Xvfb did not start";
      return;
    }
    Name = ":" + number;
  }
  ~TOwnDisplay() {
    if (Pid > 0) {
      kill(Pid, SIGTERM);
      waitpid(Pid, nullptr, 0);
    }
  }
  TOwnDisplay(const TOwnDisplay&) = delete;
  TOwnDisplay& operator=(const TOwnDisplay&) = delete;

  pid_t Pid = -1;
  std::string Name;
  std::string Failure;
};

std::string Hex(unsigned long window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", window);
  return text;
}

// The X tools write the bytes of a name that the locale cannot show as
// octal escapes (\320\224...): back to the bytes, UTF-8 here.
std::string Unescape(const std::string& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text.find_first_not_of("01234567", i + 1) >= i + 4) {
      bytes += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

} // namespace

std::string UseOwnDisplay() {
  static TOwnDisplay display;
  if (!display.Failure.empty())
    return display.Failure;
  setenv("DISPLAY", display.Name.c_str(), 1);
  return "";
}

void UseNoDisplay() {
  unsetenv("DISPLAY");
}

std::string Run(const std::string& command, int* status) {
  std::string output;
  // The tools show UTF-8 names as they are only in a UTF-8 locale; the test's
  // own locale may not be installed.
  FILE* pipe = popen(("LC_ALL=C.UTF-8 " + command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) {
    if (status != nullptr)
      *status = -1;
    return output;
  }
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    output.append(buffer, n);
  const int result = pclose(pipe);
  if (status != nullptr)
    *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

std::vector<unsigned long> Windows(const std::string& className) {
  std::istringstream lines(
      Run("xdotool search --all --pid " + std::to_string(getpid()) + " --class '^" + className + "$'"));
  std::vector<unsigned long> windows;
  for (unsigned long id = 0; lines >> id;)
    windows.push_back(id);
  return windows;
}

std::optional<TGeometry> GeometryOf(unsigned long window) {
  const std::string info = Run("xwininfo -id " + Hex(window));
  const auto field = [&](const char* name) -> std::optional<int> {
    const size_t at = info.find(name);
    if (at == std::string::npos)
      return std::nullopt;
    return std::atoi(info.c_str() + at + std::char_traits<char>::length(name));
  };
  const auto x = field("Absolute upper-left X:");
  const auto y = field("Absolute upper-left Y:");
  const auto width = field("Width:");
  const auto height = field("Height:");
  if (!x || !y || !width || !height)
    return std::nullopt;
  return TGeometry{*x, *y, *width, *height};
}

std::string PropertyOf(unsigned long window, const std::string& name) {
  std::string line = Run("xprop -id " + Hex(window) + " " + name);
  const size_t at = line.find(" = ");
  if (at == std::string::npos)
    return "";
  line = line.substr(at + 3);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
    line.pop_back();
  if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
    line = line.substr(1, line.size() - 2);
  return Unescape(line);
}

std::vector<TChild> ChildrenOf(unsigned long window) {
  static const std::regex kLine(R"re(^\s+(0x[0-9a-f]+) "(.*)": \(.*\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s)re");
  std::istringstream lines(Run("xwininfo -children -id " + Hex(window)));
  std::vector<TChild> children;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, kLine))
      children.push_back({std::stoul(m[1], nullptr, 16), Unescape(m[2]),
                          TGeometry{std::stoi(m[5]), std::stoi(m[6]), std::stoi(m[3]), std::stoi(m[4])}});
  }
  return children;
}

std::vector<TChild> ControlsOf(unsigned long window) {
  static const std::regex kLine(
      R"re(^\s+(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)): \(.*\)\s+(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s)re");
  std::istringstream lines(Run("xwininfo -children -id " + Hex(window)));
  std::vector<TChild> children;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (std::regex_search(line, m, kLine)) // xwininfo lists the newest first
      children.insert(children.begin(),
                      {std::stoul(m[1], nullptr, 16), Unescape(m[2]),
                       TGeometry{std::stoi(m[5]), std::stoi(m[6]), std::stoi(m[3]), std::stoi(m[4])}});
  }
  return children;
}

std::optional<TPicture> PictureOf(unsigned long window) {
  const std::string ppm = Run("import -window " + Hex(window) + " -depth 8 ppm:-");
  // "P6\n<width> <height>\n255\n" and the pixels.
  std::istringstream header(ppm);
  std::string magic;
  TPicture picture;
  int maximum = 0;
  header >> magic >> picture.Width >> picture.Height >> maximum;
  if (magic != "P6" || maximum != 255 || picture.Width <= 0 || picture.Height <= 0)
    return std::nullopt;
  const size_t start = static_cast<size_t>(header.tellg()) + 1;
  const size_t size = static_cast<size_t>(picture.Width) * picture.Height * 3;
  if (ppm.size() < start + size)
    return std::nullopt;
  picture.Rgb.assign(ppm.begin() + static_cast<long>(start), ppm.begin() + static_cast<long>(start + size));
  return picture;
}

std::vector<int> TPicture::LitCells(int row, int columns) const {
  std::vector<int> lit;
  for (int column = 0; column < columns; ++column) {
    int green = 0;
    for (int y = 1 + 30 * row; y < 31 + 30 * row && y < Height; ++y)
      for (int x = 1 + 12 * column; x < 13 + 12 * column && x < Width; ++x) {
        const unsigned char* p = &Rgb[(static_cast<size_t>(y) * Width + x) * 3];
        green += p[1] > 160 && p[0] < 60 && p[2] < 60;
      }
    if (green > 5)
      lit.push_back(column);
  }
  return lit;
}

int TPicture::Foreign() const {
  int count = 0;
  for (size_t i = 0; i + 2 < Rgb.size(); i += 3)
    count += Rgb[i] != 0 || Rgb[i + 2] != 0;
  return count;
}

void Key(const std::string& keys) {
  Run("xdotool key " + keys);
}

void Type(const std::string& text) {
  Run("xdotool type --delay 15 '" + text + "'");
}

void Click(int x, int y) {
  Run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

void CloseByWindowManager(unsigned long window) {
  // No window manager runs under Xvfb: a program of its own sends its message.
  Run(std::string(ORVIK_WMCLOSE) + " " + std::to_string(window));
}

void DestroyFromOutside(unsigned long window) {
  Run("xdotool windowclose " + std::to_string(window));
}

TOperatorThread::TOperatorThread(std::string className, std::function<void(unsigned long window)> act)
    : thread_([this, className = std::move(className), act = std::move(act)] { Drive(className, act); }) {}

TOperatorThread::~TOperatorThread() {
  Finish();
}

unsigned long TOperatorThread::Finish() {
  returned_ = true;
  if (thread_.joinable())
    thread_.join();
  return window_;
}

void TOperatorThread::Drive(const std::string& className, const std::function<void(unsigned long)>& act) {
  WaitFor(
      [&] {
        const std::vector<unsigned long> windows = Windows(className);
        window_ = windows.size() == 1 ? windows[0] : 0;
        return window_ != 0 || returned_;
      },
      20000);
  if (window_ == 0)
    return;
  act(window_);
  if (WaitFor([&] { return returned_.load(); }, 20000))
    return;
  std::fprintf(stderr, "operator: the %s window does not go; closing it\n", className.c_str());
  CloseByWindowManager(window_);
  if (!WaitFor([&] { return returned_.load(); }, 20000)) {
    std::fputs("operator: the call does not return; giving up\n", stderr);
    _exit(3);
  }
}

int ThreadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks))
      count += entry->d_name[0] != '.';
    closedir(tasks);
  }
  return count;
}

} // namespace xtest
