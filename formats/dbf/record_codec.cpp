#include "formats/dbf/record_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "dataset/errors.h"
#include "dataset/text.h"

namespace vantor::formats::dbf {
namespace {

constexpr int64_t kJulianDayOfYearOne = 1721426;  // Julian day number of 0001-01-01 (proleptic Gregorian)

uint32_t Le32(const char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
int64_t Le64(const char* p) {
  int64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

bool IsBlank(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != ' ' && p[i] != '\0') return false;
  return true;
}

bool IsBinaryType(const FieldDescriptor& f, const TableHeader& h) {
  if (f.type == 'Q' || f.type == 'G' || f.type == 'W' || f.type == 'P') return true;
  if (f.type == 'B' && !h.IsVisualFoxPro()) return true;
  return (f.type == 'C' || f.type == 'V' || f.type == 'M') && f.IsBinary();
}

// Parses a right-aligned decimal ("  -12.50") into a TBcd without allocating. False when it is not one.
bool ParsePlainDecimal(const char* p, size_t n, TBcd& out) {
  size_t i = 0;
  while (i < n && p[i] == ' ') ++i;
  while (n > i && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
  if (i >= n) return false;
  bool negative = false;
  if (p[i] == '-' || p[i] == '+') {
    negative = p[i] == '-';
    ++i;
  }
  while (i + 1 < n && p[i] == '0' && p[i + 1] != '.' && p[i + 1] != ',') ++i;  // leading zeros
  out = TBcd{};
  int digits = 0, places = 0;
  bool point = false, any = false;
  for (; i < n; ++i) {
    const char c = p[i];
    if (c >= '0' && c <= '9') {
      if (digits >= 64) return false;
      const int d = c - '0';
      out.Fraction[digits / 2] |= static_cast<uint8_t>((digits & 1) ? d : d << 4);
      ++digits;
      if (point) ++places;
      any = true;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!any) return false;
  if (places > 63) return false;
  out.Precision = static_cast<uint8_t>(digits);
  bool zero = true;
  for (int k = 0; k < (digits + 1) / 2; ++k) zero = zero && out.Fraction[k] == 0;
  out.SignSpecialPlaces = static_cast<uint8_t>(((negative && !zero) ? 0x80 : 0) | places);
  return true;
}

// Writes `value` with exactly `decimals` places ("-12.50"); false when it has more significant places.
bool FormatFixed(const TBcd& value, int decimals, char* out, size_t& len) {
  const int precision = std::min<int>(value.Precision, 64);
  const int scale = std::min(value.Scale(), 63);
  const int int_digits = precision - scale;  // may be negative: 0.00xy
  auto digit = [&](int position) {  // position 0 is the first digit after the point, -1 the units
    const int index = int_digits + position;
    return index >= 0 && index < precision ? value.Digit(index) : 0;
  };
  int last = scale - 1;  // last significant decimal place
  while (last >= 0 && digit(last) == 0) --last;
  if (last >= decimals) return false;
  bool any = false;
  len = 0;
  char int_part[70];
  size_t int_len = 0;
  for (int i = 0; i < int_digits; ++i) {
    const int d = value.Digit(i);
    if (d == 0 && int_len == 0) continue;
    int_part[int_len++] = static_cast<char>('0' + d);
    any = true;
  }
  for (int k = 0; k <= last; ++k) any = any || digit(k) != 0;
  if (value.IsNegative() && any) out[len++] = '-';
  if (int_len == 0) out[len++] = '0';
  std::memcpy(out + len, int_part, int_len);
  len += int_len;
  if (decimals > 0) {
    out[len++] = '.';
    for (int k = 0; k < decimals; ++k) out[len++] = static_cast<char>('0' + digit(k));
  }
  return true;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  // Inverse of DaysFromCivil (Howard Hinnant's algorithm shifted to 0001-01-01).
  int64_t z = days + 719468 - 719162;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

bool ValidCivil(int y, int m, int d) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap);
}

int Digits(const char* p, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) {
    if (p[i] < '0' || p[i] > '9') return -1;
    v = v * 10 + (p[i] - '0');
  }
  return v;
}

}  // namespace

int64_t DaysFromCivil(int year, int month, int day) {
  const int64_t y = year - (month <= 2);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 719162;  // 719162: days from 0001-01-01 to 1970-01-01
}

ColumnInfo ColumnForField(const TableHeader& h, const FieldDescriptor& f) {
  ColumnInfo c;
  c.name = f.name;
  c.nullable = h.IsVisualFoxPro() ? f.IsNullable() : true;
  const bool binary = IsBinaryType(f, h);
  switch (f.type) {
    case 'C': c.ado_type = binary ? adBinary : adChar; c.defined_size = f.length; break;
    case 'V': c.ado_type = binary ? adVarBinary : adVarChar; c.defined_size = f.length; break;
    case 'Q': c.ado_type = adVarBinary; c.defined_size = f.length; break;
    case 'N': case 'F':
      c.ado_type = adNumeric;
      c.defined_size = f.length;
      // Digits the field holds: its width less the sign and the decimal point.
      c.precision = std::max(1, f.length - 1 - (f.decimals > 0 ? 1 : 0));
      c.numeric_scale = f.decimals;
      break;
    case 'L': c.ado_type = adBoolean; break;
    case 'D': c.ado_type = adDate; break;
    case 'T': c.ado_type = adDBTimeStamp; break;
    case 'I':
      c.ado_type = adInteger;
      c.auto_increment = f.IsAutoIncrement();
      if (c.auto_increment) c.nullable = false;
      break;
    case 'Y': c.ado_type = adCurrency; break;
    case 'B': c.ado_type = h.IsVisualFoxPro() ? adDouble : adLongVarBinary; break;
    case 'M': c.ado_type = binary ? adLongVarBinary : adLongVarChar; break;
    default: c.ado_type = adLongVarBinary; break;  // G, W, P
  }
  return c;
}

RecordCodec::RecordCodec(const TableHeader& header, std::shared_ptr<const TextCodec> codec, std::string table)
    : header_(header), codec_(std::move(codec)), table_(std::move(table)) {
  for (size_t i = 0; i < header_.fields.size(); ++i)
    if (!header_.fields[i].IsSystem()) visible_.push_back(static_cast<int>(i));
}

void RecordCodec::FieldError(const FieldDescriptor& f, const std::string& what) const {
  throw StorageError("table '" + table_ + "', field '" + f.name + "': " + what);
}

void RecordCodec::Decode(const char* record, const MemoFile* memo, int64_t row_id, Row& row,
                         const std::vector<bool>* wanted) const {
  row.resize(visible_.size());
  const char* null_flags =
      header_.null_flags_field >= 0 ? record + header_.fields[header_.null_flags_field].offset : nullptr;
  auto bit = [null_flags](int b) { return b >= 0 && null_flags && ((null_flags[b >> 3] >> (b & 7)) & 1); };
  auto bad = [&](const FieldDescriptor& f, const std::string& what) {
    FieldError(f, "row " + std::to_string(row_id + 1) + ": " + what);
  };
  for (size_t col = 0; col < visible_.size(); ++col) {
    const FieldDescriptor& f = header_.fields[visible_[col]];
    const char* p = record + f.offset;
    const size_t n = f.length;
    Value& out = row[col];
    if ((wanted && col < wanted->size() && !(*wanted)[col]) || bit(f.null_bit)) {
      out = Value();
      continue;
    }
    switch (f.type) {
      case 'C': {
        if (f.IsBinary()) {
          out = Value(Bytes(p, p + n));
          break;
        }
        size_t len = n;
        while (len > 0 && (p[len - 1] == ' ' || p[len - 1] == '\0')) --len;
        std::string s;
        codec_->Decode(std::string_view(p, len), s);
        out = Value(std::move(s));
        break;
      }
      case 'V': case 'Q': {
        size_t len = n;
        if (bit(f.varlength_bit)) {
          len = static_cast<uint8_t>(p[n - 1]);
          if (len >= n) bad(f, "its stored length " + std::to_string(len) + " exceeds the field");
        }
        if (f.type == 'Q' || f.IsBinary()) {
          out = Value(Bytes(p, p + len));
        } else {
          std::string s;
          codec_->Decode(std::string_view(p, len), s);
          out = Value(std::move(s));
        }
        break;
      }
      case 'N': case 'F': {
        // Decoded in place: the row's value usually holds a decimal from the previous row already.
        if (ParsePlainDecimal(p, n, out.Emplace<TBcd>())) break;
        out = Value();
        if (IsBlank(p, n)) break;
        std::string_view text = TrimBlanks(std::string_view(p, n));
        if (text.find_first_not_of('*') == std::string_view::npos) {
          out = Value();  // a value too wide for the field, written as asterisks: nothing is stored
          break;
        }
        if (text.find_first_of("0123456789") == std::string_view::npos &&
            text.find_first_not_of(" .,+-") == std::string_view::npos) {
          out = Value();  // an empty number written with its decimal point (dBase II)
          break;
        }
        double d = 0;
        if (TryParseDouble(text, d) && std::isfinite(d)) {
          out = Value(TBcd::FromDouble(d));
          break;
        }
        bad(f, "'" + std::string(text) + "' is not a number");
        break;
      }
      case 'L':
        switch (*p) {
          case 'T': case 't': case 'Y': case 'y': out = Value(true); break;
          case 'F': case 'f': case 'N': case 'n': out = Value(false); break;
          case '?': case ' ': case '\0': out = Value(); break;
          default: bad(f, "'" + std::string(1, *p) + "' is not a logical value");
        }
        break;
      case 'D': {
        if (IsBlank(p, n) || std::string_view(p, n).find_first_not_of("0 ") == std::string_view::npos) {
          out = Value();
          break;
        }
        const int y = Digits(p, 4), m = Digits(p + 4, 2), d = Digits(p + 6, 2);
        if (!ValidCivil(y, m, d)) bad(f, "'" + std::string(p, n) + "' is not a date");
        out = Value(DateTime{DaysFromCivil(y, m, d) * DateTime::kMsPerDay});
        break;
      }
      case 'T': {
        const uint32_t jdn = Le32(p), ms = Le32(p + 4);
        if (jdn == 0) {
          out = Value();
          break;
        }
        const int64_t days = static_cast<int64_t>(jdn) - kJulianDayOfYearOne;
        if (days < 0 || days > DaysFromCivil(9999, 12, 31) || ms >= DateTime::kMsPerDay)
          bad(f, "the date-time (day " + std::to_string(jdn) + ", " + std::to_string(ms) + " ms) is out of range");
        out = Value(DateTime{days * DateTime::kMsPerDay + ms});
        break;
      }
      case 'I': out = Value(static_cast<int32_t>(Le32(p))); break;
      case 'Y': out = Value(Currency::FromScaled(Le64(p))); break;
      case 'B':
        if (header_.IsVisualFoxPro()) {
          double d;
          std::memcpy(&d, p, 8);
          out = Value(d);
          break;
        }
        [[fallthrough]];
      case 'M': case 'G': case 'W': case 'P': {
        uint64_t block = 0;
        if (n == 4) {
          block = Le32(p);
        } else {
          std::string_view text = TrimBlanks(std::string_view(p, n));
          if (!text.empty()) {
            auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), block);
            if (ec != std::errc() || end != text.data() + text.size())
              bad(f, "the memo pointer '" + std::string(text) + "' is not a number");
          }
        }
        if (block == 0) {
          // Nothing stored: null, except that a nullable field that is not null holds an empty memo.
          if (f.null_bit >= 0) out = IsBinaryType(f, header_) ? Value(Bytes()) : Value(std::string());
          else out = Value();
          break;
        }
        if (!memo) bad(f, "the table's memo file is missing");
        std::string data = memo->Read(block);
        if (IsBinaryType(f, header_)) {
          out = Value(Bytes(data.begin(), data.end()));
        } else {
          std::string s;
          codec_->Decode(data, s);
          out = Value(std::move(s));
        }
        break;
      }
      default: bad(f, "unsupported field type");
    }
  }
}

void RecordCodec::Encode(const Row& row, std::string& record, std::vector<PendingMemo>& memos) const {
  if (row.size() != visible_.size())
    throw StorageError("table '" + table_ + "' has " + std::to_string(visible_.size()) + " columns, the row gives " +
                       std::to_string(row.size()) + " values");
  record.assign(header_.record_length, ' ');
  memos.clear();
  if (header_.null_flags_field >= 0) {
    const FieldDescriptor& nf = header_.fields[header_.null_flags_field];
    std::memset(record.data() + nf.offset, 0, nf.length);
  }
  for (size_t col = 0; col < visible_.size(); ++col) {
    const int index = visible_[col];
    const FieldDescriptor& f = header_.fields[index];
    try {
      EncodeField(f, index, row[col], record.data() + f.offset, record, memos);
    } catch (const StorageError&) {
      throw;
    } catch (const Exception& e) {
      FieldError(f, e.Message());
    } catch (const std::exception& e) {
      FieldError(f, e.what());
    }
  }
}

void RecordCodec::EncodeField(const FieldDescriptor& f, int index, const Value& v, char* dst, std::string& record,
                              std::vector<PendingMemo>& memos) const {
  const size_t n = f.length;
  auto set_bit = [&](int b) {
    char* flags = record.data() + header_.fields[header_.null_flags_field].offset;
    flags[b >> 3] = static_cast<char>(flags[b >> 3] | (1 << (b & 7)));
  };
  const bool binary_layout = f.type == 'I' || f.type == 'Y' || f.type == 'T' || (f.type == 'B' && header_.IsVisualFoxPro()) ||
                             ((f.type == 'M' || f.type == 'G' || f.type == 'W') && n == 4);
  if (v.IsNull()) {
    if (f.null_bit >= 0) {
      set_bit(f.null_bit);
      std::memset(dst, binary_layout || f.type == 'Q' ? 0 : ' ', n);
      return;
    }
    // Types with a blank form store null as blank (dBase has no other null); the others cannot hold it.
    switch (f.type) {
      case 'C': case 'N': case 'F': case 'D': std::memset(dst, ' ', n); return;
      case 'L': *dst = '?'; return;
      case 'T': std::memset(dst, 0, n); return;
      case 'M': case 'G': case 'W': case 'P': std::memset(dst, n == 4 ? 0 : ' ', n); return;
      case 'B': if (!header_.IsVisualFoxPro()) { std::memset(dst, ' ', n); return; } break;
      default: break;
    }
    FieldError(f, "the field cannot hold a null");
  }
  auto encode_text = [&](const std::string& text, std::string& out) {
    if (!codec_->Encode(text, out))
      FieldError(f, "the text cannot be written in the table's code page " + std::to_string(codec_->code_page()));
  };
  switch (f.type) {
    case 'C': {
      std::string bytes;
      if (f.IsBinary()) {
        Bytes b = v.AsBytes();
        bytes.assign(b.begin(), b.end());
      } else {
        encode_text(v.AsString(), bytes);
      }
      if (bytes.size() > n)
        FieldError(f, "the value needs " + std::to_string(bytes.size()) + " bytes, the field holds " + std::to_string(n));
      std::memcpy(dst, bytes.data(), bytes.size());
      return;
    }
    case 'V': case 'Q': {
      std::string bytes;
      if (f.type == 'Q' || f.IsBinary()) {
        Bytes b = v.AsBytes();
        bytes.assign(b.begin(), b.end());
      } else {
        encode_text(v.AsString(), bytes);
      }
      if (bytes.size() > n)
        FieldError(f, "the value needs " + std::to_string(bytes.size()) + " bytes, the field holds " + std::to_string(n));
      std::memset(dst, 0, n);
      std::memcpy(dst, bytes.data(), bytes.size());
      if (bytes.size() < n) {
        dst[n - 1] = static_cast<char>(bytes.size());
        set_bit(f.varlength_bit);
      }
      return;
    }
    case 'N': case 'F': {
      char text[96];
      size_t len = 0;
      const Value::Kind kind = v.kind();
      if (kind == Value::Kind::Int16 || kind == Value::Kind::Int32 || kind == Value::Kind::Int64) {
        len = static_cast<size_t>(std::to_chars(text, text + 40, v.AsInt64()).ptr - text);
        if (f.decimals > 0) {
          text[len++] = '.';
          for (int k = 0; k < f.decimals && len < sizeof text; ++k) text[len++] = '0';
        }
      } else {
        const TBcd bcd = kind == Value::Kind::Bcd ? v.get<TBcd>() : v.AsBcd();
        if (!FormatFixed(bcd, f.decimals, text, len))
          FieldError(f, "the value " + bcd.ToString() + " has more than " + std::to_string(f.decimals) + " decimals");
      }
      if (len > n)
        FieldError(f, "the value " + std::string(text, len) + " does not fit in " + std::to_string(n) + " characters");
      std::memcpy(dst + (n - len), text, len);
      return;
    }
    case 'L': *dst = v.AsBoolean() ? 'T' : 'F'; return;
    case 'D': {
      const DateTime dt = v.AsDateTime();
      if (dt.ms % DateTime::kMsPerDay != 0) FieldError(f, "the field holds dates only, the value has a time of day");
      int y, m, d;
      CivilFromDays(dt.ms / DateTime::kMsPerDay, y, m, d);
      if (y < 1 || y > 9999) FieldError(f, "the date is out of range");
      const int parts[8] = {y / 1000, y / 100 % 10, y / 10 % 10, y % 10, m / 10, m % 10, d / 10, d % 10};
      for (int k = 0; k < 8; ++k) dst[k] = static_cast<char>('0' + parts[k]);
      return;
    }
    case 'T': {
      const DateTime dt = v.AsDateTime();
      if (dt.ms < 0) FieldError(f, "the date is out of range");
      const uint32_t jdn = static_cast<uint32_t>(dt.ms / DateTime::kMsPerDay + kJulianDayOfYearOne);
      const uint32_t ms = static_cast<uint32_t>(dt.ms % DateTime::kMsPerDay);
      std::memcpy(dst, &jdn, 4);
      std::memcpy(dst + 4, &ms, 4);
      return;
    }
    case 'I': {
      const int32_t i = v.AsInt32();
      std::memcpy(dst, &i, 4);
      return;
    }
    case 'Y': {
      const int64_t scaled = v.AsCurrency().scaled;
      std::memcpy(dst, &scaled, 8);
      return;
    }
    case 'B':
      if (header_.IsVisualFoxPro()) {
        const double d = v.AsDouble();
        std::memcpy(dst, &d, 8);
        return;
      }
      [[fallthrough]];
    case 'M': case 'G': case 'W': case 'P': {
      PendingMemo memo;
      memo.field = index;
      if (IsBinaryType(f, header_)) {
        Bytes b = v.AsBytes();
        memo.data.assign(b.begin(), b.end());
        memo.type = kMemoPicture;
      } else {
        encode_text(v.AsString(), memo.data);
      }
      memset(dst, n == 4 ? 0 : ' ', n);
      memos.push_back(std::move(memo));
      return;
    }
    default: FieldError(f, "the field type cannot be written");
  }
}

void RecordCodec::SetMemoBlock(std::string& record, int field, uint64_t block) const {
  const FieldDescriptor& f = header_.fields[field];
  char* dst = record.data() + f.offset;
  if (f.length == 4) {
    const uint32_t b = static_cast<uint32_t>(block);
    std::memcpy(dst, &b, 4);
  } else {
    std::string text = std::to_string(block);
    if (text.size() > f.length) FieldError(f, "the memo block number does not fit");
    std::memset(dst, ' ', f.length);
    std::memcpy(dst + (f.length - text.size()), text.data(), text.size());
  }
}

}  // namespace vantor::formats::dbf
