#pragma once
// How a field type is held in a record of the in-memory table: which types a table accepts, how many
// bytes a fixed field takes, and which fields live in variable-length blocks instead.

#include "dataset/field_types.h"

namespace vantor {

// Published setting that trades speed for memory in the variable-length decision.
enum TMemPerformance { mtpfFast, mtpfBalanced, mtpfSmall };

inline constexpr TFieldTypes kSupportedFieldTypes{
    ftString,   ftSmallint,   ftInteger,   ftWord,      ftBoolean,      ftFloat,       ftCurrency,
    ftBCD,      ftDate,       ftTime,      ftDateTime,  ftBytes,        ftVarBytes,    ftAutoInc,
    ftBlob,     ftMemo,       ftGraphic,   ftFmtMemo,   ftParadoxOle,   ftDBaseOle,    ftTypedBinary,
    ftFixedChar, ftWideString, ftLargeint, ftADT,       ftArray,        ftOraBlob,     ftOraClob,
    ftGuid,     ftTimeStamp,  ftFMTBcd,    ftFixedWideChar, ftWideMemo, ftOraTimeStamp, ftOraInterval};

// Types that move to a variable-length block when they are long and the table is not tuned for speed.
inline constexpr TFieldTypes kVarLengthCandidateTypes{ftString, ftBytes, ftVarBytes, ftFixedChar, ftWideString};

// Longest Size a candidate keeps in the fixed area under mtpfBalanced and mtpfSmall.
inline constexpr int kMaxFixedCandidateSize = 12;

// Bytes of the field's native value in the fixed area (presence byte not counted).
int StorageSize(TFieldType type, int size);

bool IsVarLengthField(TFieldType type, int size, TMemPerformance performance);

}  // namespace vantor
