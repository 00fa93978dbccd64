#include "formats/xls/workbook_reader.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <span>
#include <string>

#include "dataset/text.h"
#include "formats/code_page.h"
#include "formats/storage.h"
#include "formats/xls/biff_records.h"
#include "formats/xls/byte_io.h"
#include "formats/xls/number_formats.h"

namespace vantor::formats::xls {
namespace {

[[noreturn]] void Damaged(const std::string& what) { throw StorageError("damaged workbook: " + what); }

// Reads a record's data together with its CONTINUE records; text that crosses into a CONTINUE record
// restarts there with a new flags byte, other data simply runs on.
class ContinuedReader {
 public:
  void Add(std::span<const uint8_t> segment) { segments_.push_back(segment); }
  bool AtEnd() {
    Settle();
    return seg_ >= segments_.size();
  }
  uint8_t U8() {
    Settle();
    if (seg_ >= segments_.size()) Damaged("a string table entry is truncated");
    return segments_[seg_][pos_++];
  }
  uint16_t U16() {
    uint16_t lo = U8();
    return static_cast<uint16_t>(lo | (U8() << 8));
  }
  uint32_t U32() {
    uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  void Take(size_t n, std::vector<uint8_t>& out) {
    while (n > 0) {
      Settle();
      if (seg_ >= segments_.size()) Damaged("a string table entry is truncated");
      const size_t k = std::min(n, segments_[seg_].size() - pos_);
      out.insert(out.end(), segments_[seg_].begin() + pos_, segments_[seg_].begin() + pos_ + k);
      pos_ += k;
      n -= k;
    }
  }
  void Chars(size_t count, bool wide, std::u16string& out) {
    out.reserve(out.size() + count);
    while (count > 0) {
      if (seg_ < segments_.size() && pos_ >= segments_[seg_].size()) {
        // Characters continue in the next record, which starts with its own flags byte.
        ++seg_;
        pos_ = 0;
        if (seg_ >= segments_.size() || segments_[seg_].empty()) Damaged("a string is truncated");
        wide = segments_[seg_][pos_++] & 1;
      }
      if (seg_ >= segments_.size()) Damaged("a string is truncated");
      auto s = segments_[seg_];
      if (wide) {
        while (count > 0 && pos_ + 2 <= s.size()) {
          out.push_back(static_cast<char16_t>(Get16(&s[pos_])));
          pos_ += 2;
          --count;
        }
        if (count > 0 && pos_ + 1 == s.size()) Damaged("a string splits a character");
      } else {
        while (count > 0 && pos_ < s.size()) {
          out.push_back(static_cast<char16_t>(s[pos_++]));
          --count;
        }
      }
      if (count > 0 && pos_ < s.size()) Damaged("a string is truncated");
    }
  }

 private:
  void Settle() {
    while (seg_ < segments_.size() && pos_ >= segments_[seg_].size()) {
      ++seg_;
      pos_ = 0;
    }
  }
  std::vector<std::span<const uint8_t>> segments_;
  size_t seg_ = 0, pos_ = 0;
};

class Reader {
 public:
  explicit Reader(std::shared_ptr<const std::vector<uint8_t>> stream) : data_(*stream) { wb_.stream = stream; }

  Workbook Run() {
    ReadGlobals();
    // Rows are held densely; a small damaged file must not make the reader hold millions of them.
    row_budget_ = std::max<size_t>(size_t{1} << 20, data_.size() / 8);
    std::vector<std::pair<uint32_t, uint32_t>> spans{{0, globals_end_}};
    for (size_t i = 0; i < wb_.sheets.size(); ++i) {
      Sheet& sheet = wb_.sheets[i];
      for (const auto& [start, end] : spans)
        if (sheet.offset < end && sheet.offset >= start)
          Damaged("sheet '" + sheet.name + "' starts inside another part of the workbook");
      ReadSheet(sheet);
      for (const auto& [start, end] : spans)
        if (sheet.offset < end && start < sheet.offset + sheet.length)
          Damaged("sheet '" + sheet.name + "' overlaps another part of the workbook");
      spans.emplace_back(sheet.offset, sheet.offset + sheet.length);
    }
    return std::move(wb_);
  }

 private:
  rec::RecordRef RecordAt(size_t offset) const {
    if (offset + 4 > data_.size()) Damaged("a record header lies beyond the end of the stream");
    rec::RecordRef r;
    r.id = Get16(&data_[offset]);
    r.length = Get16(&data_[offset + 2]);
    r.offset = static_cast<uint32_t>(offset);
    if (offset + 4 + r.length > data_.size()) Damaged("a record runs past the end of the stream");
    return r;
  }
  std::span<const uint8_t> Data(const rec::RecordRef& r) const { return {&data_[r.DataOffset()], r.length}; }

  bool Biff8() const { return wb_.version == BiffVersion::kBiff8; }

  std::string Decode8(std::span<const uint8_t> bytes) const {
    int cp = wb_.code_page;
    if (cp == 1200 || cp == 0x8001 || cp == 0) cp = 1252;
    if (cp == 0x8000) cp = 10000;
    if (!IsCodePageSupported(cp)) cp = 1252;
    return DecodeCodePage(cp, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  }

  // XLUnicodeString with a 16-bit (long_count) or 8-bit length; BIFF5: length then code-page bytes.
  std::string ReadString(ByteReader& r, bool long_count) const {
    const size_t count = long_count ? r.U16() : r.U8();
    if (!Biff8()) return Decode8(r.Take(count));
    const uint8_t flags = r.U8();
    size_t runs = 0, ext = 0;
    if (flags & 0x08) runs = r.U16();
    if (flags & 0x04) ext = r.U32();
    std::u16string text;
    text.reserve(count);
    if (flags & 0x01) {
      auto bytes = r.Take(count * 2);
      for (size_t i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(Get16(&bytes[2 * i])));
    } else {
      for (uint8_t b : r.Take(count)) text.push_back(static_cast<char16_t>(b));
    }
    (void)runs;
    (void)ext;
    return Utf16ToUtf8(text);
  }

  void ReadBof(const rec::RecordRef& r, bool globals) {
    if (r.id != rec::kBof) {
      if (r.id == 0x0009 || r.id == 0x0209 || r.id == 0x0409)
        throw StorageError("unsupported workbook: Excel 2.x-4.x (BIFF2-BIFF4) files cannot be opened");
      Damaged("the workbook stream does not start with a BOF record");
    }
    if (r.length < 4) Damaged("BOF record is too short");
    const uint16_t vers = Get16(&data_[r.DataOffset()]);
    if (globals) {
      if (vers == 0x0600) wb_.version = BiffVersion::kBiff8;
      else if (vers == 0x0500) wb_.version = BiffVersion::kBiff5;
      else throw StorageError("unsupported workbook: BIFF version " + std::to_string(vers >> 8));
    }
  }

  void ReadGlobals() {
    size_t offset = 0;
    rec::RecordRef first = RecordAt(0);
    ReadBof(first, true);
    for (;;) {
      rec::RecordRef r = RecordAt(offset);
      RawRecord raw{r.id, std::vector<uint8_t>(data_.begin() + r.DataOffset(), data_.begin() + r.End())};
      offset = r.End();
      ByteReader br(Data(r), "a globals record");
      switch (r.id) {
        case rec::kCodePage:
          wb_.code_page = br.U16();
          break;
        case rec::kDateMode:
          wb_.date1904 = br.U16() == 1;
          break;
        case rec::kFormat: {
          const uint16_t index = br.U16();
          const std::string text = ReadString(br, Biff8());
          if (index >= formats_.size()) formats_.resize(index + 1, -1);
          formats_[index] = IsDateFormatText(text) ? 1 : 0;
          break;
        }
        case rec::kXf: {
          br.U16();
          wb_.xf_formats.push_back(br.U16());
          break;
        }
        case rec::kBoundSheet: {
          Sheet s;
          s.offset = br.U32();
          s.visibility = br.U8() & 3;
          s.kind = br.U8();
          s.name = ReadString(br, false);
          wb_.sheets.push_back(std::move(s));
          break;
        }
        case rec::kSst: {
          size_t next = offset;
          ContinuedReader cr;
          cr.Add(Data(r));
          while (next + 4 <= data_.size() && Get16(&data_[next]) == rec::kContinue) {
            rec::RecordRef c = RecordAt(next);
            wb_.globals.push_back(std::move(raw));
            raw = RawRecord{c.id, std::vector<uint8_t>(data_.begin() + c.DataOffset(), data_.begin() + c.End())};
            cr.Add(Data(c));
            next = c.End();
          }
          offset = next;
          ReadSst(cr);
          break;
        }
        default:
          break;
      }
      wb_.globals.push_back(std::move(raw));
      if (r.id == rec::kEof) break;
    }
    globals_end_ = static_cast<uint32_t>(offset);
    wb_.xf_is_date.resize(wb_.xf_formats.size());
    for (size_t i = 0; i < wb_.xf_formats.size(); ++i) {
      const uint16_t f = wb_.xf_formats[i];
      wb_.xf_is_date[i] = (f < formats_.size() && formats_[f] >= 0) ? formats_[f] == 1 : IsBuiltInDateFormat(f);
    }
  }

  void ReadSst(ContinuedReader& cr) {
    const uint32_t total = cr.U32();
    const uint32_t unique = cr.U32();
    wb_.sst_total = total;
    // The count comes from the file: trust it only as far as the data goes.
    wb_.strings.reserve(std::min<uint32_t>(unique, 1u << 20));
    for (uint32_t i = 0; i < unique; ++i) {
      if (cr.AtEnd()) break;
      const uint16_t count = cr.U16();
      const uint8_t flags = cr.U8();
      uint16_t runs = 0;
      uint32_t ext = 0;
      if (flags & 0x08) runs = cr.U16();
      if (flags & 0x04) ext = cr.U32();
      std::u16string text;
      cr.Chars(count, flags & 1, text);
      SharedString s;
      s.text = Utf16ToUtf8(text);
      cr.Take(static_cast<size_t>(runs) * 4, s.runs);
      if (ext > data_.size()) Damaged("a string's phonetic block is larger than the file");
      cr.Take(ext, s.ext);
      wb_.strings.push_back(std::move(s));
    }
    wb_.sst_count = static_cast<uint32_t>(wb_.strings.size());
  }

  uint32_t AddString(std::string text) {
    wb_.strings.push_back(SharedString{std::move(text), {}, {}});
    return static_cast<uint32_t>(wb_.strings.size() - 1);
  }

  void EnsureRow(Sheet& sheet, uint16_t row) {
    if (row >= sheet.rows.size()) {
      const size_t old = sheet.rows.size();
      if (row + 1 - old > row_budget_) Damaged("the sheets hold more rows than the file's size allows");
      row_budget_ -= row + 1 - old;
      sheet.rows.resize(row + 1);
      for (size_t i = old; i < sheet.rows.size(); ++i) sheet.rows[i].id = static_cast<int64_t>(i);
    }
  }

  Cell* Place(Sheet& sheet, uint16_t row, const Cell& cell) {
    if (cell.col >= 256) Damaged("a cell lies beyond the 256th column");
    EnsureRow(sheet, row);
    auto& cells = sheet.rows[row].cells;
    if (cells.empty() || cells.back().col < cell.col) {
      cells.push_back(cell);
      return &cells.back();
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), cell.col,
                               [](const Cell& c, uint16_t col) { return c.col < col; });
    if (it != cells.end() && it->col == cell.col) {
      *it = cell;
      return &*it;
    }
    return &*cells.insert(it, cell);
  }

  static double RkValue(uint32_t rk) {
    double v;
    if (rk & 2) {
      v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
      uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
      std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
  }

  static bool IsCellBlockRecord(uint16_t id) {
    switch (id) {
      case rec::kRow: case rec::kDbCell: case rec::kFormula: case rec::kFormula4: case rec::kString:
      case rec::kShrFmla: case rec::kArray: case rec::kTable: case rec::kLabelSst: case rec::kLabel:
      case rec::kRString: case rec::kNumber: case rec::kRk: case rec::kMulRk: case rec::kBoolErr:
      case rec::kBlank: case rec::kMulBlank:
        return true;
      default:
        return false;
    }
  }

  void ReadSheet(Sheet& sheet) {
    if (sheet.offset + 4 > data_.size()) Damaged("sheet '" + sheet.name + "' lies beyond the end of the stream");
    rec::RecordRef bof = RecordAt(sheet.offset);
    if (bof.id != rec::kBof) Damaged("sheet '" + sheet.name + "' does not start with a BOF record");
    size_t offset = bof.End();
    sheet.head.push_back(RawRecord{bof.id, {data_.begin() + bof.DataOffset(), data_.begin() + bof.End()}});
    int depth = 1;
    bool in_cells = false, after_cells = false;
    // A formula whose text result follows in a STRING record, and the formula whose records are being read.
    bool has_pending = false, has_formula = false;
    uint16_t pending_row = 0, pending_col = 0, formula_row = 0, formula_col = 0;
    uint16_t last_id = 0;
    size_t dimensions_at = SIZE_MAX;
    while (depth > 0) {
      rec::RecordRef r = RecordAt(offset);
      offset = r.End();
      if (r.id == rec::kBof) ++depth;
      if (r.id == rec::kEof) --depth;
      const bool cell_record = depth == 1 && r.id != rec::kBof && IsCellBlockRecord(r.id);
      const bool continues_cell = depth == 1 && r.id == rec::kContinue && in_cells && IsCellBlockRecord(last_id);
      if (sheet.IsWorksheet() && (cell_record || continues_cell)) {
        in_cells = true;
        // Records that belong to the formula just read extend its span.
        const bool formula_part = continues_cell || r.id == rec::kShrFmla || r.id == rec::kArray ||
                                  r.id == rec::kTable || r.id == rec::kString;
        if (has_formula && formula_part) {
          if (Cell* f = FindCell(sheet, formula_row, formula_col)) {
            f->raw_length = r.End() - f->raw_offset;
            if (r.id != rec::kString && !continues_cell) f->raw_is_shared = true;
          }
        } else {
          has_formula = false;
        }
        if (continues_cell) continue;  // text continued from a STRING record is read with it
        if (r.id == rec::kString && has_pending) {
          if (Cell* f = FindCell(sheet, pending_row, pending_col)) {
            f->text = AddString(ReadFormulaString(r, offset));
            f->kind = Cell::Kind::kText;
          }
          has_pending = false;
        }
        bool text_follows = false;
        if (Cell* f = ReadCell(sheet, r, text_follows)) {
          has_formula = true;
          formula_row = Get16(&data_[r.DataOffset()]);
          formula_col = f->col;
          if (text_follows) {
            has_pending = true;
            pending_row = formula_row;
            pending_col = formula_col;
          }
        }
        last_id = r.id;
        continue;
      }
      last_id = r.id;
      if (r.id == rec::kDimensions || r.id == rec::kIndex) {
        if (r.id == rec::kDimensions && depth == 1 && !in_cells) dimensions_at = sheet.head.size();
        if (depth == 1) continue;  // rewritten from the cells
      }
      if (in_cells) after_cells = true;
      RawRecord raw{r.id, {data_.begin() + r.DataOffset(), data_.begin() + r.End()}};
      (after_cells ? sheet.tail : sheet.head).push_back(std::move(raw));
    }
    if (!after_cells) {
      // A sheet without cells: what followed its DIMENSIONS (window settings, ..., EOF) follows the cells
      // that may be written into it.
      const size_t split = std::min(dimensions_at, sheet.head.size() - 1);
      sheet.tail.assign(std::make_move_iterator(sheet.head.begin() + static_cast<std::ptrdiff_t>(split)),
                        std::make_move_iterator(sheet.head.end()));
      sheet.head.resize(split);
    }
    sheet.length = static_cast<uint32_t>(offset - sheet.offset);
    sheet.next_row_id = static_cast<int64_t>(sheet.rows.size());
  }

  static Cell* FindCell(Sheet& sheet, uint16_t row, uint16_t col) {
    if (row >= sheet.rows.size()) return nullptr;
    auto& cells = sheet.rows[row].cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const Cell& c, uint16_t v) { return c.col < v; });
    return (it != cells.end() && it->col == col) ? &*it : nullptr;
  }

  // The text of a STRING record, with its CONTINUE records.
  std::string ReadFormulaString(const rec::RecordRef& r, size_t next) {
    ByteReader br(Data(r), "a STRING record");
    const size_t count = br.U16();
    if (!Biff8()) return Decode8(br.Take(count));
    ContinuedReader cr;
    cr.Add(Data(r).subspan(2));
    while (next + 4 <= data_.size() && Get16(&data_[next]) == rec::kContinue) {
      rec::RecordRef c = RecordAt(next);
      cr.Add(Data(c));
      next = c.End();
    }
    const uint8_t flags = cr.U8();
    if (flags & 0x08) cr.U16();
    if (flags & 0x04) cr.U32();
    std::u16string text;
    cr.Chars(count, flags & 1, text);
    return Utf16ToUtf8(text);
  }

  // Adds the cell(s) of one record; answers the cell when it is a formula.
  Cell* ReadCell(Sheet& sheet, const rec::RecordRef& r, bool& text_follows) {
    ByteReader br(Data(r), "a cell record");
    if (r.id == rec::kRow) {
      const uint16_t row = br.U16();
      EnsureRow(sheet, row);
      sheet.rows[row].raw_row_offset = r.offset;
      return nullptr;
    }
    if (r.id == rec::kDbCell || r.id == rec::kShrFmla || r.id == rec::kArray || r.id == rec::kTable ||
        r.id == rec::kString)
      return nullptr;
    const uint16_t row = br.U16();
    Cell cell;
    cell.col = br.U16();
    if (r.id == rec::kMulRk || r.id == rec::kMulBlank) {
      const bool rk = r.id == rec::kMulRk;
      const size_t item = rk ? 6 : 2;
      if (r.length < 6) Damaged("a MULRK/MULBLANK record is too short");
      const size_t count = (r.length - 6) / item;
      const uint16_t first = cell.col;
      for (size_t i = 0; i < count; ++i) {
        Cell c;
        c.col = static_cast<uint16_t>(first + i);
        c.xf = br.U16();
        if (rk) {
          c.kind = Cell::Kind::kNumber;
          c.number = RkValue(br.U32());
        }
        Place(sheet, row, c);
      }
      return nullptr;
    }
    cell.xf = br.U16();
    cell.raw_offset = r.offset;
    cell.raw_length = r.length + 4u;
    switch (r.id) {
      case rec::kBlank:
        break;
      case rec::kNumber:
        cell.kind = Cell::Kind::kNumber;
        cell.number = br.F64();
        break;
      case rec::kRk:
        cell.kind = Cell::Kind::kNumber;
        cell.number = RkValue(br.U32());
        break;
      case rec::kBoolErr:
        cell.code = br.U8();
        cell.kind = br.U8() ? Cell::Kind::kError : Cell::Kind::kBoolean;
        break;
      case rec::kLabelSst: {
        const uint32_t index = br.U32();
        if (index >= wb_.sst_count) Damaged("a cell refers to a shared string that does not exist");
        cell.kind = Cell::Kind::kText;
        cell.text = index;
        break;
      }
      case rec::kLabel:
      case rec::kRString:
        cell.kind = Cell::Kind::kText;
        cell.text = AddString(ReadString(br, true));
        break;
      case rec::kFormula:
      case rec::kFormula4: {
        auto value = br.Take(8);
        br.Skip(6);
        const uint16_t cce = br.Left() >= 2 ? br.U16() : 0;
        if (cce > 0 && br.Left() > 0) {
          const uint8_t token = br.U8();
          cell.raw_is_shared = token == 0x01 || token == 0x02;
        }
        cell.is_formula = true;
        if (Get16(&value[6]) == 0xFFFF) {
          switch (value[0]) {
            case 0: cell.kind = Cell::Kind::kBlank; break;  // text in the STRING record that follows
            case 1: cell.kind = Cell::Kind::kBoolean; cell.code = value[2]; break;
            case 2: cell.kind = Cell::Kind::kError; cell.code = value[2]; break;
            case 3: cell.kind = Cell::Kind::kText; cell.text = EmptyString(); break;
            default: cell.kind = Cell::Kind::kBlank; break;
          }
        } else {
          cell.kind = Cell::Kind::kNumber;
          cell.number = GetDouble(value.data());
        }
        text_follows = Get16(&value[6]) == 0xFFFF && value[0] == 0;
        return Place(sheet, row, cell);
      }
      default:
        return nullptr;
    }
    Place(sheet, row, cell);
    return nullptr;
  }

  uint32_t EmptyString() {
    if (empty_string_ < 0) empty_string_ = static_cast<int64_t>(AddString(""));
    return static_cast<uint32_t>(empty_string_);
  }


  const std::vector<uint8_t>& data_;
  Workbook wb_;
  std::vector<int> formats_;  // per format index: -1 not defined here, 0 number, 1 date
  int64_t empty_string_ = -1;
  uint32_t globals_end_ = 0;
  size_t row_budget_ = 0;
};

}  // namespace

Workbook ReadWorkbookStream(std::shared_ptr<const std::vector<uint8_t>> stream) {
  if (!stream || stream->size() < 4) throw StorageError("damaged workbook: the workbook stream is empty");
  return Reader(std::move(stream)).Run();
}

}  // namespace vantor::formats::xls
