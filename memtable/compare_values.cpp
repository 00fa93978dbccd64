#include "memtable/compare_values.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "dataset/bcd.h"
#include "dataset/date_time.h"
#include "memtable/collation.h"
#include "memtable/fixed_compare.h"
#include "memtable/locale_id.h"

namespace vantor {

namespace {

template <typename T>
T Load(std::span<const std::byte> bytes) {
  T v{};
  std::memcpy(&v, bytes.data(), std::min(sizeof v, bytes.size()));
  return v;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Zero-terminated text, bounded by the bytes there are.
std::string_view Text8(std::span<const std::byte> bytes) {
  const char* p = reinterpret_cast<const char*>(bytes.data());
  return {p, strnlen(p, bytes.size())};
}

// Fixed fields are packed, so wide text may sit at an odd address; such text is read through a per-thread
// buffer that keeps its capacity between comparisons.
std::u16string_view Text16(std::span<const std::byte> bytes, std::u16string& unaligned) {
  const size_t units = bytes.size() / 2;
  if (reinterpret_cast<uintptr_t>(bytes.data()) % alignof(char16_t) == 0) {
    const auto* p = reinterpret_cast<const char16_t*>(bytes.data());
    size_t n = 0;
    while (n < units && p[n] != 0) ++n;
    return {p, n};
  }
  unaligned.clear();
  for (size_t i = 0; i < units; ++i) {
    char16_t c;
    std::memcpy(&c, bytes.data() + 2 * i, 2);
    if (c == 0) break;
    unaligned.push_back(c);
  }
  return unaligned;
}

char FoldAsciiLetter(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int CompareOrdinal(std::string_view a, std::string_view b, bool fold) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(fold ? FoldAsciiLetter(a[i]) : a[i]);
    auto y = static_cast<unsigned char>(fold ? FoldAsciiLetter(b[i]) : b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return Order(a.size(), b.size());
}

int CompareText8(std::string_view key, std::string_view value, TMemIndexFieldOptions options, int32_t locale_id,
                 bool& full_match) {
  if ((options & mtifoPartial) && key.size() != value.size()) {
    full_match = false;
    value = value.substr(0, std::min(key.size(), value.size()));
  }
  const bool ci = options & mtifoCaseInsensitive;
  if (options & mtifoIgnoreLocale) return CompareOrdinal(key, value, ci);
  return CompareTextUtf8(locale_id, ci, key, value);
}

int CompareText16(std::u16string_view key, std::u16string_view value, TMemIndexFieldOptions options,
                  int32_t locale_id, bool& full_match) {
  if ((options & mtifoPartial) && key.size() != value.size()) {
    full_match = false;
    value = value.substr(0, std::min(key.size(), value.size()));
  }
  // Wide text never goes ordinal: without the table's locale it takes the user's.
  if (options & mtifoIgnoreLocale) locale_id = kUserDefaultLocaleId;
  return CompareTextUtf16(locale_id, options & mtifoCaseInsensitive, key, value);
}

int CompareBcdAsCurrency(std::span<const std::byte> a, std::span<const std::byte> b) {
  const auto x = Load<TBcd>(a);
  const auto y = Load<TBcd>(b);
  Currency cx, cy;
  if (!x.TryToCurrency(cx) || !y.TryToCurrency(cy)) return 0;
  return Order(cx.scaled, cy.scaled);
}

int CompareTimeStamps(std::span<const std::byte> a, std::span<const std::byte> b) {
  const auto x = Load<TSQLTimeStamp>(a);
  const auto y = Load<TSQLTimeStamp>(b);
  if (int r = Order(x.Year, y.Year)) return r;
  if (int r = Order(x.Month, y.Month)) return r;
  if (int r = Order(x.Day, y.Day)) return r;
  if (int r = Order(x.Hour, y.Hour)) return r;
  if (int r = Order(x.Minute, y.Minute)) return r;
  if (int r = Order(x.Second, y.Second)) return r;
  return Order(x.Fractions, y.Fractions);
}

}  // namespace

int CompareFieldValues(std::span<const std::byte> key, std::span<const std::byte> value, TFieldType type,
                       TMemIndexFieldOptions options, int32_t locale_id, bool& full_match) {
  full_match = true;
  int result = 0;
  if (const size_t width = FixedNumberWidth(type)) {
    // Buffers shorter than the type (never those of a record) read as zero-extended.
    std::byte k[8] = {}, v[8] = {};
    const std::byte* kp = key.data();
    const std::byte* vp = value.data();
    if (key.size() < width) kp = static_cast<std::byte*>(std::memcpy(k, key.data(), key.size()));
    if (value.size() < width) vp = static_cast<std::byte*>(std::memcpy(v, value.data(), value.size()));
    CompareFixedNumbers(type, kp, vp, result);
    return (options & mtifoDescending) ? -result : result;
  }
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
    case ftOraInterval:
      result = CompareText8(Text8(key), Text8(value), options, locale_id, full_match);
      break;
    case ftWideString:
    case ftFixedWideChar:
    {
      thread_local std::u16string key_copy, value_copy;
      result = CompareText16(Text16(key, key_copy), Text16(value, value_copy), options, locale_id, full_match);
      break;
    }
    case ftBCD:
    case ftFMTBcd:
      result = CompareBcdAsCurrency(key, value);
      break;
    case ftTimeStamp:
    case ftOraTimeStamp:
      result = CompareTimeStamps(key, value);
      break;
    default:
      result = 0;
      break;
  }
  return (options & mtifoDescending) ? -result : result;
}

}  // namespace vantor
