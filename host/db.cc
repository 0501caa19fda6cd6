#include "host/db.h"

#include "host/component.h"

namespace orv {

const char* const SNotEditing = "Dataset not in edit or insert mode";
const char* const SFieldReadOnly = "Field '%s' cannot be modified";
const char* const SDataSetClosed = "Cannot perform this operation on a closed dataset";
const char* const SDataSetOpen = "Cannot perform this operation on an open dataset";
const char* const SDataSetEmpty = "Cannot perform this operation on an empty dataset";
const char* const SFieldNotFound = "Field '%s' not found";
const char* const SParameterNotFound = "Parameter '%s' not found";
const char* const SRecordNotFound = "Record not found";
const char* const SBookmarkNotFound = "Bookmark not found";
const char* const SDataSetReadOnly = "Cannot modify a read-only dataset";
const char* const SNotBrowsing = "Cannot perform this operation in this state";

namespace {

const char* const kFieldTypeNames[] = {
    "Unknown",  "String",    "SmallInt",   "Integer",    "Word",      "Boolean",
    "Float",    "Currency",  "BCD",        "Date",       "Time",      "DateTime",
    "Bytes",    "VarBytes",  "AutoInc",    "Blob",       "Memo",      "Graphic",
    "FmtMemo",  "ParadoxOle", "DBaseOle",  "TypedBinary", "Cursor",   "FixedChar",
    "WideString", "Largeint", "ADT",       "Array",      "Reference", "DataSet"};

}  // namespace

std::string FieldTypeName(TFieldType type) {
  const auto i = static_cast<size_t>(type);
  return i < std::size(kFieldTypeNames) ? kFieldTypeNames[i] : "Unknown";
}

bool IsBlobType(TFieldType type) {
  return (type >= ftBlob && type <= ftTypedBinary);
}

void DatabaseError(std::string_view message, const TComponent* component) {
  if (component != nullptr && !component->Name().empty()) {
    throw EDatabaseError(component->Name() + ": " + std::string(message));
  }
  throw EDatabaseError(std::string(message));
}

void DatabaseErrorFmt(std::string_view format, std::string_view arg,
                      const TComponent* component) {
  std::string text(format);
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, arg);
  DatabaseError(text, component);
}

}  // namespace orv
