#include "formats/mdb/column_types.h"

namespace vantor::formats::mdb {

ColumnInfo DescribeColumn(const MdbColumn& column, JetVersion version, bool required) {
  ColumnInfo info;
  info.name = column.name;
  info.nullable = !required;
  switch (column.col_type) {
    case MDB_BOOL:
      info.ado_type = adBoolean;
      info.nullable = false;  // a Yes/No value lives in the null mask, so it is never null
      break;
    case MDB_BYTE: info.ado_type = adUnsignedTinyInt; break;
    case MDB_INT: info.ado_type = adSmallInt; break;
    case MDB_LONGINT:
      info.ado_type = adInteger;
      info.auto_increment = column.is_long_auto;
      break;
    case MDB_COMPLEX: info.ado_type = adInteger; break;  // the id of the attachment or multi-value set
    case kMdbBigInt: info.ado_type = adBigInt; break;
    case MDB_MONEY:
      info.ado_type = adCurrency;
      info.precision = 19;
      info.numeric_scale = 4;
      break;
    case MDB_FLOAT: info.ado_type = adSingle; break;
    case MDB_DOUBLE: info.ado_type = adDouble; break;
    case MDB_DATETIME: info.ado_type = adDate; break;
    case MDB_TEXT:
      info.ado_type = column.is_fixed ? adWChar : adVarWChar;
      // Jet 4 and ACE store two bytes a character.
      info.defined_size = version == JetVersion::Jet3 ? column.col_size : column.col_size / 2;
      break;
    case MDB_MEMO: info.ado_type = adLongVarWChar; break;
    case MDB_BINARY:
      info.ado_type = column.is_fixed ? adBinary : adVarBinary;
      info.defined_size = column.col_size;
      break;
    case MDB_OLE: info.ado_type = adLongVarBinary; break;
    case MDB_REPID: info.ado_type = adGUID; break;
    case MDB_NUMERIC:
      info.ado_type = adNumeric;
      // libmdb's names for these two bytes are swapped: col_scale holds the precision.
      info.precision = column.col_scale;
      info.numeric_scale = column.col_prec;
      break;
    default:  // a type this program does not know: its bytes as stored
      info.ado_type = adVarBinary;
      info.defined_size = column.col_size;
      break;
  }
  return info;
}

}  // namespace vantor::formats::mdb
