#include "formats/xls/workbook_writer.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "dataset/text.h"
#include "formats/storage.h"
#include "formats/xls/biff_records.h"
#include "formats/xls/byte_io.h"

namespace vantor::formats::xls {
namespace {

void PutRecord(std::vector<uint8_t>& out, uint16_t id, std::span<const uint8_t> data) {
  if (data.size() > 0xFFFF) throw StorageError("internal error: a record is too long");
  ByteWriter w(out);
  w.U16(id);
  w.U16(static_cast<uint16_t>(data.size()));
  w.Bytes(data);
}

RawRecord Record(uint16_t id, std::initializer_list<uint8_t> bytes) { return RawRecord{id, std::vector<uint8_t>(bytes)}; }

std::vector<uint8_t> ShortString(const std::u16string& text) {
  std::vector<uint8_t> out;
  ByteWriter w(out);
  w.U8(static_cast<uint8_t>(text.size()));
  const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
  w.U8(wide ? 1 : 0);
  for (char16_t c : text) wide ? w.U16(c) : w.U8(static_cast<uint8_t>(c));
  return out;
}

bool FitsRk(double d, uint32_t& rk) {
  if (d != std::floor(d) || d < -536870912.0 || d > 536870911.0) return false;
  rk = (static_cast<uint32_t>(static_cast<int32_t>(d)) << 2) | 2;
  return true;
}

// Writes the shared string table with its CONTINUE records and the EXTSST index that points into it.
class SstWriter {
 public:
  explicit SstWriter(std::vector<uint8_t>& out) : out_(out) {}

  void Write(const std::vector<const SharedString*>& strings, uint32_t total) {
    const size_t n = strings.size();
    const size_t per_bucket = std::max<size_t>(8, n / 128 + 1);
    Begin(rec::kSst);
    U32(total);
    U32(static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) {
      const std::u16string text = Utf8ToUtf16(strings[i]->text);
      const SharedString& s = *strings[i];
      const bool wide = std::any_of(text.begin(), text.end(), [](char16_t c) { return c > 0xFF; });
      const size_t header = 3 + (s.runs.empty() ? 0 : 2) + (s.ext.empty() ? 0 : 4);
      if (Room() < header + (wide ? 2 : 1)) Begin(rec::kContinue);
      if (i % per_bucket == 0) buckets_.push_back({static_cast<uint32_t>(out_.size()), static_cast<uint16_t>(out_.size() - record_start_)});
      U16(static_cast<uint16_t>(text.size()));
      uint8_t flags = wide ? 1 : 0;
      if (!s.runs.empty()) flags |= 0x08;
      if (!s.ext.empty()) flags |= 0x04;
      out_.push_back(flags);
      if (!s.runs.empty()) U16(static_cast<uint16_t>(s.runs.size() / 4));
      if (!s.ext.empty()) U32(static_cast<uint32_t>(s.ext.size()));
      for (size_t c = 0; c < text.size(); ++c) {
        if (Room() < (wide ? 2u : 1u)) {
          Begin(rec::kContinue);
          out_.push_back(wide ? 1 : 0);  // character data restarts with its flags
        }
        if (wide) U16(text[c]);
        else out_.push_back(static_cast<uint8_t>(text[c]));
      }
      for (size_t r = 0; r < s.runs.size(); r += 4) {
        if (Room() < 4) Begin(rec::kContinue);
        out_.insert(out_.end(), s.runs.begin() + r, s.runs.begin() + r + 4);
      }
      for (uint8_t b : s.ext) {
        if (Room() < 1) Begin(rec::kContinue);
        out_.push_back(b);
      }
    }
    End();
    std::vector<uint8_t> ext;
    ByteWriter w(ext);
    w.U16(static_cast<uint16_t>(per_bucket));
    for (const auto& b : buckets_) {
      w.U32(b.stream_pos);
      w.U16(b.record_offset);
      w.U16(0);
    }
    PutRecord(out_, rec::kExtSst, ext);
  }

 private:
  struct Bucket {
    uint32_t stream_pos;
    uint16_t record_offset;
  };
  size_t Room() const { return rec::kMaxRecordData - (out_.size() - record_start_ - 4); }
  void Begin(uint16_t id) {
    End();
    record_start_ = out_.size();
    ByteWriter w(out_);
    w.U16(id);
    w.U16(0);
    open_ = true;
  }
  void End() {
    if (!open_) return;
    Put16(&out_[record_start_ + 2], static_cast<uint16_t>(out_.size() - record_start_ - 4));
    open_ = false;
  }
  void U16(uint16_t v) { ByteWriter(out_).U16(v); }
  void U32(uint32_t v) { ByteWriter(out_).U32(v); }

  std::vector<uint8_t>& out_;
  size_t record_start_ = 0;
  bool open_ = false;
  std::vector<Bucket> buckets_;
};

class Writer {
 public:
  explicit Writer(const Workbook& book) : book_(book) {}

  std::vector<uint8_t> Run() {
    if (book_.version != BiffVersion::kBiff8) throw StorageError("only BIFF8 workbooks can be written");
    PlanStrings();
    WriteGlobals();
    for (size_t i = 0; i < book_.sheets.size(); ++i) {
      Put32(&out_[sheet_pos_fields_[i]], static_cast<uint32_t>(out_.size()));
      const Sheet& s = book_.sheets[i];
      if (s.modified || s.is_new) WriteSheet(s);
      else CopySheet(s);
    }
    return std::move(out_);
  }

 private:
  const uint8_t* Raw(uint32_t offset) const { return book_.stream->data() + offset; }

  // Whether a cell goes out as its original records, at sheet row `row`.
  bool KeepsRaw(const Cell& c, size_t row) const {
    if (c.raw_length == 0 || !book_.stream) return false;
    const uint8_t* p = Raw(c.raw_offset);
    const bool moved = Get16(p + 4) != row || Get16(p + 6) != c.col;
    return !(moved && c.raw_is_shared);
  }

  void PlanStrings() {
    for (uint32_t i = 0; i < book_.sst_count; ++i) sst_.push_back(&book_.strings[i]);
    std::unordered_map<std::string, uint32_t> known;
    for (uint32_t i = 0; i < book_.sst_count; ++i)
      if (book_.strings[i].runs.empty()) known.emplace(book_.strings[i].text, i);
    total_ = book_.sst_total;
    for (const Sheet& s : book_.sheets) {
      if (!(s.modified || s.is_new)) continue;
      for (size_t r = 0; r < s.rows.size(); ++r) {
        for (const Cell& c : s.rows[r].cells) {
          if (c.kind != Cell::Kind::kText || KeepsRaw(c, r) || c.text < book_.sst_count) continue;
          if (remap_.count(c.text)) continue;
          const std::string& text = book_.strings[c.text].text;
          auto [it, added] = known.emplace(text, static_cast<uint32_t>(sst_.size()));
          if (added) sst_.push_back(&book_.strings[c.text]);
          remap_[c.text] = it->second;
          ++total_;
        }
      }
    }
  }

  uint32_t SstIndex(uint32_t text) const {
    if (text < book_.sst_count) return text;
    return remap_.at(text);
  }

  void WriteBoundSheets() {
    for (const Sheet& s : book_.sheets) {
      std::vector<uint8_t> data;
      ByteWriter w(data);
      w.U32(0);
      w.U8(s.visibility);
      w.U8(s.kind);
      const std::vector<uint8_t> name = ShortString(Utf8ToUtf16(s.name));
      w.Bytes(name);
      sheet_pos_fields_.push_back(out_.size() + 4);
      PutRecord(out_, rec::kBoundSheet, data);
    }
    sheets_written_ = true;
  }

  void WriteSst() {
    SstWriter(out_).Write(sst_, std::max<uint32_t>(total_, static_cast<uint32_t>(sst_.size())));
    sst_written_ = true;
  }

  void WriteGlobals() {
    size_t last_xf = book_.globals.size();
    for (size_t i = 0; i < book_.globals.size(); ++i)
      if (book_.globals[i].id == rec::kXf) last_xf = i;
    bool skipping_sst = false;
    for (size_t i = 0; i < book_.globals.size(); ++i) {
      const RawRecord& r = book_.globals[i];
      if (skipping_sst && r.id == rec::kContinue) continue;
      skipping_sst = false;
      switch (r.id) {
        case rec::kBoundSheet:
          if (!sheets_written_) WriteBoundSheets();
          continue;
        case rec::kSst:
          if (!sheets_written_) WriteBoundSheets();
          WriteSst();
          skipping_sst = true;
          continue;
        case rec::kExtSst:
          continue;
        case rec::kCountry: case rec::kSupBook: case rec::kExternSheet: case rec::kName: case rec::kMsoDrawingGroup:
          if (!sheets_written_) WriteBoundSheets();
          break;
        case rec::kEof:
          if (!sheets_written_) WriteBoundSheets();
          if (!sst_written_) WriteSst();
          break;
        default:
          break;
      }
      PutRecord(out_, r.id, r.data);
      if (i == last_xf)
        for (const RawRecord& x : book_.added_xfs) PutRecord(out_, x.id, x.data);
    }
    if (!sheets_written_ || !sst_written_) throw StorageError("damaged workbook: the globals have no EOF record");
  }

  // An unchanged sheet: its bytes as read, with the stream offsets in its INDEX record moved along.
  void CopySheet(const Sheet& s) {
    const size_t start = out_.size();
    out_.insert(out_.end(), Raw(s.offset), Raw(s.offset) + s.length);
    const int64_t delta = static_cast<int64_t>(start) - static_cast<int64_t>(s.offset);
    size_t pos = start;
    int depth = 0;
    while (pos + 4 <= out_.size()) {
      const uint16_t id = Get16(&out_[pos]);
      const uint16_t len = Get16(&out_[pos + 2]);
      if (id == rec::kBof) ++depth;
      if (id == rec::kEof) --depth;
      if (id == rec::kIndex && depth == 1 && len >= 16) {
        for (size_t k = 12; k + 4 <= len; k += 4) {
          uint8_t* p = &out_[pos + 4 + k];
          const uint32_t v = Get32(p);
          if (v != 0) Put32(p, static_cast<uint32_t>(static_cast<int64_t>(v) + delta));
        }
      }
      pos += 4 + len;
    }
  }

  void WriteCell(const Cell& c, size_t row) {
    if (KeepsRaw(c, row)) {
      const size_t at = out_.size();
      out_.insert(out_.end(), Raw(c.raw_offset), Raw(c.raw_offset) + c.raw_length);
      Put16(&out_[at + 4], static_cast<uint16_t>(row));
      Put16(&out_[at + 6], c.col);
      return;
    }
    std::vector<uint8_t> d;
    ByteWriter w(d);
    w.U16(static_cast<uint16_t>(row));
    w.U16(c.col);
    w.U16(c.xf);
    switch (c.kind) {
      case Cell::Kind::kBlank:
        PutRecord(out_, rec::kBlank, d);
        break;
      case Cell::Kind::kNumber: {
        uint32_t rk;
        if (FitsRk(c.number, rk)) {
          w.U32(rk);
          PutRecord(out_, rec::kRk, d);
        } else {
          w.F64(c.number);
          PutRecord(out_, rec::kNumber, d);
        }
        break;
      }
      case Cell::Kind::kText:
        w.U32(SstIndex(c.text));
        PutRecord(out_, rec::kLabelSst, d);
        break;
      case Cell::Kind::kBoolean:
      case Cell::Kind::kError:
        w.U8(c.code);
        w.U8(c.kind == Cell::Kind::kError ? 1 : 0);
        PutRecord(out_, rec::kBoolErr, d);
        break;
    }
  }

  void WriteRow(const SheetRow& row, size_t index) {
    std::vector<uint8_t> d;
    if (row.raw_row_offset != 0 && book_.stream) {
      const uint16_t len = Get16(Raw(row.raw_row_offset) + 2);
      d.assign(Raw(row.raw_row_offset) + 4, Raw(row.raw_row_offset) + 4 + len);
    }
    if (d.size() < 16) {
      d.assign(16, 0);
      Put16(&d[6], 0x00FF);
      Put32(&d[12], 0x000F0100);
    }
    Put16(&d[0], static_cast<uint16_t>(index));
    Put16(&d[2], row.cells.empty() ? 0 : row.cells.front().col);
    Put16(&d[4], row.cells.empty() ? 0 : static_cast<uint16_t>(row.cells.back().col + 1));
    PutRecord(out_, rec::kRow, d);
  }

  void WriteSheet(const Sheet& s) {
    for (const RawRecord& r : s.head) PutRecord(out_, r.id, r.data);
    // DIMENSIONS: the used range.
    size_t first_row = s.rows.size(), last_row = 0;
    uint16_t first_col = 0xFFFF, last_col = 0;
    for (size_t r = 0; r < s.rows.size(); ++r) {
      if (s.rows[r].cells.empty()) continue;
      first_row = std::min(first_row, r);
      last_row = r + 1;
      first_col = std::min(first_col, s.rows[r].cells.front().col);
      last_col = std::max<uint16_t>(last_col, static_cast<uint16_t>(s.rows[r].cells.back().col + 1));
    }
    if (first_row > last_row) first_row = last_row = 0, first_col = last_col = 0;
    {
      std::vector<uint8_t> d;
      ByteWriter w(d);
      w.U32(static_cast<uint32_t>(first_row));
      w.U32(static_cast<uint32_t>(last_row));
      w.U16(first_col);
      w.U16(last_col);
      w.U16(0);
      PutRecord(out_, rec::kDimensions, d);
    }
    // Blocks of 32 rows: their ROW records, then their cells.
    for (size_t block = 0; block < s.rows.size(); block += 32) {
      const size_t end = std::min(s.rows.size(), block + 32);
      for (size_t r = block; r < end; ++r)
        if (!s.rows[r].cells.empty() || s.rows[r].raw_row_offset != 0) WriteRow(s.rows[r], r);
      for (size_t r = block; r < end; ++r)
        for (const Cell& c : s.rows[r].cells) WriteCell(c, r);
    }
    for (const RawRecord& r : s.tail) PutRecord(out_, r.id, r.data);
  }

  const Workbook& book_;
  std::vector<uint8_t> out_;
  std::vector<const SharedString*> sst_;
  std::unordered_map<uint32_t, uint32_t> remap_;
  uint32_t total_ = 0;
  std::vector<size_t> sheet_pos_fields_;
  bool sheets_written_ = false, sst_written_ = false;
};

}  // namespace

std::vector<uint8_t> SerializeWorkbook(const Workbook& book) { return Writer(book).Run(); }

Workbook NewWorkbook() {
  Workbook book;
  book.version = BiffVersion::kBiff8;
  book.code_page = 1200;
  auto& g = book.globals;
  g.push_back(Record(rec::kBof, {0x00, 0x06, 0x05, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 0x06, 0, 0, 0}));
  g.push_back(Record(rec::kCodePage, {0xB0, 0x04}));
  g.push_back(Record(rec::kWindow1, {0, 0, 0, 0, 0xE0, 0x2E, 0x40, 0x1F, 0x38, 0, 0, 0, 0, 0, 1, 0, 0x58, 0x02}));
  g.push_back(Record(rec::kDateMode, {0, 0}));
  for (int i = 0; i < 4; ++i) {
    // Arial, 10 points.
    g.push_back(Record(rec::kFont, {0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01, 0, 0, 0, 0, 0, 0, 5, 0, 'A', 'r', 'i', 'a', 'l'}));
  }
  // Fifteen style XFs (the first is Normal), then the default cell XF.
  for (int i = 0; i < 15; ++i) {
    const uint8_t used = i == 0 ? 0x00 : 0xF4;
    g.push_back(Record(rec::kXf, {0, 0, 0, 0, 0xF5, 0xFF, 0x20, 0, 0, used, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20}));
  }
  g.push_back(Record(rec::kXf, {0, 0, 0, 0, 0x01, 0x00, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0x20}));
  g.push_back(Record(rec::kStyle, {0x00, 0x80, 0x00, 0xFF}));
  g.push_back(Record(rec::kEof, {}));
  book.xf_formats.assign(16, 0);
  book.xf_is_date.assign(16, false);
  return book;
}

Sheet NewWorksheet(const Workbook& book, const std::string& name) {
  Sheet s;
  s.name = name;
  s.kind = 0;
  s.is_new = true;
  s.modified = true;
  s.head.push_back(Record(rec::kBof, {0x00, 0x06, 0x10, 0x00, 0xBB, 0x0D, 0xCC, 0x07, 0, 0, 0, 0, 0x06, 0, 0, 0}));
  s.head.push_back(Record(0x0055, {8, 0}));  // DEFCOLWIDTH
  const bool first = std::none_of(book.sheets.begin(), book.sheets.end(), [](const Sheet& o) { return o.IsWorksheet(); });
  const uint8_t selected = first ? 0x06 : 0x00;
  s.tail.push_back(Record(rec::kWindow2, {0xB6, selected, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  s.tail.push_back(Record(rec::kEof, {}));
  return s;
}

}  // namespace vantor::formats::xls
