#pragma once
// Date and time values. DateTime counts milliseconds since 0001-01-01 00:00:00 (proleptic Gregorian
// calendar), so every date from year 1 to 9999 is exact to the millisecond, before 1900 included.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantor {

struct DateTimeParts {
  int year = 1, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The runtime's SQL time stamp record: 16 bytes (ftTimeStamp, ftOraTimeStamp native form).
struct TSQLTimeStamp {
  int16_t Year = 0;
  uint16_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  uint32_t Fractions = 0;  // milliseconds
};
static_assert(sizeof(TSQLTimeStamp) == 16);

struct DateTime {
  static constexpr int64_t kMsPerDay = 86400000;
  int64_t ms = 0;

  static bool IsValidDate(int year, int month, int day);
  static DateTime FromParts(const DateTimeParts& parts);  // EConvertError when out of range
  static DateTime FromDate(int year, int month, int day) { return FromParts({year, month, day}); }
  // OLE Automation date: days since 1899-12-30; the fraction is the time of day (for negative values
  // the fraction still counts forward from midnight, as the format defines). Rounded to the millisecond.
  static DateTime FromOleDate(double ole);
  static DateTime FromTimeStamp(const TSQLTimeStamp& ts);
  // "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.mmm]]", "YYYY/MM/DD ...", "HH:MM[:SS]" (a time on day 0).
  static DateTime Parse(std::string_view text);  // EConvertError
  static bool TryParse(std::string_view text, DateTime& out);

  DateTimeParts Parts() const;
  double ToOleDate() const;
  TSQLTimeStamp ToTimeStamp() const;
  int64_t DayNumber() const;          // days since 0001-01-01
  int32_t TimeOfDayMs() const;        // milliseconds since midnight
  // "YYYY-MM-DD" when the time is midnight, else "YYYY-MM-DD HH:MM:SS" (".mmm" when there are milliseconds).
  std::string ToString() const;
  // Always "YYYY-MM-DD HH:MM:SS" (milliseconds dropped).
  std::string ToIsoSeconds() const;

  friend constexpr auto operator<=>(DateTime, DateTime) = default;
};

// Native buffer forms used by date fields: ftDate holds the day count + 1 as int32 (day 1 is 0001-01-01),
// ftTime milliseconds since midnight as int32, ftDateTime the millisecond count as a double.
int32_t DateToNative(DateTime value);
DateTime NativeToDate(int32_t native);

}  // namespace vantor
