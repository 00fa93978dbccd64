#include "formats/mdb/mdb_storage.h"

#include <algorithm>

#include "dataset/text.h"
#include "formats/mdb/access_cursor.h"
#include "formats/mdb/catalog.h"
#include "formats/mdb/column_properties.h"
#include "formats/mdb/column_types.h"
#include "formats/mdb/jet_text.h"
#include "formats/mdb/libmdb_handle.h"
#include "formats/mdb/query_sql.h"
#include "formats/mdb/saved_queries.h"
#include "formats/mdb/table_reader.h"

namespace vantor::formats::mdb {
namespace {

[[noreturn]] void CannotWrite(const std::string& path) {
  throw StorageError("cannot change " + path + ": writing Access files is not supported yet");
}

class AccessStorage : public Storage {
 public:
  explicit AccessStorage(const std::string& path) : path_(path) {
    header_ = ReadAccessHeader(path);
    code_page_ = header_.version == JetVersion::Jet3 ? Jet3CodePage() : 1252;
    std::lock_guard lock(LibmdbMutex());
    mdb_ = OpenHandle(path, header_, code_page_);
    for (CatalogObject& object : ReadCatalog(mdb_.get(), header_, code_page_)) {
      if (object.type == MDB_TABLE && object.name == "MSysQueries") queries_page_ = object.id;
      if (IsUserTable(object) || IsSelectQuery(object)) objects_.push_back(std::move(object));
    }
  }

  ~AccessStorage() override {
    std::lock_guard lock(LibmdbMutex());
    mdb_.reset();
  }

  std::string Path() const override { return path_; }
  bool IsReadOnly() const override { return true; }

  std::vector<TableInfo> ListTables() override {
    std::vector<TableInfo> tables;
    for (const CatalogObject& object : objects_) tables.push_back({object.name, object.type == MDB_QUERY});
    return tables;
  }

  std::vector<ColumnInfo> Columns(const std::string& table) override {
    const CatalogObject& object = Table(table);
    FieldContext context;
    context.version = header_.version;
    context.jet3_code_page = code_page_;
    const std::set<std::string> required = RequiredColumns(object.properties, context);
    std::lock_guard lock(LibmdbMutex());
    TableReader reader(mdb_.get(), header_, code_page_, object.id, object.name);
    const std::set<int> key = reader.PrimaryKeyColumnNumbers();
    std::vector<ColumnInfo> columns;
    for (size_t i = 0; i < reader.ColumnCount(); ++i) {
      const MdbColumn& column = reader.Column(i);
      columns.push_back(DescribeColumn(column, header_.version, required.count(column.name) != 0));
      columns.back().primary_key = key.count(column.col_num) != 0;
    }
    return columns;
  }

  std::unique_ptr<RowCursor> Scan(const std::string& table) override {
    const CatalogObject& object = Table(table);
    return std::make_unique<AccessCursor>(path_, header_, code_page_, object.id, object.name);
  }

  std::string ViewSql(const std::string& view) override {
    const CatalogObject* object = Find(view);
    if (object == nullptr || object->type != MDB_QUERY)
      throw StorageError("'" + view + "' is not a saved select query of " + path_);
    if (queries_page_ == 0) throw StorageError("damaged Access file: " + path_ + " has queries but no MSysQueries");
    std::vector<QueryPart> parts;
    {
      std::lock_guard lock(LibmdbMutex());
      parts = ReadQueryParts(mdb_.get(), header_, code_page_, queries_page_, object->full_id);
    }
    const bool select = std::any_of(parts.begin(), parts.end(), [](const QueryPart& p) {
      return p.attribute == kQueryType && p.flag == kSelectQuery;
    });
    if (!select) throw StorageError("'" + object->name + "' is not a select query; only select queries can be read");
    return BuildSelectSql(parts);
  }

  int64_t InsertRow(const std::string&, const Row&) override { CannotWrite(path_); }
  void UpdateRow(const std::string&, int64_t, const Row&) override { CannotWrite(path_); }
  void DeleteRow(const std::string&, int64_t) override { CannotWrite(path_); }
  void CreateTable(const std::string&, const std::vector<ColumnInfo>&) override { CannotWrite(path_); }
  void DropTable(const std::string&) override { CannotWrite(path_); }
  void RenameTable(const std::string&, const std::string&) override { CannotWrite(path_); }
  void AddColumn(const std::string&, const ColumnInfo&) override { CannotWrite(path_); }
  void AlterColumn(const std::string&, const std::string&, const ColumnInfo&) override { CannotWrite(path_); }
  void DropColumn(const std::string&, const std::string&) override { CannotWrite(path_); }

 private:
  const CatalogObject* Find(const std::string& name) const {
    for (const CatalogObject& object : objects_)
      if (object.name == name) return &object;
    for (const CatalogObject& object : objects_)
      if (SameTextAscii(object.name, name)) return &object;
    return nullptr;
  }

  // A table (not a query) by name.
  const CatalogObject& Table(const std::string& name) const {
    const CatalogObject* object = Find(name);
    if (object == nullptr) throw StorageError("no table named '" + name + "' in " + path_);
    if (object->type != MDB_TABLE)
      throw StorageError("'" + object->name + "' in " + path_ + " is a saved query; read it through its SQL");
    return *object;
  }

  std::string path_;
  AccessHeader header_;
  int code_page_ = 1252;
  Handle mdb_;
  uint32_t queries_page_ = 0;           // MSysQueries, where saved queries keep their parts
  std::vector<CatalogObject> objects_;  // user tables and select queries, in the file's order
};

}  // namespace

std::unique_ptr<Storage> OpenAccessFile(const std::string& path) { return std::make_unique<AccessStorage>(path); }

}  // namespace vantor::formats::mdb
