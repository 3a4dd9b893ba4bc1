#pragma once
// Small shared types of the data layer: field types, filter options and the date-time value.
#include <cstdint>

#include "platform/core/typeinfo.h"

namespace qel {

// Field data types, in the platform's order (their ordinals are used as table indexes).
QEL_ENUM(TFieldType, ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency,
         ftBCD, ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo, ftGraphic,
         ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar, ftWideString, ftLargeint,
         ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob, ftVariant, ftInterface, ftIDispatch,
         ftGuid, ftTimeStamp, ftFMTBcd)

// Options of a dataset's Filter text.
QEL_ENUM(TFilterOption, foCaseInsensitive, foNoPartialCompare)
using TFilterOptions = Set<TFilterOption>;

// Dates and times: days since 1899-12-30, the fraction is the time of day.
using TDateTime = double;

} // namespace qel
