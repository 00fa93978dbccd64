#include "dataset/data_source.h"

#include <algorithm>

#include "dataset/dataset.h"
#include "dataset/errors.h"

namespace vantor {

// --- TDataLink -------------------------------------------------------------------------------------------

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source_ == source) return;
  if (source_) source_->RemoveLink(this);
  source_ = source;
  if (source_) source_->AddLink(this);
  const bool active = Active();
  if (active != active_) {
    active_ = active;
    ActiveChanged();
  }
}

TDataSet* TDataLink::DataSet() const { return source_ ? source_->DataSet() : nullptr; }

bool TDataLink::Active() const {
  TDataSet* ds = DataSet();
  return source_ && source_->Enabled() && ds && ds->Active();
}

bool TDataLink::Editing() const {
  TDataSet* ds = DataSet();
  return ds && (ds->State() == dsEdit || ds->State() == dsInsert);
}

bool TDataLink::Edit() {
  if (!read_only_ && source_) source_->Edit();
  return Editing();
}

void TDataLink::Dispatch(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    const bool active = Active();
    if (active != active_) {
      active_ = active;
      ActiveChanged();
    }
    const bool editing = Editing();
    if (editing != editing_) {
      editing_ = editing;
      EditingChanged();
    }
    return;
  }
  if (!active_) return;
  switch (event) {
    case deFieldChange: RecordChanged(reinterpret_cast<TField*>(info)); break;
    case deRecordChange: RecordChanged(nullptr); break;
    case deDataSetChange: DataSetChanged(); break;
    case deDataSetScroll: DataSetScrolled(static_cast<int>(info)); break;
    case deLayoutChange:
    case deFieldListChange: LayoutChanged(); break;
    case deUpdateRecord: UpdateData(); break;
    case deCheckBrowseMode: CheckBrowseMode(); break;
    case deFocusControl: FocusControl(reinterpret_cast<TField*>(info)); break;
    case deDisabledStateChange: DisabledStateChanged(); break;
    default: break;
  }
}

// --- TDataSource -----------------------------------------------------------------------------------------

TDataSource::TDataSource(TDataSet* dataset) { SetDataSet(dataset); }

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset_ == dataset) return;
  if (dataset_) dataset_->RemoveDataSource(this);
  dataset_ = dataset;
  if (dataset_) dataset_->AddDataSource(this);
  DataEvent(deUpdateState, 0);
}

void TDataSource::SetEnabled(bool v) {
  if (enabled_ == v) return;
  enabled_ = v;
  DataEvent(deUpdateState, 0);
}

TDataSetState TDataSource::State() const { return dataset_ && enabled_ ? dataset_->State() : dsInactive; }

void TDataSource::Edit() {
  if (auto_edit_ && dataset_ && dataset_->State() == dsBrowse) dataset_->Edit();
}

void TDataSource::AddLink(TDataLink* link) { links_.push_back(link); }

void TDataSource::RemoveLink(TDataLink* link) { std::erase(links_, link); }

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    const TDataSetState state = State();
    if (state != last_state_) {
      last_state_ = state;
      if (OnStateChange) OnStateChange(*this);
    }
  } else if (event == deUpdateRecord) {
    if (OnUpdateData) OnUpdateData(*this);
  } else if (event == deFieldChange || event == deRecordChange || event == deDataSetChange ||
             event == deDataSetScroll || event == deLayoutChange) {
    if (OnDataChange && State() != dsInactive)
      OnDataChange(*this, event == deFieldChange ? reinterpret_cast<TField*>(info) : nullptr);
  }
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links)
    if (std::find(links_.begin(), links_.end(), link) != links_.end()) link->Dispatch(event, info);
}

}  // namespace vantor
