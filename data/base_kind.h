#pragma once
// Database kinds and the connection strings of file databases.

#include <cstdint>
#include <string>

namespace vantor::data {

enum BaseKind : int32_t {
  btOther = 100, btAccess = 101, btSqlServer = 102, btExcel = 103, btDbf = 104, btMySql = 105, btOracle = 106,
};

// Kind from the last extension of a file name (after the last "\" or "/"), compared lower-cased.
int32_t getbasetype(const std::string& filename);

// The directory part of a path up to and including its last "\" or "/"; empty when there is none.
std::string DirectoryPart(const std::string& path);
// The part after the last "\" or "/".
std::string FileNamePart(const std::string& path);

// The connection strings of kinds 101, 103 and 104, exactly as the user sees them; empty for others.
std::string ConnectionStringFor(int32_t kind, const std::string& filename);

// A name put between square brackets with each "]" doubled, so it stays one name in a statement.
std::string BracketName(const std::string& name);

}  // namespace vantor::data
