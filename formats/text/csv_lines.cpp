#include "formats/text/csv_lines.h"

#include "formats/storage.h"

namespace vantor::formats::text {

bool ReadCsvRecord(std::istream& in, std::vector<CsvField>& fields) {
  fields.clear();
  int c = in.get();
  if (c == EOF) return false;
  CsvField field;
  bool in_quotes = false;
  bool at_start = true;
  while (true) {
    if (c == EOF) {
      if (in_quotes) throw StorageError("a quoted text field is never closed");
      fields.push_back(std::move(field));
      return true;
    }
    const char ch = static_cast<char>(c);
    if (in_quotes) {
      if (ch == '"') {
        if (in.peek() == '"') {
          field.text += '"';
          in.get();
        } else {
          in_quotes = false;
        }
      } else {
        field.text += ch;
      }
    } else if (ch == '"' && at_start) {
      in_quotes = true;
      field.quoted = true;
      at_start = false;
    } else if (ch == ',') {
      fields.push_back(std::move(field));
      field = CsvField{};
      at_start = true;
    } else if (ch == '\n' || ch == '\r') {
      if (ch == '\r' && in.peek() == '\n') in.get();
      fields.push_back(std::move(field));
      return true;
    } else {
      field.text += ch;
      at_start = false;
    }
    c = in.get();
  }
}

std::string QuoteCsv(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace vantor::formats::text
