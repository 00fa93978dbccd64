#pragma once
// Table-driven conversion between a table's 8-bit code page and UTF-8. The tables are built once per code
// page from ICU, so decoding a field is a plain loop without converter calls (scans decode millions of fields).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantor::formats::dbf {

class TextCodec {
 public:
  // The shared codec of a code page (65001 is UTF-8); StorageError when the code page cannot be converted.
  static std::shared_ptr<const TextCodec> ForCodePage(int code_page);

  int code_page() const { return code_page_; }
  // Appends the UTF-8 form of `bytes` to `out`; bytes without a mapping become U+FFFD.
  void Decode(std::string_view bytes, std::string& out) const;
  std::string Decode(std::string_view bytes) const {
    std::string out;
    Decode(bytes, out);
    return out;
  }
  // Appends the code-page form of `utf8` to `out`; false when a character has no mapping (out then partial).
  bool Encode(std::string_view utf8, std::string& out) const;

 private:
  explicit TextCodec(int code_page) : code_page_(code_page) {}
  void Build();

  int code_page_;
  bool utf8_ = false;
  bool ascii_identity_ = false;  // bytes below 0x80 are ASCII (true of every code page a table uses)
  // Per byte: UTF-8 of a single-byte character (up to 3 bytes, length in the top byte), or kLeadByte.
  uint32_t single_[256] = {};
  // Double-byte characters, indexed (lead << 8 | trail); same packing as single_, 0 when invalid.
  std::vector<uint32_t> pairs_;
  // BMP code point -> code-page bytes (length in the top byte), 0 when unmapped.
  std::vector<uint32_t> reverse_;
};

}  // namespace vantor::formats::dbf
