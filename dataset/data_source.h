#pragma once
// Data sources and data links: how a grid or any other observer follows a dataset. A dataset sends data
// events to each of its data sources, which pass them to their links.

#include <cstdint>
#include <functional>
#include <vector>

#include "dataset/field_types.h"

namespace vantor {

class TDataSet;
class TDataSource;
class TField;

// An observer of a data source. Override the handlers it needs.
class TDataLink {
 public:
  TDataLink() = default;
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  bool Active() const;  // the source's dataset is open
  bool Editing() const;
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool v) { read_only_ = v; }
  // Puts the dataset into edit mode unless read-only; answers whether it is editing now.
  bool Edit();

 protected:
  friend class TDataSource;
  virtual void ActiveChanged() {}
  virtual void DataSetChanged() {}
  virtual void DataSetScrolled(int /*distance*/) {}
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void UpdateData() {}
  virtual void EditingChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void FocusControl(TField* /*field*/) {}
  virtual void DisabledStateChanged() {}

 private:
  void Dispatch(TDataEvent event, intptr_t info);
  TDataSource* source_ = nullptr;
  bool read_only_ = false;
  bool active_ = false;
  bool editing_ = false;
};

class TDataSource {
 public:
  explicit TDataSource(TDataSet* dataset = nullptr);
  ~TDataSource();
  TDataSource(const TDataSource&) = delete;
  TDataSource& operator=(const TDataSource&) = delete;

  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* dataset);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  bool AutoEdit() const { return auto_edit_; }
  void SetAutoEdit(bool v) { auto_edit_ = v; }
  TDataSetState State() const;
  // Puts the dataset into edit mode when AutoEdit is on and it is browsing.
  void Edit();

  std::function<void(TDataSource&, TField*)> OnDataChange;
  std::function<void(TDataSource&)> OnStateChange;
  std::function<void(TDataSource&)> OnUpdateData;

  // Called by the dataset.
  void DataEvent(TDataEvent event, intptr_t info);

 private:
  friend class TDataLink;
  friend class TDataSet;
  void AddLink(TDataLink* link);
  void RemoveLink(TDataLink* link);
  TDataSet* dataset_ = nullptr;
  std::vector<TDataLink*> links_;
  bool enabled_ = true;
  bool auto_edit_ = true;
  TDataSetState last_state_ = dsInactive;
};

}  // namespace vantor
