#include "data/ado_field_types.h"

namespace vantor::data {

using namespace formats;

void AddFieldDefForColumn(TFieldDefs& defs, const ColumnInfo& c) {
  const int text_size = c.defined_size > 0 && c.defined_size < 65536 ? static_cast<int>(c.defined_size) : 255;
  TFieldType type = ftUnknown;
  int size = 0;
  int precision = 0;
  switch (c.ado_type) {
    case adVarWChar: case adWChar: type = ftWideString; size = text_size; break;
    case adLongVarWChar: type = ftWideMemo; break;
    case adVarChar: case adChar: type = ftString; size = text_size; break;
    case adLongVarChar: type = ftMemo; break;
    case adSmallInt: case adTinyInt: type = ftSmallint; break;
    case adInteger: type = ftInteger; break;
    case adBigInt: type = ftLargeint; break;
    case adUnsignedTinyInt: type = ftWord; break;
    case adSingle: case adDouble: type = ftFloat; break;
    case adCurrency: type = ftCurrency; break;
    case adNumeric:
      precision = c.precision > 0 ? c.precision : 18;
      size = c.numeric_scale;
      type = precision > 18 || size > 4 ? ftFMTBcd : ftBCD;
      break;
    case adDate: case adDBTimeStamp: type = ftDateTime; break;
    case adBoolean: type = ftBoolean; break;
    case adGUID: type = ftGuid; size = 38; break;
    case adBinary: type = ftBytes; size = text_size; break;
    case adVarBinary: type = ftVarBytes; size = text_size; break;
    case adLongVarBinary: type = ftBlob; break;
    default: type = ftWideString; size = text_size; break;
  }
  if (c.auto_increment && (type == ftInteger || type == ftSmallint || type == ftLargeint)) type = ftAutoInc;
  TFieldDef& def = defs.Add(c.name, type, size, !c.nullable && !c.auto_increment);
  if (precision) def.SetPrecision(precision);
  if (c.auto_increment) def.SetAttributes(static_cast<TFieldAttributes>(def.Attributes() | faReadonly));
}

}  // namespace vantor::data
