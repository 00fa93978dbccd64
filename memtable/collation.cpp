#include "memtable/collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>
#include <unicode/uloc.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "memtable/locale_id.h"
#include "memtable/mem_errors.h"

namespace vantor {

namespace {

struct CacheEntry {
  int32_t locale_id;
  bool case_insensitive;
  std::unique_ptr<icu::Collator> collator;
};

std::mutex cache_mutex;
std::vector<CacheEntry> cache;  // guarded by cache_mutex
std::atomic<uint64_t> cache_generation{1};

// Each thread remembers its last few collators, so a comparison normally takes no lock.
struct RecentEntry {
  uint64_t generation = 0;
  int32_t locale_id = 0;
  bool case_insensitive = false;
  const icu::Collator* collator = nullptr;
};
constexpr size_t kRecent = 4;
thread_local std::array<RecentEntry, kRecent> recent;
thread_local size_t recent_next = 0;

std::string IcuLocaleName(int32_t locale_id) {
  if (locale_id == kUserDefaultLocaleId) return UserCollationLocaleName();
  if (locale_id < 0) throw EMemTableInvalidLocale(memmsg::kInvalidLocale);
  char name[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = uloc_getLocaleForLCID(static_cast<uint32_t>(locale_id), name, sizeof name, &status);
  if (U_FAILURE(status) || length <= 0 || status == U_STRING_NOT_TERMINATED_WARNING)
    throw EMemTableInvalidLocale(memmsg::kInvalidLocale);
  return std::string(name, static_cast<size_t>(length));
}

const icu::Collator* CreateCachedCollator(int32_t locale_id, bool case_insensitive) {
  std::lock_guard lock(cache_mutex);
  for (const CacheEntry& e : cache)
    if (e.locale_id == locale_id && e.case_insensitive == case_insensitive) return e.collator.get();
  const std::string name = IcuLocaleName(locale_id);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> collator(
      icu::Collator::createInstance(name.empty() ? icu::Locale::getRoot() : icu::Locale(name.c_str()), status));
  if (U_FAILURE(status) || !collator) throw EMemTableInvalidLocale(memmsg::kInvalidLocale);
  collator->setStrength(case_insensitive ? icu::Collator::SECONDARY : icu::Collator::TERTIARY);
  cache.push_back({locale_id, case_insensitive, std::move(collator)});
  return cache.back().collator.get();
}

const icu::Collator& CollatorFor(int32_t locale_id, bool case_insensitive) {
  const uint64_t generation = cache_generation.load(std::memory_order_acquire);
  for (const RecentEntry& e : recent)
    if (e.generation == generation && e.locale_id == locale_id && e.case_insensitive == case_insensitive)
      return *e.collator;
  const icu::Collator* collator = CreateCachedCollator(locale_id, case_insensitive);
  recent[recent_next] = {generation, locale_id, case_insensitive, collator};
  recent_next = (recent_next + 1) % kRecent;
  return *collator;
}

int Sign(UCollationResult r) { return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0; }

}  // namespace

std::string UserCollationLocaleName() {
  const char* value = nullptr;
  for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) {
      value = v;
      break;
    }
  }
  if (value == nullptr) return "";
  std::string name(value);
  name = name.substr(0, name.find_first_of(".@"));
  if (name == "C" || name == "POSIX") return "";
  return name;
}

int CompareTextUtf8(int32_t locale_id, bool case_insensitive, std::string_view a, std::string_view b) {
  const icu::Collator& collator = CollatorFor(locale_id, case_insensitive);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator.compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                            icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_FAILURE(status)) throw EMemTableInvalidLocale(memmsg::kInvalidLocale);
  return Sign(r);
}

int CompareTextUtf16(int32_t locale_id, bool case_insensitive, std::u16string_view a, std::u16string_view b) {
  const icu::Collator& collator = CollatorFor(locale_id, case_insensitive);
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = collator.compare(a.data(), static_cast<int32_t>(a.size()), b.data(),
                                        static_cast<int32_t>(b.size()), status);
  if (U_FAILURE(status)) throw EMemTableInvalidLocale(memmsg::kInvalidLocale);
  return Sign(r);
}

void AppendSortKeyUtf16(int32_t locale_id, bool case_insensitive, std::u16string_view text, std::string& out) {
  const icu::Collator& collator = CollatorFor(locale_id, case_insensitive);
  const size_t start = out.size();
  out.resize(start + text.size() * 4 + 16);
  for (;;) {
    const int32_t room = static_cast<int32_t>(out.size() - start);
    const int32_t needed = collator.getSortKey(text.data(), static_cast<int32_t>(text.size()),
                                               reinterpret_cast<uint8_t*>(out.data() + start), room);
    if (needed <= 0) throw EMemTableInvalidLocale(memmsg::kInvalidLocale);
    if (needed <= room) {
      out.resize(start + static_cast<size_t>(needed) - 1);  // without the terminating zero
      return;
    }
    out.resize(start + static_cast<size_t>(needed));
  }
}

void AppendSortKeyUtf8(int32_t locale_id, bool case_insensitive, std::string_view text, std::string& out) {
  thread_local std::u16string wide;
  wide.clear();
  const icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  wide.assign(reinterpret_cast<const char16_t*>(u.getBuffer()), static_cast<size_t>(u.length()));
  AppendSortKeyUtf16(locale_id, case_insensitive, wide, out);
}

void ResetCollatorCache() {
  std::lock_guard lock(cache_mutex);
  cache_generation.fetch_add(1, std::memory_order_acq_rel);
  cache.clear();
}

}  // namespace vantor
