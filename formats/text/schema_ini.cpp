#include "formats/text/schema_ini.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dataset/text.h"
#include "dataset/value.h"

namespace vantor::formats::text {

namespace {

std::string TypeText(const ColumnInfo& c) {
  switch (c.ado_type) {
    case adBoolean: return "Bit";
    case adTinyInt: case adUnsignedTinyInt: return "Byte";
    case adSmallInt: return "Short";
    case adInteger: return "Long";
    case adBigInt: return "Decimal Precision 19 Scale 0";
    case adSingle: return "Single";
    case adDouble: return "Double";
    case adCurrency: return "Currency";
    case adNumeric:
      return "Decimal Precision " + std::to_string(c.precision > 0 ? c.precision : 28) + " Scale " +
             std::to_string(c.numeric_scale);
    case adDate: case adDBTimeStamp: return "DateTime";
    case adLongVarChar: case adLongVarWChar: return "LongChar";
    case adLongVarBinary: return "LongChar";
    default: return "Char Width " + std::to_string(c.defined_size > 0 ? c.defined_size : 255);
  }
}

std::string QuotedName(const std::string& name) {
  if (name.find_first_of(" \t\"=") == std::string::npos && !name.empty()) return name;
  return "\"" + name + "\"";
}

int NumberAfter(const std::vector<std::string>& words, const char* key, int fallback) {
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    int64_t v = 0;
    if (SameTextAscii(words[i], key) && TryParseInt64(words[i + 1], v) && v >= 0 && v < 1 << 20)
      return static_cast<int>(v);
  }
  return fallback;
}

}  // namespace

std::vector<SchemaSection> ReadSchemaIni(const std::string& path) {
  std::vector<SchemaSection> sections;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string trimmed(TrimBlanks(line));
    if (trimmed.empty() || trimmed[0] == ';') continue;
    if (trimmed.front() == '[' && trimmed.back() == ']') {
      sections.push_back({trimmed.substr(1, trimmed.size() - 2), {}});
    } else if (!sections.empty()) {
      sections.back().lines.push_back(trimmed);
    }
  }
  return sections;
}

void WriteSchemaIni(const std::string& path, const std::vector<SchemaSection>& sections) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    for (const SchemaSection& s : sections) {
      out << '[' << s.file << "]\r\n";
      for (const std::string& l : s.lines) out << l << "\r\n";
    }
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      throw StorageError("cannot write " + path);
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::remove(temp.c_str());
    throw StorageError("cannot write " + path + ": " + ec.message());
  }
}

SchemaSection SectionForColumns(const std::string& file, const std::vector<ColumnInfo>& columns) {
  SchemaSection s{file, {"ColNameHeader=True", "CharacterSet=65001", "Format=CSVDelimited",
                         "DateTimeFormat=yyyy-mm-dd hh:nn:ss"}};
  for (size_t i = 0; i < columns.size(); ++i)
    s.lines.push_back("Col" + std::to_string(i + 1) + "=" + QuotedName(columns[i].name) + " " + TypeText(columns[i]));
  return s;
}

std::vector<ColumnInfo> ColumnsOfSection(const SchemaSection& section) {
  std::vector<std::pair<int, ColumnInfo>> numbered;
  for (const std::string& line : section.lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || line.size() < 4 || !SameTextAscii(line.substr(0, 3), "COL")) continue;
    int64_t number = 0;
    if (!TryParseInt64(TrimBlanks(line.substr(3, eq - 3)), number) || number < 1 || number > 4096) continue;
    std::string rest(TrimBlanks(line.substr(eq + 1)));
    ColumnInfo c;
    if (!rest.empty() && rest[0] == '"') {
      const size_t close = rest.find('"', 1);
      if (close == std::string::npos) throw StorageError("schema.ini: unclosed quote in '" + line + "'");
      c.name = rest.substr(1, close - 1);
      rest = rest.substr(close + 1);
    } else {
      const size_t space = rest.find(' ');
      c.name = rest.substr(0, space);
      rest = space == std::string::npos ? "" : rest.substr(space + 1);
    }
    std::vector<std::string> words;
    std::istringstream ws(rest);
    for (std::string w; ws >> w;) words.push_back(w);
    const std::string type = words.empty() ? "CHAR" : AsciiUpper(words[0]);
    if (type == "BIT") c.ado_type = adBoolean;
    else if (type == "BYTE") c.ado_type = adUnsignedTinyInt;
    else if (type == "SHORT") c.ado_type = adSmallInt;
    else if (type == "LONG" || type == "INTEGER") c.ado_type = adInteger;
    else if (type == "SINGLE") c.ado_type = adSingle;
    else if (type == "DOUBLE" || type == "FLOAT") c.ado_type = adDouble;
    else if (type == "CURRENCY") c.ado_type = adCurrency;
    else if (type == "DECIMAL") {
      c.ado_type = adNumeric;
      c.precision = NumberAfter(words, "PRECISION", 18);
      c.numeric_scale = NumberAfter(words, "SCALE", 0);
      if (c.precision == 19 && c.numeric_scale == 0) c.ado_type = adBigInt, c.precision = 0;
    } else if (type == "DATETIME" || type == "DATE") c.ado_type = adDate;
    else if (type == "LONGCHAR" || type == "MEMO") c.ado_type = adLongVarWChar;
    else {
      c.ado_type = adVarWChar;
      c.defined_size = NumberAfter(words, "WIDTH", 255);
    }
    numbered.emplace_back(static_cast<int>(number), c);
  }
  std::sort(numbered.begin(), numbered.end(), [](auto& a, auto& b) { return a.first < b.first; });
  std::vector<ColumnInfo> out;
  for (auto& [n, c] : numbered) out.push_back(c);
  return out;
}

}  // namespace vantor::formats::text
