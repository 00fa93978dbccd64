#include "formats/xls/legacy_worksheet_reader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "formats/code_page.h"
#include "formats/storage.h"
#include "formats/xls/byte_io.h"
#include "formats/xls/number_formats.h"

namespace vantor::formats::xls {
namespace {

[[noreturn]] void Damaged(const std::string& what) { throw StorageError("damaged workbook: " + what); }

// Record ids. BIFF2 cells carry 3 attribute bytes where later versions carry an XF index.
constexpr uint16_t kBof2 = 0x0009, kBof3 = 0x0209, kBof4 = 0x0409, kEof = 0x000A, kCodePage = 0x0042,
                   kDateMode = 0x0022, kFormat2 = 0x001E, kFormat4 = 0x041E, kXf2 = 0x0043, kXf3 = 0x0243,
                   kXf4 = 0x0443, kInteger2 = 0x0002, kNumber2 = 0x0003, kLabel2 = 0x0004, kBoolErr2 = 0x0005,
                   kFormula2 = 0x0006, kString2 = 0x0007, kNumber = 0x0203, kLabel = 0x0204, kBoolErr = 0x0205,
                   kFormula3 = 0x0206, kString = 0x0207, kFormula4 = 0x0406, kRk = 0x027E;

double RkValue(uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return (rk & 1) ? v / 100 : v;
}

class LegacyReader {
 public:
  explicit LegacyReader(std::span<const uint8_t> data) : data_(data) {}

  Workbook Run() {
    book_.version = BiffVersion::kBiff2To4;
    book_.code_page = 1252;
    Sheet sheet;
    sheet.name = "Sheet 1";
    size_t offset = 0;
    bool first = true, ended = false;
    while (!ended) {
      if (offset + 4 > data_.size()) Damaged("the worksheet ends without an EOF record");
      const uint16_t id = Get16(&data_[offset]);
      const uint16_t length = Get16(&data_[offset + 2]);
      if (offset + 4 + length > data_.size()) Damaged("a record runs past the end of the file");
      ByteReader r(data_.subspan(offset + 4, length), "a worksheet record");
      offset += 4 + length;
      if (first) {
        ReadBof(id, r);
        first = false;
        continue;
      }
      switch (id) {
        case kEof: ended = true; break;
        case kCodePage: book_.code_page = r.U16(); break;
        case kDateMode: book_.date1904 = r.U16() == 1; break;
        case kFormat2:
        case kFormat4: {
          if (id == kFormat4) r.Skip(2);
          // Formats are numbered in the order they come.
          formats_.push_back(IsDateFormatText(Decode(r.Take(r.U8()))));
          break;
        }
        case kXf2: r.Skip(2); book_.xf_formats.push_back(r.U8() & 0x3F); break;
        case kXf3:
        case kXf4: r.Skip(1); book_.xf_formats.push_back(r.U8()); break;
        case kBof2: case kBof3: case kBof4:
          Damaged("a worksheet holds another BOF record");
        default:
          ReadCell(id, r, sheet);
          break;
      }
    }
    book_.xf_is_date.resize(book_.xf_formats.size());
    for (size_t i = 0; i < book_.xf_formats.size(); ++i) {
      const uint16_t f = book_.xf_formats[i];
      book_.xf_is_date[i] = f < formats_.size() ? formats_[f] : IsBuiltInDateFormat(f);
    }
    sheet.next_row_id = static_cast<int64_t>(sheet.rows.size());
    book_.sheets.push_back(std::move(sheet));
    return std::move(book_);
  }

 private:
  void ReadBof(uint16_t id, ByteReader& r) {
    if (id == kBof2) return;  // BIFF2 worksheets name no sheet type
    r.U16();
    const uint16_t type = r.Left() >= 2 ? r.U16() : 0x0010;
    if (type == 0x0100) throw StorageError("unsupported workbook: Excel 4.0 workbooks of several sheets cannot be opened");
    if (type != 0x0010) throw StorageError("unsupported file: an Excel 2.x-4.x file that is not a worksheet (a chart or macro sheet)");
  }

  std::string Decode(std::span<const uint8_t> bytes) const {
    int cp = book_.code_page;
    if (cp == 1200 || cp == 0x8001 || cp == 0) cp = 1252;
    if (cp == 0x8000) cp = 10000;
    if (!IsCodePageSupported(cp)) cp = 1252;
    return DecodeCodePage(cp, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  }

  // Row, column and the cell's format: an XF index, or in BIFF2 three attribute bytes whose first holds it.
  Cell Start(ByteReader& r, uint16_t& row, bool biff2_layout) {
    row = r.U16();
    Cell cell;
    cell.col = r.U16();
    if (cell.col >= 256) Damaged("a cell lies beyond the 256th column");
    if (biff2_layout) {
      cell.xf = r.U8() & 0x3F;
      r.Skip(2);
    } else {
      cell.xf = r.U16();
    }
    return cell;
  }

  void ReadCell(uint16_t id, ByteReader& r, Sheet& sheet) {
    const bool biff2_layout = id == kInteger2 || id == kNumber2 || id == kLabel2 || id == kBoolErr2 || id == kFormula2;
    if (id == kString || id == kString2) {
      if (pending_) pending_->text = AddString(Decode(r.Take(id == kString2 ? r.U8() : r.U16())));
      if (pending_) pending_->kind = Cell::Kind::kText;
      pending_ = nullptr;
      return;
    }
    pending_ = nullptr;
    if (!biff2_layout && id != kNumber && id != kLabel && id != kBoolErr && id != kRk && id != kFormula3 &&
        id != kFormula4)
      return;  // blanks, row records, window settings: nothing to read
    uint16_t row = 0;
    Cell cell = Start(r, row, biff2_layout);
    switch (id) {
      case kInteger2: cell.kind = Cell::Kind::kNumber; cell.number = r.U16(); break;
      case kNumber2: case kNumber: cell.kind = Cell::Kind::kNumber; cell.number = r.F64(); break;
      case kRk: cell.kind = Cell::Kind::kNumber; cell.number = RkValue(r.U32()); break;
      case kLabel2: case kLabel:
        cell.kind = Cell::Kind::kText;
        cell.text = AddString(Decode(r.Take(id == kLabel2 ? r.U8() : r.U16())));
        break;
      case kBoolErr2: case kBoolErr:
        cell.code = r.U8();
        cell.kind = r.U8() ? Cell::Kind::kError : Cell::Kind::kBoolean;
        break;
      default: {  // a formula: its cached result
        const auto value = r.Take(8);
        cell.is_formula = true;
        if (Get16(&value[6]) == 0xFFFF) {
          switch (value[0]) {
            case 1: cell.kind = Cell::Kind::kBoolean; cell.code = value[2]; break;
            case 2: cell.kind = Cell::Kind::kError; cell.code = value[2]; break;
            case 3: cell.kind = Cell::Kind::kText; cell.text = AddString(""); break;
            default: cell.kind = Cell::Kind::kBlank; break;  // text: in the STRING record that follows
          }
        } else {
          cell.kind = Cell::Kind::kNumber;
          cell.number = GetDouble(value.data());
        }
        Cell* placed = Place(sheet, row, cell);
        if (Get16(&value[6]) == 0xFFFF && value[0] == 0) pending_ = placed;
        return;
      }
    }
    Place(sheet, row, cell);
  }

  Cell* Place(Sheet& sheet, uint16_t row, const Cell& cell) {
    if (row >= sheet.rows.size()) {
      const size_t old = sheet.rows.size();
      sheet.rows.resize(size_t{row} + 1);
      for (size_t i = old; i < sheet.rows.size(); ++i) sheet.rows[i].id = static_cast<int64_t>(i);
    }
    auto& cells = sheet.rows[row].cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), cell.col,
                               [](const Cell& c, uint16_t col) { return c.col < col; });
    if (it != cells.end() && it->col == cell.col) {
      *it = cell;
      return &*it;
    }
    return &*cells.insert(it, cell);
  }

  uint32_t AddString(std::string text) {
    book_.strings.push_back(SharedString{std::move(text), {}, {}});
    return static_cast<uint32_t>(book_.strings.size() - 1);
  }

  std::span<const uint8_t> data_;
  Workbook book_;
  std::vector<bool> formats_;  // per format record, in order: a date format
  Cell* pending_ = nullptr;    // a formula whose text result comes in the next STRING record
};

}  // namespace

bool IsLegacyWorksheet(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 0x09 && (bytes[1] == 0x00 || bytes[1] == 0x02 || bytes[1] == 0x04);
}

Workbook ReadLegacyWorksheet(std::span<const uint8_t> bytes) {
  if (!IsLegacyWorksheet(bytes)) throw StorageError("not an Excel 2.x-4.x worksheet");
  return LegacyReader(bytes).Run();
}

}  // namespace vantor::formats::xls
