#pragma once
// Locale-aware text comparison for the in-memory table, on ICU collators.
//
// A locale id is the Windows layout of locale_id.h: kUserDefaultLocaleId (0x0400) means the user's locale
// from the environment (LC_ALL, then LC_COLLATE, then LANG); any other id is mapped through ICU's table of
// Windows locale ids. Collators are made once per (locale id, strength) and kept; comparing allocates
// nothing.

#include <cstdint>
#include <string>
#include <string_view>

namespace vantor {

// The ICU locale name for the user's collation locale ("zh_CN.UTF-8" gives "zh_CN"; "C", "POSIX" and an
// unset environment give "" , the root collation).
std::string UserCollationLocaleName();

// -1, 0 or +1. Case-insensitive ignores case but not accents. Raises EMemTableInvalidLocale "Invalid locale."
// when the locale id has no ICU locale or the comparison fails.
int CompareTextUtf8(int32_t locale_id, bool case_insensitive, std::string_view a, std::string_view b);
int CompareTextUtf16(int32_t locale_id, bool case_insensitive, std::u16string_view a, std::u16string_view b);

// Appends the collation key of a text (without a terminating zero) to `out`: comparing two keys bytewise,
// then by length, orders the texts as CompareText* does.
void AppendSortKeyUtf8(int32_t locale_id, bool case_insensitive, std::string_view text, std::string& out);
void AppendSortKeyUtf16(int32_t locale_id, bool case_insensitive, std::u16string_view text, std::string& out);

// Drops every cached collator, so that the next comparison reads the environment again. Only for use
// while no comparison runs on another thread.
void ResetCollatorCache();

}  // namespace vantor
