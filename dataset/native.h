#pragma once
// The native field buffer format: how a value of each field type is laid out in the bytes a dataset
// exchanges with its fields. Sizes follow the runtime:
//   ftString, ftFixedChar, ftGuid(39), ftOraInterval(21)  Size + 1, zero-terminated 8-bit (UTF-8) text
//   ftWideString, ftFixedWideChar                          2 * Size + 4, zero-terminated UTF-16 text
//   ftSmallint, ftWord, ftBoolean                          2 (boolean: non-zero is true)
//   ftInteger, ftAutoInc, ftDate, ftTime                   4 (date: day number + 1; time: ms since midnight)
//   ftFloat, ftDateTime, ftLargeint                        8 (date-time: milliseconds since 0001-01-01 as double)
//   ftCurrency                                             8 (amount * 10,000 as int64: exact)
//   ftBCD, ftFMTBcd                                        34 (TBcd)
//   ftBytes                                                Size
//   ftVarBytes                                             Size + 2 (16-bit length, then the bytes)
//   ftTimeStamp, ftOraTimeStamp                            16 (TSQLTimeStamp)
//   ftADT, ftArray and every blob type                     0 (blobs travel through blob streams)

#include <cstddef>

#include "dataset/field_types.h"
#include "dataset/value.h"

namespace vantor {

// Bytes of the native buffer of a field of this type and definition size (the record store's StorageSize).
int NativeSize(TFieldType type, int size);

// The value held in a native buffer. Blob, ADT and array types give Null.
Value ReadNative(TFieldType type, int size, const void* buffer);
// Writes `value` converted to the field type into a buffer of NativeSize bytes. Text longer than the
// field is cut at a character boundary; conversions that cannot be exact raise EConvertError; integers
// outside the type's range raise EConvertError.
void WriteNative(TFieldType type, int size, const Value& value, void* buffer);

// Which Value kind a field of this type reads as.
Value::Kind NativeValueKind(TFieldType type);
// Converts a value to the kind that fields of `type` hold (same rules as WriteNative, without a buffer).
Value ConvertForFieldType(TFieldType type, const Value& value);

}  // namespace vantor
