// Runs addinhost statements from the command line, script files and standard
// input, one line at a time, and turns their outcome into the exit status.
#pragma once

#include "Session.h"

#include <functional>
#include <mutex>
#include <ostream>
#include <string>

namespace addinhost {

enum ExitCode : int {
  kOk = 0,
  kUsage = 1,         // bad options, a statement that does not parse or cannot be used
  kLoadFailed = 2,    // the library cannot be loaded or lacks an export
  kUnknownClass = 3,  // no such class, or GetClassObject refused it
  kUnknownMember = 4, // no such method or property
  kMemoryMisuse = 5,  // the component freed foreign or freed memory twice, or memory stayed live
  kEventsMissing = 6  // fewer events arrived than --events asked for
};

// Gives the next line without its line feed; false when there is none.
using LineSource = std::function<bool(std::string& line)>;

class Runner {
public:
  Runner(Session& session, std::ostream& out, std::ostream& err);

  // Runs one statement; a non-zero exit code stops the run. The output is
  // flushed after every statement, so that a process driving addinhost through
  // a pipe reads the answer before it writes the next line.
  int Line(const std::string& line, const std::string& folder, const std::string& where);
  // Runs the lines of source as they come: a line is asked for only after the
  // one before it has run and its output is flushed. A byte-order mark before
  // the first line is skipped; @file arguments are relative to folder. With
  // answerEnds every statement's output ends with an empty line (no other
  // output line is empty), so that a driving process knows it has it whole.
  int Lines(const LineSource& source, const std::string& folder, const std::string& name,
            bool answerEnds = false);
  // Runs a script file, or standard input for "-" (with answerEnds).
  int Script(const std::string& file);
  // A lock held while a statement runs and prints: the host handles events
  // only between statements, when the object is idle, as the platform does.
  void SetBusyLock(std::mutex* busy) { busy_ = busy; }

private:
  Session& session_;
  std::ostream& out_;
  std::ostream& err_;
  bool answerEnds_ = false;
  std::mutex* busy_ = nullptr;
};

} // namespace addinhost
