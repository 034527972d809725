// What lets an application's automated tests run the emulators with nobody at
// the screen: who answers the operator windows (a person, or an automatic
// approval or refusal), read from the control file operator.txt in the data
// folder while it exists, else from the environment variable ORVIK_OPERATOR;
// and the readable files that the emulators keep there for such tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr char kOperatorVariable[] = "ORVIK_OPERATOR";
inline constexpr char16_t kOperatorVariableName[] = u"ORVIK_OPERATOR";
inline constexpr char16_t kOperatorFileName[] = u"operator.txt";
// A control file larger than this is no control file.
inline constexpr size_t kOperatorFileLimit = 64 * 1024;

enum class TOperatorMode {
  Dialog,  // a person answers the window (also when nothing is set)
  Approve, // every window is answered at once as if its approving button were pressed
  Refuse,  // every window is answered at once as if it were closed
  Invalid, // an unknown word or an unreadable file: the operation fails with Error
};

enum class TOperatorSource { None, Variable, File };

struct TOperatorSetting {
  TOperatorMode Mode = TOperatorMode::Dialog;
  TOperatorSource Source = TOperatorSource::None;
  std::u16string Word;   // the word as it was given, blanks around it removed
  std::u16string Origin; // the file's full path, or the variable's name
  std::u16string Error;  // the message when Mode is Invalid
  // The further "key=value" lines of the file, keys in lower case (LowerCaseFull), in order.
  std::vector<std::pair<std::u16string, std::u16string>> Values;
  std::u16string ValuesFile; // the control file's full path when Values came from one

  bool Automatic() const { return Mode == TOperatorMode::Approve || Mode == TOperatorMode::Refuse; }
  // The value of a key (any letter case; the last line of that key wins);
  // null when the file has none.
  const std::u16string* Value(std::u16string_view key) const;
  // The call log's line about an automatic answer: which answer and where it
  // came from. Empty when a person answers.
  std::u16string LogNote() const;
};

// Reads the setting now: the control file when it exists, else the variable,
// else a person answers.
TOperatorSetting ReadOperatorSetting();
// The setting from a control file's bytes (UTF-8 with or without a byte-order
// mark, or UTF-16 with or without one; lines ending at CR LF, LF or CR)
// found at path. Its first line is the word, unless it is a "key=value" pair:
// a file of keys only gives no word (Word empty, Mode Dialog), and
// ReadOperatorSetting then takes the answer from the variable.
TOperatorSetting OperatorSettingFromFile(std::string_view bytes, std::u16string_view path);
// The setting from the variable's value; nullopt or an empty value is no setting.
TOperatorSetting OperatorSettingFromVariable(const std::optional<std::u16string>& value);

// What became of writing a file of the data folder.
struct TDataFileResult {
  std::u16string Path;  // the file's full path as the user reads it; its name alone without a folder
  std::u16string Error; // why it was not written (the system's reason); empty when it was
  explicit operator bool() const { return Error.empty(); }
  // The message of a method that could not write what (in the accusative:
  // "ленту"): "Не удалось записать <what> в файл <path>: <reason>".
  std::u16string FailureText(std::u16string_view what) const {
    return u"Не удалось записать " + std::u16string(what) + u" в файл " + Path + u": " + Error;
  }
};

// Replaces a file of the data folder whole with text in UTF-8 (a temporary
// file renamed over it), so that a reader sees either the old or the new text
// and no temporary is left behind.
TDataFileResult WriteDataFile(std::u16string_view fileName, std::u16string_view text);
// Appends text in UTF-8 to a file of the data folder (made when missing) with
// one write, flushed before it returns, so that a reader sees whole pieces;
// a failed append leaves the file as it was.
TDataFileResult AppendDataFile(std::u16string_view fileName, std::u16string_view text);

// The value of an environment variable of the process; nullopt when it is
// not set (Environment_<platform>.cpp).
std::optional<std::u16string> EnvironmentVariable(const char* name);
