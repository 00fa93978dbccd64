#include "reader_tools.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "dataset/text.h"
#include "tests/support/testdata.h"

namespace vantor::formats::mdb::testing {
namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(line);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!line.empty() && line.back() == separator) parts.emplace_back();
  return parts;
}

int AdoTypeOfReaderType(const std::string& type) {
  if (type == "text") return adVarWChar;
  if (type == "memo") return adLongVarWChar;
  if (type == "byte") return adUnsignedTinyInt;
  if (type == "integer") return adSmallInt;
  if (type == "long") return adInteger;
  if (type == "bigint") return adBigInt;
  if (type == "float") return adSingle;
  if (type == "double") return adDouble;
  if (type == "currency") return adCurrency;
  if (type == "datetime") return adDate;
  if (type == "boolean") return adBoolean;
  if (type == "repid") return adGUID;
  if (type == "numeric") return adNumeric;
  if (type == "ole") return adLongVarBinary;
  if (type == "binary") return adVarBinary;
  return adEmpty;
}

}  // namespace

std::string ShellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + ShellQuote(name) + " >/dev/null 2>&1").c_str()) == 0;
}

bool HaveMdbReader() {
  return HaveProgram("node") && std::filesystem::exists(::vantor::testing::ReadersDir() / "node_modules/mdb-reader");
}

std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return out;
  }
  std::array<char, 65536> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  const int status = pclose(pipe);
  EXPECT_EQ(status, 0) << command;
  return out;
}

std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false, was_quoted = false;
  auto end_field = [&] {
    row.push_back(!was_quoted && field == "NUL" ? kNull : field);
    field.clear();
    was_quoted = false;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = was_quoted = true;
    } else if (c == ',') {
      end_field();
    } else if (c == '\n') {
      end_field();
      rows.push_back(std::move(row));
      row.clear();
    } else if (c != '\r') {
      field += c;
    }
  }
  if (!field.empty() || !row.empty()) {
    end_field();
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string Canonical(const Value& value) {
  using K = Value::Kind;
  switch (value.kind()) {
    case K::Null: return kNull;
    case K::Boolean: return value.get<bool>() ? "1" : "0";
    case K::DateTime: return value.get<DateTime>().ToIsoSeconds();
    case K::Guid: return value.get<Guid>().ToString();
    case K::Bytes: {
      static const char* digits = "0123456789ABCDEF";
      std::string out;
      for (uint8_t b : value.get<Bytes>()) {
        out += digits[b >> 4];
        out += digits[b & 15];
      }
      return out;
    }
    default: return value.AsString();
  }
}

std::string CanonicalText(int ado_type, const std::string& text) {
  if (text == kNull) return kNull;
  switch (ado_type) {
    case adCurrency:
    case adNumeric: return TBcd::Parse(text).ToString();
    case adDouble: {
      double d = 0;
      if (!TryParseDouble(text, d)) return "not a number: " + text;
      return DoubleToString(d);
    }
    case adSingle: {
      double d = 0;
      if (!TryParseDouble(text, d)) return "not a number: " + text;
      return Value(static_cast<double>(static_cast<float>(d))).AsString();
    }
    case adDate:
    case adDBTimeStamp: {
      // ISO text with a "T" and milliseconds, or already "YYYY-MM-DD HH:MM:SS".
      std::string t = text.substr(0, 19);
      if (t.size() > 10 && t[10] == 'T') t[10] = ' ';
      return t;
    }
    case adGUID: return AsciiUpper(text);
    default: return text;
  }
}

std::vector<ReaderTable> ReadWithMdbReader(const std::string& file) {
  // Starting node is slow; each file is read once per test run.
  static std::map<std::string, std::vector<ReaderTable>> cache;
  if (auto it = cache.find(file); it != cache.end()) return it->second;
  const std::string script = std::string(VANTOR_MDB_TEST_DIR) + "/mdb_reader_dump.mjs";
  const std::string out = RunCommand("node " + ShellQuote(script) + " " +
                                     ShellQuote(::vantor::testing::ReadersDir().string()) + " " + ShellQuote(file));
  std::vector<ReaderTable> tables;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::vector<std::string> parts = Split(line, '\t');
    if (parts.empty()) continue;
    if (parts[0] == "T") {
      tables.push_back({FromHex(parts.at(1)), {}, {}});
    } else if (parts[0] == "C") {
      ColumnInfo column;
      column.name = FromHex(parts.at(1));
      column.ado_type = AdoTypeOfReaderType(parts.at(2));
      column.defined_size = std::stoll(parts.at(3));
      column.precision = std::stoi(parts.at(4));
      column.numeric_scale = std::stoi(parts.at(5));
      tables.back().columns.push_back(column);
    } else if (parts[0] == "R") {
      std::vector<std::string> row;
      for (size_t i = 1; i < parts.size(); ++i) row.push_back(parts[i] == "~" ? kNull : FromHex(parts[i]));
      tables.back().rows.push_back(std::move(row));
    }
  }
  cache[file] = tables;
  return tables;
}

bool IsJet3File(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char head[0x15] = {};
  in.read(head, sizeof head);
  return head[0x14] == 0;
}

}  // namespace vantor::formats::mdb::testing
