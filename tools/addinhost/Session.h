// Runs addinhost statements against one component and prints what happened:
// the result, the output parameters that changed, and every AddError report.
#pragma once

#include "CallSyntax.h"
#include "TestHost.h"

#include <map>
#include <ostream>
#include <string>

namespace addinhost {

// A number as addinhost prints it, as the platform shows one: in full, never
// with an exponent, the shortest decimal that reads back as the same value,
// "." before the fraction and none for a whole number (1000, 0.001, -2.5).
// nan, inf and -inf name what no platform number holds; -0 stays -0.
std::string FormatNumber(double value);
std::string FormatNumber(float value);

class Session {
public:
  enum class Outcome {
    Done,        // the statement ran (whatever the component answered)
    UnknownName, // no such method or property
    BadUse       // wrong argument count, a property that cannot be read or written
  };

  Session(testhost::Component& component, testhost::CountingMemory& memory,
          testhost::RecordingConnection& connection, std::ostream& out);

  // Prints the object's properties and methods with both names.
  void ListMembers();
  // Prints the methods as tab-separated values, a header row first:
  // class, index, English name, Russian name, parameter count, returns a
  // value (1/0). Tabs, line breaks and backslashes in names are escaped
  // (\t \n \r \\); a name the object does not give is an empty field.
  void ListMethodsTsv(const std::string& className);
  Outcome Run(const Statement& statement);

  // Variables set by the statements run so far.
  const std::map<std::string, Literal>& Variables() const { return variables_; }

private:
  Outcome Call(const Statement& statement);
  // The property's index, or -1 after saying why it cannot be read (or written).
  long FindUsableProperty(const Statement& statement, bool write, Outcome& outcome);
  Outcome GetProperty(const Statement& statement);
  Outcome SetProperty(const Statement& statement);
  tVariant MakeValue(const Argument& argument);
  Literal Keep(const tVariant& value) const;
  std::string Describe(const tVariant& value) const;
  void PrintValue(const std::string& label, const tVariant& value);
  void PrintErrors(size_t from);

  testhost::Component& component_;
  testhost::CountingMemory& memory_;
  testhost::RecordingConnection& connection_;
  std::ostream& out_;
  std::map<std::string, Literal> variables_;
};

} // namespace addinhost
