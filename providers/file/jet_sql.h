#pragma once
// The Jet dialect of SQL that users and the data layer write, turned into SQLite's: [names], "text" and
// #date# literals, & for concatenation, TOP n, * and ? in LIKE patterns, True and False. Statements that
// SQLite cannot carry out over storage engines (SELECT ... INTO, CREATE/DROP/ALTER TABLE) are recognised
// and taken apart here so the connection can hand them to the engine.

#include <optional>
#include <string>
#include <vector>

#include "formats/storage.h"

namespace vantor::providers::file {

struct SqlToken {
  enum Kind { Word, Name, String, Number, Date, Symbol, Space } kind = Space;
  std::string text;  // Name and String: without quotes, escapes undone; Date: the text between the #s
};

// Splits Jet SQL into tokens; ProviderError for an unterminated name, string or date.
std::vector<SqlToken> TokenizeJet(const std::string& sql);

// Jet SQL (one statement) as SQLite SQL.
std::string TranslateJet(const std::vector<SqlToken>& tokens);
std::string TranslateJet(const std::string& sql);

// A name quoted for SQLite: "a""b".
std::string SqliteQuote(const std::string& name);

// Where SELECT ... INTO puts its rows.
struct IntoTarget {
  enum Kind { SameDatabase, Text, Excel, Dbase } kind = SameDatabase;
  std::string database;  // the Database= value of an external target
  std::string table;     // the table, sheet or file name
};

struct ParsedStatement {
  enum Kind { Other, SelectInto, CreateTable, DropTable, AddColumn, AlterColumn, DropColumn } kind = Other;
  std::string sqlite_sql;    // Other: the whole statement; SelectInto: the SELECT without its INTO clause
  IntoTarget into;           // SelectInto
  std::string table;         // CreateTable, DropTable, the column statements
  std::vector<formats::ColumnInfo> columns;  // CreateTable; the column statements hold one
  std::string column;        // AlterColumn, DropColumn
};

// Parses one Jet statement; ProviderError for syntax it cannot read.
ParsedStatement ParseJetStatement(const std::string& sql);

// A Jet column type ("text(50)", "int", "currency", "decimal(10,2)", "counter", ...) as an ADO column.
formats::ColumnInfo ColumnFromJetType(const std::string& name, const std::string& type, int size, int scale,
                                      bool has_size);

}  // namespace vantor::providers::file
