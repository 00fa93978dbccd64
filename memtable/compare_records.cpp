// TMemCommon::CompareRecordFields and CompareKeys: two records compared over a field list.

#include "memtable/compare_values.h"
#include "memtable/field_list.h"
#include "memtable/fixed_compare.h"
#include "memtable/mem_common.h"

#include "dataset/field.h"

namespace vantor {

int TMemCommon::CompareRecordFields(const TMemFieldList& list, const TMemRecord* key, const TMemRecord* record,
                                    bool partial, bool ignore_null_keys) const {
  if (key == nullptr || record == nullptr) return 0;
  int result = 0;
  for (int32_t i = 0; i < list.Count; ++i) {
    const auto at = static_cast<size_t>(i);
    const TMemIndexFieldOptions options = list.Options[at] | (partial ? mtifoPartial : 0);
    const std::byte* key_entry = DataArea(key) + list.DataOffset[at];
    const std::byte* record_entry = DataArea(record) + list.DataOffset[at];
    const bool key_null = *key_entry == std::byte{kValueNull};
    const bool record_null = *record_entry == std::byte{kValueNull};
    if (key_null && (ignore_null_keys || (options & mtifoIgnoreNull))) continue;

    bool full_match = true;
    if (!key_null && !record_null) {
      const int field_no = list.FieldNo[at];
      const TField& field = *list.Fields[at];
      const TFieldType type = field.DataType();
      if (CompareFixedNumbers(type, key_entry + 1, record_entry + 1, result)) {
        if (options & mtifoDescending) result = -result;
      } else if (field_no > 0 && IsVarLength(field_no)) {
        result = CompareFieldValues(VarBlockBytes(ValueBlock(key, field_no)), VarBlockBytes(ValueBlock(record, field_no)),
                                    type, options, locale_id_, full_match);
      } else {
        const size_t size = static_cast<size_t>(field_no > 0 ? FieldStorageSize(field_no) : field.DataSize());
        result = CompareFieldValues({key_entry + 1, size}, {record_entry + 1, size}, type, options,
                                    locale_id_, full_match);
      }
    } else if (key_null != record_null) {
      result = key_null ? -1 : 1;
      if (options & mtifoDescending) result = -result;
    } else {
      result = 0;
    }
    if (result != 0) return result;
    if (!full_match) return 0;
  }
  return result;
}

int TMemCommon::CompareKeys(const TMemFieldList& list, const TMemRecord* key, const TMemRecord* record, bool partial,
                            bool tie_break) const {
  int result = CompareRecordFields(list, key, record, partial, false);
  if (result != 0 || !tie_break || key == nullptr || record == nullptr) return result;
  const bool key_placed = key->Position >= 0;
  const bool record_placed = record->Position >= 0;
  if (!key_placed && !record_placed)
    result = key->SlotId < record->SlotId ? -1 : (key->SlotId > record->SlotId ? 1 : 0);
  else if (!key_placed)
    result = -1;
  else if (!record_placed)
    result = 1;
  if (list.Count > 0 && (list.Options[0] & mtifoDescending)) result = -result;
  return result;
}

}  // namespace vantor
