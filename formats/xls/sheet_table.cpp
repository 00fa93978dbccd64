#include "formats/xls/sheet_table.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "dataset/text.h"
#include "formats/xls/byte_io.h"

namespace vantor::formats::xls {
namespace {

constexpr double kDays1904 = 1462;  // 1904-01-01 lies 1462 days after 1899-12-31's serial origin

bool IsEmpty(const Cell& c) { return c.kind == Cell::Kind::kBlank || c.kind == Cell::Kind::kError; }

enum class Guess : uint8_t { kNone, kNumber, kDate, kBoolean, kText, kMixed };

std::string BoolText(bool b) { return b ? "TRUE" : "FALSE"; }

bool IsTextType(int ado) {
  return ado == adVarWChar || ado == adWChar || ado == adVarChar || ado == adChar || ado == adLongVarWChar ||
         ado == adLongVarChar;
}
bool IsNumberType(int ado) {
  return ado == adSmallInt || ado == adInteger || ado == adBigInt || ado == adSingle || ado == adDouble ||
         ado == adCurrency || ado == adNumeric || ado == adTinyInt || ado == adUnsignedTinyInt;
}

size_t Utf16Length(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) {
    if ((c & 0xC0) != 0x80) ++n;
    if ((c & 0xF8) == 0xF0) ++n;  // a character beyond the BMP takes two units
  }
  return n;
}

// An XF for dates written here: a copy of the default cell XF with a date number format.
int EnsureDateXf(Workbook& book, bool with_time) {
  int& slot = with_time ? book.datetime_xf : book.date_xf;
  if (slot >= 0) return slot;
  const uint16_t format = with_time ? 22 : 14;
  std::vector<uint8_t> xf;
  for (const RawRecord& r : book.globals) {
    if (r.id != 0x00E0) continue;
    xf.clear();
    xf = r.data;
    // The first cell XF (the 16th, by convention) is the default cell format.
    if (xf.size() >= 20 && (Get16(&xf[4]) & 0x0004) == 0) break;
  }
  if (xf.size() < 20) {
    xf.assign(20, 0);
    Put16(&xf[4], 0x0001);
    xf[6] = 0x20;
    Put16(&xf[18], 0x20C0);
  }
  Put16(&xf[2], format);
  Put16(&xf[4], Get16(&xf[4]) & 0x000B);  // a cell XF whose parent is the Normal style
  xf[9] |= 0x04;  // the number format differs from the parent style's
  book.added_xfs.push_back(RawRecord{0x00E0, xf});
  slot = static_cast<int>(book.xf_formats.size());
  book.xf_formats.push_back(format);
  book.xf_is_date.push_back(true);
  return slot;
}

bool IsDateType(int ado) { return ado == adDate || ado == adDBTimeStamp; }

// A column's value as the type `ado` holds it, or Null when it cannot be held exactly.
Value ConvertExactly(const Value& v, int ado, bool& ok) {
  ok = true;
  if (v.IsNull()) return v;
  if (IsTextType(ado) || ado == adGUID) {
    if (v.kind() == Value::Kind::Boolean) return Value(BoolText(v.get<bool>()));
    if (v.kind() == Value::Kind::DateTime) return Value(v.get<DateTime>().ToString());
    return Value(v.AsString());
  }
  if (IsNumberType(ado)) {
    double d;
    if (v.kind() == Value::Kind::Double) d = v.get<double>();
    else if (v.kind() == Value::Kind::Int16 || v.kind() == Value::Kind::Int32 || v.kind() == Value::Kind::Int64) d = v.AsDouble();
    else if (!v.IsText() || !TryParseDouble(v.AsString(), d)) d = NAN;
    const bool integral = ado == adSmallInt || ado == adInteger || ado == adBigInt || ado == adTinyInt ||
                          ado == adUnsignedTinyInt;
    const double limit = ado == adSmallInt ? 32767.0 : ado == adInteger ? 2147483647.0
                         : ado == adTinyInt ? 127.0 : ado == adUnsignedTinyInt ? 255.0 : 9007199254740992.0;
    ok = std::isfinite(d) && (!integral || (d == std::floor(d) && std::fabs(d) <= limit)) &&
         !(ado == adUnsignedTinyInt && d < 0);
    return ok ? Value(d) : Value();
  }
  if (IsDateType(ado)) {
    DateTime dt;
    if (v.kind() == Value::Kind::DateTime) return v;
    ok = v.IsText() && DateTime::TryParse(v.AsString(), dt);
    return ok ? Value(dt) : Value();
  }
  if (ado == adBoolean) {
    if (v.kind() == Value::Kind::Boolean) return v;
    const std::string s = v.IsText() ? v.AsString() : "";
    ok = SameTextAscii(s, "true") || SameTextAscii(s, "false");
    return ok ? Value(SameTextAscii(s, "true")) : Value();
  }
  ok = false;  // binary and other types have no place in a cell
  return Value();
}

}  // namespace

void CheckSheetName(const std::string& name) {
  if (name.empty()) throw StorageError("a sheet name cannot be empty");
  const size_t length = Utf16Length(name);
  if (length > kMaxSheetNameChars)
    throw StorageError("sheet name '" + name + "' is longer than 31 characters");
  if (name.find_first_of(":\\/?*[]") != std::string::npos)
    throw StorageError("sheet name '" + name + "' contains one of the characters : \\ / ? * [ ]");
  if (name.front() == '\'' || name.back() == '\'')
    throw StorageError("sheet name '" + name + "' cannot start or end with an apostrophe");
}

DateTime SerialToDate(double serial, bool date1904) {
  double ole = serial;
  if (date1904) ole = serial + kDays1904;
  else if (serial >= 1 && serial < 61) ole = serial + 1;  // serial 60 is the 1900-02-29 that never was
  return DateTime::FromOleDate(ole);
}

double DateToSerial(DateTime date, bool date1904) {
  const double ole = date.ToOleDate();
  if (ole >= 0 && ole < 1) return ole;  // a time of day alone
  if (date1904) {
    if (ole < kDays1904) throw StorageError("dates before 1904-01-01 cannot be stored in this workbook");
    return ole - kDays1904;
  }
  if (ole < 2) throw StorageError("dates before 1900-01-01 cannot be stored in a workbook");
  return ole < 61 ? ole - 1 : ole;
}

Cell* FindCellInRow(SheetRow& row, uint16_t col) {
  auto it = std::lower_bound(row.cells.begin(), row.cells.end(), col,
                             [](const Cell& c, uint16_t v) { return c.col < v; });
  return (it != row.cells.end() && it->col == col) ? &*it : nullptr;
}
const Cell* FindCellInRow(const SheetRow& row, uint16_t col) { return FindCellInRow(const_cast<SheetRow&>(row), col); }

SheetTable::SheetTable(Workbook& book, Sheet& sheet) : book_(book), sheet_(sheet) { Recompute(); }

void SheetTable::Recompute() {
  layout_ = TableLayout{};
  names_.clear();
  bool found_header = false;
  uint16_t min_col = 0xFFFF, max_col = 0;
  for (size_t r = 0; r < sheet_.rows.size(); ++r) {
    bool has_value = false;
    for (const Cell& c : sheet_.rows[r].cells) {
      if (IsEmpty(c)) continue;
      has_value = true;
      min_col = std::min(min_col, c.col);
      max_col = std::max(max_col, c.col);
    }
    if (!has_value) continue;
    if (!found_header) {
      found_header = true;
      layout_.header_row = r;
    }
    layout_.end_row = r + 1;
  }
  if (!found_header) {
    layout_.end_row = 1;
    return;
  }
  layout_.end_row = std::max(layout_.end_row, std::min(sheet_.min_end_row, sheet_.rows.size()));
  layout_.empty = false;
  layout_.first_col = min_col;
  layout_.columns = static_cast<size_t>(max_col - min_col) + 1;
  counts_.assign(layout_.columns, {});
  for (size_t r = layout_.header_row + 1; r < layout_.end_row; ++r) CountRow(sheet_.rows[r], 1);
}

void SheetTable::CountRow(const SheetRow& row, int sign) {
  for (const Cell& c : row.cells) {
    if (c.col < layout_.first_col || IsEmpty(c)) continue;
    const size_t i = c.col - layout_.first_col;
    if (i >= counts_.size()) continue;
    size_t kind = 3;
    if (c.kind == Cell::Kind::kNumber) kind = book_.IsDateXf(c.xf) ? 1 : 0;
    else if (c.kind == Cell::Kind::kBoolean) kind = 2;
    counts_[i][kind] += sign;
    if (kind == 3 && Utf16Length(book_.strings[c.text].text) > 255) counts_[i][4] += sign;
  }
}

Value SheetTable::RawValue(const Cell& c) const {
  switch (c.kind) {
    case Cell::Kind::kNumber:
      if (book_.IsDateXf(c.xf)) {
        try {
          return Value(SerialToDate(c.number, book_.date1904));
        } catch (const EConvertError&) {
          return Value(c.number);  // out of the calendar's range: keep the number
        }
      }
      return Value(c.number);
    case Cell::Kind::kText: return Value(book_.strings[c.text].text);
    case Cell::Kind::kBoolean: return Value(c.code != 0);
    default: return Value();
  }
}

std::vector<ColumnInfo> SheetTable::Columns() const {
  std::vector<ColumnInfo> out;
  if (layout_.empty) return out;
  // Names change only with the header row, which every change to it recomputes.
  if (names_.size() != layout_.columns) {
    names_.clear();
    const SheetRow& header = sheet_.rows[layout_.header_row];
    std::unordered_set<std::string> used;
    for (size_t i = 0; i < layout_.columns; ++i) {
      const uint16_t col = static_cast<uint16_t>(layout_.first_col + i);
      std::string name;
      const Cell* h = FindCellInRow(header, col);
      if (h && !IsEmpty(*h)) {
        const Value v = RawValue(*h);
        name = v.kind() == Value::Kind::Boolean ? BoolText(v.get<bool>()) : v.AsString();
      }
      if (name.empty()) name = "F" + std::to_string(i + 1);
      // Names must tell the columns apart.
      const std::string base = name;
      for (int n = 2; !used.insert(AsciiUpper(name)).second; ++n) name = base + "_" + std::to_string(n);
      names_.push_back(std::move(name));
    }
  }
  out.resize(layout_.columns);
  for (size_t i = 0; i < layout_.columns; ++i) out[i].name = names_[i];
  // Types from the values below the header; a column that mixes kinds is text.
  std::vector<Guess> guess(layout_.columns, Guess::kNone);
  for (size_t i = 0; i < layout_.columns; ++i) {
    const Guess kinds[4] = {Guess::kNumber, Guess::kDate, Guess::kBoolean, Guess::kText};
    for (size_t k = 0; k < 4; ++k) {
      if (counts_[i][k] <= 0) continue;
      guess[i] = guess[i] == Guess::kNone ? kinds[k] : Guess::kMixed;
    }
  }
  for (size_t i = 0; i < out.size(); ++i) {
    ColumnInfo& info = out[i];
    const DeclaredColumn* declared = nullptr;
    for (const DeclaredColumn& d : sheet_.declared)
      if (SameTextAscii(d.name, info.name)) declared = &d;
    switch (guess[i]) {
      case Guess::kNumber: info.ado_type = adDouble; break;
      case Guess::kDate: info.ado_type = adDate; break;
      case Guess::kBoolean: info.ado_type = adBoolean; break;
      case Guess::kNone:
        info.ado_type = declared ? declared->ado_type : adVarWChar;
        break;
      default: info.ado_type = adVarWChar; break;
    }
    // A declared type stays while the values agree with it.
    if (declared && guess[i] == Guess::kNumber && IsNumberType(declared->ado_type)) info.ado_type = declared->ado_type;
    if (declared && (guess[i] == Guess::kText || guess[i] == Guess::kNone) && IsTextType(declared->ado_type))
      info.ado_type = declared->ado_type;
    if (IsTextType(info.ado_type)) {
      if (counts_[i][4] > 0) info.ado_type = adLongVarWChar;
      else if (info.ado_type != adLongVarWChar) info.ado_type = adVarWChar;
      info.defined_size = info.ado_type == adLongVarWChar ? 0 : 255;
    }
  }
  return out;
}

Value SheetTable::Typed(const Cell* cell, const ColumnInfo& column) const {
  if (!cell || IsEmpty(*cell)) return Value();
  Value v = RawValue(*cell);
  if (IsTextType(column.ado_type) && !v.IsText()) {
    if (v.kind() == Value::Kind::Boolean) return Value(BoolText(v.get<bool>()));
    if (v.kind() == Value::Kind::DateTime) return Value(v.get<DateTime>().ToString());
    return Value(v.AsString());
  }
  if (v.kind() == Value::Kind::Double) {
    const double d = v.get<double>();
    // Integer columns hand out integers while every value is one.
    if (column.ado_type == adInteger && d == std::floor(d) && std::fabs(d) <= 2147483647.0)
      return Value(static_cast<int32_t>(d));
    if (column.ado_type == adSmallInt && d == std::floor(d) && std::fabs(d) <= 32767.0)
      return Value(static_cast<int16_t>(d));
    if (column.ado_type == adBigInt && d == std::floor(d) && std::fabs(d) < 9.2e18) return Value(static_cast<int64_t>(d));
  }
  return v;
}

int64_t SheetTable::RowIndex(int64_t row_id) const {
  auto it = std::lower_bound(sheet_.rows.begin(), sheet_.rows.end(), row_id,
                             [](const SheetRow& r, int64_t id) { return r.id < id; });
  if (it == sheet_.rows.end() || it->id != row_id) return -1;
  const auto index = static_cast<size_t>(it - sheet_.rows.begin());
  if (layout_.empty || index <= layout_.header_row || index >= layout_.end_row) return -1;
  return static_cast<int64_t>(index);
}

size_t SheetTable::ColumnIndex(const std::string& name) const {
  const auto columns = Columns();
  for (size_t i = 0; i < columns.size(); ++i)
    if (SameTextAscii(columns[i].name, name)) return i;
  throw StorageError("no column named '" + name + "' in sheet '" + sheet_.name + "'");
}

uint32_t SheetTable::AddString(const std::string& text) {
  book_.strings.push_back(SharedString{text, {}, {}});
  return static_cast<uint32_t>(book_.strings.size() - 1);
}

void SheetTable::SetCell(SheetRow& row, uint16_t col, const Value& value, const ColumnInfo& column) {
  Cell* existing = FindCellInRow(row, col);
  if (existing && !IsEmpty(*existing)) {
    // An unchanged value keeps its record (a formula stays a formula).
    const Value current = Typed(existing, column);
    if (current == value) return;
  }
  Cell cell;
  cell.col = col;
  cell.xf = existing ? existing->xf : 15;
  if (book_.xf_formats.size() <= 15) cell.xf = 0;
  Value v = value;
  // Text into a number, date or boolean column becomes that kind when it reads exactly as one.
  if (v.IsText()) {
    const std::string s = v.AsString();
    double d;
    DateTime dt;
    if (IsNumberType(column.ado_type) && TryParseDouble(s, d)) v = Value(d);
    else if ((column.ado_type == adDate || column.ado_type == adDBTimeStamp) && DateTime::TryParse(s, dt)) v = Value(dt);
    else if (column.ado_type == adBoolean && (SameTextAscii(s, "true") || SameTextAscii(s, "false")))
      v = Value(SameTextAscii(s, "true"));
  } else if (IsTextType(column.ado_type) && !v.IsNull()) {
    if (v.kind() == Value::Kind::Boolean) v = Value(BoolText(v.get<bool>()));
    else if (v.kind() == Value::Kind::DateTime) v = Value(v.get<DateTime>().ToString());
    else if (v.kind() != Value::Kind::Bytes) v = Value(v.AsString());
  }
  switch (v.kind()) {
    case Value::Kind::Null:
      cell.kind = Cell::Kind::kBlank;
      break;
    case Value::Kind::Boolean:
      cell.kind = Cell::Kind::kBoolean;
      cell.code = v.get<bool>() ? 1 : 0;
      break;
    case Value::Kind::DateTime: {
      const DateTime dt = v.get<DateTime>();
      cell.kind = Cell::Kind::kNumber;
      cell.number = DateToSerial(dt, book_.date1904);
      if (!book_.IsDateXf(cell.xf)) cell.xf = static_cast<uint16_t>(EnsureDateXf(book_, dt.TimeOfDayMs() != 0));
      break;
    }
    case Value::Kind::String:
    case Value::Kind::WideString:
    case Value::Kind::Guid: {
      std::string s = v.AsString();
      if (Utf16Length(s) > kMaxCellChars)
        throw StorageError("a cell holds at most 32,767 characters (column '" + column.name + "')");
      cell.kind = Cell::Kind::kText;
      cell.text = AddString(s);
      break;
    }
    case Value::Kind::Bytes:
      throw StorageError("binary values cannot be stored in a workbook (column '" + column.name + "')");
    default: {
      double d;
      try {
        d = v.AsDouble();
        if (v.kind() == Value::Kind::Int64 && (std::fabs(d) >= 9.3e18 || static_cast<int64_t>(d) != v.get<int64_t>()))
          throw EConvertError(std::to_string(v.get<int64_t>()) + " cannot be held exactly as a floating point value");
      } catch (const EConvertError& e) {
        // Excel numbers are doubles: an integer beyond 2^53 would come back as another number.
        throw StorageError("column '" + column.name + "': " + e.what() + " (a workbook stores numbers as doubles)");
      }
      if (!std::isfinite(d)) throw StorageError("a workbook cannot store an infinite or undefined number");
      cell.kind = Cell::Kind::kNumber;
      cell.number = d;
      if (book_.IsDateXf(cell.xf)) cell.xf = book_.xf_formats.size() > 15 ? 15 : 0;  // a number is no date
      break;
    }
  }
  if (cell.kind == Cell::Kind::kBlank && cell.xf == 15) {
    if (existing) row.cells.erase(row.cells.begin() + (existing - row.cells.data()));
    return;
  }
  if (existing) *existing = cell;
  else row.cells.insert(std::lower_bound(row.cells.begin(), row.cells.end(), col,
                                         [](const Cell& c, uint16_t v2) { return c.col < v2; }),
                        cell);
}

int64_t SheetTable::InsertRow(const Row& values) {
  if (layout_.empty) throw StorageError("sheet '" + sheet_.name + "' has no columns: its first row is empty");
  const auto columns = Columns();
  if (values.size() != columns.size())
    throw StorageError(Format("a row of sheet '%s' has %zu values, not %zu", sheet_.name.c_str(), columns.size(),
                              values.size()));
  const size_t index = layout_.end_row;
  if (index >= kMaxRows) throw StorageError("sheet '" + sheet_.name + "' is full: a sheet holds 65,536 rows");
  // Build the row apart first, so a value that cannot be stored leaves the sheet as it was.
  SheetRow row;
  if (index < sheet_.rows.size()) row = sheet_.rows[index];
  else row.id = sheet_.next_row_id;
  for (size_t i = 0; i < columns.size(); ++i)
    SetCell(row, static_cast<uint16_t>(layout_.first_col + i), values[i], columns[i]);
  if (index < sheet_.rows.size()) {
    sheet_.rows[index] = std::move(row);
  } else {
    while (sheet_.rows.size() < index) sheet_.rows.push_back(SheetRow{sheet_.next_row_id++, 0, {}});
    ++sheet_.next_row_id;
    sheet_.rows.push_back(std::move(row));
  }
  const int64_t id = sheet_.rows[index].id;
  sheet_.modified = true;
  sheet_.min_end_row = index + 1;  // a row of nulls is a row too
  layout_.end_row = index + 1;
  CountRow(sheet_.rows[index], 1);
  return id;
}

void SheetTable::UpdateRow(int64_t row_id, const Row& values) {
  const int64_t index = RowIndex(row_id);
  if (index < 0) throw StorageError(Format("sheet '%s' has no row %lld", sheet_.name.c_str(), static_cast<long long>(row_id)));
  const auto columns = Columns();
  if (values.size() != columns.size())
    throw StorageError(Format("a row of sheet '%s' has %zu values, not %zu", sheet_.name.c_str(), columns.size(),
                              values.size()));
  SheetRow row = sheet_.rows[static_cast<size_t>(index)];
  for (size_t i = 0; i < columns.size(); ++i)
    SetCell(row, static_cast<uint16_t>(layout_.first_col + i), values[i], columns[i]);
  CountRow(sheet_.rows[static_cast<size_t>(index)], -1);
  sheet_.rows[static_cast<size_t>(index)] = std::move(row);
  CountRow(sheet_.rows[static_cast<size_t>(index)], 1);
  sheet_.modified = true;
  sheet_.min_end_row = std::max(sheet_.min_end_row, layout_.end_row);
}

void SheetTable::CheckNothingRefersFrom(size_t row, size_t col, const char* what) const {
  const std::string refusal = std::string("cannot delete ") + what + " of sheet '" + sheet_.name + "': ";
  for (const SheetRow& r : sheet_.rows)
    for (const Cell& c : r.cells)
      if (c.is_formula)
        throw StorageError(refusal + "the sheet holds formulas, whose cell references would point at other cells");
  // A range [first_row..last_row] x [first_col..last_col] that reaches the moving cells.
  auto reaches = [&](uint16_t last_row, uint16_t last_col) { return last_row >= row && last_col >= col; };
  for (const auto* records : {&sheet_.head, &sheet_.tail}) {
    for (const RawRecord& r : *records) {
      const auto& d = r.data;
      switch (r.id) {
        case 0x00E5:  // MERGEDCELLS: a count, then ranges of first row, last row, first column, last column
          for (size_t i = 0, n = d.size() >= 2 ? Get16(d.data()) : 0; i < n && 2 + 8 * i + 8 <= d.size(); ++i)
            if (reaches(Get16(&d[2 + 8 * i + 2]), Get16(&d[2 + 8 * i + 6])))
              throw StorageError(refusal + "merged cells lie at or after it");
          break;
        case 0x01B8:  // HLINK: its range comes first
          if (d.size() < 8 || reaches(Get16(&d[2]), Get16(&d[6])))
            throw StorageError(refusal + "a hyperlink lies at or after it");
          break;
        case 0x001C:  // NOTE: row, column
          if (d.size() < 4 || reaches(Get16(&d[0]), Get16(&d[2])))
            throw StorageError(refusal + "a note lies at or after it");
          break;
        case 0x01B0:  // CONDFMT and its CF rules: their formulas may refer anywhere
        case 0x01B1:
          throw StorageError(refusal + "the sheet has conditional formats, whose ranges are not moved");
        case 0x01B2:  // DVAL and its DV rules
        case 0x01BE:
          throw StorageError(refusal + "the sheet has data validation, whose ranges are not moved");
        default:
          break;
      }
    }
  }
  // Defined names and 3-D references in other sheets reach a sheet through an EXTERNSHEET entry of this
  // workbook's own SUPBOOK; such an entry means something may point into the sheet.
  const auto sheet_index = static_cast<size_t>(&sheet_ - book_.sheets.data());
  if (sheet_index >= book_.sheets.size()) return;  // a new sheet not yet in the workbook
  int self_book = -1, book_index = 0;
  for (const RawRecord& r : book_.globals) {
    if (r.id != 0x01AE) continue;  // SUPBOOK
    if (r.data.size() == 4 && Get16(&r.data[2]) == 0x0401) self_book = book_index;
    ++book_index;
  }
  for (const RawRecord& r : book_.globals) {
    if (r.id != 0x0017 || r.data.size() < 2) continue;  // EXTERNSHEET
    const size_t count = Get16(r.data.data());
    for (size_t i = 0; i < count && 2 + 6 * i + 6 <= r.data.size(); ++i) {
      const uint8_t* e = &r.data[2 + 6 * i];
      if (Get16(e) != self_book) continue;
      const uint16_t first = Get16(e + 2), last = Get16(e + 4);
      if (first <= sheet_index && sheet_index <= last && last < 0xFFFE)
        throw StorageError(refusal + "defined names or formulas in other sheets refer to this sheet");
    }
  }
}

void SheetTable::DeleteRow(int64_t row_id) {
  const int64_t index = RowIndex(row_id);
  if (index < 0) throw StorageError(Format("sheet '%s' has no row %lld", sheet_.name.c_str(), static_cast<long long>(row_id)));
  CheckNothingRefersFrom(static_cast<size_t>(index), 0, "a row");
  CountRow(sheet_.rows[static_cast<size_t>(index)], -1);
  sheet_.rows.erase(sheet_.rows.begin() + index);
  sheet_.modified = true;
  sheet_.min_end_row = std::max(sheet_.min_end_row, layout_.end_row) - 1;
  layout_.end_row -= 1;
}

void SheetTable::WriteHeader(const std::vector<ColumnInfo>& columns) {
  if (columns.size() > kMaxColumns) throw StorageError("a sheet holds at most 256 columns");
  if (sheet_.rows.empty()) sheet_.rows.push_back(SheetRow{sheet_.next_row_id++, 0, {}});
  ColumnInfo text;
  text.ado_type = adVarWChar;
  std::unordered_set<std::string> seen;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name.empty()) throw StorageError("a column name cannot be empty");
    if (!seen.insert(AsciiUpper(columns[i].name)).second)
      throw StorageError("column name '" + columns[i].name + "' is given twice");
    SetCell(sheet_.rows[0], static_cast<uint16_t>(i), Value(columns[i].name), text);
    sheet_.declared.push_back(DeclaredColumn{columns[i].name, columns[i].ado_type});
  }
  sheet_.modified = true;
  Recompute();
}

void SheetTable::AddColumn(const ColumnInfo& column) {
  if (column.name.empty()) throw StorageError("a column name cannot be empty");
  if (!layout_.empty) {
    for (const ColumnInfo& c : Columns())
      if (SameTextAscii(c.name, column.name))
        throw StorageError("sheet '" + sheet_.name + "' already has a column '" + column.name + "'");
  }
  const size_t col = layout_.empty ? 0 : layout_.first_col + layout_.columns;
  if (col >= kMaxColumns) throw StorageError("sheet '" + sheet_.name + "' is full: a sheet holds 256 columns");
  if (sheet_.rows.empty()) sheet_.rows.push_back(SheetRow{sheet_.next_row_id++, 0, {}});
  ColumnInfo text;
  text.ado_type = adVarWChar;
  SetCell(sheet_.rows[layout_.header_row], static_cast<uint16_t>(col), Value(column.name), text);
  sheet_.declared.push_back(DeclaredColumn{column.name, column.ado_type});
  sheet_.modified = true;
  sheet_.min_end_row = std::max(sheet_.min_end_row, layout_.end_row);
  Recompute();
}

void SheetTable::DropColumn(const std::string& name) {
  const size_t index = ColumnIndex(name);
  const uint16_t col = static_cast<uint16_t>(layout_.first_col + index);
  CheckNothingRefersFrom(0, col, "a column");
  for (SheetRow& row : sheet_.rows) {
    auto& cells = row.cells;
    cells.erase(std::remove_if(cells.begin(), cells.end(), [col](const Cell& c) { return c.col == col; }), cells.end());
    for (Cell& c : cells)
      if (c.col > col) --c.col;  // the writer puts the new column into the kept records
  }
  std::erase_if(sheet_.declared, [&](const DeclaredColumn& d) { return SameTextAscii(d.name, name); });
  sheet_.modified = true;
  sheet_.min_end_row = std::max(sheet_.min_end_row, layout_.end_row);
  Recompute();
}

void SheetTable::RenameColumn(const std::string& name, const std::string& new_name, int ado_type) {
  const size_t index = ColumnIndex(name);
  if (new_name.empty()) throw StorageError("a column name cannot be empty");
  if (!SameTextAscii(name, new_name)) {
    for (const ColumnInfo& c : Columns())
      if (SameTextAscii(c.name, new_name))
        throw StorageError("sheet '" + sheet_.name + "' already has a column '" + new_name + "'");
  }
  // The values change to the new type first, into copies of the rows, so a value the type cannot hold
  // leaves every row as it was.
  const ColumnInfo old_column = Columns()[index];
  const auto col = static_cast<uint16_t>(layout_.first_col + index);
  std::vector<std::pair<size_t, SheetRow>> converted;
  if (old_column.ado_type != ado_type) {
    ColumnInfo target = old_column;
    target.ado_type = ado_type;
    for (size_t r = layout_.header_row + 1; r < layout_.end_row && r < sheet_.rows.size(); ++r) {
      const Cell* cell = FindCellInRow(sheet_.rows[r], col);
      if (!cell || IsEmpty(*cell)) continue;
      const Value current = Typed(cell, old_column);
      bool ok;
      const Value value = ConvertExactly(current, ado_type, ok);
      if (!ok)
        throw StorageError("cannot change the type of column '" + name + "' in sheet '" + sheet_.name + "': the value '" +
                           current.AsString() + "' in row " + std::to_string(r + 1) + " cannot be held by the new type");
      if (cell->is_formula)
        throw StorageError("cannot change the type of column '" + name + "' in sheet '" + sheet_.name +
                           "': row " + std::to_string(r + 1) + " holds a formula, which would be replaced by its value");
      SheetRow row = sheet_.rows[r];
      Cell* stored = FindCellInRow(row, col);
      stored->kind = Cell::Kind::kBlank;  // rewritten as the new kind, not kept as it was
      SetCell(row, col, value, target);
      converted.emplace_back(r, std::move(row));
    }
  }
  for (auto& [r, row] : converted) sheet_.rows[r] = std::move(row);
  ColumnInfo text;
  text.ado_type = adVarWChar;
  SetCell(sheet_.rows[layout_.header_row], col, Value(new_name), text);
  std::erase_if(sheet_.declared, [&](const DeclaredColumn& d) { return SameTextAscii(d.name, name); });
  sheet_.declared.push_back(DeclaredColumn{new_name, ado_type});
  sheet_.modified = true;
  sheet_.min_end_row = std::max(sheet_.min_end_row, layout_.end_row);
  Recompute();
}

}  // namespace vantor::formats::xls
