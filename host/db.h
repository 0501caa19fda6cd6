// The dataset framework's shared vocabulary: field types, dataset states,
// the modes and results of the record-fetching operations, data events,
// and the database error routines.
//
// The ordinals of these enumerations are fixed: the package stores field
// types in its column descriptions and compares them by number (the blob
// types are 15 to 17), so new values may only be added at the end.
//
// Plain values and free functions; any thread may use them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "exceptions.h"

#pragma GCC visibility push(default)
namespace orv {

class TComponent;

enum TFieldType {
  ftUnknown,      // 0
  ftString,       // 1
  ftSmallint,     // 2
  ftInteger,      // 3
  ftWord,         // 4
  ftBoolean,      // 5
  ftFloat,        // 6
  ftCurrency,     // 7
  ftBCD,          // 8
  ftDate,         // 9
  ftTime,         // 10
  ftDateTime,     // 11
  ftBytes,        // 12
  ftVarBytes,     // 13
  ftAutoInc,      // 14
  ftBlob,         // 15
  ftMemo,         // 16
  ftGraphic,      // 17
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet
};

// The name of a field type as the host writes it ("String", "Integer", ...).
std::string FieldTypeName(TFieldType type);

// True for the types whose values live outside the record (15 to 17 and
// the later binary-object types).
bool IsBlobType(TFieldType type);

enum TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// Where a record buffer stands: on a stored record, on a record being
// inserted, or on the marks before the first and after the last record.
enum TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };

// `Resync` options; combine with `|`.
enum TResyncMode : unsigned { rmNone = 0, rmExact = 1, rmCenter = 2 };
inline TResyncMode operator|(TResyncMode a, TResyncMode b) {
  return static_cast<TResyncMode>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

enum TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  dePropertyChange,
  deFieldListChange,
  deFocusControl,
  deParentScroll
};

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };
enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// What an OnEditError/OnPostError/OnDeleteError handler asks for.
enum TDataAction { daFail, daAbort, daRetry };

// `Locate` options; combine with `|`.
enum TLocateOptions : unsigned { loNone = 0, loCaseInsensitive = 1, loPartialKey = 2 };
inline TLocateOptions operator|(TLocateOptions a, TLocateOptions b) {
  return static_cast<TLocateOptions>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}

// A record buffer: a block the dataset allocates and lays out; the framework
// only moves it around the ring and hands it back.
using TRecordBuffer = char*;
// A bookmark as the framework hands it out: `BookmarkSize` bytes, allocated
// by `GetBookmark` and released by `FreeBookmark`.
using TBookmark = void*;

// Texts of the framework's own errors. The `%s` ones take a display name.
extern const char* const SNotEditing;      // "Dataset not in edit or insert mode"
extern const char* const SFieldReadOnly;   // "Field '%s' cannot be modified"
extern const char* const SDataSetClosed;   // "Cannot perform this operation on a closed dataset"
extern const char* const SDataSetOpen;     // "Cannot perform this operation on an open dataset"
extern const char* const SDataSetEmpty;    // "Cannot perform this operation on an empty dataset"
extern const char* const SFieldNotFound;   // "Field '%s' not found"
extern const char* const SParameterNotFound;  // "Parameter '%s' not found"
extern const char* const SRecordNotFound;  // "Record not found"
extern const char* const SBookmarkNotFound;   // "Bookmark not found"
extern const char* const SDataSetReadOnly;   // "Cannot modify a read-only dataset"
extern const char* const SNotBrowsing;     // "Cannot perform this operation in this state"

// Raises EDatabaseError with `message`; with a named component the text is
// prefixed by "Name: ".
[[noreturn]] void DatabaseError(std::string_view message, const TComponent* component = nullptr);

// Raises EDatabaseError with `format` where its one `%s` is `arg`.
[[noreturn]] void DatabaseErrorFmt(std::string_view format, std::string_view arg,
                                   const TComponent* component = nullptr);

}  // namespace orv
#pragma GCC visibility pop
