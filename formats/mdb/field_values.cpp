#include "formats/mdb/field_values.h"

#include <charconv>
#include <cstring>

#include "formats/code_page.h"
#include "formats/mdb/column_types.h"
#include "formats/mdb/jet_text.h"
#include "formats/mdb/long_value.h"
#include "formats/storage.h"

namespace vantor::formats::mdb {
namespace {

constexpr size_t kDecimalSize = 17;
constexpr size_t kGuidSize = 16;

template <typename T>
T Load(std::span<const uint8_t> bytes) {
  T value;
  std::memcpy(&value, bytes.data(), sizeof value);  // the files are little-endian, as is this machine
  return value;
}

std::span<const uint8_t> Need(std::span<const uint8_t> bytes, size_t size, const MdbColumn& column) {
  if (bytes.size() < size)
    throw StorageError(std::string("damaged Access file: a value of column '") + column.name + "' is truncated");
  return bytes.first(size);
}

}  // namespace

TBcd DecodeDecimal(std::span<const uint8_t> bytes, int scale) {
  // Byte 0 holds the sign; then four little-endian 32-bit words, the most significant first.
  unsigned __int128 magnitude = 0;
  for (int word = 0; word < 4; ++word) magnitude = (magnitude << 32) | Load<uint32_t>(bytes.subspan(1 + word * 4, 4));
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (scale > 0) {
    if (digits.size() <= static_cast<size_t>(scale)) digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
  }
  if (bytes[0] & 0x80) digits.insert(0, 1, '-');
  TBcd out;
  if (scale < 0 || scale > 38 || !TBcd::TryParse(digits, out))
    throw StorageError("damaged Access file: a decimal value with scale " + std::to_string(scale));
  return out;
}

double ShortestSingle(float value) {
  char text[32];
  auto result = std::to_chars(text, text + sizeof text, value);
  double widened = 0;
  std::from_chars(text, result.ptr, widened);
  return widened;
}

std::string DecodeText(std::span<const uint8_t> bytes, const FieldContext& context) {
  if (context.version == JetVersion::Jet3)
    return DecodeCodePage(context.jet3_code_page,
                          std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  return DecodeJet4Text(bytes);
}

Value DecodeField(const MdbColumn& column, bool is_null, std::span<const uint8_t> bytes, FieldContext& context) {
  // A Yes/No value lives in the null mask: set means Yes.
  if (column.col_type == MDB_BOOL) return Value(!is_null);
  if (is_null) return Value();
  switch (column.col_type) {
    case MDB_BYTE: return Value(static_cast<int16_t>(Need(bytes, 1, column)[0]));
    case MDB_INT: return Value(Load<int16_t>(Need(bytes, 2, column)));
    case MDB_LONGINT:
    case MDB_COMPLEX: return Value(Load<int32_t>(Need(bytes, 4, column)));
    case kMdbBigInt: return Value(Load<int64_t>(Need(bytes, 8, column)));
    case MDB_MONEY: return Value(Currency::FromScaled(Load<int64_t>(Need(bytes, 8, column))));
    case MDB_FLOAT: return Value(ShortestSingle(Load<float>(Need(bytes, 4, column))));
    case MDB_DOUBLE: return Value(Load<double>(Need(bytes, 8, column)));
    case MDB_DATETIME: {
      const double ole = Load<double>(Need(bytes, 8, column));
      try {
        return Value(DateTime::FromOleDate(ole));
      } catch (const EConvertError&) {
        throw StorageError(std::string("damaged Access file: a date of column '") + column.name + "' is out of range");
      }
    }
    case MDB_TEXT: return Value(DecodeText(bytes, context));
    case MDB_MEMO: return Value(DecodeText(ReadLongValue(*context.pages, bytes), context));
    case MDB_OLE: return Value(ReadLongValue(*context.pages, bytes));
    case MDB_REPID: {
      Guid guid;
      std::memcpy(guid.bytes.data(), Need(bytes, kGuidSize, column).data(), kGuidSize);
      return Value(guid);
    }
    case MDB_NUMERIC:  // libmdb's col_prec holds the scale
      return Value(DecodeDecimal(Need(bytes, kDecimalSize, column), column.col_prec));
    default: return Value(Bytes(bytes.begin(), bytes.end()));  // MDB_BINARY and types this program does not know
  }
}

}  // namespace vantor::formats::mdb
