#pragma once
// Field types, kinds, dataset states and the small enumerations of the dataset protocol.
// The ordinals of TFieldType are part of the program's messages ("Datatype %d not supported.").

#include <cstdint>
#include <string_view>

namespace vantor {

enum TFieldType : int {
  ftUnknown = 0, ftString = 1, ftSmallint = 2, ftInteger = 3, ftWord = 4, ftBoolean = 5, ftFloat = 6,
  ftCurrency = 7, ftBCD = 8, ftDate = 9, ftTime = 10, ftDateTime = 11, ftBytes = 12, ftVarBytes = 13,
  ftAutoInc = 14, ftBlob = 15, ftMemo = 16, ftGraphic = 17, ftFmtMemo = 18, ftParadoxOle = 19,
  ftDBaseOle = 20, ftTypedBinary = 21, ftCursor = 22, ftFixedChar = 23, ftWideString = 24,
  ftLargeint = 25, ftADT = 26, ftArray = 27, ftReference = 28, ftDataSet = 29, ftOraBlob = 30,
  ftOraClob = 31, ftVariant = 32, ftInterface = 33, ftIDispatch = 34, ftGuid = 35, ftTimeStamp = 36,
  ftFMTBcd = 37, ftFixedWideChar = 38, ftWideMemo = 39, ftOraTimeStamp = 40, ftOraInterval = 41,
};
inline constexpr int kFieldTypeCount = 42;

// The type's name without the "ft" prefix ("String", "WideMemo", ...).
std::string_view FieldTypeName(TFieldType type);

// A set of field types as a bit mask over the ordinals.
class TFieldTypes {
 public:
  constexpr TFieldTypes() = default;
  constexpr TFieldTypes(std::initializer_list<TFieldType> types) {
    for (TFieldType t : types) bits_ |= uint64_t{1} << t;
  }
  constexpr bool contains(TFieldType t) const {
    return t >= 0 && t < kFieldTypeCount && (bits_ >> t) & 1u;
  }

 private:
  uint64_t bits_ = 0;
};

inline constexpr TFieldTypes kBlobFieldTypes{ftBlob,        ftMemo,   ftGraphic, ftFmtMemo, ftParadoxOle,
                                             ftDBaseOle,    ftTypedBinary, ftOraBlob, ftOraClob, ftWideMemo};
inline constexpr bool IsBlobType(TFieldType t) { return kBlobFieldTypes.contains(t); }
// Text-like blobs whose bytes are characters (8-bit text in UTF-8, or UTF-16 for ftWideMemo).
inline constexpr bool IsMemoType(TFieldType t) {
  return t == ftMemo || t == ftFmtMemo || t == ftOraClob || t == ftWideMemo;
}

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

enum TDataSetState {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue, dsOldValue,
  dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};
std::string_view DataSetStateName(TDataSetState state);

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

enum TDataEvent {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
  deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange, deFocusControl,
  deDisabledStateChange
};

// Field definition attributes (a bit set).
enum TFieldAttribute : uint8_t {
  faHiddenCol = 0x01, faReadonly = 0x02, faRequired = 0x04, faLink = 0x08, faUnNamed = 0x10, faFixed = 0x20
};
using TFieldAttributes = uint8_t;

// Provider flags of a field (a bit set).
enum TProviderFlag : uint8_t { pfInUpdate = 0x01, pfInWhere = 0x02, pfInKey = 0x04, pfHidden = 0x08 };
using TProviderFlags = uint8_t;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

}  // namespace vantor
