#include "dataset/date_time.h"

#include <cmath>
#include <cstdio>

#include "dataset/errors.h"
#include "dataset/text.h"

namespace vantor {
namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kDay1 = DaysFromCivil(1, 1, 1);
const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30) - DaysFromCivil(1, 1, 1);  // in days since 0001-01-01

bool ReadInt(std::string_view s, size_t& i, int max_digits, int& out) {
  int n = 0, v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && n < max_digits) v = v * 10 + (s[i++] - '0'), ++n;
  out = v;
  return n > 0;
}

}  // namespace

bool DateTime::IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap);
}

DateTime DateTime::FromParts(const DateTimeParts& p) {
  if (!IsValidDate(p.year, p.month, p.day) || p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 ||
      p.second < 0 || p.second > 59 || p.millisecond < 0 || p.millisecond > 999)
    throw EConvertError(Format("%04d-%02d-%02d %02d:%02d:%02d is not a valid date and time", p.year, p.month, p.day,
                               p.hour, p.minute, p.second));
  const int64_t days = DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) - kDay1;
  return DateTime{days * kMsPerDay + ((p.hour * 60 + p.minute) * 60 + p.second) * 1000LL + p.millisecond};
}

DateTime DateTime::FromOleDate(double ole) {
  if (!std::isfinite(ole) || ole < -657435.0 || ole >= 2958466.0)
    throw EConvertError("date value " + std::to_string(ole) + " is out of range");
  const double whole = std::trunc(ole);
  int64_t time = static_cast<int64_t>(std::llround(std::fabs(ole - whole) * kMsPerDay));
  int64_t days = static_cast<int64_t>(whole) + kOleEpoch;
  if (time >= kMsPerDay) {  // rounding reached the next midnight
    time -= kMsPerDay;
    days += whole < 0 ? -1 : 1;
    if (whole < 0 && time > 0) time = kMsPerDay - time;
  }
  return DateTime{days * kMsPerDay + time};
}

DateTime DateTime::FromTimeStamp(const TSQLTimeStamp& ts) {
  return FromParts({ts.Year, ts.Month, ts.Day, ts.Hour, ts.Minute, ts.Second, static_cast<int>(ts.Fractions)});
}

int64_t DateTime::DayNumber() const { return ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay); }

int32_t DateTime::TimeOfDayMs() const { return static_cast<int32_t>(ms - DayNumber() * kMsPerDay); }

DateTimeParts DateTime::Parts() const {
  DateTimeParts p;
  CivilFromDays(DayNumber() + kDay1, p.year, p.month, p.day);
  int32_t t = TimeOfDayMs();
  p.millisecond = t % 1000;
  t /= 1000;
  p.second = t % 60;
  t /= 60;
  p.minute = t % 60;
  p.hour = t / 60;
  return p;
}

double DateTime::ToOleDate() const {
  const int64_t days = DayNumber() - kOleEpoch;
  const double frac = static_cast<double>(TimeOfDayMs()) / kMsPerDay;
  return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

TSQLTimeStamp DateTime::ToTimeStamp() const {
  const DateTimeParts p = Parts();
  TSQLTimeStamp ts;
  ts.Year = static_cast<int16_t>(p.year);
  ts.Month = static_cast<uint16_t>(p.month);
  ts.Day = static_cast<uint16_t>(p.day);
  ts.Hour = static_cast<uint16_t>(p.hour);
  ts.Minute = static_cast<uint16_t>(p.minute);
  ts.Second = static_cast<uint16_t>(p.second);
  ts.Fractions = static_cast<uint32_t>(p.millisecond);
  return ts;
}

std::string DateTime::ToIsoSeconds() const {
  const DateTimeParts p = Parts();
  return Format("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
}

std::string DateTime::ToString() const {
  const DateTimeParts p = Parts();
  if (TimeOfDayMs() == 0) return Format("%04d-%02d-%02d", p.year, p.month, p.day);
  std::string s = ToIsoSeconds();
  if (p.millisecond) s += Format(".%03d", p.millisecond);
  return s;
}

bool DateTime::TryParse(std::string_view text, DateTime& out) {
  text = TrimBlanks(text);
  size_t i = 0;
  DateTimeParts p;
  auto parse_time = [&](size_t& k) -> bool {
    if (!ReadInt(text, k, 2, p.hour) || k >= text.size() || text[k] != ':') return false;
    ++k;
    if (!ReadInt(text, k, 2, p.minute)) return false;
    if (k < text.size() && text[k] == ':') {
      ++k;
      if (!ReadInt(text, k, 2, p.second)) return false;
      if (k < text.size() && (text[k] == '.' || text[k] == ',')) {
        ++k;
        size_t start = k;
        int frac = 0;
        if (!ReadInt(text, k, 3, frac)) return false;
        for (size_t n = k - start; n < 3; ++n) frac *= 10;
        p.millisecond = frac;
        while (k < text.size() && text[k] >= '0' && text[k] <= '9') ++k;  // finer digits are dropped
      }
    }
    return true;
  };
  // A time alone ("HH:MM[:SS]") falls on 1899-12-30, day 0 of OLE dates, as time values do everywhere.
  size_t probe = 0;
  int dummy;
  if (ReadInt(text, probe, 2, dummy) && probe < text.size() && text[probe] == ':') {
    if (!parse_time(i) || i != text.size()) return false;
    try {
      const DateTime t = FromParts({1899, 12, 30, p.hour, p.minute, p.second, p.millisecond});
      out = t;
    } catch (const EConvertError&) {
      return false;
    }
    return true;
  }
  if (!ReadInt(text, i, 4, p.year) || i >= text.size() || (text[i] != '-' && text[i] != '/' && text[i] != '.'))
    return false;
  const char sep = text[i++];
  if (!ReadInt(text, i, 2, p.month) || i >= text.size() || text[i] != sep) return false;
  ++i;
  if (!ReadInt(text, i, 2, p.day)) return false;
  if (i < text.size()) {
    if (text[i] != ' ' && text[i] != 'T') return false;
    while (i < text.size() && (text[i] == ' ' || text[i] == 'T')) ++i;
    if (!parse_time(i)) return false;
  }
  if (i != text.size()) return false;
  if (!IsValidDate(p.year, p.month, p.day) || p.hour > 23 || p.minute > 59 || p.second > 59) return false;
  out = FromParts(p);
  return true;
}

DateTime DateTime::Parse(std::string_view text) {
  DateTime d;
  if (!TryParse(text, d)) throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
  return d;
}

int32_t DateToNative(DateTime value) { return static_cast<int32_t>(value.DayNumber() + 1); }

DateTime NativeToDate(int32_t native) { return DateTime{(static_cast<int64_t>(native) - 1) * DateTime::kMsPerDay}; }

}  // namespace vantor
