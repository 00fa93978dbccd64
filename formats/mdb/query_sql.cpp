#include "formats/mdb/query_sql.h"

#include <algorithm>
#include <set>

namespace vantor::formats::mdb {
namespace {

std::string Bracket(const std::string& name) {
  std::string out = "[";
  for (char c : name) out += c == ']' ? std::string("]]") : std::string(1, c);
  return out + "]";
}

std::string Join(const std::vector<std::string>& items, const char* separator) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + items[i];
  return out;
}

struct Source {
  std::string key;   // the name joins refer to: the alias, else the table
  std::string text;  // as it stands in FROM
};

struct JoinGroup {
  std::string left, right;
  int kind = 1;
  std::vector<std::string> conditions;
};

const char* JoinWord(int kind) { return kind == 2 ? " LEFT JOIN " : kind == 3 ? " RIGHT JOIN " : " INNER JOIN "; }

std::string Condition(const JoinGroup& group) {
  if (group.conditions.size() == 1) return group.conditions[0];
  std::vector<std::string> parts;
  for (const std::string& c : group.conditions) parts.push_back("(" + c + ")");
  return Join(parts, " AND ");
}

// FROM: tables linked by joins become nested JOIN clauses, the rest are listed with commas.
std::string FromClause(const std::vector<Source>& sources, const std::vector<JoinGroup>& joins) {
  auto text_of = [&](const std::string& key) {
    for (const Source& s : sources)
      if (s.key == key) return s.text;
    return Bracket(key);
  };
  std::vector<std::string> items;
  std::set<std::string> placed;
  std::vector<bool> used(joins.size(), false);
  for (size_t start = 0; start < joins.size(); ++start) {
    if (used[start]) continue;
    std::string clause = text_of(joins[start].left);
    std::set<std::string> joined{joins[start].left};
    bool nested = false;
    for (bool progress = true; progress;) {
      progress = false;
      for (size_t j = 0; j < joins.size(); ++j) {
        if (used[j]) continue;
        const JoinGroup& g = joins[j];
        const bool has_left = joined.count(g.left) != 0, has_right = joined.count(g.right) != 0;
        if (!has_left && !has_right) continue;
        if (has_left && has_right) continue;  // a second link between placed tables: taken up below
        // The new table joins the clause built so far; a left join seen from the other side is a right join.
        const std::string added = has_left ? g.right : g.left;
        const int kind = has_left ? g.kind : (g.kind == 2 ? 3 : g.kind == 3 ? 2 : g.kind);
        clause = (nested ? "(" + clause + ")" : clause) + JoinWord(kind) + text_of(added) + " ON " + Condition(g);
        nested = true;
        joined.insert(added);
        used[j] = progress = true;
      }
    }
    placed.insert(joined.begin(), joined.end());
    items.push_back(clause);
  }
  for (const Source& s : sources)
    if (!placed.count(s.key)) items.push_back(s.text);
  return Join(items, ", ");
}

}  // namespace

std::string BuildSelectSql(const std::vector<QueryPart>& parts) {
  std::string options;
  std::vector<std::string> columns, where, group_by, having, order_by;
  std::vector<Source> sources;
  std::vector<JoinGroup> joins;
  for (const QueryPart& p : parts) {
    switch (p.attribute) {
      case kQueryOptions:
        if (p.flag > 0 && (p.flag & 0x10)) options = " TOP " + p.name1 + ((p.flag & 0x20) ? " PERCENT" : "");
        if (p.flag > 0 && (p.flag & 0x08)) options += " DISTINCTROW";
        else if (p.flag > 0 && (p.flag & 0x02)) options += " DISTINCT";
        break;
      case kQueryTable: {
        Source s;
        s.key = p.name2.empty() ? p.name1 : p.name2;
        s.text = p.expression.empty() ? Bracket(p.name1) : "(" + p.expression + ")";
        if (!p.name2.empty()) s.text += " AS " + Bracket(p.name2);
        sources.push_back(s);
        break;
      }
      case kQueryColumn:
        columns.push_back(p.name1.empty() ? p.expression : p.expression + " AS " + Bracket(p.name1));
        break;
      case kQueryJoin: {
        auto same = [&](const JoinGroup& g) { return g.left == p.name1 && g.right == p.name2; };
        auto it = std::find_if(joins.begin(), joins.end(), same);
        if (it == joins.end()) {
          joins.push_back({p.name1, p.name2, p.flag, {}});
          it = joins.end() - 1;
        }
        it->conditions.push_back(p.expression);
        break;
      }
      case kQueryWhere: where.push_back(p.expression); break;
      case kQueryGroupBy: group_by.push_back(p.expression); break;
      case kQueryHaving: having.push_back(p.expression); break;
      case kQueryOrderBy: order_by.push_back(p.expression + (p.name1 == "D" ? " DESC" : "")); break;
      default: break;
    }
  }
  std::string sql = "SELECT" + options + " " + (columns.empty() ? "*" : Join(columns, ", "));
  if (!sources.empty() || !joins.empty()) sql += " FROM " + FromClause(sources, joins);
  if (!where.empty()) sql += " WHERE " + Join(where, " AND ");
  if (!group_by.empty()) sql += " GROUP BY " + Join(group_by, ", ");
  if (!having.empty()) sql += " HAVING " + Join(having, " AND ");
  if (!order_by.empty()) sql += " ORDER BY " + Join(order_by, ", ");
  return sql;
}

}  // namespace vantor::formats::mdb
