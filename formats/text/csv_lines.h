#pragma once
// Comma-separated records: quoting on the way out, splitting (quoted fields may hold commas, doubled quotes
// and line breaks) on the way in.

#include <istream>
#include <string>
#include <vector>

namespace vantor::formats::text {

struct CsvField {
  std::string text;
  bool quoted = false;
};

// Reads one record; false at the end of the stream. StorageError for a quote that is never closed.
bool ReadCsvRecord(std::istream& in, std::vector<CsvField>& fields);

std::string QuoteCsv(const std::string& text);

}  // namespace vantor::formats::text
