// The statements addinhost runs, one per line:
//
//   Name(arg, ...)            call (CallAsFunc when the method returns a value)
//   proc Name(arg, ...)       call as a procedure (CallAsProc)
//   $var = Name(arg, ...)     call and keep the return value in $var
//   .Prop                     read a property
//   $var = .Prop              read a property into $var
//   .Prop = arg               write a property
//
// Arguments: "text" (escapes \" \\ \n \r \t \uXXXX), integers (32-bit), numbers
// with a point or an exponent (double), true, false, _ (an empty slot), @file
// or @"file name" (the UTF-8 file's text), $var (the variable's value in, the
// parameter's value after the call back into $var; an unset variable is empty).
// A # outside a string starts a comment.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace addinhost {

// A value written in a statement or kept in a variable.
struct Literal {
  enum class Kind { Empty, Text, Integer, Number, Boolean };
  Kind kind = Kind::Empty;
  std::u16string text;
  int32_t integer = 0;
  double number = 0;
  bool boolean = false;
};

struct Argument {
  Literal value;        // when variable is empty
  std::string variable; // name without "$"; empty for a literal
};

struct Statement {
  enum class Kind { Nothing, Call, GetProperty, SetProperty };
  Kind kind = Kind::Nothing;
  std::string target;       // variable that receives the result, without "$"
  bool asProcedure = false; // proc Name(...)
  std::string name;         // method or property name, UTF-8 as written
  std::vector<Argument> arguments;
};

// Reads the file of an @file argument as UTF-8 text; false with a message.
using FileReader = std::function<bool(const std::string& path, std::string& contents, std::string& error)>;

// Parses one line. A blank line or a comment gives Kind::Nothing.
bool ParseStatement(std::string_view line, const FileReader& readFile, Statement& statement,
                    std::string& error);

} // namespace addinhost
