#include "cli/csv.h"

namespace vantor::cli {

std::string CsvQuote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string CsvField(const Value& value) {
  using K = Value::Kind;
  switch (value.kind()) {
    case K::Null: return {};
    case K::Boolean: return value.get<bool>() ? "1" : "0";
    case K::Int16:
    case K::Int32:
    case K::Int64:
    case K::Double:
    case K::Currency:
    case K::Bcd: return value.AsString();
    case K::DateTime: return value.get<DateTime>().ToIsoSeconds();
    case K::Bytes: {
      static const char* hex = "0123456789ABCDEF";
      std::string out = "0x";
      for (uint8_t b : value.get<Bytes>()) {
        out += hex[b >> 4];
        out += hex[b & 15];
      }
      return out;
    }
    case K::Guid: return CsvQuote(value.get<Guid>().ToString());
    case K::String:
    case K::WideString: return CsvQuote(value.AsString());
  }
  return {};
}

}  // namespace vantor::cli
