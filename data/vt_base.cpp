#include "data/vt_base.h"

#include "dataset/errors.h"

namespace vantor::data {

Tvtbase::Tvtbase() : conn_(std::make_unique<TAdoConnection>()) {}
Tvtbase::~Tvtbase() = default;

void Tvtbase::Connect() {
  try {
    conn_->Close();
    conn_->SetConnectionString(connstr_);
    conn_->Open();
  } catch (const std::exception&) {
    throw Exception(msg::kCanNotLink);
  }
}

bool Tvtbase::openbase(const std::string& filename) {
  basetype_ = getbasetype(filename);
  filename_ = filename;
  if (basetype_ == btAccess || basetype_ == btExcel || basetype_ == btDbf)
    connstr_ = ConnectionStringFor(basetype_, filename);
  Connect();
  return true;
}

void Tvtbase::linkbase(int32_t kind, const std::string& connection_string) {
  basetype_ = kind;
  connstr_ = connection_string;
  filename_ = kNetworkBaseName;
  Connect();
}

void Tvtbase::closebase() { conn_->Close(); }

std::unique_ptr<std::vector<std::string>> Tvtbase::tablenames() {
  auto names = std::make_unique<std::vector<std::string>>();
  if (basetype_ == btMySql) return names;
  conn_->GetTableNames(*names);
  return names;
}

std::unique_ptr<TAdoQuery> Tvtbase::opentable(const std::string& table) {
  return opensql("select * from " + BracketName(table));
}

std::unique_ptr<TAdoQuery> Tvtbase::opensql(const std::string& sql) {
  auto query = std::make_unique<TAdoQuery>();
  query->SetConnectionString(connstr_);
  query->SQL().push_back(sql);
  try {
    query->Open();
  } catch (const std::exception&) {
    throw Exception(msg::kCanNotDoSql);
  }
  return query;
}

std::unique_ptr<TAdoTable> Tvtbase::gettable(const std::string& table) {
  auto object = std::make_unique<TAdoTable>();
  object->SetConnectionString(connstr_);
  object->SetTableName(table);
  object->Open();
  return object;
}

}  // namespace vantor::data
