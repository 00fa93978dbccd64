#pragma once
// The Windows locale identifier layout the table keeps its collation locale in:
// LocaleID = LanguageID + SubLanguageID * 1024 + SortID * 65536.

#include <cstdint>

namespace vantor {

// The user's default locale (LOCALE_USER_DEFAULT).
inline constexpr int32_t kUserDefaultLocaleId = 0x0400;

struct LocaleIdParts {
  int32_t language = 0;      // bits 0..9
  int32_t sub_language = 0;  // bits 10..15
  int32_t sort = 0;          // bits 16..19
};

inline constexpr LocaleIdParts SplitLocaleId(int32_t id) {
  return {id & 0x3FF, (id >> 10) & 0x3F, (id >> 16) & 0xF};
}

inline constexpr int32_t MakeLocaleId(const LocaleIdParts& parts) {
  return parts.language + parts.sub_language * 1024 + parts.sort * 65536;
}

}  // namespace vantor
