// The values of the fiscal documents as they travel in attributes, read
// strictly, and the attribute lookups the readers share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fiscal {

// A decimal with at most `decimals` digits after a dot or a comma (more are
// allowed when they are zeros), scaled by 10^decimals: "12,5" with 2 is 1250.
// At most 13 digits before the separator; a sign only when negative is true.
bool ParseFixed(std::string_view text, int decimals, bool negative, int64_t& value);

// A whole number in [low, high].
bool ParseInt(std::string_view text, int32_t low, int32_t high, int32_t& value);

// true/false in any letter case, or 1/0.
bool ParseBool(std::string_view text, bool& value);

// YYYY-MM-DDTHH:MM:SS with a real month, day and time of day.
bool IsDateTime(std::string_view text);

// An INN: 10 or 12 digits.
bool IsInn(std::string_view text);

// A comma list of whole numbers each in [low, high] (blanks around them
// allowed); an empty list is accepted.
bool IsCodeList(std::string_view text, int32_t low, int32_t high);

// The attributes of one element, as expat hands them over.
class TAttributes {
public:
  TAttributes(const char** attributes, std::u16string_view element)
      : attributes_(attributes), element_(element) {}
  // The value of the attribute (name compared in lower case), or null.
  const char* Find(std::string_view lower) const;
  std::u16string_view Element() const { return element_; }

private:
  const char** attributes_;
  std::u16string_view element_;
};

// Readers of one attribute each: empty when it was read (or, unless
// required, was absent or empty, leaving value as it was), else the fault
// naming the attribute and its element.
struct TReader {
  const TAttributes& Attributes;
  std::u16string Text(std::u16string_view name, std::u16string& value, bool required = false) const;
  std::u16string Fixed(std::u16string_view name, int decimals, bool negative, int64_t& value,
                       bool required = false, bool* given = nullptr) const;
  std::u16string Int(std::u16string_view name, int32_t low, int32_t high, int32_t& value,
                     bool required = false) const;
  std::u16string Bool(std::u16string_view name, bool& value) const;
  std::u16string Date(std::u16string_view name, std::u16string& value) const;
  std::u16string Inn(std::u16string_view name, std::u16string& value) const;
  std::u16string Codes(std::u16string_view name, int32_t low, int32_t high, std::u16string& value) const;
};

} // namespace fiscal
