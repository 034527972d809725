// Statement lines to calls: parsing, the echo of each statement and the exit
// code of its outcome.
#include "Runner.h"

#include "Console.h"

namespace addinhost {

namespace {

bool IsAbsolute(const std::string& path) {
  return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

Runner::Runner(Session& session, std::ostream& out, std::ostream& err)
    : session_(session), out_(out), err_(err) {}

int Runner::Line(const std::string& line, const std::string& folder, const std::string& where) {
  const FileReader reader = [&folder](const std::string& path, std::string& contents, std::string& error) {
    return ReadWholeFile(IsAbsolute(path) ? path : folder + path, contents, error);
  };
  Statement statement;
  std::string error;
  if (!ParseStatement(line, reader, statement, error)) {
    out_.flush();
    err_ << where << ": " << error << std::endl;
    return kUsage;
  }
  if (statement.kind == Statement::Kind::Nothing)
    return kOk;
  std::unique_lock<std::mutex> busy;
  if (busy_ != nullptr)
    busy = std::unique_lock(*busy_);
  const size_t start = line.find_first_not_of(" \t");
  const size_t end = line.find_last_not_of(" \t\r\n");
  out_ << "> " << line.substr(start, end - start + 1) << "\n";
  int code = kOk;
  switch (session_.Run(statement)) {
  case Session::Outcome::Done:
    break;
  case Session::Outcome::UnknownName:
    code = kUnknownMember;
    break;
  case Session::Outcome::BadUse:
    code = kUsage;
    break;
  }
  if (answerEnds_)
    out_ << "\n";
  out_.flush();
  return code;
}

int Runner::Lines(const LineSource& source, const std::string& folder, const std::string& name,
                  bool answerEnds) {
  answerEnds_ = answerEnds;
  int code = kOk;
  std::string line;
  for (int number = 1; code == kOk && source(line); ++number) {
    if (number == 1 && line.starts_with("\xEF\xBB\xBF"))
      line.erase(0, 3);
    code = Line(line, folder, name + ":" + std::to_string(number));
  }
  answerEnds_ = false;
  return code;
}

int Runner::Script(const std::string& file) {
  if (file == "-")
    return Lines(ReadStandardInputLine, std::string(), file, true);
  std::string text, error;
  if (!ReadWholeFile(file, text, error)) {
    err_ << file << ": " << error << std::endl;
    return kUsage;
  }
  size_t start = 0;
  bool done = false;
  const LineSource lines = [&](std::string& line) {
    if (done)
      return false;
    const size_t nl = text.find('\n', start);
    line = text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    done = nl == std::string::npos;
    start = nl + 1;
    return true;
  };
  return Lines(lines, FolderOf(file), file);
}

} // namespace addinhost
