#include "memtable/sort_keys.h"

#include <cstring>
#include <string>

#include "dataset/field.h"
#include "memtable/collation.h"
#include "memtable/locale_id.h"
#include "memtable/mem_common.h"
#include "memtable/reference_sort.h"

namespace vantor {
namespace {

enum class KeyKind { Integer, Float, Text8, Text16, Equal };

bool KindOf(TFieldType type, KeyKind& kind) {
  switch (type) {
    case ftSmallint: case ftWord: case ftInteger: case ftAutoInc: case ftDate: case ftTime: case ftLargeint:
    case ftCurrency: case ftBoolean:
      kind = KeyKind::Integer;
      return true;
    case ftFloat: case ftDateTime:
      kind = KeyKind::Float;
      return true;
    case ftString: case ftFixedChar: case ftGuid: case ftOraInterval:
      kind = KeyKind::Text8;
      return true;
    case ftWideString: case ftFixedWideChar:
      kind = KeyKind::Text16;
      return true;
    case ftWideMemo: case ftADT: case ftArray:
      kind = KeyKind::Equal;
      return true;
    default:
      return false;
  }
}

template <typename T>
T Load(const std::byte* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

int64_t IntegerKey(TFieldType type, const std::byte* p) {
  switch (type) {
    case ftSmallint: return Load<int16_t>(p);
    case ftWord: return Load<uint16_t>(p);
    case ftBoolean: return Load<int16_t>(p) != 0 ? 1 : 0;
    case ftLargeint: case ftCurrency: return Load<int64_t>(p);
    default: return Load<int32_t>(p);
  }
}

struct Entry {
  TMemRecord* record;
  union {
    int64_t integer;
    double real;
    struct {
      uint32_t offset, length;
    } text;
  };
  int32_t slot;
  bool null;
  bool placed;
};

template <KeyKind kind>
struct EntryCompare {
  const std::string* arena;
  bool descending;
  bool ignore_null;

  int Values(const Entry& a, const Entry& b) const {
    if constexpr (kind == KeyKind::Integer) {
      return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
    } else if constexpr (kind == KeyKind::Float) {
      return a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);  // equal and unordered are both 0
    } else if constexpr (kind == KeyKind::Equal) {
      return 0;
    } else {
      const size_t n = std::min(a.text.length, b.text.length);
      const int r = std::memcmp(arena->data() + a.text.offset, arena->data() + b.text.offset, n);
      if (r != 0) return r < 0 ? -1 : 1;
      return a.text.length < b.text.length ? -1 : (a.text.length > b.text.length ? 1 : 0);
    }
  }

  int operator()(const Entry& a, const Entry& b) const {
    int r;
    if (a.null) {
      if (ignore_null) {
        r = 0;
      } else {
        r = b.null ? 0 : -1;
        if (descending) r = -r;
      }
    } else if (b.null) {
      r = descending ? -1 : 1;
    } else {
      r = Values(a, b);
      if (descending) r = -r;
    }
    if (r != 0) return r;
    if (!a.placed && !b.placed)
      r = a.slot < b.slot ? -1 : (a.slot > b.slot ? 1 : 0);
    else if (!a.placed)
      r = -1;
    else if (!b.placed)
      r = 1;
    return descending ? -r : r;
  }
};

template <KeyKind kind>
void SortEntries(std::vector<Entry>& entries, const std::string& arena, TMemIndexFieldOptions options) {
  EntryCompare<kind> cmp{&arena, (options & mtifoDescending) != 0, (options & mtifoIgnoreNull) != 0};
  SortRange(entries.data(), 0, static_cast<int>(entries.size()) - 1, cmp);
}

}  // namespace

bool SortByCachedKey(const TMemCommon& store, const TMemFieldList& list, std::vector<int32_t>& refs, int first,
                     int last) {
  if (list.Count != 1 || list.FieldNo[0] <= 0) return false;
  const TMemIndexFieldOptions options = list.Options[0];
  if (options & mtifoPartial) return false;
  const TField& field = *list.Fields[0];
  const TFieldType type = field.DataType();
  KeyKind kind;
  if (!KindOf(type, kind)) return false;

  const int field_no = list.FieldNo[0];
  const bool var_length = store.IsVarLength(field_no);
  const bool ci = options & mtifoCaseInsensitive;
  const bool ordinal = (options & mtifoIgnoreLocale) && kind == KeyKind::Text8;
  // Wide text without the table's locale takes the user's, as the record comparison does.
  const int32_t locale = (options & mtifoIgnoreLocale) ? kUserDefaultLocaleId : store.LocaleID();

  std::vector<Entry> entries(static_cast<size_t>(last - first + 1));
  std::string arena;
  std::u16string wide;
  for (size_t k = 0; k < entries.size(); ++k) {
    Entry& e = entries[k];
    TMemRecord* record = store.StoredRecord(refs[static_cast<size_t>(first) + k]);
    e.record = record;
    e.slot = record->SlotId;
    e.placed = record->Position >= 0;
    e.integer = 0;
    const std::byte* entry = store.FieldPointer(record, field_no);
    e.null = *entry == std::byte{kValueNull};
    if (e.null || kind == KeyKind::Equal) continue;
    std::span<const std::byte> bytes;
    if (var_length)
      bytes = VarBlockBytes(store.ValueBlock(record, field_no));
    else
      bytes = {entry + 1, static_cast<size_t>(store.FieldStorageSize(field_no))};
    switch (kind) {
      case KeyKind::Integer: e.integer = IntegerKey(type, bytes.data()); break;
      case KeyKind::Float: e.real = Load<double>(bytes.data()); break;
      case KeyKind::Text8: {
        const char* p = reinterpret_cast<const char*>(bytes.data());
        const std::string_view text(p, strnlen(p, bytes.size()));
        const size_t start = arena.size();
        if (ordinal) {
          arena.append(text);
          if (ci)
            for (size_t i = start; i < arena.size(); ++i)
              if (arena[i] >= 'a' && arena[i] <= 'z') arena[i] = static_cast<char>(arena[i] - 'a' + 'A');
        } else {
          AppendSortKeyUtf8(locale, ci, text, arena);
        }
        e.text = {static_cast<uint32_t>(start), static_cast<uint32_t>(arena.size() - start)};
        break;
      }
      case KeyKind::Text16: {
        wide.clear();
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
          char16_t c;
          std::memcpy(&c, bytes.data() + i, 2);
          if (c == 0) break;
          wide.push_back(c);
        }
        const size_t start = arena.size();
        AppendSortKeyUtf16(locale, ci, wide, arena);
        e.text = {static_cast<uint32_t>(start), static_cast<uint32_t>(arena.size() - start)};
        break;
      }
      case KeyKind::Equal: break;
    }
  }

  if (arena.size() > UINT32_MAX) return false;  // offsets would not fit; compare records instead

  switch (kind) {
    case KeyKind::Integer: SortEntries<KeyKind::Integer>(entries, arena, options); break;
    case KeyKind::Float: SortEntries<KeyKind::Float>(entries, arena, options); break;
    case KeyKind::Text8:
    case KeyKind::Text16: SortEntries<KeyKind::Text8>(entries, arena, options); break;
    case KeyKind::Equal: SortEntries<KeyKind::Equal>(entries, arena, options); break;
  }
  for (size_t k = 0; k < entries.size(); ++k) refs[static_cast<size_t>(first) + k] = entries[k].slot;
  return true;
}

}  // namespace vantor
