#include "dataset/native.h"

#include <cstring>

#include "dataset/errors.h"
#include "dataset/text.h"

namespace vantor {
namespace {

template <typename T>
T Load(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
void Store(void* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

int64_t CheckedInteger(const Value& value, int64_t lo, int64_t hi) {
  const int64_t v = value.AsInt64();
  if (v < lo || v > hi)
    throw EConvertError(Format("%lld is out of the range %lld to %lld", static_cast<long long>(v),
                               static_cast<long long>(lo), static_cast<long long>(hi)));
  return v;
}

}  // namespace

int NativeSize(TFieldType type, int size) {
  switch (type) {
    case ftString:
    case ftFixedChar: return size + 1;
    case ftGuid: return 39;
    case ftOraInterval: return 21;
    case ftWideString:
    case ftFixedWideChar: return 2 * size + 4;
    case ftSmallint:
    case ftWord:
    case ftBoolean: return 2;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime: return 4;
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
    case ftLargeint: return 8;
    case ftBCD:
    case ftFMTBcd: return 34;
    case ftBytes: return size;
    case ftVarBytes: return size + 2;
    case ftTimeStamp:
    case ftOraTimeStamp: return 16;
    default: return 0;
  }
}

Value::Kind NativeValueKind(TFieldType type) {
  switch (type) {
    case ftString: case ftFixedChar: case ftOraInterval: case ftMemo: case ftFmtMemo: case ftOraClob:
      return Value::Kind::String;
    case ftWideString: case ftFixedWideChar: case ftWideMemo: return Value::Kind::WideString;
    case ftSmallint: case ftWord: return Value::Kind::Int32;
    case ftInteger: case ftAutoInc: return Value::Kind::Int32;
    case ftLargeint: return Value::Kind::Int64;
    case ftBoolean: return Value::Kind::Boolean;
    case ftFloat: return Value::Kind::Double;
    case ftCurrency: return Value::Kind::Currency;
    case ftBCD: case ftFMTBcd: return Value::Kind::Bcd;
    case ftDate: case ftTime: case ftDateTime: case ftTimeStamp: case ftOraTimeStamp: return Value::Kind::DateTime;
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: case ftOraBlob:
      return Value::Kind::Bytes;
    case ftGuid: return Value::Kind::Guid;
    default: return Value::Kind::Null;
  }
}

Value ReadNative(TFieldType type, int size, const void* buffer) {
  const char* p = static_cast<const char*>(buffer);
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftOraInterval: {
      const int cap = NativeSize(type, size) - 1;
      return Value(std::string(p, strnlen(p, static_cast<size_t>(cap))));
    }
    case ftGuid: {
      // Stored as its braced text; an unparsable text is handed out as text rather than dropped.
      const std::string text(p, strnlen(p, 38));
      Guid g;
      if (Guid::TryParse(text, g)) return Value(g);
      return Value(text);
    }
    case ftWideString:
    case ftFixedWideChar: {
      // The text may sit at an odd address inside a record: find its length, then copy it in one go.
      size_t length = 0;
      while (length <= static_cast<size_t>(size) && Load<char16_t>(p + 2 * length) != 0) ++length;
      std::u16string s(length, u'\0');
      std::memcpy(s.data(), p, 2 * length);
      return Value(std::move(s));
    }
    case ftSmallint: return Value(static_cast<int32_t>(Load<int16_t>(p)));
    case ftWord: return Value(static_cast<int32_t>(Load<uint16_t>(p)));
    case ftBoolean: return Value(Load<int16_t>(p) != 0);
    case ftInteger:
    case ftAutoInc: return Value(Load<int32_t>(p));
    case ftLargeint: return Value(Load<int64_t>(p));
    case ftFloat: return Value(Load<double>(p));
    case ftCurrency: return Value(Currency::FromScaled(Load<int64_t>(p)));
    case ftBCD:
    case ftFMTBcd: return Value(Load<TBcd>(p));
    case ftDate: return Value(NativeToDate(Load<int32_t>(p)));
    case ftTime: return Value(DateTime{DateTime::FromOleDate(0).ms + Load<int32_t>(p)});
    case ftDateTime: return Value(DateTime{static_cast<int64_t>(Load<double>(p))});
    case ftTimeStamp:
    case ftOraTimeStamp: return Value(DateTime::FromTimeStamp(Load<TSQLTimeStamp>(p)));
    case ftBytes: return Value(Bytes(p, p + size));
    case ftVarBytes: {
      const uint16_t n = std::min<uint16_t>(Load<uint16_t>(p), static_cast<uint16_t>(size));
      return Value(Bytes(p + 2, p + 2 + n));
    }
    default: return Value();
  }
}

Value ConvertForFieldType(TFieldType type, const Value& value) {
  if (value.IsNull()) return value;
  switch (type) {
    case ftString: case ftFixedChar: case ftOraInterval: case ftMemo: case ftFmtMemo: case ftOraClob:
      return value.kind() == Value::Kind::String ? value : Value(value.AsString());
    case ftWideString: case ftFixedWideChar: case ftWideMemo:
      return value.kind() == Value::Kind::WideString ? value : Value(value.AsWideString());
    case ftSmallint: return Value(static_cast<int32_t>(CheckedInteger(value, INT16_MIN, INT16_MAX)));
    case ftWord: return Value(static_cast<int32_t>(CheckedInteger(value, 0, UINT16_MAX)));
    case ftInteger: case ftAutoInc: return Value(static_cast<int32_t>(CheckedInteger(value, INT32_MIN, INT32_MAX)));
    case ftLargeint: return Value(value.AsInt64());
    case ftBoolean: return Value(value.AsBoolean());
    case ftFloat: return Value(value.AsDouble());
    case ftCurrency: return Value(value.AsCurrency());
    case ftBCD: case ftFMTBcd: return Value(value.AsBcd());
    case ftDate: {
      const DateTime d = value.AsDateTime();
      return Value(DateTime{d.DayNumber() * DateTime::kMsPerDay});
    }
    case ftTime: {
      const DateTime d = value.AsDateTime();
      return Value(DateTime{DateTime::FromOleDate(0).ms + d.TimeOfDayMs()});
    }
    case ftDateTime: case ftTimeStamp: case ftOraTimeStamp: return Value(value.AsDateTime());
    case ftGuid: return Value(value.AsGuid());
    case ftBytes: case ftVarBytes: case ftBlob: case ftGraphic: case ftParadoxOle: case ftDBaseOle:
    case ftTypedBinary: case ftOraBlob:
      return value.kind() == Value::Kind::Bytes ? value : Value(value.AsBytes());
    default:
      throw EConvertError(Format("Datatype %d cannot hold a value", static_cast<int>(type)));
  }
}

void WriteNative(TFieldType type, int size, const Value& input, void* buffer) {
  char* p = static_cast<char*>(buffer);
  std::memset(p, 0, static_cast<size_t>(NativeSize(type, size)));
  if (input.IsNull()) return;
  const Value value = ConvertForFieldType(type, input);
  switch (type) {
    case ftString:
    case ftFixedChar:
    case ftOraInterval: {
      const std::string_view s = Utf8Prefix(value.get<std::string>(), static_cast<size_t>(NativeSize(type, size) - 1));
      std::memcpy(p, s.data(), s.size());
      break;
    }
    case ftGuid: {
      const std::string s = value.get<Guid>().ToString();
      std::memcpy(p, s.data(), s.size());
      break;
    }
    case ftWideString:
    case ftFixedWideChar: {
      const std::u16string_view s = Utf16Prefix(value.get<std::u16string>(), static_cast<size_t>(size));
      std::memcpy(p, s.data(), s.size() * 2);
      break;
    }
    case ftSmallint: Store(p, static_cast<int16_t>(value.get<int32_t>())); break;
    case ftWord: Store(p, static_cast<uint16_t>(value.get<int32_t>())); break;
    case ftBoolean: Store(p, static_cast<int16_t>(value.get<bool>() ? 1 : 0)); break;
    case ftInteger:
    case ftAutoInc: Store(p, value.get<int32_t>()); break;
    case ftLargeint: Store(p, value.get<int64_t>()); break;
    case ftFloat: Store(p, value.get<double>()); break;
    case ftCurrency: Store(p, value.get<Currency>().scaled); break;
    case ftBCD:
    case ftFMTBcd: Store(p, value.get<TBcd>()); break;
    case ftDate: Store(p, DateToNative(value.get<DateTime>())); break;
    case ftTime: Store(p, value.get<DateTime>().TimeOfDayMs()); break;
    case ftDateTime: Store(p, static_cast<double>(value.get<DateTime>().ms)); break;
    case ftTimeStamp:
    case ftOraTimeStamp: Store(p, value.get<DateTime>().ToTimeStamp()); break;
    case ftBytes: {
      const Bytes& b = value.get<Bytes>();
      if (static_cast<int>(b.size()) > size)
        throw EConvertError(Format("%zu bytes do not fit a field of %d bytes", b.size(), size));
      std::memcpy(p, b.data(), b.size());
      break;
    }
    case ftVarBytes: {
      const Bytes& b = value.get<Bytes>();
      if (static_cast<int>(b.size()) > size || b.size() > UINT16_MAX)
        throw EConvertError(Format("%zu bytes do not fit a field of %d bytes", b.size(), size));
      Store(p, static_cast<uint16_t>(b.size()));
      std::memcpy(p + 2, b.data(), b.size());
      break;
    }
    default: break;  // blobs, ADT and array fields have no native buffer
  }
}

}  // namespace vantor
