#include "memtable/field_storage.h"

#include "dataset/native.h"

namespace vantor {

int StorageSize(TFieldType type, int size) { return NativeSize(type, size); }

bool IsVarLengthField(TFieldType type, int size, TMemPerformance performance) {
  if (kVarLengthCandidateTypes.contains(type) && size > kMaxFixedCandidateSize) return performance != mtpfFast;
  return IsBlobType(type);
}

}  // namespace vantor
