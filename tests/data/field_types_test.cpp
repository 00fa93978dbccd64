#include <gtest/gtest.h>

#include "data/ado_field_types.h"

namespace vantor::data {
namespace {

using namespace formats;

TEST(ProviderFieldTypes, ColumnsBecomeTheFieldsAdoGivesADataset) {
  struct Case {
    ColumnInfo column;
    TFieldType type;
    int size;
  };
  ColumnInfo autoinc{"N", adInteger};
  autoinc.auto_increment = true;
  autoinc.nullable = false;
  ColumnInfo required{"R", adVarWChar, 0};
  required.nullable = false;
  const Case cases[] = {
      {{"A", adVarWChar, 40}, ftWideString, 40}, {{"B", adWChar, 10}, ftWideString, 10},
      {{"C", adLongVarWChar}, ftWideMemo, 0},    {{"D", adVarChar, 12}, ftString, 12},
      {{"E", adLongVarChar}, ftMemo, 0},         {{"F", adSmallInt}, ftSmallint, 0},
      {{"G", adInteger}, ftInteger, 0},          {{"H", adBigInt}, ftLargeint, 0},
      {{"I", adUnsignedTinyInt}, ftWord, 0},     {{"J", adSingle}, ftFloat, 0},
      {{"K", adDouble}, ftFloat, 0},             {{"L", adCurrency}, ftCurrency, 0},
      {{"M", adNumeric, 0, 10, 2}, ftBCD, 2},    {{"M2", adNumeric, 0, 28, 6}, ftFMTBcd, 6},
      {{"O", adDate}, ftDateTime, 0},            {{"P", adDBTimeStamp}, ftDateTime, 0},
      {{"Q", adBoolean}, ftBoolean, 0},          {{"S", adGUID}, ftGuid, 38},
      {{"T", adBinary, 16}, ftBytes, 16},        {{"U", adVarBinary, 50}, ftVarBytes, 50},
      {{"V", adLongVarBinary}, ftBlob, 0},       {autoinc, ftAutoInc, 0},
      {required, ftWideString, 255},
  };
  TFieldDefs defs;
  for (const Case& c : cases) AddFieldDefForColumn(defs, c.column);
  ASSERT_EQ(defs.Count(), static_cast<int>(std::size(cases)));
  for (int i = 0; i < defs.Count(); ++i) {
    SCOPED_TRACE(defs[i].Name());
    EXPECT_EQ(defs[i].DataType(), cases[i].type);
    EXPECT_EQ(defs[i].Size(), cases[i].size);
  }
  EXPECT_EQ(defs.Find("M")->Precision(), 10);
  EXPECT_TRUE(defs.Find("R")->Required());
  EXPECT_FALSE(defs.Find("N")->Required());  // the engine fills counters in
  EXPECT_FALSE(defs.Find("A")->Required());
}

}  // namespace
}  // namespace vantor::data
