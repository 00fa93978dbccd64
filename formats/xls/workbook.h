#pragma once
// The in-memory form of a workbook: the globals records, the shared strings, and per sheet its records and
// cells. Records that the engine does not interpret are kept as bytes and written back unchanged; cells that
// were read keep a reference to their original records, so unchanged cells (formulas included) are copied.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantor::formats::xls {

enum class BiffVersion : uint8_t { kBiff2To4, kBiff5, kBiff8 };

struct RawRecord {
  uint16_t id = 0;
  std::vector<uint8_t> data;
};

// A shared string: its text and, kept as read, its formatting runs and phonetic block.
struct SharedString {
  std::string text;            // UTF-8
  std::vector<uint8_t> runs;   // 4 bytes a run
  std::vector<uint8_t> ext;    // phonetic data
};

struct Cell {
  enum class Kind : uint8_t { kBlank, kNumber, kText, kBoolean, kError };
  uint16_t col = 0;
  uint16_t xf = 15;
  Kind kind = Kind::kBlank;
  bool is_formula = false;
  uint8_t code = 0;       // boolean value or error code
  uint32_t text = 0;      // index into Workbook::strings
  double number = 0;
  // The cell's own records in the original stream (FORMULA with its STRING, ...); length 0 when the cell is
  // written from its value.
  uint32_t raw_offset = 0;
  uint32_t raw_length = 0;
  bool raw_is_shared = false;  // a formula tied to a shared/array/table record: cannot move
};

struct SheetRow {
  int64_t id = 0;
  uint32_t raw_row_offset = 0;  // its ROW record in the original stream (0: none)
  std::vector<Cell> cells;      // ascending columns
};

struct DeclaredColumn {
  std::string name;
  int ado_type = 0;
};

struct Sheet {
  std::string name;
  uint8_t visibility = 0;  // 0 visible, 1 hidden, 2 very hidden
  uint8_t kind = 0;        // 0 worksheet, 1 macro sheet, 2 chart, 6 VB module
  // The substream in the original stream; written unchanged while `modified` is false.
  uint32_t offset = 0, length = 0;
  bool is_new = false;
  bool modified = false;
  std::vector<RawRecord> head;  // records before the cell block (DIMENSIONS and INDEX left out)
  std::vector<RawRecord> tail;  // records after it, EOF included
  std::vector<SheetRow> rows;   // rows[i] is sheet row i
  int64_t next_row_id = 0;
  size_t min_end_row = 0;  // rows inserted here without values still count as the table's rows
  std::vector<DeclaredColumn> declared;  // column types given when the table was created here
  bool IsWorksheet() const { return kind == 0; }
};

struct Workbook {
  BiffVersion version = BiffVersion::kBiff8;
  int code_page = 1252;
  bool date1904 = false;
  std::shared_ptr<const std::vector<uint8_t>> stream;  // the original workbook stream
  std::vector<RawRecord> globals;                      // every globals record as read, EOF included
  std::vector<SharedString> strings;                   // SST entries first, then strings added since
  uint32_t sst_count = 0;                              // entries that came from the SST
  uint32_t sst_total = 0;                              // the SST's reference count as read
  std::vector<uint16_t> xf_formats;                    // number format of each XF
  std::vector<bool> xf_is_date;
  std::vector<RawRecord> added_xfs;
  int date_xf = -1, datetime_xf = -1;                  // XFs added for dates written here
  std::vector<Sheet> sheets;

  bool IsDateXf(uint16_t xf) const { return xf < xf_is_date.size() && xf_is_date[xf]; }
};

}  // namespace vantor::formats::xls
