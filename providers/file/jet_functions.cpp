#include "providers/file/jet_functions.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <string>

#include "dataset/date_time.h"
#include "dataset/text.h"
#include "dataset/value.h"

namespace vantor::providers::file {

namespace {

std::string Text(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string();
}

void ResultText(sqlite3_context* c, const std::string& s) {
  sqlite3_result_text64(c, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

// Character counts work on UTF-16 code units, as Jet's do.
std::u16string Wide(sqlite3_value* v) { return Utf8ToUtf16(Text(v)); }

int64_t Count(sqlite3_context* c, sqlite3_value* v) {
  const int64_t n = sqlite3_value_int64(v);
  if (n < 0) sqlite3_result_error(c, "invalid procedure call: negative length", -1);
  return n;
}

DateTime LocalNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  return DateTime::FromParts({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0});
}

void IIfFn(sqlite3_context* c, int, sqlite3_value** argv) {
  const bool cond = sqlite3_value_type(argv[0]) != SQLITE_NULL && sqlite3_value_double(argv[0]) != 0;
  sqlite3_result_value(c, argv[cond ? 1 : 2]);
}

void NzFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) sqlite3_result_value(c, argv[0]);
  else if (argc > 1) sqlite3_result_value(c, argv[1]);
  else sqlite3_result_int(c, 0);
}

void NowFn(sqlite3_context* c, int, sqlite3_value**) { ResultText(c, LocalNow().ToString()); }

void DateFn(sqlite3_context* c, int, sqlite3_value**) {
  const DateTime now = LocalNow();
  ResultText(c, DateTime{now.ms - now.TimeOfDayMs()}.ToString());
}

void LenFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  sqlite3_result_int64(c, static_cast<int64_t>(Wide(argv[0]).size()));
}

void LeftFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  const int64_t n = Count(c, argv[1]);
  if (n < 0) return;
  const std::u16string s = Wide(argv[0]);
  ResultText(c, Utf16ToUtf8(s.substr(0, static_cast<size_t>(std::min<int64_t>(n, static_cast<int64_t>(s.size()))))));
}

void RightFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  const int64_t n = Count(c, argv[1]);
  if (n < 0) return;
  const std::u16string s = Wide(argv[0]);
  const size_t take = static_cast<size_t>(std::min<int64_t>(n, static_cast<int64_t>(s.size())));
  ResultText(c, Utf16ToUtf8(s.substr(s.size() - take)));
}

void MidFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  const int64_t start = sqlite3_value_int64(argv[1]);
  if (start < 1) return sqlite3_result_error(c, "invalid procedure call: Mid start below 1", -1);
  const std::u16string s = Wide(argv[0]);
  if (static_cast<size_t>(start) > s.size()) return ResultText(c, "");
  size_t length = std::u16string::npos;
  if (argc > 2) {
    const int64_t n = Count(c, argv[2]);
    if (n < 0) return;
    length = static_cast<size_t>(n);
  }
  ResultText(c, Utf16ToUtf8(s.substr(static_cast<size_t>(start - 1), length)));
}

void CaseFn(sqlite3_context* c, int argc, sqlite3_value** argv, bool upper) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  std::string s = Text(argv[0]);
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 0x80) ch = static_cast<char>(upper ? std::toupper(ch) : std::tolower(ch));
  ResultText(c, s);
}
void UCaseFn(sqlite3_context* c, int argc, sqlite3_value** argv) { CaseFn(c, argc, argv, true); }
void LCaseFn(sqlite3_context* c, int argc, sqlite3_value** argv) { CaseFn(c, argc, argv, false); }

void TrimFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  const std::string s = Text(argv[0]);
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return ResultText(c, "");
  ResultText(c, s.substr(b, s.find_last_not_of(' ') - b + 1));
}

// InStr([start,] text, sought): 1-based position, 0 when absent.
void InStrFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(c);
  int64_t start = 1;
  int first = 0;
  if (argc == 3) {
    start = sqlite3_value_int64(argv[0]);
    first = 1;
    if (start < 1) return sqlite3_result_error(c, "invalid procedure call: InStr start below 1", -1);
  }
  const std::u16string s = Wide(argv[first]), sought = Wide(argv[first + 1]);
  if (static_cast<size_t>(start) > s.size() + 1) return sqlite3_result_int(c, 0);
  const size_t at = s.find(sought, static_cast<size_t>(start - 1));
  sqlite3_result_int64(c, at == std::u16string::npos ? 0 : static_cast<int64_t>(at) + 1);
}

std::string FormatDate(const DateTime& d, const std::string& pattern) {
  const DateTimeParts p = d.Parts();
  std::string out;
  const std::string up = AsciiUpper(pattern);
  char buf[8];
  for (size_t i = 0; i < up.size();) {
    auto run = [&](char ch) {
      size_t n = 0;
      while (i + n < up.size() && up[i + n] == ch) ++n;
      return n;
    };
    const char ch = up[i];
    size_t n = 1;
    if (ch == 'Y') {
      n = run('Y');
      std::snprintf(buf, sizeof buf, n >= 4 ? "%04d" : "%02d", n >= 4 ? p.year : p.year % 100);
      out += buf;
    } else if (ch == 'M' || ch == 'D' || ch == 'H' || ch == 'N' || ch == 'S') {
      n = run(ch);
      const int value = ch == 'M' ? p.month : ch == 'D' ? p.day : ch == 'H' ? p.hour : ch == 'N' ? p.minute : p.second;
      std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", value);
      out += buf;
    } else {
      out += pattern[i];
    }
    i += n;
  }
  return out;
}

std::string FormatNumber(double value, const std::string& pattern) {
  const std::string up = AsciiUpper(pattern);
  int decimals = 0;
  bool grouping = false, percent = false;
  if (up == "FIXED") decimals = 2;
  else if (up == "STANDARD") decimals = 2, grouping = true;
  else if (up == "PERCENT") decimals = 2, percent = true;
  else if (up == "GENERAL NUMBER" || up.empty()) return DoubleToString(value);
  else {
    const size_t dot = pattern.find('.');
    if (dot != std::string::npos)
      for (size_t i = dot + 1; i < pattern.size() && (pattern[i] == '0' || pattern[i] == '#'); ++i) ++decimals;
    grouping = pattern.find(',') != std::string::npos;
    percent = pattern.find('%') != std::string::npos;
  }
  if (percent) value *= 100;
  // Halves round away from zero, as Format does (printf alone would round them to even).
  const double scale = std::pow(10.0, decimals);
  if (std::fabs(value * scale) < 1e15) value = std::round(value * scale) / scale;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::string text = buf;
  if (grouping) {
    const size_t start = text[0] == '-' ? 1 : 0;
    size_t end = text.find('.');
    if (end == std::string::npos) end = text.size();
    std::string grouped = text.substr(0, start);
    for (size_t i = start; i < end; ++i) {
      grouped.push_back(text[i]);
      const size_t left = end - i - 1;
      if (left > 0 && left % 3 == 0) grouped.push_back(',');
    }
    grouped.append(text, end, std::string::npos);
    text.swap(grouped);
  }
  if (percent) text.push_back('%');
  return text;
}

void FormatFn(sqlite3_context* c, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  const std::string pattern = argc > 1 ? Text(argv[1]) : std::string();
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
    DateTime d;
    if (DateTime::TryParse(Text(argv[0]), d)) {
      const std::string up = AsciiUpper(pattern);
      if (up.empty() || up == "GENERAL DATE") return ResultText(c, d.ToString());
      if (up == "SHORT DATE") return ResultText(c, FormatDate(d, "yyyy-mm-dd"));
      if (up == "LONG TIME") return ResultText(c, FormatDate(d, "hh:nn:ss"));
      return ResultText(c, FormatDate(d, pattern));
    }
    double number = 0;
    if (!TryParseDouble(Text(argv[0]), number)) return ResultText(c, Text(argv[0]));
    return ResultText(c, FormatNumber(number, pattern));
  }
  ResultText(c, FormatNumber(sqlite3_value_double(argv[0]), pattern));
}

struct Fn {
  const char* name;
  int args;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
  bool deterministic;
};

}  // namespace

void RegisterJetFunctions(sqlite3* db) {
  static const Fn kFns[] = {
      {"iif", 3, IIfFn, true},      {"nz", 1, NzFn, true},        {"nz", 2, NzFn, true},
      {"now", 0, NowFn, false},     {"date", 0, DateFn, false},   {"len", 1, LenFn, true},
      {"jet_left", 2, LeftFn, true}, {"jet_right", 2, RightFn, true},  {"mid", 2, MidFn, true},
      {"mid", 3, MidFn, true},      {"ucase", 1, UCaseFn, true},  {"lcase", 1, LCaseFn, true},
      {"trim", 1, TrimFn, true},    {"instr", 2, InStrFn, true},  {"instr", 3, InStrFn, true},
      {"format", 1, FormatFn, true}, {"format", 2, FormatFn, true},
  };
  for (const Fn& f : kFns)
    sqlite3_create_function_v2(db, f.name, f.args, SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0), nullptr,
                               f.fn, nullptr, nullptr, nullptr);
}

}  // namespace vantor::providers::file
