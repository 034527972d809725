// addinhost: loads an add-in library as the platform does and runs calls on
// one of its objects, printing every result, output parameter and AddError.
#include "CallSyntax.h"
#include "Console.h"
#include "Session.h"
#include "TestHost.h"

#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>

namespace {

using addinhost::Session;
using addinhost::Statement;

enum ExitCode : int {
  kOk = 0,
  kUsage = 1,         // bad options, a statement that does not parse or cannot be used
  kLoadFailed = 2,    // the library cannot be loaded or lacks an export
  kUnknownClass = 3,  // no such class, or GetClassObject refused it
  kUnknownMember = 4, // no such method or property
  kMemoryMisuse = 5   // the component freed foreign or freed memory twice, or memory stayed live
};

const char kHelp[] = R"(usage: addinhost [options] LIBRARY [STATEMENT ...]

Loads the add-in LIBRARY (.so or .dll) through its exports GetClassObject,
GetClassNames and DestroyObject, creates an object, lists its properties and
methods, and runs the statements given as arguments and in script files, in
the order given. After each call it prints the result, the output parameters
that changed and every AddError the object reported.

options:
  --class NAME        the class to create (default: the first of GetClassNames)
  --script FILE       run the statements of FILE, one per line ("-": standard input)
  --locale LOCALE     call SetLocale with LOCALE after creating the object
  --ui-language CODE  call SetUserInterfaceLanguageCode with CODE (e.g. ru)
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

example:
  addinhost SCALESIM_3001_64.so 'Open($dev)' 'UploadGoods($dev, @goods.xml, "first")' 'Close($dev)'

exit status: 0 done, 1 bad usage or statement, 2 the library cannot be loaded,
3 unknown class, 4 unknown method or property, 5 host memory misused or leaked.
)";

bool IsAbsolute(const std::string& path) {
  return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

struct Step {
  bool script;
  std::string text; // a statement, or a script file name
};

class Runner {
public:
  Runner(Session& session, std::ostream& out) : session_(session), out_(out) {}

  // Runs one line; a non-zero exit code stops the run.
  int Line(const std::string& line, const std::string& folder, const std::string& where) {
    const addinhost::FileReader reader = [&folder](const std::string& path, std::string& contents,
                                                   std::string& error) {
      return addinhost::ReadWholeFile(IsAbsolute(path) ? path : folder + path, contents, error);
    };
    Statement statement;
    std::string error;
    if (!addinhost::ParseStatement(line, reader, statement, error)) {
      out_.flush();
      std::cerr << where << ": " << error << "\n";
      return kUsage;
    }
    if (statement.kind == Statement::Kind::Nothing)
      return kOk;
    size_t start = line.find_first_not_of(" \t");
    size_t end = line.find_last_not_of(" \t\r\n");
    out_ << "> " << line.substr(start, end - start + 1) << "\n";
    switch (session_.Run(statement)) {
    case Session::Outcome::Done:
      return kOk;
    case Session::Outcome::UnknownName:
      return kUnknownMember;
    case Session::Outcome::BadUse:
      return kUsage;
    }
    return kOk;
  }

  int Script(const std::string& file) {
    std::string text, error;
    if (file == "-") {
      text = addinhost::ReadStandardInput();
    } else if (!addinhost::ReadWholeFile(file, text, error)) {
      std::cerr << file << ": " << error << "\n";
      return kUsage;
    }
    if (text.starts_with("\xEF\xBB\xBF"))
      text.erase(0, 3);
    const std::string folder = file == "-" ? std::string() : FolderOf(file);
    size_t start = 0;
    for (int number = 1; start <= text.size(); ++number) {
      const size_t nl = text.find('\n', start);
      const std::string line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
      if (const int code = Line(line, folder, file + ":" + std::to_string(number)); code != kOk)
        return code;
      if (nl == std::string::npos)
        break;
      start = nl + 1;
    }
    return kOk;
  }

private:
  Session& session_;
  std::ostream& out_;
};

int Run(const std::vector<std::string>& args) {
  std::string library, className, locale, uiLanguage;
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
    else if (value("--class", className) || value("--locale", locale) || value("--ui-language", uiLanguage))
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
    Runner runner(session, std::cout);
    for (size_t i = 0; i < steps.size() && code == kOk; ++i)
      code = steps[i].script ? runner.Script(steps[i].text)
                             : runner.Line(steps[i].text, std::string(), "argument " + std::to_string(i + 1));
    // Done and DestroyObject, as the platform ends an object.
  }
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
