// TCustomMemTable::TransferRecords and SaveToTarget: copying rows from one dataset to another by field name.

#include <array>
#include <cstring>
#include <vector>

#include "dataset/errors.h"
#include "dataset/native.h"
#include "dataset/text.h"
#include "memtable/mem_common.h"
#include "memtable/mem_errors.h"
#include "memtable/mem_table.h"

namespace vantor {
namespace {

bool IsWideType(TFieldType t) { return t == ftWideString || t == ftFixedWideChar || t == ftWideMemo; }
bool IsNarrowText(TFieldType t) { return t == ftString || t == ftFixedChar; }

// How one destination field takes its value, decided once per transfer from the two fields' types.
enum class CopyRule { Native, LargeintText, WideSame, DecodeUtf8, EncodeUtf8, OraText, Text, Variant };

struct FieldCopy {
  TField* destination;
  TField* source;
  int field_no;  // 1-based position among the destination's fields, for the events
  CopyRule rule;
};

CopyRule RuleFor(const TField& s, const TField& d, bool wide_as_utf8) {
  const TFieldType st = s.DataType(), dt = d.DataType();
  if (st == ftLargeint) return dt == ftLargeint ? CopyRule::Native : CopyRule::LargeintText;
  if (wide_as_utf8 && (IsWideType(st) || IsWideType(dt))) {
    if (st == dt) return CopyRule::WideSame;
    if (IsNarrowText(st)) return CopyRule::DecodeUtf8;
    if (IsNarrowText(dt)) return CopyRule::EncodeUtf8;
    return CopyRule::Variant;
  }
  if (s.IsBlob() && (st == ftOraBlob || st == ftOraClob)) return CopyRule::OraText;
  if (std::strcmp(s.ClassName(), d.ClassName()) != 0) return CopyRule::Text;
  // Same class, type and size: the native bytes are the value, so they are copied as they are.
  if (st == dt && s.Size() == d.Size() && s.DataSize() > 0) return CopyRule::Native;
  return CopyRule::Variant;
}

void CopyValue(const FieldCopy& c, std::vector<unsigned char>& scratch) {
  TField& d = *c.destination;
  const TField& s = *c.source;
  if (c.rule == CopyRule::Native) {
    scratch.resize(static_cast<size_t>(s.DataSize()));
    if (s.GetData(scratch.data()))
      d.SetData(scratch.data());
    else
      d.Clear();
    return;
  }
  if (s.IsNull()) {
    d.Clear();
    return;
  }
  switch (c.rule) {
    case CopyRule::LargeintText:
    case CopyRule::Text: d.SetAsString(s.AsString()); break;
    case CopyRule::DecodeUtf8: d.SetAsVariant(Value(Utf8ToUtf16(s.AsString()))); break;
    case CopyRule::EncodeUtf8: d.SetAsString(Utf16ToUtf8(s.AsWideString())); break;
    case CopyRule::OraText: d.SetAsString(s.AsString()); break;
    default: d.SetAsVariant(s.AsVariant()); break;
  }
}

}  // namespace

int TCustomMemTable::TransferRecords(TDataSet* source, TDataSet* destination, int count, bool ignore_errors,
                                     bool wide_as_utf8) {
  if (!source || !destination || source == destination) return 0;
  ReportProgress(0, mtpcCopy);

  // The field map: each destination field and the source field that feeds it.
  const bool destination_empty = destination->IsEmpty();
  std::vector<FieldCopy> map;
  const int destination_count = std::min(destination->Fields().Count(), TMemCommon::kMaxFields);
  for (int i = 0; i < destination_count; ++i) {
    TField& d = destination->Fields()[i];
    if (d.FieldKind() == fkLookup || d.FieldKind() == fkAggregate) continue;
    if (!kSupportedFieldTypes.contains(d.DataType())) continue;
    if (d.DataType() == ftAutoInc && !destination_empty) continue;
    TField* s = source->FindField(d.FieldName());
    if (!s) continue;
    map.push_back({&d, s, i + 1, RuleFor(*s, d, wide_as_utf8)});
  }

  const int total = OnProgress ? source->RecordCount() : -1;
  if (total < 1) ReportProgress(50, mtpcCopy);
  SetLoadedCompletely(true);

  std::vector<unsigned char> scratch;
  int copied = 0;
  int seen = 0;
  const bool source_is_me = source == this;
  const bool destination_is_me = destination == this;
  while (!source->Eof()) {
    if (total > 0 && ++seen % 100 == 0)
      ReportProgress(static_cast<int>(static_cast<int64_t>(seen) * 100 / total), mtpcCopy);
    bool accept = true;
    if (source_is_me && OnSaveRecord) OnSaveRecord(*this, accept);
    if (!accept) {
      source->Next();
      continue;
    }
    destination->Append();
    for (const FieldCopy& c : map) {
      try {
        if (source_is_me && OnSaveField) OnSaveField(*this, c.field_no, *c.source);
        CopyValue(c, scratch);
        if (destination_is_me && OnLoadField) OnLoadField(*this, c.field_no, *c.destination);
      } catch (const std::exception&) {
        if (!ignore_errors) throw;
      }
    }
    accept = true;
    if (destination_is_me && OnLoadRecord) OnLoadRecord(*this, accept);
    if (accept) {
      try {
        destination->Post();
      } catch (const std::exception&) {
        if (!ignore_errors) throw;
      }
      ++copied;
      if (count > 0 && copied >= count) {
        // Stopped by the limit, on the last row copied: complete only if the source had already ended.
        SetLoadedCompletely(source->Eof());
        ReportProgress(100, mtpcCopy);
        return copied;
      }
    } else {
      destination->Cancel();
    }
    source->Next();
  }
  ReportProgress(100, mtpcCopy);
  return copied;
}

void TCustomMemTable::SaveToTarget(TDataSet* destination, TMemLoadOptions options) {
  if (!destination || destination == this) return;
  if (OnSave) OnSave(*this, mtstDataSet);
  const bool destination_controls = !destination->ControlsDisabled();
  DisableControls();
  if (destination_controls) destination->DisableControls();
  const bool opened = !destination->Active();
  try {
    if (opened) destination->Open();
    destination->CheckBrowseMode();
    Open();
    CheckBrowseMode();
    First();
    save_count_ = TransferRecords(this, destination, SaveLimit(), options & mtloIgnoreErrors,
                                  options & mtloWideAsUTF8);
  } catch (...) {
    try {
      if (destination->Active()) destination->First();
    } catch (...) {
    }
    EnableControls();
    if (destination_controls) destination->EnableControls();
    if (opened) destination->Close();
    throw;
  }
  destination->First();
  EnableControls();
  if (destination_controls) destination->EnableControls();
  if (opened) destination->Close();
}

}  // namespace vantor
