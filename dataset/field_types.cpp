#include "dataset/field_types.h"

namespace vantor {

std::string_view FieldTypeName(TFieldType type) {
  static constexpr std::string_view kNames[kFieldTypeCount] = {
      "Unknown",   "String",     "Smallint",  "Integer",   "Word",      "Boolean",      "Float",
      "Currency",  "BCD",        "Date",      "Time",      "DateTime",  "Bytes",        "VarBytes",
      "AutoInc",   "Blob",       "Memo",      "Graphic",   "FmtMemo",   "ParadoxOle",   "DBaseOle",
      "TypedBinary", "Cursor",   "FixedChar", "WideString", "Largeint", "ADT",          "Array",
      "Reference", "DataSet",    "OraBlob",   "OraClob",   "Variant",   "Interface",    "IDispatch",
      "Guid",      "TimeStamp",  "FMTBcd",    "FixedWideChar", "WideMemo", "OraTimeStamp", "OraInterval"};
  return type >= 0 && type < kFieldTypeCount ? kNames[type] : "Unknown";
}

std::string_view DataSetStateName(TDataSetState state) {
  static constexpr std::string_view kNames[] = {"Inactive", "Browse",    "Edit",      "Insert",   "SetKey",
                                                "CalcFields", "Filter",  "NewValue",  "OldValue", "CurValue",
                                                "BlockRead", "InternalCalc", "Opening"};
  return kNames[state];
}

}  // namespace vantor
