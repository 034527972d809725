// addinhost: loads an add-in library as the platform does and runs calls on
// one of its objects, printing every result, output parameter and AddError.
#include "Console.h"
#include "Runner.h"
#include "Session.h"
#include "TestHost.h"

#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

namespace {

using namespace addinhost;

const char kHelp[] = R"(usage: addinhost [options] LIBRARY [STATEMENT ...]

Loads the add-in LIBRARY (.so or .dll) through its exports GetClassObject,
GetClassNames and DestroyObject, creates an object, lists its properties and
methods, and runs the statements given as arguments and in script files, in
the order given. After each call it prints the result, the output parameters
that changed and every AddError the object reported.

options:
  --class NAME        the class to create (default: the first of GetClassNames)
  --script FILE       run the statements of FILE, one per line; "-" reads
                      standard input line by line and runs each statement as
                      it arrives: its output, ended by an empty line, is
                      flushed before the next line is read, so a program (or
                      a person) can drive the object step by step through a
                      pipe, e.g. change operator.txt between two calls
  --locale LOCALE     call SetLocale with LOCALE after creating the object
  --ui-language CODE  call SetUserInterfaceLanguageCode with CODE (e.g. ru)
  --events N          after the last statement, wait up to 10 s until N
                      external events have arrived in all, then end (exit
                      status 6 when fewer came)
  --methods-tsv       print only the methods, as tab-separated values with a
                      header row (class, index, english, russian, params,
                      returns); the other lines go to standard error; no
                      statements are run
  -q, --quiet         do not list the properties and methods
  -h, --help          this text

statements:
  Name(arg, ...)          call; CallAsFunc when the method returns a value,
                          CallAsProc otherwise; the name may be English or Russian
  proc Name(arg, ...)     call with CallAsProc
  $var = Name(arg, ...)   call and keep the result in $var
  .Prop                   read a property;  $var = .Prop  keeps the value
  .Prop = arg             write a property
  # text                  a comment (also after a statement)

arguments:
  "text"        a string; escapes \" \\ \n \r \t \uXXXX
  42, -7        a 32-bit integer
  1.5, 2e3      a double
  true, false   a boolean
  _             an empty value (an output slot)
  @file         the text of a UTF-8 file (@"a name with spaces"); in a script,
                relative to the script's folder
  $var          the variable's value (empty when unset); after the call the
                parameter's value is kept in $var, so Open($dev) keeps the
                device id for later calls such as Close($dev)
  Missing trailing parameters are filled from GetParamDefValue.

output:
  Each statement is echoed after "> ", then its result, the output parameters
  that changed and the AddError reports. Every external event the object
  sends is printed as a line "event: <source> | <event> | <data>" when the
  object is idle, between statements, as the platform handles them; the
  host's queue of the object's events holds one event until the object asks
  for more (SetEventBufferDepth). Numbers are written in full with "."
  as the decimal separator, never with an exponent: the shortest decimal that
  reads back as the same double (1000, 0.001, 0.0000001, -2.5); whole doubles
  have no fraction, as the platform shows them. A value no platform number
  holds prints as nan, inf or -inf; a negative zero as -0.
  The first statement that does not parse, names an unknown member or cannot
  be used ends the run with its exit status.

examples (from the repository's root, after a build of the linux preset):
  build/linux/tools/addinhost/addinhost dist/SCALESIM_3001_64.so 'Open($dev)' \
    'UploadGoods($dev, @devices/scalesim/demo/goods.xml, "first")' 'Close($dev)'
  printf '%s\n' 'Open($dev)' 'GetWeight($dev, $kg)' | ORVIK_OPERATOR=approve \
    build/linux/tools/addinhost/addinhost -q dist/WEIGHSIM_3001_64.so --script -

exit status: 0 done, 1 bad usage or statement, 2 the library cannot be loaded,
3 unknown class, 4 unknown method or property, 5 host memory misused or leaked,
6 fewer events than --events asked for.
)";

// Prints the events the object sends while it is idle: a thread of its own
// waits for the host's queue and empties it whenever no statement runs.
class EventPrinter {
public:
  explicit EventPrinter(testhost::RecordingConnection& connection)
      : connection_(connection), thread_([this] { Run(); }) {}
  ~EventPrinter() { Stop(); }
  EventPrinter(const EventPrinter&) = delete;
  EventPrinter& operator=(const EventPrinter&) = delete;

  std::mutex& Busy() { return busy_; }
  size_t Printed() const { return printed_.load(); }
  // True once count events have been printed, false when the time ran out.
  bool WaitFor(size_t count, std::chrono::seconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (printed_.load() < count && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return printed_.load() >= count;
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
  }
  static size_t Print(const std::vector<testhost::HostEvent>& events) {
    for (const testhost::HostEvent& e : events)
      std::cout << "event: " << testhost::Utf16ToUtf8(e.source) << " | " << testhost::Utf16ToUtf8(e.event)
                << " | " << testhost::Utf16ToUtf8(e.data) << "\n";
    std::cout.flush();
    return events.size();
  }

private:
  void Run() {
    while (!stop_.load()) {
      if (!connection_.WaitQueued(std::chrono::milliseconds(20)))
        continue;
      std::lock_guard idle(busy_);
      printed_ += Print(connection_.TakeEvents());
    }
  }

  testhost::RecordingConnection& connection_;
  std::mutex busy_;
  std::atomic<bool> stop_{false};
  std::atomic<size_t> printed_{0};
  std::thread thread_;
};

struct Step {
  bool script;
  std::string text; // a statement, or a script file name
};

int Run(const std::vector<std::string>& args) {
  std::string library, className, locale, uiLanguage, eventsWanted;
  bool quiet = false, help = false, methodsTsv = false;
  std::vector<Step> steps;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const char* option, std::string& into) {
      const std::string prefix = std::string(option) + "=";
      if (arg.starts_with(prefix)) {
        into = arg.substr(prefix.size());
        return true;
      }
      if (arg != option)
        return false;
      if (i + 1 >= args.size())
        throw std::invalid_argument(std::string(option) + " needs a value");
      into = args[++i];
      return true;
    };
    std::string script;
    if (arg == "-h" || arg == "--help")
      help = true;
    else if (arg == "-q" || arg == "--quiet")
      quiet = true;
    else if (arg == "--methods-tsv")
      methodsTsv = true;
    else if (value("--class", className) || value("--locale", locale) || value("--ui-language", uiLanguage) ||
             value("--events", eventsWanted))
      continue;
    else if (value("--script", script))
      steps.push_back({true, script});
    else if (arg.starts_with("--"))
      throw std::invalid_argument("unknown option " + arg);
    else if (library.empty())
      library = arg;
    else
      steps.push_back({false, arg});
  }
  if (help) {
    std::cout << kHelp;
    return kOk;
  }
  if (library.empty())
    throw std::invalid_argument("no library given");
  size_t wanted = 0;
  if (!eventsWanted.empty()) {
    if (eventsWanted.find_first_not_of("0123456789") != std::string::npos || eventsWanted.size() > 6)
      throw std::invalid_argument("--events needs a number of events");
    wanted = std::stoul(eventsWanted);
  }
  if (methodsTsv && !steps.empty())
    throw std::invalid_argument("--methods-tsv runs no statements");
  // With --methods-tsv standard output holds the listing alone.
  std::ostream& notes = methodsTsv ? std::cerr : std::cout;

  std::string error;
  std::unique_ptr<testhost::AddIn> addIn = testhost::AddIn::Load(library, error);
  if (addIn == nullptr) {
    std::cerr << "addinhost: " << error << "\n";
    return kLoadFailed;
  }
  const std::vector<std::u16string> classes = addIn->ClassList();
  notes << "Library: " << library << "\nClasses: " << testhost::Utf16ToUtf8(addIn->ClassNames()) << "\n";
  if (className.empty()) {
    if (classes.empty()) {
      std::cerr << "addinhost: the library offers no class\n";
      return kUnknownClass;
    }
    className = testhost::Utf16ToUtf8(classes.front());
  }

  int code = kOk;
  testhost::CountingMemory memory;
  testhost::RecordingConnection connection;
  {
    std::unique_ptr<testhost::Component> component = addIn->Create(testhost::Utf8ToUtf16(className), memory);
    if (component == nullptr) {
      std::cerr << "addinhost: GetClassObject does not know the class " << className << "\n";
      return kUnknownClass;
    }
    const bool initialised = component->Init(connection);
    const bool managed = component->SetMemManager();
    const long info = component->GetInfo();
    std::optional<std::u16string> registered;
    const bool extension = component->RegisterExtensionAs(registered);
    notes << "Object: " << className << " (Init " << (initialised ? "true" : "false") << ", setMemManager "
          << (managed ? "true" : "false") << ", GetInfo " << info << ", RegisterExtensionAs "
          << (extension ? "true" : "false") << " \"" << testhost::Utf16ToUtf8(registered.value_or(u""))
          << "\")\n";
    if (!locale.empty())
      component->SetLocale(testhost::Utf8ToUtf16(locale));
    if (!uiLanguage.empty() && !component->SetUserInterfaceLanguageCode(testhost::Utf8ToUtf16(uiLanguage)))
      notes << "note: the object has no user-interface language table\n";

    Session session(*component, memory, connection, std::cout);
    if (methodsTsv)
      session.ListMethodsTsv(className);
    else if (!quiet)
      session.ListMembers();
    Runner runner(session, std::cout, std::cerr);
    EventPrinter printer(connection);
    runner.SetBusyLock(&printer.Busy());
    for (size_t i = 0; i < steps.size() && code == kOk; ++i)
      code = steps[i].script ? runner.Script(steps[i].text)
                             : runner.Line(steps[i].text, std::string(), "argument " + std::to_string(i + 1));
    if (wanted > 0 && !printer.WaitFor(wanted, std::chrono::seconds(10))) {
      std::cerr << "addinhost: " << printer.Printed() << " of " << wanted << " events arrived\n";
      if (code == kOk)
        code = kEventsMissing;
    }
    printer.Stop();
    // Done and DestroyObject, as the platform ends an object.
  }
  EventPrinter::Print(connection.TakeEvents()); // sent while the object was ending
  notes << "Host memory: " << memory.Summary() << "\n";
  for (const testhost::MemoryFault& fault : memory.Faults())
    notes << "  " << testhost::Describe(fault) << "\n";
  if (code == kOk && !memory.Clean())
    code = kMemoryMisuse;
  return code;
}

} // namespace

int main(int argc, char** argv) {
  addinhost::PrepareUtf8Output();
  try {
    return Run(addinhost::Utf8Arguments(argc, argv));
  } catch (const std::invalid_argument& e) {
    std::cerr << "addinhost: " << e.what() << " (see addinhost --help)\n";
    return kUsage;
  } catch (const std::exception& e) {
    std::cerr << "addinhost: " << e.what() << "\n";
    return kUsage;
  }
}
