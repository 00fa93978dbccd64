#include "formats/text/text_storage.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "dataset/text.h"
#include "formats/text/csv_lines.h"
#include "formats/text/schema_ini.h"

namespace vantor::formats::text {

namespace fs = std::filesystem;

namespace {

bool IsTextFile(const fs::path& p) {
  const std::string ext = AsciiUpper(p.extension().string());
  return ext == ".TXT" || ext == ".CSV" || ext == ".TAB" || ext == ".ASC";
}

std::string FieldText(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Null: return "";
    case Value::Kind::Boolean: return v.get<bool>() ? "True" : "False";
    case Value::Kind::DateTime: return v.get<DateTime>().ToString();
    case Value::Kind::String: case Value::Kind::WideString: case Value::Kind::Guid: return QuoteCsv(v.AsString());
    case Value::Kind::Bytes: {
      static const char* kHex = "0123456789ABCDEF";
      std::string hex = "0x";
      for (uint8_t b : v.get<Bytes>()) hex += kHex[b >> 4], hex += kHex[b & 15];
      return QuoteCsv(hex);
    }
    default: return v.AsString();
  }
}

Value ParseField(const CsvField& f, const ColumnInfo& c) {
  const std::string t(f.quoted ? f.text : std::string(TrimBlanks(f.text)));
  if (t.empty() && !f.quoted) return Value();
  try {
    switch (c.ado_type) {
      case adBoolean: {
        const std::string u = AsciiUpper(t);
        return Value(u == "TRUE" || u == "YES" || u == "1" || u == "-1");
      }
      case adTinyInt: case adUnsignedTinyInt: case adSmallInt: {
        const int64_t i = Value(t).AsInt64();
        if (i < INT16_MIN || i > INT16_MAX) throw EConvertError("out of range");
        return Value(static_cast<int16_t>(i));
      }
      case adInteger: return Value(Value(t).AsInt32());
      case adBigInt: return Value(Value(t).AsInt64());
      case adSingle: case adDouble: return Value(Value(t).AsDouble());
      case adCurrency: return Value(Currency::Parse(t));
      case adNumeric: return Value(TBcd::Parse(t));
      case adDate: case adDBTimeStamp: return Value(DateTime::Parse(t));
      default: return Value(std::string(f.text));
    }
  } catch (const EConvertError& e) {
    throw StorageError("'" + t + "' is not a value of column '" + c.name + "': " + e.what());
  }
}

class TextCursor : public RowCursor {
 public:
  TextCursor(const std::string& path, std::vector<ColumnInfo> columns, bool header)
      : in_(path, std::ios::binary), columns_(std::move(columns)) {
    if (!in_) throw StorageError("cannot read " + path);
    std::vector<CsvField> fields;
    if (header) ReadCsvRecord(in_, fields);
  }
  bool Next(Row& row) override {
    std::vector<CsvField> fields;
    do {
      if (!ReadCsvRecord(in_, fields)) return false;
    } while (fields.size() == 1 && fields[0].text.empty() && !fields[0].quoted);
    ++id_;
    row.assign(columns_.size(), Value());
    for (size_t i = 0; i < columns_.size() && i < fields.size(); ++i) row[i] = ParseField(fields[i], columns_[i]);
    return true;
  }
  int64_t RowId() const override { return id_; }

 private:
  std::ifstream in_;
  std::vector<ColumnInfo> columns_;
  int64_t id_ = 0;
};

class TextStorage : public Storage {
 public:
  explicit TextStorage(std::string directory) : dir_(std::move(directory)) {}

  std::string Path() const override { return dir_; }

  std::vector<TableInfo> ListTables() override {
    std::vector<TableInfo> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec))
      if (entry.is_regular_file(ec) && IsTextFile(entry.path())) out.push_back({entry.path().filename().string(), false});
    std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return AsciiUpper(a.name) < AsciiUpper(b.name); });
    return out;
  }

  std::vector<ColumnInfo> Columns(const std::string& table) override {
    const std::string name = Existing(table);
    for (const SchemaSection& s : ReadSchemaIni(SchemaPath()))
      if (SameTextAscii(s.file, name)) {
        auto columns = ColumnsOfSection(s);
        if (!columns.empty()) return columns;
      }
    // No description: the header line names the columns, all text.
    std::ifstream in(FilePath(name), std::ios::binary);
    std::vector<CsvField> fields;
    std::vector<ColumnInfo> columns;
    if (ReadCsvRecord(in, fields))
      for (size_t i = 0; i < fields.size(); ++i) {
        ColumnInfo c;
        c.name = fields[i].text.empty() ? "F" + std::to_string(i + 1) : fields[i].text;
        c.ado_type = adVarWChar;
        c.defined_size = 255;
        columns.push_back(c);
      }
    return columns;
  }

  std::unique_ptr<RowCursor> Scan(const std::string& table) override {
    const std::string name = Existing(table);
    return std::make_unique<TextCursor>(FilePath(name), Columns(name), true);
  }

  int64_t InsertRow(const std::string& table, const Row& row) override {
    const std::string name = Existing(table);
    const auto columns = Columns(name);
    if (row.size() > columns.size()) throw StorageError("too many values for table '" + name + "'");
    std::string line;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (i) line += ',';
      if (i < row.size()) line += FieldText(row[i]);
    }
    line += "\r\n";
    if (in_transaction_) {
      pending_[name] += line;
    } else {
      AppendToFile(name, line);
    }
    return ++last_id_;
  }

  void UpdateRow(const std::string& table, int64_t, const Row&) override {
    throw StorageError("rows of the text table '" + table + "' cannot be changed");
  }
  void DeleteRow(const std::string& table, int64_t) override {
    throw StorageError("rows of the text table '" + table + "' cannot be deleted");
  }

  void Begin() override {
    if (in_transaction_) throw StorageError("a transaction is already open");
    in_transaction_ = true;
    pending_.clear();
  }
  void Commit() override {
    in_transaction_ = false;
    auto pending = std::move(pending_);
    pending_.clear();
    for (auto& [name, text] : pending) AppendToFile(name, text);
  }
  void Rollback() override {
    in_transaction_ = false;
    pending_.clear();
  }

  void CreateTable(const std::string& table, const std::vector<ColumnInfo>& columns) override {
    if (table.empty() || table.find_first_of("/\\") != std::string::npos || table == "." || table == "..")
      throw StorageError("'" + table + "' is not a text file name");
    if (!IsTextFile(table)) throw StorageError("'" + table + "' is not a text file name (.txt, .csv, .tab, .asc)");
    if (columns.empty()) throw StorageError("table '" + table + "' needs at least one column");
    std::error_code ec;
    if (fs::exists(FilePath(table), ec)) throw StorageError("table '" + table + "' already exists");
    std::string header;
    for (size_t i = 0; i < columns.size(); ++i) header += (i ? "," : "") + QuoteCsv(columns[i].name);
    header += "\r\n";
    WriteWhole(FilePath(table), header);
    try {
      auto sections = ReadSchemaIni(SchemaPath());
      std::erase_if(sections, [&](const SchemaSection& s) { return SameTextAscii(s.file, table); });
      sections.push_back(SectionForColumns(table, columns));
      WriteSchemaIni(SchemaPath(), sections);
    } catch (...) {
      fs::remove(FilePath(table), ec);
      throw;
    }
  }

  void DropTable(const std::string& table) override {
    const std::string name = Existing(table);
    std::error_code ec;
    if (!fs::remove(FilePath(name), ec)) throw StorageError("cannot delete " + FilePath(name) + ": " + ec.message());
    auto sections = ReadSchemaIni(SchemaPath());
    if (std::erase_if(sections, [&](const SchemaSection& s) { return SameTextAscii(s.file, name); }))
      WriteSchemaIni(SchemaPath(), sections);
  }

  void RenameTable(const std::string& table, const std::string& new_name) override {
    const std::string name = Existing(table);
    if (!IsTextFile(new_name) || new_name.find_first_of("/\\") != std::string::npos)
      throw StorageError("'" + new_name + "' is not a text file name");
    std::error_code ec;
    if (fs::exists(FilePath(new_name), ec)) throw StorageError("table '" + new_name + "' already exists");
    fs::rename(FilePath(name), FilePath(new_name), ec);
    if (ec) throw StorageError("cannot rename " + name + ": " + ec.message());
    auto sections = ReadSchemaIni(SchemaPath());
    for (auto& s : sections)
      if (SameTextAscii(s.file, name)) s.file = new_name;
    WriteSchemaIni(SchemaPath(), sections);
  }

  void AddColumn(const std::string& table, const ColumnInfo&) override { Unsupported(table); }
  void AlterColumn(const std::string& table, const std::string&, const ColumnInfo&) override { Unsupported(table); }
  void DropColumn(const std::string& table, const std::string&) override { Unsupported(table); }

 private:
  [[noreturn]] static void Unsupported(const std::string& table) {
    throw StorageError("the columns of the text table '" + table + "' cannot be changed");
  }
  std::string FilePath(const std::string& name) const { return (fs::path(dir_) / name).string(); }
  std::string SchemaPath() const { return (fs::path(dir_) / "schema.ini").string(); }
  std::string Existing(const std::string& table) {
    std::string found = FindTableName(*this, table);
    if (found.empty()) throw StorageError("no text table '" + table + "' in " + dir_);
    return found;
  }
  static void WriteWhole(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) throw StorageError("cannot write " + path);
  }
  // Appends through a copy renamed over the file, so a failed write leaves the old rows.
  void AppendToFile(const std::string& name, const std::string& text) {
    const std::string path = FilePath(name), temp = path + ".tmp";
    std::error_code ec;
    fs::copy_file(path, temp, fs::copy_options::overwrite_existing, ec);
    if (ec) throw StorageError("cannot write " + path + ": " + ec.message());
    {
      std::ofstream out(temp, std::ios::binary | std::ios::app);
      out << text;
      out.flush();
      if (!out) {
        fs::remove(temp, ec);
        throw StorageError("cannot write " + path);
      }
    }
    fs::rename(temp, path, ec);
    if (ec) {
      fs::remove(temp, ec);
      throw StorageError("cannot write " + path);
    }
  }

  std::string dir_;
  bool in_transaction_ = false;
  std::map<std::string, std::string> pending_;
  int64_t last_id_ = 0;
};

}  // namespace

std::unique_ptr<Storage> OpenDirectory(const std::string& directory) {
  std::error_code ec;
  if (!fs::is_directory(directory, ec)) throw StorageError("directory not found: " + directory);
  return std::make_unique<TextStorage>(directory);
}

}  // namespace vantor::formats::text
