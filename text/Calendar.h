// Civil dates as days since 1 January 1970, and back: the proleptic Gregorian
// calendar, for every date a host value or a document can carry; and the
// documents' date and time, "YYYY-MM-DDTHH:MM:SS", as seconds of a calendar
// without zones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

// Days since 1970-01-01 of year y, month m (1-12), day d (1-31).
constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The civil date of day z since 1970-01-01.
constexpr void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y = yoe + era * 400 + (m <= 2);
}

inline constexpr int64_t kSecondsPerDay = 24 * 60 * 60;

// "YYYY-MM-DDTHH:MM:SS" of a moment in seconds since 1970-01-01T00:00:00.
inline std::string FormatDateTime(int64_t moment) {
  const int64_t days = moment >= 0 ? moment / kSecondsPerDay : (moment - kSecondsPerDay + 1) / kSecondsPerDay;
  const int64_t rest = moment - days * kSecondsPerDay;
  int64_t y = 0, m = 0, d = 0;
  CivilFromDays(days, y, m, d);
  char text[40];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return text;
}

// The moment of "YYYY-MM-DDTHH:MM:SS" with a real month, day and time of day;
// nullopt when it is anything else.
inline std::optional<int64_t> ParseDateTime(std::string_view text) {
  static constexpr std::string_view kPattern = "dddd-dd-ddTdd:dd:dd";
  if (text.size() != kPattern.size())
    return std::nullopt;
  for (size_t i = 0; i < text.size(); ++i)
    if (kPattern[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != kPattern[i])
      return std::nullopt;
  const auto number = [&](size_t at, size_t length) {
    int64_t value = 0;
    for (size_t i = at; i < at + length; ++i)
      value = value * 10 + (text[i] - '0');
    return value;
  };
  const int64_t y = number(0, 4), mo = number(5, 2), d = number(8, 2);
  const int64_t h = number(11, 2), mi = number(14, 2), s = number(17, 2);
  if (mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59)
    return std::nullopt;
  const int64_t days = DaysFromCivil(y, mo, d);
  int64_t cy = 0, cm = 0, cd = 0;
  CivilFromDays(days, cy, cm, cd);
  if (cd != d) // the 31st of a short month
    return std::nullopt;
  return days * kSecondsPerDay + h * 3600 + mi * 60 + s;
}
