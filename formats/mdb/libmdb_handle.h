#pragma once
// libmdb behind a guard. Parts of libmdb keep process-wide state, so every call into it holds one lock;
// handles close themselves; pages are read only by numbers inside the file.

#include "formats/mdb/libmdb_api.h"

#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "formats/mdb/access_header.h"

namespace vantor::formats::mdb {

std::mutex& LibmdbMutex();

struct HandleCloser {
  void operator()(MdbHandle* handle) const { mdb_close(handle); }
};
using Handle = std::unique_ptr<MdbHandle, HandleCloser>;

// Opens the file through libmdb once its header has been checked. Jet 3 names are decoded in
// `jet3_code_page`. The caller holds LibmdbMutex().
Handle OpenHandle(const std::string& path, const AccessHeader& header, int jet3_code_page);

// Whole pages of a file, by number. The span stays valid until the next Read.
class PageSource {
 public:
  virtual ~PageSource() = default;
  // StorageError for a page outside the file.
  virtual std::span<const uint8_t> Read(uint32_t page) = 0;
  virtual const AccessHeader& header() const = 0;
  // Where a data page keeps its row count (the row offsets follow it).
  uint16_t row_count_offset() const { return header().version == JetVersion::Jet3 ? 8 : 12; }
};

// Pages of a file open in libmdb, read without disturbing the page libmdb is working on.
class PageReader : public PageSource {
 public:
  PageReader(MdbHandle* mdb, const AccessHeader& header) : mdb_(mdb), header_(header) {}
  std::span<const uint8_t> Read(uint32_t page) override;
  const AccessHeader& header() const override { return header_; }

 private:
  MdbHandle* mdb_;
  AccessHeader header_;
  std::vector<uint8_t> buffer_;
};

// Where one row of a page lies: [start, start + length), and the two flag bits of its offset entry.
struct RowSpan {
  uint32_t start = 0;
  uint32_t length = 0;
  bool deleted = false;   // 0x4000: skipped by every reader
  bool lookup = false;    // 0x8000
};

// Locates row `row` of a data page; false when the page has no such row or its offsets are inconsistent.
bool LocateRow(std::span<const uint8_t> page, uint16_t row_count_offset, unsigned row, RowSpan& out);

}  // namespace vantor::formats::mdb
