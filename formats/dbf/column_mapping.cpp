#include "formats/dbf/column_mapping.h"

#include <string>

namespace vantor::formats::dbf {
namespace {

FieldDescriptor Make(char type, int length, int decimals = 0) {
  FieldDescriptor f;
  f.type = type;
  f.length = static_cast<uint8_t>(length);
  f.decimals = static_cast<uint8_t>(decimals);
  return f;
}

bool HasMemoField(const TableHeader& h) {
  for (const FieldDescriptor& f : h.fields)
    if (f.type == 'M' || f.type == 'G' || f.type == 'W' || f.type == 'P' || (f.type == 'B' && !h.IsVisualFoxPro()))
      return true;
  return false;
}

}  // namespace

bool IsVisualFoxProType(const FieldDescriptor& f) {
  switch (f.type) {
    case 'I': case 'Y': case 'T': case 'V': case 'Q': case 'W': case '0': return true;
    case 'B': if (f.length == 8) return true; break;
    case 'G': case 'M': if (f.length == 4) return true; break;
    default: break;
  }
  return f.IsNullable() || f.IsBinary() || f.IsAutoIncrement();
}

FieldDescriptor FieldForColumn(const ColumnInfo& c, bool& vfp) {
  FieldDescriptor f;
  const int64_t size = c.defined_size;
  switch (c.ado_type) {
    case adChar: case adVarChar: case adWChar: case adVarWChar:
      if (size > 254) f = Make('M', 10);
      else f = Make('C', size <= 0 ? 254 : static_cast<int>(size));
      break;
    case adLongVarChar: case adLongVarWChar: f = Make('M', 10); break;
    case adBinary:
      if (size > 0 && size <= 254) {
        f = Make('C', static_cast<int>(size));
        f.flags |= kFieldBinary;
      } else {
        f = Make('M', 4);
        f.flags |= kFieldBinary;
      }
      break;
    case adVarBinary:
      if (size > 0 && size <= 254) {
        f = Make('Q', static_cast<int>(size));
      } else {
        f = Make('M', 4);
        f.flags |= kFieldBinary;
      }
      break;
    case adLongVarBinary: f = Make('M', 4); f.flags |= kFieldBinary; break;
    case adBoolean: f = Make('L', 1); break;
    case adTinyInt: f = Make('N', 4); break;
    case adUnsignedTinyInt: f = Make('N', 3); break;
    case adSmallInt: f = Make('N', 6); break;
    case adInteger:
      if (c.auto_increment) {
        f = Make('I', 4);
        f.flags |= kFieldAutoIncrement;
        f.autoinc_next = 1;
        f.autoinc_step = 1;
      } else {
        f = Make('N', 11);
      }
      break;
    case adBigInt: f = Make('N', 20); break;
    case adSingle: case adDouble: f = Make('B', 8); break;
    case adCurrency: f = Make('Y', 8); break;
    case adNumeric: {
      const int scale = c.numeric_scale;
      const int precision = c.precision > 0 ? c.precision : 18;
      if (scale < 0 || scale > precision || scale > 18)
        throw StorageError("column '" + c.name + "': a numeric scale of " + std::to_string(scale) + " is not possible");
      const int width = precision + 1 + (scale > 0 ? 1 : 0);
      if (width > 20)
        throw StorageError("column '" + c.name + "': " + std::to_string(precision) +
                           " digits do not fit a dBase numeric field (18 digits at most)");
      f = Make('N', width, scale);
      break;
    }
    case adDate: case adDBTimeStamp: f = Make('T', 8); break;
    case adGUID: f = Make('C', 38); break;
    default:
      throw StorageError("column '" + c.name + "': ADO type " + std::to_string(c.ado_type) +
                         " cannot be stored in a dBase table");
  }
  if (IsVisualFoxProType(f)) vfp = true;
  return f;
}

void ConvertToVisualFoxPro(TableHeader& h) {
  if (h.IsVisualFoxPro()) return;
  h.version = 0x30;
  h.table_flags = 0;
  for (FieldDescriptor& f : h.fields) {
    if (f.type == 'M' || f.type == 'G') f.length = 4;
    if ((f.type == 'B' && f.length == 10) || f.type == 'P') {  // dBase binary memo
      f.type = 'M';
      f.length = 4;
      f.flags |= kFieldBinary;
    }
  }
}

void ChooseVersion(TableHeader& h) {
  bool vfp = h.IsVisualFoxPro();
  for (const FieldDescriptor& f : h.fields) vfp = vfp || IsVisualFoxProType(f);
  const bool memo = HasMemoField(h);
  if (vfp) {
    ConvertToVisualFoxPro(h);
    bool varying = false, autoinc = false;
    for (const FieldDescriptor& f : h.fields) {
      varying = varying || f.type == 'V' || f.type == 'Q' || f.type == 'W';
      autoinc = autoinc || f.IsAutoIncrement();
    }
    h.version = varying ? 0x32 : autoinc ? 0x31 : 0x30;
    h.table_flags = static_cast<uint8_t>((h.table_flags & ~kTableHasMemo) | (memo ? kTableHasMemo : 0));
    return;
  }
  switch (h.version) {
    case 0x04: case 0x8B: h.version = memo ? 0x8B : 0x04; break;
    case 0xF5: if (!memo) h.version = 0x03; break;  // FoxPro 2 without memos reads as dBase III
    default: h.version = memo ? 0x83 : 0x03; break;
  }
}

}  // namespace vantor::formats::dbf
