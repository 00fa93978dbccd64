#include "formats/mdb/libmdb_handle.h"

#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

constexpr uint16_t kOffsetMask = 0x1FFF;

uint16_t U16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

}  // namespace

std::mutex& LibmdbMutex() {
  static std::mutex mutex;
  return mutex;
}

Handle OpenHandle(const std::string& path, const AccessHeader& header, int jet3_code_page) {
  Handle mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
  if (!mdb) throw StorageError("cannot open " + path + " as an Access database");
  const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
  if (jet3 != (header.version == JetVersion::Jet3) || static_cast<uint32_t>(mdb->fmt->pg_size) != header.page_size)
    throw StorageError(path + " changed while it was being opened");
  if (jet3) {
    // libmdb decodes Jet 3 names with its own default; use the code page this program reads Jet 3 text in.
    const std::string name = "CP" + std::to_string(jet3_code_page);
    iconv_t in = iconv_open("UTF-8", name.c_str());
    iconv_t out = iconv_open(name.c_str(), "UTF-8");
    if (in != reinterpret_cast<iconv_t>(-1) && out != reinterpret_cast<iconv_t>(-1)) {
      mdb_iconv_close(mdb.get());
      mdb->iconv_in = in;
      mdb->iconv_out = out;
    } else {
      if (in != reinterpret_cast<iconv_t>(-1)) iconv_close(in);
      if (out != reinterpret_cast<iconv_t>(-1)) iconv_close(out);
    }
  }
  return mdb;
}

std::span<const uint8_t> PageReader::Read(uint32_t page) {
  if (page == 0 || page >= header_.page_count)
    throw StorageError("damaged Access file: page " + std::to_string(page) + " is outside the file");
  if (mdb_read_alt_pg(mdb_, page) != static_cast<ssize_t>(header_.page_size))
    throw StorageError("cannot read page " + std::to_string(page) + " of the Access file");
  buffer_.assign(mdb_->alt_pg_buf, mdb_->alt_pg_buf + header_.page_size);
  return buffer_;
}

bool LocateRow(std::span<const uint8_t> page, uint16_t row_count_offset, unsigned row, RowSpan& out) {
  if (static_cast<size_t>(row_count_offset) + 2 > page.size()) return false;
  const unsigned count = U16(page, row_count_offset);
  if (row >= count || row_count_offset + 2 + static_cast<size_t>(count) * 2 > page.size()) return false;
  const uint16_t entry = U16(page, row_count_offset + 2 + row * 2);
  const uint32_t start = entry & kOffsetMask;
  const uint32_t end = row == 0 ? page.size() : (U16(page, row_count_offset + row * 2) & kOffsetMask);
  if (start >= end || end > page.size()) return false;
  out.start = start;
  out.length = end - start;
  out.deleted = entry & 0x4000;
  out.lookup = entry & 0x8000;
  return true;
}

}  // namespace vantor::formats::mdb
