// A small JSON reader and writer for the journal: enough to check a caller's
// object, write it on one line, and read members back. Values stay as their
// compact text until asked for; nesting is limited so that hostile input
// cannot exhaust the stack.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fiscal::json {

inline constexpr int kNestingLimit = 64;

// Members of an object: keys unquoted, values as their compact text.
using TMembers = std::vector<std::pair<std::string, std::string>>;

// One value starting at i (blanks before it skipped), appended without its
// blanks to out when given; false when it is not valid JSON.
bool ScanValue(std::string_view s, size_t& i, std::string* out, int depth = 0);

// The members of one object, the whole text being that object (blanks
// around allowed); compact gets the object without blanks when given.
bool ParseObject(std::string_view s, TMembers& members, std::string* compact = nullptr);
// The items of one array, each as its compact text.
bool ParseArray(std::string_view s, std::vector<std::string>& items);

// The text of a string's raw (quoted) form, escapes decoded to UTF-8 (a lone
// surrogate as U+FFFD).
std::string Unquote(std::string_view raw);
// A UTF-8 text as a JSON string: quotes, backslashes and control characters
// escaped, the rest as it is.
std::string Quote(std::string_view utf8);

const std::string* Find(const TMembers& members, std::string_view key);
// A whole number of at most 18 characters; nullopt when absent or another value.
std::optional<int64_t> Integer(const TMembers& members, std::string_view key);
// A string member's text; nullopt when absent or not a string.
std::optional<std::string> String(const TMembers& members, std::string_view key);

} // namespace fiscal::json
