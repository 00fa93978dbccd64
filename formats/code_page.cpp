#include "formats/code_page.h"

#include <unicode/ucnv.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace vantor::formats {
namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter Open(int code_page, bool strict) {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(IcuConverterName(code_page).c_str(), &status));
  if (U_FAILURE(status)) return nullptr;
  if (strict) {
    status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(c.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  return c;
}

}  // namespace

std::string IcuConverterName(int code_page) {
  switch (code_page) {
    case 936: return "windows-936";
    case 950: return "windows-950";
    case 932: return "windows-31j";
    case 949: return "windows-949";
    case 65001: return "UTF-8";
    default:
      // DOS code pages (437, 737, 850, 857, ...) are IBM tables; the rest are Windows ones (874, 1250-1258).
      return (code_page < 1000 && code_page != 874 ? "ibm-" : "windows-") + std::to_string(code_page);
  }
}

bool IsCodePageSupported(int code_page) { return Open(code_page, false) != nullptr; }

std::string DecodeCodePage(int code_page, std::string_view bytes) {
  if (bytes.empty()) return {};
  if (!IsCodePageSupported(code_page)) throw std::runtime_error("code page " + std::to_string(code_page) + " is not supported");
  std::string out(bytes.size() * 3 + 4, '\0');
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_convert("UTF-8", IcuConverterName(code_page).c_str(), out.data(), static_cast<int32_t>(out.size()),
                             bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(static_cast<size_t>(n) + 1);
      continue;
    }
    if (U_FAILURE(status)) throw std::runtime_error("cannot decode text in code page " + std::to_string(code_page));
    out.resize(static_cast<size_t>(n));
    return out;
  }
}

bool EncodeCodePage(int code_page, std::string_view utf8, std::string& out) {
  out.clear();
  if (utf8.empty()) return true;
  Converter target = Open(code_page, true);
  Converter source = Open(65001, false);
  if (!target || !source) return false;
  out.resize(utf8.size() * 2 + 8);
  char* dst = out.data();
  const char* src = utf8.data();
  UErrorCode status = U_ZERO_ERROR;
  ucnv_convertEx(target.get(), source.get(), &dst, out.data() + out.size(), &src, utf8.data() + utf8.size(),
                 nullptr, nullptr, nullptr, nullptr, true, true, &status);
  if (U_FAILURE(status)) return false;
  out.resize(static_cast<size_t>(dst - out.data()));
  return true;
}

int UserLegacyCodePage() {
  const char* vars[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::string locale;
  for (const char* v : vars) {
    const char* value = std::getenv(v);
    if (value && *value) {
      locale = value;
      break;
    }
  }
  auto starts = [&](const char* prefix) { return locale.rfind(prefix, 0) == 0; };
  if (starts("zh_TW") || starts("zh_HK") || starts("zh_MO")) return 950;
  if (starts("zh")) return 936;
  if (starts("ja")) return 932;
  if (starts("ko")) return 949;
  if (starts("ru") || starts("uk") || starts("bg") || starts("be") || starts("sr")) return 1251;
  if (starts("pl") || starts("cs") || starts("sk") || starts("hu") || starts("sl") || starts("hr") ||
      starts("ro"))
    return 1250;
  if (starts("el")) return 1253;
  if (starts("tr")) return 1254;
  return 1252;
}

}  // namespace vantor::formats
