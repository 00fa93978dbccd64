#include "formats/dbf/text_codec.h"

#include <unicode/ucnv.h>

#include <map>
#include <mutex>

#include "formats/code_page.h"
#include "formats/storage.h"

namespace vantor::formats::dbf {
namespace {

constexpr uint32_t kLeadByte = 0xFF000000u;
constexpr uint32_t kReplacement = 0x03BDBFEFu;  // U+FFFD as packed UTF-8

uint32_t PackUtf8(char16_t c) {
  if (c < 0x80) return 0x01000000u | c;
  if (c < 0x800) return 0x02000000u | (0xC0u | (c >> 6)) | ((0x80u | (c & 0x3F)) << 8);
  return 0x03000000u | (0xE0u | (c >> 12)) | ((0x80u | ((c >> 6) & 0x3F)) << 8) | ((0x80u | (c & 0x3F)) << 16);
}

// Reads one UTF-8 sequence at `i`; answers the code point (U+FFFD for a bad sequence) and moves `i` past it.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) { ++i; return b0; }
  int len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
  if (len == 0 || b0 > 0xF4 || i + len > s.size()) { ++i; return 0xFFFD; }
  char32_t cp = b0 & (0x3F >> (len - 1));
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) { ++i; return 0xFFFD; }
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return 0xFFFD; }
  i += len;
  return cp;
}

void AppendCodePoint(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::shared_ptr<const TextCodec> TextCodec::ForCodePage(int code_page) {
  static std::mutex mutex;
  static std::map<int, std::shared_ptr<const TextCodec>> codecs;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = codecs.find(code_page);
  if (it != codecs.end()) return it->second;
  std::shared_ptr<TextCodec> codec(new TextCodec(code_page));
  codec->Build();
  codecs.emplace(code_page, codec);
  return codec;
}

void TextCodec::Build() {
  if (code_page_ == 65001) {
    utf8_ = true;
    return;
  }
  UErrorCode status = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open(IcuConverterName(code_page_).c_str(), &status);
  if (U_FAILURE(status) || cnv == nullptr)
    throw StorageError("code page " + std::to_string(code_page_) + " is not supported");
  status = U_ZERO_ERROR;
  ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);

  auto convert = [&](const char* src, int32_t len, char16_t& out) -> UErrorCode {
    UChar dest[4];
    UErrorCode st = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(cnv, dest, 4, src, len, &st);
    if (U_SUCCESS(st) && n != 1) st = U_INVALID_CHAR_FOUND;
    if (U_SUCCESS(st)) out = dest[0];
    return st;
  };

  bool any_lead = false;
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    char16_t c = 0;
    UErrorCode st = convert(&byte, 1, c);
    if (U_SUCCESS(st) && !(c >= 0xD800 && c <= 0xDFFF)) {
      single_[b] = PackUtf8(c);
    } else if (st == U_TRUNCATED_CHAR_FOUND) {
      single_[b] = kLeadByte;
      any_lead = true;
    } else {
      single_[b] = kReplacement;
    }
  }
  if (any_lead) {
    pairs_.assign(65536, 0);
    for (int lead = 0; lead < 256; ++lead) {
      if (single_[lead] != kLeadByte) continue;
      for (int trail = 0; trail < 256; ++trail) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        char16_t c = 0;
        if (U_SUCCESS(convert(bytes, 2, c)) && c != 0xFFFD && !(c >= 0xD800 && c <= 0xDFFF))
          pairs_[(lead << 8) | trail] = PackUtf8(c);
      }
    }
  }
  ucnv_close(cnv);
  ascii_identity_ = true;
  for (int b = 0; b < 0x80; ++b) ascii_identity_ = ascii_identity_ && single_[b] == (0x01000000u | static_cast<uint32_t>(b));

  // Reverse map: the first byte sequence that decodes to a character is the one it encodes to, so what we
  // write always reads back as the same character.
  reverse_.assign(65536, 0);
  auto code_point_of = [](uint32_t packed) -> char16_t {
    const uint32_t len = packed >> 24;
    const uint32_t b0 = packed & 0xFF, b1 = (packed >> 8) & 0xFF, b2 = (packed >> 16) & 0xFF;
    if (len == 1) return static_cast<char16_t>(b0);
    if (len == 2) return static_cast<char16_t>(((b0 & 0x1F) << 6) | (b1 & 0x3F));
    return static_cast<char16_t>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
  };
  for (int b = 0; b < 256; ++b) {
    if (single_[b] == kLeadByte || single_[b] == kReplacement) continue;
    uint32_t& slot = reverse_[code_point_of(single_[b])];
    if (slot == 0) slot = 0x01000000u | static_cast<uint32_t>(b);
  }
  for (size_t i = 0; i < pairs_.size(); ++i) {
    if (pairs_[i] == 0) continue;
    uint32_t& slot = reverse_[code_point_of(pairs_[i])];
    if (slot == 0) slot = 0x02000000u | static_cast<uint32_t>(i);
  }
}

void TextCodec::Decode(std::string_view bytes, std::string& out) const {
  const size_t n = bytes.size();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (utf8_) {
    size_t i = 0;
    while (i < n) {
      if (p[i] < 0x80) {
        out.push_back(static_cast<char>(p[i++]));
      } else {
        AppendCodePoint(NextCodePoint(bytes, i), out);
      }
    }
    return;
  }
  // Every byte gives at most three bytes of UTF-8: write into room made up front, then cut to size.
  const size_t start = out.size();
  out.resize(start + n * 3);
  char* dst = out.data() + start;
  auto put = [&dst](uint32_t packed) {
    dst[0] = static_cast<char>(packed & 0xFF);
    dst[1] = static_cast<char>((packed >> 8) & 0xFF);
    dst[2] = static_cast<char>((packed >> 16) & 0xFF);
    dst += packed >> 24;
  };
  for (size_t i = 0; i < n;) {
    const unsigned char b = p[i];
    if (b < 0x80 && ascii_identity_) {
      *dst++ = static_cast<char>(b);
      ++i;
      continue;
    }
    const uint32_t s = single_[b];
    if (s != kLeadByte) {
      put(s);
      ++i;
      continue;
    }
    if (i + 1 < n) {
      const uint32_t pair = pairs_[(static_cast<uint32_t>(b) << 8) | p[i + 1]];
      if (pair != 0) {
        put(pair);
        i += 2;
        continue;
      }
    }
    put(kReplacement);
    ++i;
  }
  out.resize(static_cast<size_t>(dst - out.data()));
}

bool TextCodec::Encode(std::string_view utf8, std::string& out) const {
  if (utf8_) {
    for (size_t i = 0; i < utf8.size();) {
      const size_t at = i;
      if (NextCodePoint(utf8, i) == 0xFFFD && utf8.compare(at, 3, "\xEF\xBF\xBD") != 0) return false;
    }
    out.append(utf8);
    return true;
  }
  const size_t n = utf8.size();
  for (size_t i = 0; i < n;) {
    if (ascii_identity_) {  // runs of ASCII go across in one piece
      size_t run = i;
      while (run < n && static_cast<unsigned char>(utf8[run]) < 0x80 && utf8[run] != '\0') ++run;
      if (run > i) {
        out.append(utf8.data() + i, run - i);
        i = run;
        continue;
      }
    }
    const char32_t cp = NextCodePoint(utf8, i);
    if (cp > 0xFFFF) return false;
    const uint32_t r = reverse_[cp];
    if (r == 0) {
      if (cp != 0) return false;
      out.push_back('\0');
      continue;
    }
    if ((r >> 24) == 1) {
      out.push_back(static_cast<char>(r & 0xFF));
    } else {
      const char pair[2] = {static_cast<char>((r >> 8) & 0xFF), static_cast<char>(r & 0xFF)};
      out.append(pair, 2);
    }
  }
  return true;
}

}  // namespace vantor::formats::dbf
