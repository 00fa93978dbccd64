#include "dbf_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include "tests/support/testdata.h"

namespace vantor::formats::dbf::testing {

namespace fs = std::filesystem;

namespace {

// Reader output: one row a line, cells separated by tabs, \N for null, backslash escapes for \ tab CR LF.
Table ParseRows(const std::string& text) {
  Table rows;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<Cell> row;
    std::string cell;
    bool is_null = false;
    auto finish = [&] {
      row.push_back(is_null ? Cell() : Cell(cell));
      cell.clear();
      is_null = false;
    };
    for (size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '\t') {
        finish();
      } else if (c == '\\' && i + 1 < line.size()) {
        const char e = line[++i];
        if (e == 'N') is_null = true;
        else cell.push_back(e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e);
      } else {
        cell.push_back(c);
      }
    }
    finish();
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') out += "'\\''";
    else out.push_back(c);
  }
  return out + "'";
}

const std::string& Python() {
  static const std::string python = [] {
    int status = 0;
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
      RunCommand(std::string(candidate) + " -c 'import dbfread' 2>/dev/null", status);
      if (status == 0) return std::string(candidate);
    }
    return std::string();
  }();
  return python;
}

constexpr const char* kDbfreadScript = R"PY(
import sys, datetime, decimal, dbfread
def text(v):
    if v is None: return '\\N'
    if isinstance(v, bool): s = '1' if v else '0'
    elif isinstance(v, datetime.datetime):
        s = v.strftime('%Y-%m-%d') if v.time() == datetime.time(0) else v.strftime('%Y-%m-%d %H:%M:%S')
        if v.microsecond: s += '.%03d' % (v.microsecond // 1000)
    elif isinstance(v, datetime.date): s = v.isoformat()
    elif isinstance(v, bytes): s = '0x' + v.hex()
    elif isinstance(v, float): s = repr(v)
    else: s = str(v)
    return s.replace('\\', '\\\\').replace('\t', '\\t').replace('\n', '\\n').replace('\r', '\\r')
t = dbfread.DBF(sys.argv[1], encoding=sys.argv[2], char_decode_errors='replace', ignore_missing_memofile=True,
                recfactory=lambda items: [v for _, v in items])
out = sys.stdout
keep = [f.type != '0' for f in t.fields]  # the hidden null-flags field is no column
for r in t:
    out.write('\t'.join(text(v) for v, k in zip(r, keep) if k) + '\n')
)PY";

constexpr const char* kDbffileScript = R"JS(
const { DBFFile } = require(process.argv[3]);
const text = v => {
  if (v === null || v === undefined) return '\\N';
  let s;
  if (typeof v === 'boolean') s = v ? '1' : '0';
  else if (v instanceof Date) {
    s = v.toISOString().replace('T', ' ').replace('Z', '');
    if (s.endsWith('.000')) s = s.slice(0, -4);
    if (s.endsWith(' 00:00:00')) s = s.slice(0, -9);
  } else if (Buffer.isBuffer(v)) s = '0x' + v.toString('hex');
  else s = String(v);
  return s.replace(/\\/g, '\\\\').replace(/\t/g, '\\t').replace(/\n/g, '\\n').replace(/\r/g, '\\r');
};
(async () => {
  const dbf = await DBFFile.open(process.argv[2], { encoding: process.argv[4], readMode: 'loose' });
  const rows = await dbf.readRecords(1e9);
  let out = '';
  for (const r of rows) out += dbf.fields.map(f => text(r[f.name])).join('\t') + '\n';
  process.stdout.write(out);
})().catch(e => { console.error(e.message); process.exit(1); });
)JS";

std::string WriteScript(const char* body, const char* ext) {
  std::string path = (fs::temp_directory_path() / ("dbf-reader-" + std::to_string(::getpid()) + ext)).string();
  FILE* f = std::fopen(path.c_str(), "w");
  std::fputs(body, f);
  std::fclose(f);
  return path;
}

}  // namespace

ScratchDir::ScratchDir() {
  std::random_device rd;
  path_ = fs::temp_directory_path() / ("dbf-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    status = -1;
    return out;
  }
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int rc = ::pclose(pipe);
  status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

Table ReadWithDbfread(const fs::path& dbf, const std::string& encoding) {
  if (Python().empty()) {
    ADD_FAILURE() << "no python3 with dbfread (install python3-dbfread)";
    return {};
  }
  static const std::string script = WriteScript(kDbfreadScript, ".py");
  int status = 0;
  std::string out = RunCommand(Python() + " " + script + " " + Quote(dbf.string()) + " " + encoding, status);
  EXPECT_EQ(status, 0) << "dbfread could not read " << dbf;
  return ParseRows(out);
}

bool DbffileAvailable() { return fs::exists(vantor::testing::ReadersDir() / "node_modules" / "dbffile"); }

Table ReadWithDbffile(const fs::path& dbf, const std::string& encoding) {
  static const std::string script = WriteScript(kDbffileScript, ".js");
  int status = 0;
  const std::string module = (vantor::testing::ReadersDir() / "node_modules" / "dbffile").string();
  std::string out =
      RunCommand("TZ=UTC node " + script + " " + Quote(dbf.string()) + " " + Quote(module) + " " + encoding, status);
  EXPECT_EQ(status, 0) << "dbffile could not read " << dbf;
  return ParseRows(out);
}

Table ReadWithEngine(Storage& storage, const std::string& table) {
  Table rows;
  auto cursor = storage.Scan(table);
  Row row;
  while (cursor->Next(row)) {
    std::vector<Cell> cells;
    for (const Value& v : row) cells.push_back(Canonical(v));
    rows.push_back(std::move(cells));
  }
  return rows;
}

Cell Canonical(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Null: return std::nullopt;
    case Value::Kind::Boolean: return std::string(v.get<bool>() ? "1" : "0");
    case Value::Kind::DateTime: return v.get<DateTime>().ToString();
    case Value::Kind::Bytes: {
      static const char* hex = "0123456789abcdef";
      std::string s = "0x";
      for (uint8_t b : v.get<Bytes>()) {
        s.push_back(hex[b >> 4]);
        s.push_back(hex[b & 15]);
      }
      return s;
    }
    default: return v.AsString();
  }
}

namespace {

// Bytes a code page leaves unassigned: readers show them as U+FFFD or as the C1 control of the same number.
std::string MaskUnassigned(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == 0xEF && i + 2 < s.size() && s.compare(i, 3, "\xEF\xBF\xBD") == 0) {
      out.push_back('?');
      i += 2;
    } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) < 0xA0) {
      out.push_back('?');
      ++i;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

}  // namespace

bool SameCell(const Cell& a, const Cell& b) {
  if (a.has_value() != b.has_value()) return false;
  if (!a) return true;
  if (*a == *b || MaskUnassigned(*a) == MaskUnassigned(*b)) return true;
  double x = 0, y = 0;
  if (TryParseDouble(*a, x) && TryParseDouble(*b, y))
    return x == y || std::fabs(x - y) <= 1e-12 * std::max(std::fabs(x), std::fabs(y));
  return false;
}

void ExpectSameTable(const Table& expected, const Table& actual, const std::string& what) {
  ASSERT_EQ(expected.size(), actual.size()) << what << ": row count";
  int reported = 0;
  for (size_t r = 0; r < expected.size() && reported < 10; ++r) {
    ASSERT_EQ(expected[r].size(), actual[r].size()) << what << ": cells in row " << r;
    for (size_t c = 0; c < expected[r].size(); ++c) {
      if (!SameCell(expected[r][c], actual[r][c])) {
        ADD_FAILURE() << what << ": row " << r << ", column " << c << ": expected "
                      << expected[r][c].value_or("<null>") << ", got " << actual[r][c].value_or("<null>");
        ++reported;
      }
    }
  }
}

void CopySample(const fs::path& sample, const fs::path& dir) {
  const std::string stem = sample.stem().string();
  for (const auto& entry : fs::directory_iterator(sample.parent_path()))
    if (entry.path().stem().string() == stem)
      fs::copy_file(entry.path(), dir / entry.path().filename(), fs::copy_options::overwrite_existing);
  for (const auto& entry : fs::directory_iterator(dir)) fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace vantor::formats::dbf::testing
