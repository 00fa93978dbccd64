#pragma once
// A worksheet seen as a table: the first row that holds a value gives the column names, the rows below it
// are the table's rows (trailing empty rows are not rows), and a column's type follows from its values.
// Edits change the sheet's cells in memory; the writer puts them back into records.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/storage.h"
#include "formats/xls/workbook.h"

namespace vantor::formats::xls {

// The format's limits.
inline constexpr size_t kMaxRows = 65536;
inline constexpr size_t kMaxColumns = 256;
inline constexpr size_t kMaxSheetNameChars = 31;
inline constexpr size_t kMaxCellChars = 32767;

struct TableLayout {
  size_t header_row = 0;   // sheet row of the column names
  uint16_t first_col = 0;  // sheet column of the table's first column
  size_t columns = 0;
  size_t end_row = 0;      // one past the last sheet row that holds a value (header_row + 1 when no rows)
  bool empty = true;       // the sheet holds no value at all
};

class SheetTable {
 public:
  SheetTable(Workbook& book, Sheet& sheet);

  const TableLayout& Layout() const { return layout_; }
  std::vector<ColumnInfo> Columns() const;
  // The value a cell holds, as the table hands it out before typing (dates by their format).
  Value RawValue(const Cell& cell) const;
  // A cell's value converted to its column's type.
  Value Typed(const Cell* cell, const ColumnInfo& column) const;

  int64_t InsertRow(const Row& values);
  void UpdateRow(int64_t row_id, const Row& values);
  void DeleteRow(int64_t row_id);
  void AddColumn(const ColumnInfo& column);
  void DropColumn(const std::string& name);
  void RenameColumn(const std::string& name, const std::string& new_name, int ado_type);
  // Writes the header row of a new sheet.
  void WriteHeader(const std::vector<ColumnInfo>& columns);

  // Finds the sheet row holding `row_id`; -1 when there is none in the table.
  int64_t RowIndex(int64_t row_id) const;

 private:
  void Recompute();
  // Refuses a delete that would leave a reference pointing at other cells: `row` (or `col`) and everything
  // after it move up (left), and formulas, merged ranges, links, notes, conditional formats, validations
  // and references from elsewhere are not rewritten.
  void CheckNothingRefersFrom(size_t row, size_t col, const char* what) const;
  // Adds (sign 1) or removes (sign -1) a data row's values from the per-column kind counts.
  void CountRow(const SheetRow& row, int sign);
  size_t ColumnIndex(const std::string& name) const;
  void SetCell(SheetRow& row, uint16_t col, const Value& value, const ColumnInfo& column);
  uint32_t AddString(const std::string& text);

  Workbook& book_;
  Sheet& sheet_;
  TableLayout layout_;
  // Per column: how many values of each kind (number, date, boolean, text, text over 255 characters).
  std::vector<std::array<int64_t, 5>> counts_;
  mutable std::vector<std::string> names_;  // column names from the header row, once worked out
};

// Sheet names: 1 to 31 characters, none of : \ / ? * [ ], not starting or ending with an apostrophe.
void CheckSheetName(const std::string& name);

// Excel serial day numbers <-> dates, in the workbook's date mode.
DateTime SerialToDate(double serial, bool date1904);
double DateToSerial(DateTime date, bool date1904);  // StorageError before the first day of the date mode

Cell* FindCellInRow(SheetRow& row, uint16_t col);
const Cell* FindCellInRow(const SheetRow& row, uint16_t col);

}  // namespace vantor::formats::xls
