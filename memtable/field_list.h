#pragma once
// TMemFieldList: the key fields of a comparison, with per-field options, and the parsing of field-name
// lists such as "Name;Price:D" into one.

#include <array>
#include <cstdint>
#include <string_view>

#include "dataset/field_types.h"

namespace vantor {

class TField;
class TCustomMemTable;

enum TMemIndexFieldOption : uint8_t {
  mtifoDescending = 1,
  mtifoCaseInsensitive = 2,
  mtifoPartial = 4,
  mtifoIgnoreNull = 8,
  mtifoIgnoreLocale = 16,
};
using TMemIndexFieldOptions = uint8_t;

struct TMemFieldList {
  static constexpr int kCapacity = 256;

  int32_t Count = 0;
  std::array<int32_t, kCapacity> DataOffset{};  // of the field's presence byte in the data area
  std::array<int32_t, kCapacity> FieldNo{};     // 1-based data field number; <= 0 for calculated fields
  std::array<TField*, kCapacity> Fields{};      // not owned
  std::array<TMemIndexFieldOptions, kCapacity> Options{};

  void Clear() { Count = 0; }
  // Appends a field; EMemTableError when the list is full.
  void Add(TField* field, TMemIndexFieldOptions options);
  // Copies the entries in use and the count.
  void Assign(const TMemFieldList& source);
  bool Contains(const TField* field) const;
};

// Which field types a key may have.
inline constexpr TFieldTypes kIndexableFieldTypes{
    ftString, ftSmallint,    ftInteger,  ftWord,   ftBoolean,   ftFloat,         ftCurrency,      ftBCD,
    ftDate,   ftTime,        ftDateTime, ftAutoInc, ftFixedChar, ftWideString,   ftLargeint,      ftADT,
    ftArray,  ftGuid,        ftTimeStamp, ftFMTBcd, ftFixedWideChar, ftWideMemo, ftOraTimeStamp, ftOraInterval};

// Option letters after a ":" (either case, anywhere): C case-insensitive, D descending, N ignore null,
// P partial, L ignore locale; other characters are ignored.
TMemIndexFieldOptions ParseOptionLetters(std::string_view letters);

// Fills `list` from "Name[:letters];Name...". Unknown names raise "Field '%s' not found"; aggregate fields and
// types that cannot be indexed raise "Can't index on field %s"; more than 256 names raise EMemTableError.
// A calculated field turns the table's RecalcOnIndex on. The table must be open (offsets come from its
// store's layout). On failure the list is left partly filled.
void ParseFieldList(TCustomMemTable& table, TMemFieldList& list, std::string_view field_names);

// Sets `option` on each entry of `list` whose field is named in `field_names`, and clears it on the others.
void ApplyFieldOption(TCustomMemTable& table, TMemFieldList& list, TMemIndexFieldOption option,
                      std::string_view field_names);

}  // namespace vantor
