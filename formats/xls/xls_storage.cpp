#include "formats/xls/xls_storage.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "dataset/text.h"
#include "formats/xls/biff_records.h"
#include "formats/xls/byte_io.h"
#include "formats/xls/sheet_table.h"
#include "formats/xls/workbook_file.h"
#include "formats/xls/workbook_writer.h"

namespace vantor::formats::xls {
namespace {

// Excel cannot open a workbook without sheets, so a workbook with no tables holds one empty sheet named
// like Excel's first sheet. It is no table: it has no header row to give columns. It is recognised by its
// records, exactly those written here (an empty sheet saved by another program carries more), so a sheet
// someone made or formatted always stays a table. The first table created takes its place, and dropping
// the last table puts it back.
constexpr const char* kPlaceholderName = "Sheet1";

bool IsPlaceholderSheet(const Workbook& book, const Sheet& sheet) {
  if (book.sheets.size() != 1 || !sheet.IsWorksheet() || sheet.visibility != 0) return false;
  for (const SheetRow& row : sheet.rows)
    if (!row.cells.empty()) return false;
  auto ids = [](const std::vector<RawRecord>& records) {
    std::vector<uint16_t> out;
    for (const RawRecord& r : records) out.push_back(r.id);
    return out;
  };
  return SameTextAscii(sheet.name, kPlaceholderName) && ids(sheet.head) == std::vector<uint16_t>{rec::kBof, 0x0055} &&
         ids(sheet.tail) == std::vector<uint16_t>{rec::kWindow2, rec::kEof};
}

// Streams a sheet's rows. It follows row ids, so rows deleted or changed during the scan are seen as they
// are now, and rows added during the scan are not visited.
class SheetCursor : public RowCursor {
 public:
  SheetCursor(std::shared_ptr<Workbook> book, size_t sheet_index, std::shared_ptr<const uint64_t> generation)
      : book_(std::move(book)), sheet_(book_->sheets[sheet_index]), table_(*book_, sheet_),
        columns_(table_.Columns()), generation_(std::move(generation)), started_at_(*generation_) {
    const TableLayout& layout = table_.Layout();
    if (!layout.empty && layout.end_row > layout.header_row + 1) {
      next_id_ = sheet_.rows[layout.header_row + 1].id;
      last_id_ = sheet_.rows[layout.end_row - 1].id;
    }
  }

  bool Next(Row& out) override {
    if (*generation_ != started_at_) throw StorageError("the workbook's sheets changed while a sheet was being read");
    if (next_id_ > last_id_) return false;
    auto it = std::lower_bound(sheet_.rows.begin(), sheet_.rows.end(), next_id_,
                               [](const SheetRow& r, int64_t id) { return r.id < id; });
    if (it == sheet_.rows.end() || it->id > last_id_) {
      next_id_ = last_id_ + 1;
      return false;
    }
    const TableLayout& layout = table_.Layout();
    out.assign(columns_.size(), Value());
    for (const Cell& c : it->cells) {
      if (c.col < layout.first_col) continue;
      const size_t i = c.col - layout.first_col;
      if (i >= columns_.size()) break;
      out[i] = table_.Typed(&c, columns_[i]);
    }
    row_id_ = it->id;
    next_id_ = row_id_ + 1;
    return true;
  }
  int64_t RowId() const override { return row_id_; }

 private:
  std::shared_ptr<Workbook> book_;  // keeps the rows alive while the cursor runs
  Sheet& sheet_;
  SheetTable table_;
  std::vector<ColumnInfo> columns_;
  std::shared_ptr<const uint64_t> generation_;
  uint64_t started_at_;
  int64_t next_id_ = 0, last_id_ = -1, row_id_ = -1;
};

class XlsStorage : public Storage {
 public:
  XlsStorage(std::string path, WorkbookFile file)
      : path_(std::move(path)), file_(std::move(file)), book_(std::make_shared<Workbook>(std::move(file_.book))) {
    file_.book = Workbook{};
  }

  std::string Path() const override { return path_; }
  bool IsReadOnly() const override { return book_->version != BiffVersion::kBiff8; }

  std::vector<TableInfo> ListTables() override {
    std::vector<TableInfo> out;
    for (const Sheet& s : book_->sheets)
      if (s.IsWorksheet() && !IsPlaceholderSheet(*book_, s)) out.push_back(TableInfo{s.name, false});
    return out;
  }

  std::vector<ColumnInfo> Columns(const std::string& table) override { return Table(table).Columns(); }

  std::unique_ptr<RowCursor> Scan(const std::string& table) override {
    const size_t index = SheetIndex(table);
    return std::make_unique<SheetCursor>(book_, index, generation_);
  }

  int64_t InsertRow(const std::string& table, const Row& row) override {
    int64_t id = 0;
    Change([&] { id = Table(table).InsertRow(row); });
    return id;
  }
  void UpdateRow(const std::string& table, int64_t row_id, const Row& row) override {
    Change([&] { Table(table).UpdateRow(row_id, row); });
  }
  void DeleteRow(const std::string& table, int64_t row_id) override {
    Change([&] { Table(table).DeleteRow(row_id); });
  }

  void Begin() override {
    if (in_transaction_) throw StorageError("a transaction is already open on " + path_);
    CheckWritable();
    snapshot_ = *book_;
    in_transaction_ = true;
  }
  void Commit() override {
    if (!in_transaction_) return;  // each change outside a transaction is saved already
    try {
      Save();
    } catch (...) {
      Rollback();
      throw;
    }
    in_transaction_ = false;
    snapshot_.reset();
  }
  void Rollback() override {
    if (!in_transaction_) return;
    Restore(std::move(*snapshot_));
    snapshot_.reset();
    in_transaction_ = false;
  }

  void CreateTable(const std::string& table, const std::vector<ColumnInfo>& columns) override {
    Change([&] {
      CheckSheetName(table);
      const bool replaces_placeholder = !book_->sheets.empty() && IsPlaceholderSheet(*book_, book_->sheets.front());
      if (FindSheet(table) >= 0 && !replaces_placeholder)
        throw StorageError("the workbook already has a sheet named '" + table + "'");
      if (columns.empty()) throw StorageError("a new sheet needs at least one column");
      // The header is written into the new sheet before it joins the workbook, so a bad column list
      // leaves no half-made sheet behind, inside a transaction too.
      Sheet sheet = NewWorksheet(*book_, table);
      SheetTable(*book_, sheet).WriteHeader(columns);
      if (replaces_placeholder) {
        sheet.tail = book_->sheets.front().tail;  // its window settings: the selected, shown sheet
        book_->sheets.front() = std::move(sheet);
      } else {
        book_->sheets.push_back(std::move(sheet));
        UpdateTabIds(SIZE_MAX);
      }
      SheetsChanged();
    });
  }

  void DropTable(const std::string& table) override {
    Change([&] {
      const size_t index = SheetIndex(table);
      AdjustSheetReferences(index);
      UpdateTabIds(index);
      book_->sheets.erase(book_->sheets.begin() + static_cast<std::ptrdiff_t>(index));
      if (book_->sheets.empty()) {
        book_->sheets.push_back(NewWorksheet(*book_, kPlaceholderName));
        UpdateTabIds(SIZE_MAX);
      }
      SheetsChanged();
    });
  }

  void RenameTable(const std::string& table, const std::string& new_name) override {
    Change([&] {
      const size_t index = SheetIndex(table);
      CheckSheetName(new_name);
      const int other = FindSheet(new_name);
      if (other >= 0 && static_cast<size_t>(other) != index)
        throw StorageError("the workbook already has a sheet named '" + new_name + "'");
      book_->sheets[index].name = new_name;
      tables_.clear();
    });
  }

  void AddColumn(const std::string& table, const ColumnInfo& column) override {
    Change([&] { Table(table).AddColumn(column); });
  }
  void AlterColumn(const std::string& table, const std::string& column, const ColumnInfo& changed) override {
    Change([&] { Table(table).RenameColumn(column, changed.name.empty() ? column : changed.name, changed.ado_type); });
  }
  void DropColumn(const std::string& table, const std::string& column) override {
    Change([&] { Table(table).DropColumn(column); });
  }

 private:
  void CheckWritable() const {
    if (!IsReadOnly()) return;
    if (book_->version == BiffVersion::kBiff5)
      throw StorageError(path_ + " is an Excel 5.0/95 (BIFF5) workbook, which is read-only here");
    throw StorageError(path_ + " is an Excel 2.x-4.x (BIFF2-BIFF4) worksheet, which is read-only here");
  }

  // Runs one change: inside a transaction it waits for Commit; outside, it is saved at once, and a change
  // that fails (or cannot be saved) leaves the workbook as it was.
  template <typename F>
  void Change(F&& change) {
    CheckWritable();
    if (in_transaction_) {
      change();
      return;
    }
    Workbook before = *book_;
    try {
      change();
      Save();
    } catch (...) {
      Restore(std::move(before));
      throw;
    }
  }

  void Restore(Workbook book) {
    *book_ = std::move(book);
    SheetsChanged();
  }

  // Open cursors stop: the sheets they read are gone or were replaced.
  void SheetsChanged() {
    tables_.clear();
    ++*generation_;
  }

  void Save() { ReplaceFile(path_, BuildWorkbookFile(file_, *book_)); }

  int FindSheet(const std::string& name) const {
    for (size_t i = 0; i < book_->sheets.size(); ++i)
      if (SameTextAscii(book_->sheets[i].name, name)) return static_cast<int>(i);
    return -1;
  }

  size_t SheetIndex(const std::string& table) const {
    const int index = FindSheet(table);
    if (index < 0 || !book_->sheets[static_cast<size_t>(index)].IsWorksheet())
      throw StorageError("no sheet named '" + table + "' in " + path_);
    return static_cast<size_t>(index);
  }

  SheetTable& Table(const std::string& table) {
    const size_t index = SheetIndex(table);
    if (tables_.size() != book_->sheets.size()) tables_.clear(), tables_.resize(book_->sheets.size());
    if (!tables_[index]) tables_[index] = std::make_unique<SheetTable>(*book_, book_->sheets[index]);
    return *tables_[index];
  }

  // TABID lists one id per sheet: a new sheet gets the next id (`dropped` is SIZE_MAX), a dropped one
  // loses its entry. A list that does not match the sheets is left alone.
  void UpdateTabIds(size_t dropped) {
    const size_t before = dropped == SIZE_MAX ? book_->sheets.size() - 1 : book_->sheets.size();
    for (RawRecord& r : book_->globals) {
      if (r.id != 0x013D || r.data.size() != before * 2) continue;
      if (dropped == SIZE_MAX) {
        uint16_t next = 0;
        for (size_t i = 0; i < before; ++i) next = std::max<uint16_t>(next, Get16(&r.data[2 * i]));
        r.data.push_back(static_cast<uint8_t>(next + 1));
        r.data.push_back(static_cast<uint8_t>((next + 1) >> 8));
      } else {
        r.data.erase(r.data.begin() + static_cast<std::ptrdiff_t>(2 * dropped),
                     r.data.begin() + static_cast<std::ptrdiff_t>(2 * dropped + 2));
      }
    }
  }

  // References to sheets by position in the globals move down when a sheet goes; names that belong to
  // the dropped sheet alone cannot be kept.
  void AdjustSheetReferences(size_t dropped) {
    for (RawRecord& r : book_->globals) {
      if (r.id == rec::kName && r.data.size() >= 10) {
        const uint16_t itab = Get16(&r.data[8]);
        if (itab == dropped + 1)
          throw StorageError("sheet '" + book_->sheets[dropped].name +
                             "' has names of its own (a print area, a filter, ...); dropping it is not supported");
        if (itab > dropped + 1) Put16(&r.data[8], static_cast<uint16_t>(itab - 1));
      }
    }
    // The active and first shown sheet tabs must stay within the sheets left.
    for (RawRecord& r : book_->globals) {
      if (r.id != rec::kWindow1 || r.data.size() < 16) continue;
      const uint16_t remaining = static_cast<uint16_t>(book_->sheets.size() - 1);
      for (size_t field : {size_t{10}, size_t{12}}) {
        const uint16_t tab = Get16(&r.data[field]);
        if (tab > dropped || tab >= remaining) Put16(&r.data[field], tab > 0 ? static_cast<uint16_t>(tab - 1) : 0);
      }
      Put16(&r.data[14], 1);  // one selected tab
    }
    // EXTERNSHEET entries that point into this workbook (its SUPBOOK is the one with the sheet count).
    int self_book = -1, book_index = 0;
    for (const RawRecord& r : book_->globals) {
      if (r.id != rec::kSupBook) continue;
      if (r.data.size() == 4 && Get16(&r.data[2]) == 0x0401) self_book = book_index;
      ++book_index;
    }
    for (RawRecord& r : book_->globals) {
      if (r.id != rec::kExternSheet || r.data.size() < 2) continue;
      const size_t count = Get16(&r.data[0]);
      for (size_t i = 0; i < count && 2 + 6 * i + 6 <= r.data.size(); ++i) {
        uint8_t* e = &r.data[2 + 6 * i];
        if (Get16(e) != self_book) continue;
        uint16_t first = Get16(e + 2), last = Get16(e + 4);
        if (first >= 0xFFFE || last >= 0xFFFE) continue;
        if (first == dropped && last == dropped) {
          first = last = 0xFFFF;  // a reference to the dropped sheet alone is now #REF!
        } else {
          // A range of sheets loses the dropped one and closes up.
          if (first > dropped) --first;
          if (last >= dropped) --last;
        }
        Put16(e + 2, first);
        Put16(e + 4, last);
      }
    }
  }

  std::string path_;
  WorkbookFile file_;
  std::shared_ptr<Workbook> book_;
  std::vector<std::unique_ptr<SheetTable>> tables_;
  bool in_transaction_ = false;
  std::optional<Workbook> snapshot_;
  std::shared_ptr<uint64_t> generation_ = std::make_shared<uint64_t>(0);
};

}  // namespace

std::unique_ptr<Storage> OpenWorkbook(const std::string& path) {
  return std::make_unique<XlsStorage>(path, ReadWorkbookFile(path));
}

void CreateWorkbook(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) throw StorageError("cannot create " + path + ": the file exists already");
  WorkbookFile file = NewWorkbookFile();
  file.book.sheets.push_back(NewWorksheet(file.book, kPlaceholderName));
  ReplaceFile(path, BuildWorkbookFile(file));
}

}  // namespace vantor::formats::xls
