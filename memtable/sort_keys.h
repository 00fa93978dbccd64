#pragma once
// Sorting an index by one key field with the field's value cached beside each reference, so that a sort of
// a million records compares plain numbers or byte strings (collation sort keys for locale text) instead of
// reading records. The comparisons give exactly the record comparison's results, tie-break included.

#include <vector>

#include "memtable/field_list.h"
#include "memtable/mem_record.h"

namespace vantor {

class TMemCommon;

// Sorts refs[first..last] (slot ids of stored records). Returns false, touching nothing, when the key cannot be cached (several fields,
// a calculated field, partial matching, decimal and time-stamp types); the caller then compares records.
bool SortByCachedKey(const TMemCommon& store, const TMemFieldList& list, std::vector<int32_t>& refs, int first,
                     int last);

}  // namespace vantor
