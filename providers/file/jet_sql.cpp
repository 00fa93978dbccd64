#include "providers/file/jet_sql.h"

#include <cctype>

#include "dataset/date_time.h"
#include "dataset/text.h"
#include "providers/provider.h"

namespace vantor::providers::file {

using formats::ColumnInfo;

namespace {

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

bool Is(const SqlToken& t, const char* word) { return t.kind == SqlToken::Word && SameTextAscii(t.text, word); }
bool IsSymbol(const SqlToken& t, const char* s) { return t.kind == SqlToken::Symbol && t.text == s; }

std::string SqliteString(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// Jet writes dates between #s in the US order (m/d/yyyy) or as ISO text.
std::string DateLiteral(const std::string& text) {
  const std::string t(TrimBlanks(text));
  int m = 0, d = 0, y = 0, consumed = 0;
  if (std::sscanf(t.c_str(), "%d/%d/%d%n", &m, &d, &y, &consumed) == 3 && m >= 1 && m <= 12) {
    std::string rest(TrimBlanks(std::string_view(t).substr(static_cast<size_t>(consumed))));
    if (y < 100) y += y < 30 ? 2000 : 1900;
    char iso[48];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", y, m, d);
    DateTime value;
    if (!DateTime::TryParse(rest.empty() ? std::string(iso) : std::string(iso) + " " + rest, value))
      throw ProviderError("syntax error in date in query expression '#" + text + "#'");
    return SqliteString(value.ToString());
  }
  DateTime value;
  if (!DateTime::TryParse(t, value)) throw ProviderError("syntax error in date in query expression '#" + text + "#'");
  return SqliteString(value.ToString());
}

std::string LikePattern(const std::string& jet) {
  std::string out;
  for (char c : jet) {
    if (c == '*') out += '%';
    else if (c == '?') out += '_';
    else out += c;
  }
  return out;
}

std::string TokenText(const SqlToken& t) {
  switch (t.kind) {
    case SqlToken::Name: return SqliteQuote(t.text);
    case SqlToken::String: return SqliteString(t.text);
    case SqlToken::Date: return DateLiteral(t.text);
    case SqlToken::Space: return " ";
    default: return t.text;
  }
}

// Index of the next token that is not a space, from i on.
size_t Skip(const std::vector<SqlToken>& t, size_t i) {
  while (i < t.size() && t[i].kind == SqlToken::Space) ++i;
  return i;
}

}  // namespace

std::string SqliteQuote(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::vector<SqlToken> TokenizeJet(const std::string& sql) {
  std::vector<SqlToken> out;
  const size_t n = sql.size();
  size_t i = 0;
  auto closing = [&](char close, const char* what) {
    // Reads up to `close`; a doubled closing character stands for one.
    std::string text;
    ++i;
    while (true) {
      if (i >= n) throw ProviderError(std::string("unterminated ") + what + " in SQL statement");
      if (sql[i] == close) {
        if (i + 1 < n && sql[i + 1] == close) {
          text += close;
          i += 2;
          continue;
        }
        ++i;
        return text;
      }
      text += sql[i++];
    }
  };
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(sql[i]);
    if (std::isspace(c)) {
      while (i < n && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
      out.push_back({SqlToken::Space, " "});
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      while (i < n && sql[i] != '\n') ++i;
      out.push_back({SqlToken::Space, " "});
    } else if (c == '[') {
      out.push_back({SqlToken::Name, closing(']', "name")});
    } else if (c == '`') {
      out.push_back({SqlToken::Name, closing('`', "name")});
    } else if (c == '\'') {
      out.push_back({SqlToken::String, closing('\'', "text")});
    } else if (c == '"') {
      out.push_back({SqlToken::String, closing('"', "text")});
    } else if (c == '#') {
      const size_t end = sql.find('#', i + 1);
      if (end == std::string::npos) throw ProviderError("unterminated date in SQL statement");
      out.push_back({SqlToken::Date, sql.substr(i + 1, end - i - 1)});
      i = end + 1;
    } else if (std::isdigit(c) || (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
      const size_t start = i;
      while (i < n && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '.' ||
                       ((sql[i] == '+' || sql[i] == '-') && (sql[i - 1] == 'e' || sql[i - 1] == 'E'))))
        ++i;
      out.push_back({SqlToken::Number, sql.substr(start, i - start)});
    } else if (IsWordStart(c)) {
      const size_t start = i;
      while (i < n && IsWordChar(static_cast<unsigned char>(sql[i]))) ++i;
      out.push_back({SqlToken::Word, sql.substr(start, i - start)});
    } else {
      static const char* kPairs[] = {"<>", "<=", ">=", "!=", "||", "==", "<<", ">>"};
      std::string sym(1, static_cast<char>(c));
      for (const char* p : kPairs)
        if (i + 1 < n && sql[i] == p[0] && sql[i + 1] == p[1]) sym = p;
      i += sym.size();
      out.push_back({SqlToken::Symbol, sym});
    }
  }
  return out;
}

std::string TranslateJet(const std::vector<SqlToken>& t) {
  std::string out;
  std::vector<std::string> pending_limit{std::string()};  // per parenthesis depth
  bool after_like = false;
  for (size_t i = 0; i < t.size(); ++i) {
    const SqlToken& tok = t[i];
    if (tok.kind == SqlToken::Space) {
      out += ' ';
      continue;
    }
    if (IsSymbol(tok, "(")) {
      pending_limit.emplace_back();
      out += '(';
      after_like = false;
      continue;
    }
    if (IsSymbol(tok, ")")) {
      if (pending_limit.size() > 1) {
        if (!pending_limit.back().empty()) out += " LIMIT " + pending_limit.back();
        pending_limit.pop_back();
      }
      out += ')';
      after_like = false;
      continue;
    }
    if (IsSymbol(tok, ";")) {
      if (Skip(t, i + 1) != t.size()) throw ProviderError("characters found after end of SQL statement");
      break;
    }
    if (Is(tok, "SELECT")) {
      out += tok.text;
      size_t j = Skip(t, i + 1);
      if (j < t.size() && (Is(t[j], "DISTINCT") || Is(t[j], "ALL") || Is(t[j], "DISTINCTROW"))) {
        out += Is(t[j], "DISTINCTROW") ? " DISTINCT" : " " + t[j].text;
        i = j;
        j = Skip(t, j + 1);
      }
      if (j < t.size() && Is(t[j], "TOP")) {
        const size_t k = Skip(t, j + 1);
        if (k >= t.size() || t[k].kind != SqlToken::Number) throw ProviderError("syntax error: TOP needs a number");
        int64_t count = 0;
        if (!TryParseInt64(t[k].text, count) || count < 0) throw ProviderError("invalid TOP count " + t[k].text);
        const size_t p = Skip(t, k + 1);
        if (p < t.size() && Is(t[p], "PERCENT")) throw ProviderError("TOP n PERCENT is not supported");
        pending_limit.back() = std::to_string(count);
        i = k;
      }
      after_like = false;
      continue;
    }
    if (IsSymbol(tok, "&")) {
      out += "||";
      continue;
    }
    if (Is(tok, "TRUE")) {
      out += "1";
      continue;
    }
    if (Is(tok, "FALSE")) {
      out += "0";
      continue;
    }
    if (tok.kind == SqlToken::String && after_like) {
      out += SqliteString(LikePattern(tok.text));
      after_like = false;
      continue;
    }
    after_like = Is(tok, "LIKE");
    if ((Is(tok, "LEFT") || Is(tok, "RIGHT")) && Skip(t, i + 1) < t.size() && IsSymbol(t[Skip(t, i + 1)], "(")) {
      // Left( and Right( are functions in Jet but join words in SQLite.
      out += "jet_" + AsciiUpper(tok.text);
      continue;
    }
    out += TokenText(tok);
  }
  if (!pending_limit.front().empty()) out += " LIMIT " + pending_limit.front();
  return out;
}

std::string TranslateJet(const std::string& sql) { return TranslateJet(TokenizeJet(sql)); }

ColumnInfo ColumnFromJetType(const std::string& name, const std::string& type_text, int size, int scale,
                             bool has_size) {
  using namespace formats;
  ColumnInfo c;
  c.name = name;
  const std::string type = AsciiUpper(type_text);
  if (type == "TEXT" || type == "VARCHAR" || type == "CHAR" || type == "STRING" || type == "NVARCHAR" ||
      type == "NCHAR" || type == "ALPHANUMERIC" || type == "CHARACTER") {
    if (has_size && (size < 1 || size > 255)) throw ProviderError("size of field '" + name + "' is too long");
    c.ado_type = adVarWChar;
    c.defined_size = has_size ? size : 255;
  } else if (type == "MEMO" || type == "LONGTEXT" || type == "LONGCHAR" || type == "NOTE" || type == "NTEXT") {
    c.ado_type = adLongVarWChar;
  } else if (type == "INT" || type == "INTEGER" || type == "LONG" || type == "INTEGER4" || type == "INT4") {
    c.ado_type = adInteger;
  } else if (type == "SMALLINT" || type == "SHORT" || type == "INTEGER2" || type == "INT2") {
    c.ado_type = adSmallInt;
  } else if (type == "BYTE" || type == "TINYINT" || type == "INTEGER1") {
    c.ado_type = adUnsignedTinyInt;
  } else if (type == "BIGINT") {
    c.ado_type = adBigInt;
  } else if (type == "REAL" || type == "SINGLE" || type == "FLOAT4" || type == "IEEESINGLE") {
    c.ado_type = adSingle;
  } else if (type == "FLOAT" || type == "DOUBLE" || type == "FLOAT8" || type == "IEEEDOUBLE" || type == "NUMBER") {
    c.ado_type = adDouble;
  } else if (type == "MONEY" || type == "CURRENCY") {
    c.ado_type = adCurrency;
  } else if (type == "DECIMAL" || type == "NUMERIC" || type == "DEC") {
    c.ado_type = adNumeric;
    c.precision = has_size ? size : 18;
    c.numeric_scale = has_size ? scale : 0;
    if (c.precision < 1 || c.precision > 28 || c.numeric_scale < 0 || c.numeric_scale > c.precision)
      throw ProviderError("invalid precision or scale for field '" + name + "'");
  } else if (type == "DATETIME" || type == "DATE" || type == "TIME" || type == "TIMESTAMP") {
    c.ado_type = adDate;
  } else if (type == "BIT" || type == "YESNO" || type == "LOGICAL" || type == "LOGICAL1" || type == "BOOLEAN") {
    c.ado_type = adBoolean;
    c.nullable = false;
  } else if (type == "COUNTER" || type == "AUTOINCREMENT" || type == "IDENTITY") {
    c.ado_type = adInteger;
    c.auto_increment = true;
    c.nullable = false;
  } else if (type == "BINARY" || type == "VARBINARY") {
    c.ado_type = adVarBinary;
    c.defined_size = has_size ? size : 255;
  } else if (type == "LONGBINARY" || type == "IMAGE" || type == "OLEOBJECT" || type == "GENERAL") {
    c.ado_type = adLongVarBinary;
  } else if (type == "GUID" || type == "UNIQUEIDENTIFIER") {
    c.ado_type = adGUID;
  } else {
    throw ProviderError("syntax error in field definition: unknown type '" + type_text + "'");
  }
  return c;
}

namespace {

// Reads tokens of a statement the connection carries out itself, skipping spaces.
class Reader {
 public:
  explicit Reader(std::vector<SqlToken> tokens) {
    for (auto& t : tokens)
      if (t.kind != SqlToken::Space) tokens_.push_back(std::move(t));
    while (!tokens_.empty() && IsSymbol(tokens_.back(), ";")) tokens_.pop_back();
  }
  bool AtEnd() const { return pos_ >= tokens_.size(); }
  const SqlToken& Peek() const {
    static const SqlToken kEnd;
    return AtEnd() ? kEnd : tokens_[pos_];
  }
  bool TakeWord(const char* word) {
    if (!AtEnd() && Is(tokens_[pos_], word)) return ++pos_, true;
    return false;
  }
  bool TakeSymbol(const char* s) {
    if (!AtEnd() && IsSymbol(tokens_[pos_], s)) return ++pos_, true;
    return false;
  }
  void Expect(const char* s) {
    if (!TakeSymbol(s)) throw ProviderError(std::string("syntax error: expected '") + s + "'");
  }
  std::string TakeName(const char* what) {
    if (AtEnd() || (Peek().kind != SqlToken::Word && Peek().kind != SqlToken::Name))
      throw ProviderError(std::string("syntax error: expected ") + what);
    return tokens_[pos_++].text;
  }
  int TakeInt() {
    int64_t v = 0;
    if (AtEnd() || Peek().kind != SqlToken::Number || !TryParseInt64(Peek().text, v) || v < 0 || v > 1 << 30)
      throw ProviderError("syntax error: expected a size");
    ++pos_;
    return static_cast<int>(v);
  }
  void ExpectEnd() {
    if (!AtEnd()) throw ProviderError("syntax error near '" + Peek().text + "'");
  }

 private:
  std::vector<SqlToken> tokens_;
  size_t pos_ = 0;
};

// name type[(size[,scale])] [NOT NULL | NULL] [PRIMARY KEY] [UNIQUE]
ColumnInfo ReadColumn(Reader& r) {
  const std::string name = r.TakeName("a field name");
  std::string type = r.TakeName("a field type");
  if (SameTextAscii(type, "DOUBLE") && r.TakeWord("PRECISION")) type = "DOUBLE";
  if (SameTextAscii(type, "CHARACTER") && r.TakeWord("VARYING")) type = "VARCHAR";
  int size = 0, scale = 0;
  bool has_size = false;
  if (r.TakeSymbol("(")) {
    has_size = true;
    size = r.TakeInt();
    if (r.TakeSymbol(",")) scale = r.TakeInt();
    r.Expect(")");
  }
  ColumnInfo c = ColumnFromJetType(name, type, size, scale, has_size);
  while (true) {
    if (r.TakeWord("NOT")) {
      if (!r.TakeWord("NULL")) throw ProviderError("syntax error: expected NULL after NOT");
      c.nullable = false;
    } else if (r.TakeWord("NULL")) {
      c.nullable = true;
    } else if (r.TakeWord("PRIMARY")) {
      if (!r.TakeWord("KEY")) throw ProviderError("syntax error: expected KEY after PRIMARY");
      c.primary_key = true;
      c.nullable = false;
    } else if (r.TakeWord("UNIQUE")) {
    } else {
      break;
    }
  }
  return c;
}

IntoTarget ReadExternal(const std::string& storage_text, std::string table) {
  IntoTarget target;
  target.table = std::move(table);
  const size_t semi = storage_text.find(';');
  const std::string type = AsciiUpper(TrimBlanks(storage_text.substr(0, semi)));
  if (type == "TEXT") target.kind = IntoTarget::Text;
  else if (type.rfind("EXCEL", 0) == 0) target.kind = IntoTarget::Excel;
  else if (type.rfind("DBASE", 0) == 0) target.kind = IntoTarget::Dbase;
  else throw ProviderError("could not find installable ISAM '" + type + "'");
  size_t pos = semi;
  while (pos != std::string::npos) {
    const size_t next = storage_text.find(';', pos + 1);
    const std::string part = storage_text.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
    const size_t eq = part.find('=');
    if (eq != std::string::npos && SameTextAscii(TrimBlanks(part.substr(0, eq)), "DATABASE"))
      target.database = std::string(TrimBlanks(part.substr(eq + 1)));
    pos = next;
  }
  if (target.table.empty()) throw ProviderError("syntax error: SELECT INTO names no table");
  return target;
}

}  // namespace

ParsedStatement ParseJetStatement(const std::string& sql) {
  std::vector<SqlToken> tokens = TokenizeJet(sql);
  ParsedStatement st;
  size_t first = Skip(tokens, 0);
  if (first < tokens.size() && Is(tokens[first], "SELECT")) {
    // Look for INTO at the outermost level.
    int depth = 0;
    for (size_t i = first; i < tokens.size(); ++i) {
      if (IsSymbol(tokens[i], "(")) ++depth;
      else if (IsSymbol(tokens[i], ")")) --depth;
      else if (depth == 0 && Is(tokens[i], "INTO")) {
        size_t j = Skip(tokens, i + 1);
        size_t from = j;
        while (from < tokens.size() && !Is(tokens[from], "FROM")) ++from;
        if (from == tokens.size()) throw ProviderError("syntax error: SELECT INTO without FROM");
        std::vector<SqlToken> target(tokens.begin() + static_cast<long>(j), tokens.begin() + static_cast<long>(from));
        while (!target.empty() && target.back().kind == SqlToken::Space) target.pop_back();
        if (target.empty()) throw ProviderError("syntax error: SELECT INTO names no table");
        if (target[0].kind == SqlToken::Name && target[0].text.find(';') != std::string::npos && target.size() >= 3 &&
            IsSymbol(target[1], ".")) {
          std::string name;
          for (size_t k = 2; k < target.size(); ++k) name += target[k].text;
          st.into = ReadExternal(target[0].text, name);
        } else {
          std::string name;
          for (const SqlToken& t : target) {
            if (t.kind != SqlToken::Word && t.kind != SqlToken::Name) throw ProviderError("syntax error in SELECT INTO target");
            if (!name.empty()) throw ProviderError("syntax error in SELECT INTO target");
            name = t.text;
          }
          st.into.kind = IntoTarget::SameDatabase;
          st.into.table = name;
        }
        st.kind = ParsedStatement::SelectInto;
        std::vector<SqlToken> rest(tokens.begin(), tokens.begin() + static_cast<long>(i));
        rest.push_back({SqlToken::Space, " "});
        rest.insert(rest.end(), tokens.begin() + static_cast<long>(from), tokens.end());
        st.sqlite_sql = TranslateJet(rest);
        return st;
      }
    }
  }
  Reader r(tokens);
  if (r.TakeWord("CREATE")) {
    if (r.TakeWord("TABLE")) {
      st.kind = ParsedStatement::CreateTable;
      st.table = r.TakeName("a table name");
      r.Expect("(");
      do {
        if (r.TakeWord("CONSTRAINT") || r.TakeWord("PRIMARY"))
          throw ProviderError("table constraints are not supported; mark the column PRIMARY KEY instead");
        st.columns.push_back(ReadColumn(r));
      } while (r.TakeSymbol(","));
      r.Expect(")");
      r.ExpectEnd();
      return st;
    }
  } else if (r.TakeWord("DROP")) {
    if (r.TakeWord("TABLE")) {
      st.kind = ParsedStatement::DropTable;
      st.table = r.TakeName("a table name");
      r.ExpectEnd();
      return st;
    }
  } else if (r.TakeWord("ALTER")) {
    if (r.TakeWord("TABLE")) {
      st.table = r.TakeName("a table name");
      if (r.TakeWord("ADD")) {
        r.TakeWord("COLUMN");
        st.kind = ParsedStatement::AddColumn;
        st.columns.push_back(ReadColumn(r));
      } else if (r.TakeWord("ALTER")) {
        r.TakeWord("COLUMN");
        st.kind = ParsedStatement::AlterColumn;
        st.columns.push_back(ReadColumn(r));
        st.column = st.columns.back().name;
      } else if (r.TakeWord("DROP")) {
        r.TakeWord("COLUMN");
        st.kind = ParsedStatement::DropColumn;
        st.column = r.TakeName("a field name");
      } else {
        throw ProviderError("syntax error in ALTER TABLE statement");
      }
      r.ExpectEnd();
      return st;
    }
  }
  st.kind = ParsedStatement::Other;
  st.sqlite_sql = TranslateJet(tokens);
  return st;
}

}  // namespace vantor::providers::file
