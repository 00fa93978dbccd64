#include "memtable/field_list.h"

#include <algorithm>
#include <string>

#include "dataset/dataset.h"
#include "dataset/text.h"
#include "memtable/mem_errors.h"
#include "memtable/mem_table.h"

namespace vantor {

void TMemFieldList::Add(TField* field, TMemIndexFieldOptions options) {
  if (Count >= kCapacity) throw EMemTableError(Format(memmsg::kTooManyKeyFields, kCapacity));
  const auto i = static_cast<size_t>(Count);
  Fields[i] = field;
  Options[i] = options;
  DataOffset[i] = 0;
  FieldNo[i] = 0;
  ++Count;
}

void TMemFieldList::Assign(const TMemFieldList& source) {
  const auto n = static_cast<size_t>(source.Count);
  std::copy_n(source.DataOffset.begin(), n, DataOffset.begin());
  std::copy_n(source.FieldNo.begin(), n, FieldNo.begin());
  std::copy_n(source.Fields.begin(), n, Fields.begin());
  std::copy_n(source.Options.begin(), n, Options.begin());
  Count = source.Count;
}

bool TMemFieldList::Contains(const TField* field) const {
  return std::find(Fields.begin(), Fields.begin() + Count, field) != Fields.begin() + Count;
}

TMemIndexFieldOptions ParseOptionLetters(std::string_view letters) {
  TMemIndexFieldOptions options = 0;
  for (char c : letters) {
    switch (c) {
      case 'C': case 'c': options |= mtifoCaseInsensitive; break;
      case 'D': case 'd': options |= mtifoDescending; break;
      case 'N': case 'n': options |= mtifoIgnoreNull; break;
      case 'P': case 'p': options |= mtifoPartial; break;
      case 'L': case 'l': options |= mtifoIgnoreLocale; break;
      default: break;
    }
  }
  return options;
}

void ParseFieldList(TCustomMemTable& table, TMemFieldList& list, std::string_view field_names) {
  list.Clear();
  size_t pos = 0;
  while (pos < field_names.size()) {
    size_t end = field_names.find(';', pos);
    if (end == std::string_view::npos) end = field_names.size();
    std::string_view piece = TrimBlanks(field_names.substr(pos, end - pos));
    pos = end + 1;

    std::string_view name = piece;
    TMemIndexFieldOptions options = 0;
    if (size_t colon = piece.find(':'); colon != std::string_view::npos) {
      name = TrimBlanks(piece.substr(0, colon));
      options = ParseOptionLetters(piece.substr(colon + 1));
    }
    TField& field = table.FieldByName(name);
    if (field.FieldKind() == fkAggregate || !kIndexableFieldTypes.contains(field.DataType()))
      DatabaseError(Format(memmsg::kCannotIndexField, field.DisplayName().c_str()));
    list.Add(&field, options);
    if (field.FieldKind() == fkCalculated || field.FieldKind() == fkLookup) table.SetRecalcOnIndex(true);
  }

  const TMemCommon& store = table.Store();
  for (int i = 0; i < list.Count; ++i) {
    const TField& field = *list.Fields[static_cast<size_t>(i)];
    const bool data_field = !field.IsCalculated() && field.FieldNo() > 0;
    list.FieldNo[static_cast<size_t>(i)] = data_field ? field.FieldNo() : 0;
    list.DataOffset[static_cast<size_t>(i)] =
        data_field ? store.FieldOffset(field.FieldNo()) : store.CalcAreaStart() + field.Offset();
  }
}

void ApplyFieldOption(TCustomMemTable& table, TMemFieldList& list, TMemIndexFieldOption option,
                      std::string_view field_names) {
  TMemFieldList named;
  ParseFieldList(table, named, field_names);
  for (int i = 0; i < list.Count; ++i) {
    auto& options = list.Options[static_cast<size_t>(i)];
    if (named.Contains(list.Fields[static_cast<size_t>(i)]))
      options |= option;
    else
      options &= static_cast<TMemIndexFieldOptions>(~option);
  }
}

}  // namespace vantor
