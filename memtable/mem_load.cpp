// TCustomMemTable::LoadFromSource, CopyStructureFrom and AdoptFieldProperties: filling the table from
// another dataset, with its structure and display properties.

#include "dataset/errors.h"
#include "memtable/mem_common.h"
#include "memtable/mem_errors.h"
#include "memtable/mem_table.h"

namespace vantor {
void TCustomMemTable::LoadFromSource(TDataSet* source, TMemLoadOptions options) {
  if (!source || source == this) return;
  if ((options & mtloAppend) && (options & (mtloStructure | mtloProperties)))
    throw EMemTableError(memmsg::kAppendAndStructure);
  if (OnLoad) OnLoad(*this, mtstDataSet);
  if (options & mtloStructure)
    Close();
  else if (!(options & mtloAppend))
    ClearRecords();

  const bool source_was_active = source->Active();
  const bool source_controls_disabled = source->ControlsDisabled();
  const bool enable_indexes = EnableIndexes();
  if (!(options & mtloKeepIndexes)) SetEnableIndexes(false);
  ignore_read_only_ = true;
  if (!source_controls_disabled) source->DisableControls();
  DisableControls();

  auto restore_source_side = [&] {
    ignore_read_only_ = false;
    try {
      if (!source_was_active) source->Close();
    } catch (...) {
    }
    if (!source_controls_disabled) source->EnableControls();
    EnableControls();
  };

  try {
    if (!source_was_active) source->Open();
    TBookmark mark;
    try {
      mark = source->GetBookmark();
    } catch (...) {
    }
    auto restore_indexes_and_position = [&] {
      SetEnableIndexes(enable_indexes);
      RebuildIndexes();
      try {
        if (!mark.Empty() && source->Active()) source->GotoBookmark(mark);
      } catch (...) {
      }
    };
    try {
      source->CheckBrowseMode();
      if (options & mtloStructure) CopyStructureFrom(source, options);
      if (!Active()) Open();
      if (!(options & mtloAppend) && (options & mtloProperties)) AdoptFieldProperties(source, this);
      CheckBrowseMode();
      if (!source->Bof()) source->First();
      load_count_ = TransferRecords(source, this, LoadLimit(), options & mtloIgnoreErrors, options & mtloWideAsUTF8);
      First();
    } catch (...) {
      restore_indexes_and_position();
      throw;
    }
    restore_indexes_and_position();
  } catch (...) {
    restore_source_side();
    throw;
  }
  restore_source_side();
  if (Active()) {
    Resync();
  }
}

void TCustomMemTable::CopyStructureFrom(TDataSet* source, TMemLoadOptions options) {
  Close();
  if (!source) return;
  if (!source->Active()) source->UpdateFieldDefs();
  const TFieldDefs& defs = source->FieldDefs();
  if (defs.Count() > TMemCommon::kMaxFields) throw EMemTableError(memmsg::kTooManyFieldDefs);
  FieldDefs().Assign(defs);
  for (int i = FieldDefs().Count() - 1; i >= 0; --i) {
    TFieldDef& def = FieldDefs()[i];
    if (!kSupportedFieldTypes.contains(def.DataType()) ||
        ((options & mtloSourceFieldsOnly) && !source->Fields().FindField(def.Name()))) {
      FieldDefs().Delete(i);
      continue;
    }
    if ((options & mtloStringAsWide) && (def.DataType() == ftString || def.DataType() == ftFixedChar))
      def.SetDataType(ftWideString);
  }
  DestroyAllFields();
  if (!source->DefaultFields() && source->Fields().Count() > 0) CreatePersistentFields();
  if (options & mtloProperties) AdoptFieldProperties(source, this);
  ResetAutoIncrement();
}

void TCustomMemTable::AdoptFieldProperties(TDataSet* source, TDataSet* destination) {
  if (!source || !destination || source == destination) return;
  for (int i = 0; i < destination->Fields().Count(); ++i) {
    TField& d = destination->Fields()[i];
    TField* s = source->FindField(d.FieldName());
    if (!s) continue;
    d.SetEditMask(s->EditMask());
    d.SetDisplayWidth(s->DisplayWidth());
    d.SetDisplayLabel(s->DisplayLabel());
    d.SetRequired(s->Required());
    d.SetReadOnly(s->ReadOnly());
    d.SetVisible(s->Visible());
    d.SetDefaultExpression(s->DefaultExpression());
    d.SetAlignment(s->Alignment());
    d.SetProviderFlags(s->ProviderFlags());
    if (auto* dn = dynamic_cast<TNumericField*>(&d)) {
      if (auto* sn = dynamic_cast<const TNumericField*>(s)) {
        dn->SetDisplayFormat(sn->DisplayFormat());
        dn->SetEditFormat(sn->EditFormat());
      }
    }
    if (auto* di = dynamic_cast<TIntegerField*>(&d)) {
      if (auto* si = dynamic_cast<const TIntegerField*>(s)) {
        di->SetMaxValue(si->MaxValue());
        di->SetMinValue(si->MinValue());
      }
    }
    if (auto* dd = dynamic_cast<TDateTimeField*>(&d)) {
      if (auto* sd = dynamic_cast<const TDateTimeField*>(s)) dd->SetDisplayFormat(sd->DisplayFormat());
    }
    if (auto* db = dynamic_cast<TBooleanField*>(&d)) {
      if (auto* sb = dynamic_cast<const TBooleanField*>(s)) db->SetDisplayValues(sb->DisplayValues());
    }
    if (auto* ds = dynamic_cast<TStringField*>(&d)) {
      if (auto* ss = dynamic_cast<const TStringField*>(s)) ds->SetTransliterate(ss->Transliterate());
    }
    if (auto* df = dynamic_cast<TFloatField*>(&d)) {
      if (auto* sf = dynamic_cast<const TFloatField*>(s)) {
        df->SetMaxValue(sf->MaxValue());
        df->SetMinValue(sf->MinValue());
        df->SetPrecision(sf->Precision());
        df->SetCurrency(sf->Currency());
      }
    }
    if (OnSetupFieldProperties) OnSetupFieldProperties(*this, d);
  }
}

}  // namespace vantor
