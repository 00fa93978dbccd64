// TMemCommon::ComputeLayout: where each field lives inside a record.

#include <cstring>
#include <string>

#include "memtable/mem_common.h"
#include "memtable/mem_errors.h"
#include "memtable/record_pool.h"

namespace vantor {

namespace {

// Limits that keep every offset and size of a record well inside 32 bits.
constexpr int kMaxFieldSize = 1 << 24;
constexpr int64_t kMaxDataAreaSize = int64_t{1} << 28;

std::string FieldDefTitle(const TFieldDef& def) {
  return memmsg::kFieldDefPrefix + def.Name() + " (" + def.DisplayName() + ")";
}

void ThrowUnsupported(const TFieldDef& def) {
  throw EMemTableError(FieldDefTitle(def) + Format(memmsg::kDataTypeNotSupported, static_cast<int>(def.DataType())));
}

}  // namespace

void CheckFieldDefsSupported(const TFieldDefs& defs) {
  for (const auto& def : defs) {
    if (!kSupportedFieldTypes.contains(def->DataType())) ThrowUnsupported(*def);
    if (const TFieldDefs* children = def->ChildDefsIfAny()) CheckFieldDefsSupported(*children);
  }
}

void TMemCommon::ComputeLayout(const TFieldDefs& defs, int calc_fields_size, const TMemSetupFieldEvent& on_setup) {
  if (defs.Empty()) throw EMemTableError(memmsg::kNoFields);
  auto guard = Lock();
  if (!slots_.empty()) throw EMemTableError(memmsg::kTableMustBeClosed);
  if (calc_fields_size < 0 || calc_fields_size > kMaxDataAreaSize)
    throw EMemTableError(Format("Calculated fields need %d bytes, which a record cannot hold", calc_fields_size));

  flags_.fill(0);
  offsets_.fill(0);
  var_fields_.clear();
  int count = 0;
  int64_t fixed = 0;

  // Depth-first: ADT children once, array children Size times.
  auto walk = [&](auto& self, const TFieldDef& def) -> void {
    if (++count > kMaxFields)
      throw EMemTableError(Format("A table holds at most %d data fields; %s brings more", kMaxFields,
                                  def.DisplayName().c_str()));
    const TFieldType type = def.DataType();
    if (!kSupportedFieldTypes.contains(type)) ThrowUnsupported(def);
    const int size = def.Size();
    if (size < 0 || size > kMaxFieldSize)
      throw EMemTableError(FieldDefTitle(def) + Format(" Size %d is out of range.", size));
    const size_t i = static_cast<size_t>(count - 1);
    types_[i] = type;
    sizes_[i] = size;
    storage_sizes_[i] = StorageSize(type, size);
    uint8_t flags = 0;
    if (IsVarLengthField(type, size, performance_)) {
      flags = kFieldVarLength;
      if (on_setup && !IsBlobType(type)) on_setup(def, flags);
    }
    flags_[i] = flags;
    if (flags & kFieldVarLength) {
      offsets_[i] = -1;
      var_fields_.push_back(count);
    } else {
      offsets_[i] = static_cast<int32_t>(fixed);
      fixed += storage_sizes_[i] + 1;
      if (fixed > kMaxDataAreaSize) throw EMemTableError(FieldDefTitle(def) + " makes the record too large.");
    }
    if (const TFieldDefs* children = def.ChildDefsIfAny()) {
      const int repeat = type == ftArray ? size : 1;
      for (int r = 0; r < repeat; ++r)
        for (const auto& child : *children) self(self, *child);
    }
  };
  for (const auto& def : defs) walk(walk, *def);

  field_count_ = count;
  fixed_size_ = static_cast<int>(fixed);
  calc_start_ = fixed_size_;
  bookmark_start_ = calc_start_ + calc_fields_size;
  var_start_ = bookmark_start_ + attach_max_count_ * kBookmarkSlotSize;
  int32_t at = var_start_;
  for (int field_no : var_fields_) {
    offsets_[static_cast<size_t>(field_no - 1)] = at;
    at += kVarEntrySize;
    if (performance_ == mtpfSmall) flags_[static_cast<size_t>(field_no - 1)] |= kFieldCompressed;
  }
  data_size_ = at;
  ResetPool();
  data_modified_ = false;
  ClearModifiedFlags();
}

void TMemCommon::ResetPool() {
  const size_t size = static_cast<size_t>(RecordSize());
  if (pool_ && pool_->RecordSize() == size) return;
  if (pool_) pool_->Retire();
  pool_ = new RecordPool(size);
}

}  // namespace vantor
