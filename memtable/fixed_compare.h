#pragma once
// Orders of the fixed-size numeric native formats, inline so that the record comparison loop handles the
// common key types without a call.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dataset/field_types.h"

namespace vantor {

template <typename T>
inline int OrderOf(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

template <typename T>
inline T LoadNative(const std::byte* at) {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

// Bytes of a fixed-size number of `type`, 0 for other types.
inline constexpr size_t FixedNumberWidth(TFieldType type) {
  switch (type) {
    case ftSmallint: case ftWord: case ftBoolean: return 2;
    case ftInteger: case ftAutoInc: case ftDate: case ftTime: return 4;
    case ftLargeint: case ftCurrency: case ftFloat: case ftDateTime: return 8;
    default: return 0;
  }
}

// The order of two non-null fixed-size numbers of `type`; false when the type is not one of them.
// Floating-point values that do not order (NaN) compare equal; currency is the scaled integer.
inline bool CompareFixedNumbers(TFieldType type, const std::byte* key, const std::byte* value, int& result) {
  switch (type) {
    case ftSmallint: result = OrderOf(LoadNative<int16_t>(key), LoadNative<int16_t>(value)); return true;
    case ftWord: result = OrderOf(LoadNative<uint16_t>(key), LoadNative<uint16_t>(value)); return true;
    case ftInteger: case ftAutoInc: case ftDate: case ftTime:
      result = OrderOf(LoadNative<int32_t>(key), LoadNative<int32_t>(value));
      return true;
    case ftLargeint: case ftCurrency:
      result = OrderOf(LoadNative<int64_t>(key), LoadNative<int64_t>(value));
      return true;
    case ftBoolean:
      result = OrderOf(LoadNative<uint16_t>(key) != 0, LoadNative<uint16_t>(value) != 0);
      return true;
    case ftFloat: case ftDateTime:
      result = OrderOf(LoadNative<double>(key), LoadNative<double>(value));
      return true;
    default:
      return false;
  }
}

}  // namespace vantor
