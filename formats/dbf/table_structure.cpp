// The structure operations of DbfStorage: creating, dropping and renaming tables, adding, changing and
// dropping columns, and packing. Changes that rewrite a table write it beside the old one and rename it over.

#include "formats/dbf/dbf_storage.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "dataset/text.h"
#include "formats/code_page.h"
#include "formats/dbf/column_mapping.h"
#include "formats/dbf/dbf_table.h"
#include "formats/dbf/file_io.h"
#include "formats/dbf/language_driver.h"
#include "formats/dbf/table_files.h"
#include "formats/dbf/table_writer.h"

namespace vantor::formats::dbf {

namespace fs = std::filesystem;

namespace {

void CheckTableName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 200)
    throw StorageError("'" + name + "' cannot be a table name");
  for (unsigned char c : name)
    if (c < 0x20 || c == '/' || c == '\\')
      throw StorageError("the table name '" + name + "' contains a character that a file name cannot hold");
}

std::string EncodeFieldName(const std::string& name, int code_page) {
  std::string raw;
  if (TrimBlanks(name).empty()) throw StorageError("a column needs a name");
  if (!TextCodec::ForCodePage(code_page)->Encode(name, raw) || raw.find('\0') != std::string::npos)
    throw StorageError("the column name '" + name + "' cannot be written in code page " + std::to_string(code_page));
  if (raw.size() > 10)
    throw StorageError("the column name '" + name + "' is longer than the 10 bytes a dBase field name holds");
  return raw;
}

void CheckDistinctNames(const TableHeader& h) {
  for (size_t i = 0; i < h.fields.size(); ++i)
    for (size_t j = i + 1; j < h.fields.size(); ++j)
      if (SameTextAscii(h.fields[i].name, h.fields[j].name))
        throw StorageError("the column name '" + h.fields[j].name + "' occurs twice");
}

// Marks the columns of a Visual FoxPro table nullable where asked.
void ApplyNullable(FieldDescriptor& f, const ColumnInfo& c, bool visual_foxpro) {
  if (visual_foxpro && c.nullable && !c.auto_increment) f.flags |= kFieldNullable;
  else f.flags &= static_cast<uint8_t>(~kFieldNullable);
}

// The value a new column gets in existing rows.
Value BlankFor(const FieldDescriptor& f) {
  if (f.IsNullable()) return Value();
  switch (f.type) {
    case 'I': return Value(int32_t{0});
    case 'Y': return Value(Currency{});
    case 'B': return Value(0.0);
    default: return Value();
  }
}

bool IsTextField(const FieldDescriptor& f) { return (f.type == 'C' || f.type == 'V' || f.type == 'M') && !f.IsBinary(); }

}  // namespace

void DbfStorage::CreateTable(const std::string& table, const std::vector<ColumnInfo>& columns) {
  CheckTableName(table);
  if (in_transaction_) throw StorageError("tables cannot be created inside a transaction");
  Refresh();
  if (entries_.count(AsciiUpper(table)) || !FindCompanionFile((fs::path(directory_) / (table + ".dbf")).string(), ".dbf").empty())
    throw StorageError("table '" + table + "' already exists");
  if (columns.empty()) throw StorageError("table '" + table + "' needs at least one column");
  const int code_page = UserLegacyCodePage();
  TableHeader header;
  header.version = 0x03;
  header.language_driver = LanguageDriverOfCodePage(code_page);
  bool vfp = false;
  for (const ColumnInfo& c : columns) {
    FieldDescriptor f = FieldForColumn(c, vfp);
    f.name = EncodeFieldName(c.name, code_page);
    header.fields.push_back(f);
  }
  for (size_t i = 0; i < columns.size(); ++i) ApplyNullable(header.fields[i], columns[i], vfp);
  CheckDistinctNames(header);
  ChooseVersion(header);
  LayoutFields(header, table);
  const std::string path = (fs::path(directory_) / (table + ".dbf")).string();
  if (header.language_driver == 0) {
    std::ofstream cpg((fs::path(directory_) / (table + ".cpg")).string(), std::ios::binary | std::ios::trunc);
    cpg << code_page;
    if (!cpg) throw StorageError("cannot write the code page file of table '" + table + "'");
  }
  TableWriter writer(path, header, code_page, table, "");
  writer.Finish();
  Refresh();
}

void DbfStorage::DropTable(const std::string& table) {
  Entry& entry = Find(table);
  std::shared_ptr<DbfTable> t = Open(entry);
  if (!t->header().backlink.empty())
    throw StorageError("table '" + entry.name + "' belongs to the database container '" + t->header().backlink +
                       "'; dropping it here would leave the container pointing at a missing table");
  if (t->in_transaction()) throw StorageError("table '" + entry.name + "' has uncommitted changes");
  const std::vector<std::string> files = TableFiles(entry.dbf_path);
  Forget(entry);
  // The table file goes first, so the table is gone even if a companion file cannot be removed.
  for (const std::string& f : files) RemoveFileIfExists(f);
  Refresh();
}

void DbfStorage::RenameTable(const std::string& table, const std::string& new_name) {
  CheckTableName(new_name);
  Entry& entry = Find(table);
  std::shared_ptr<DbfTable> t = Open(entry);
  if (!t->header().backlink.empty())
    throw StorageError("table '" + entry.name + "' belongs to the database container '" + t->header().backlink +
                       "'; renaming it here would leave the container pointing at a missing table");
  if (t->in_transaction()) throw StorageError("table '" + entry.name + "' has uncommitted changes");
  const bool same_table = SameTextAscii(table, new_name);
  if (!same_table && (entries_.count(AsciiUpper(new_name)) ||
                      !FindCompanionFile((fs::path(directory_) / (new_name + ".dbf")).string(), ".dbf").empty()))
    throw StorageError("table '" + new_name + "' already exists");
  const std::vector<std::string> files = TableFiles(entry.dbf_path);
  std::vector<std::pair<std::string, std::string>> moves;
  for (const std::string& f : files) {
    const fs::path p(f);
    moves.emplace_back(f, (p.parent_path() / (new_name + p.extension().string())).string());
  }
  Forget(entry);
  // Link every file under its new name first (the table file last), then drop the old names: at every
  // moment one complete set of files exists.
  std::vector<std::string> linked;
  bool use_links = !same_table;
  if (use_links) {
    for (size_t i = moves.size(); i-- > 0;) {
      if (::link(moves[i].first.c_str(), moves[i].second.c_str()) != 0) {
        use_links = false;
        for (const std::string& l : linked) ::unlink(l.c_str());
        linked.clear();
        break;
      }
      linked.push_back(moves[i].second);
    }
  }
  if (use_links) {
    for (const auto& [from, to] : moves) RemoveFileIfExists(from);
  } else {
    for (size_t i = moves.size(); i-- > 0;) {
      if (PathExists(moves[i].second) && !same_table)
        throw StorageError("cannot rename table '" + table + "': '" + moves[i].second + "' exists");
      ReplaceFile(moves[i].first, moves[i].second);
    }
  }
  Refresh();
}

void DbfStorage::CheckStructureChangeAllowed(Entry& entry, DbfTable& table) {
  if (in_transaction_) throw StorageError("the structure of a table cannot change inside a transaction");
  if (table.header().version == 0x02) throw StorageError("table '" + entry.name + "' is a dBase II table, which is only read");
  if (!table.header().backlink.empty())
    throw StorageError("table '" + entry.name + "' belongs to the database container '" + table.header().backlink +
                       "'; its structure can only change together with the container");
  const std::string index = FindStructuralIndex(entry.dbf_path);
  if (!index.empty())
    throw StorageError("table '" + entry.name + "' has the structural index '" + fs::path(index).filename().string() +
                       "', which this engine does not maintain; the change is refused so that the index cannot go stale");
}

void DbfStorage::Restructure(Entry& entry, const std::function<void(TableHeader&)>& change_header,
                             const std::function<void(Row&)>& convert) {
  std::shared_ptr<DbfTable> table = Open(entry);
  CheckStructureChangeAllowed(entry, *table);
  TableHeader header = table->header();
  change_header(header);
  CheckDistinctNames(header);
  ChooseVersion(header);
  LayoutFields(header, entry.name);
  const std::string old_memo = table->memo_path();
  const bool same_memo = header.memo_format() != MemoFormat::kNone &&
                         header.memo_format() == table->header().memo_format() && !old_memo.empty();
  std::string new_memo;
  {
    TableWriter writer(entry.dbf_path, header, table->code_page(), entry.name, same_memo ? old_memo : "");
    Row row;
    bool deleted = false;
    const uint32_t count = table->header().record_count;
    for (uint32_t i = 0; i < count; ++i) {
      table->ReadRow(i, row, &deleted);
      convert(row);
      writer.Append(row, deleted);
    }
    Forget(entry);
    new_memo = writer.Finish();
  }
  if (!old_memo.empty() && old_memo != new_memo) RemoveFileIfExists(old_memo);
  entry.long_fields.clear();
}

void DbfStorage::AddColumn(const std::string& table, const ColumnInfo& column) {
  Entry& entry = Find(table);
  const int code_page = Open(entry)->code_page();
  bool vfp = Open(entry)->header().IsVisualFoxPro();
  FieldDescriptor field = FieldForColumn(column, vfp);
  field.name = EncodeFieldName(column.name, code_page);
  ApplyNullable(field, column, vfp);
  if (field.IsAutoIncrement()) field.autoinc_next = Open(entry)->header().record_count + 1;
  int32_t next_auto = 1;
  Restructure(
      entry, [&](TableHeader& h) { h.fields.push_back(field); },
      [&](Row& row) { row.push_back(field.IsAutoIncrement() ? Value(next_auto++) : BlankFor(field)); });
}

void DbfStorage::AlterColumn(const std::string& table, const std::string& column, const ColumnInfo& changed) {
  Entry& entry = Find(table);
  std::shared_ptr<DbfTable> t = Open(entry);
  const std::vector<ColumnInfo> columns = Columns(entry.name);
  size_t col = columns.size();
  for (size_t i = 0; i < columns.size(); ++i)
    if (SameTextAscii(columns[i].name, column) || columns[i].name == column) col = i;
  if (col == columns.size()) throw StorageError("table '" + entry.name + "' has no column '" + column + "'");
  std::vector<int> visible;
  for (size_t i = 0; i < t->header().fields.size(); ++i)
    if (!t->header().fields[i].IsSystem()) visible.push_back(static_cast<int>(i));
  const int field_index = visible[col];
  const FieldDescriptor old_field = t->header().fields[field_index];
  const ColumnInfo& old = columns[col];
  if (changed.auto_increment && !old.auto_increment)
    throw StorageError("column '" + column + "' cannot become an auto-increment column; add a new one instead");

  bool vfp = t->header().IsVisualFoxPro();
  FieldDescriptor field = old_field;
  if (changed.ado_type == old.ado_type) {
    // Same type: keep the stored type (a D field stays D) and take the new size where the type has one.
    if (old_field.type == 'C' || old_field.type == 'V' || old_field.type == 'Q') {
      if (changed.defined_size < 1 || changed.defined_size > 254)
        throw StorageError("column '" + column + "': a length of " + std::to_string(changed.defined_size) +
                           " is not possible (1 to 254)");
      field.length = static_cast<uint8_t>(changed.defined_size);
    } else if (old_field.type == 'N' || old_field.type == 'F') {
      const int64_t width = changed.precision > 0 ? changed.precision + 1 + (changed.numeric_scale > 0 ? 1 : 0)
                                                  : old_field.length;
      if (width < 1 || width > 20 || changed.numeric_scale < 0 || changed.numeric_scale >= width)
        throw StorageError("column '" + column + "': a numeric field of " + std::to_string(width) + " characters and " +
                           std::to_string(changed.numeric_scale) + " decimals is not possible");
      field.length = static_cast<uint8_t>(width);
      field.decimals = static_cast<uint8_t>(changed.numeric_scale);
    }
  } else {
    field = FieldForColumn(changed, vfp);
  }
  field.name = EncodeFieldName(changed.name.empty() ? column : changed.name, t->code_page());
  if (vfp || t->header().IsVisualFoxPro()) ApplyNullable(field, changed, true);
  const bool to_text = IsTextField(field);
  Restructure(
      entry, [&](TableHeader& h) { h.fields[field_index] = field; },
      [&](Row& row) {
        Value& v = row[col];
        // Blank text becomes null in a field that is not text.
        if (!to_text && v.kind() == Value::Kind::String && TrimBlanks(v.get<std::string>()).empty()) v = Value();
        if (v.IsNull() && !field.IsNullable()) v = BlankFor(field);
      });
}

void DbfStorage::DropColumn(const std::string& table, const std::string& column) {
  Entry& entry = Find(table);
  std::shared_ptr<DbfTable> t = Open(entry);
  const std::vector<ColumnInfo> columns = Columns(entry.name);
  size_t col = columns.size();
  for (size_t i = 0; i < columns.size(); ++i)
    if (SameTextAscii(columns[i].name, column) || columns[i].name == column) col = i;
  if (col == columns.size()) throw StorageError("table '" + entry.name + "' has no column '" + column + "'");
  if (columns.size() == 1) throw StorageError("the last column of table '" + entry.name + "' cannot be dropped");
  std::vector<int> visible;
  for (size_t i = 0; i < t->header().fields.size(); ++i)
    if (!t->header().fields[i].IsSystem()) visible.push_back(static_cast<int>(i));
  const int field_index = visible[col];
  Restructure(
      entry, [&](TableHeader& h) { h.fields.erase(h.fields.begin() + field_index); },
      [&](Row& row) { row.erase(row.begin() + static_cast<std::ptrdiff_t>(col)); });
}

void DbfStorage::Pack(const std::string& table) {
  Entry& entry = Find(table);
  std::shared_ptr<DbfTable> t = Open(entry);
  CheckStructureChangeAllowed(entry, *t);
  const std::string old_memo = t->memo_path();
  TableWriter writer(entry.dbf_path, t->header(), t->code_page(), entry.name,
                     t->header().memo_format() != MemoFormat::kNone ? old_memo : "");
  Row row;
  bool deleted = false;
  for (uint32_t i = 0; i < t->header().record_count; ++i) {
    t->ReadRow(i, row, &deleted);
    if (!deleted) writer.Append(row, false);
  }
  Forget(entry);
  writer.Finish();
}

}  // namespace vantor::formats::dbf
