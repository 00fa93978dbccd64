#pragma once
// Little-endian reads and writes over byte buffers. Readers check every access against the buffer's end,
// so a damaged length field becomes an error instead of a read past the end.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "formats/storage.h"

namespace vantor::formats::xls {

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }
inline double GetDouble(const uint8_t* p) {
  uint64_t bits = Get64(p);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Appends little-endian values to a growing buffer.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
  }
  void F64(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    U64(bits);
  }
  void Bytes(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  void Zeros(size_t n) { out_.insert(out_.end(), n, 0); }
  size_t Size() const { return out_.size(); }

 private:
  std::vector<uint8_t>& out_;
};

// Reads little-endian values from a span; any read past the end raises StorageError naming `what`.
class ByteReader {
 public:
  ByteReader(std::span<const uint8_t> data, const char* what) : data_(data), what_(what) {}
  size_t Pos() const { return pos_; }
  size_t Left() const { return data_.size() - pos_; }
  void Need(size_t n) const {
    if (n > Left()) throw StorageError(std::string("damaged workbook: ") + what_ + " is truncated");
  }
  uint8_t U8() {
    Need(1);
    return data_[pos_++];
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = Get16(&data_[pos_]);
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    Need(4);
    uint32_t v = Get32(&data_[pos_]);
    pos_ += 4;
    return v;
  }
  double F64() {
    Need(8);
    double v = GetDouble(&data_[pos_]);
    pos_ += 8;
    return v;
  }
  std::span<const uint8_t> Take(size_t n) {
    Need(n);
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  void Skip(size_t n) {
    Need(n);
    pos_ += n;
  }

 private:
  std::span<const uint8_t> data_;
  const char* what_;
  size_t pos_ = 0;
};

}  // namespace vantor::formats::xls
