#include "resultset/field_inf.h"

#include "host/sysutils.h"

namespace orv {

bool IsBlobColumn(TFieldType type) {
  return type == ftBlob || type == ftMemo || type == ftGraphic;
}

TFieldType GetColumnType(std::string_view code) {
  switch (StrToInt(code) & 0x7F) {
    case stChar: case stLongChar: case stVarchar: case stVarBinary:
      return ftString;
    case stBinary: case stLongBinary:
      return ftBytes;
    case stText:
      return ftMemo;
    case stImage:
      return ftBlob;
    case stTinyInt: case stSmallInt:
      return ftSmallint;
    case stInt:
      return ftInteger;
    case stReal: case stFloat: case stNumeric: case stDecimal: case stLong:
      return ftFloat;
    case stBit:
      return ftBoolean;
    case stDateTime: case stDateTime4:
      return ftDateTime;
    case stMoney: case stMoney4:
      return ftCurrency;
    default:
      return ftUnknown;
  }
}

uint8_t GetDBTypeCode(TFieldType type) {
  switch (type) {
    case ftString: return stChar;
    case ftSmallint: case ftInteger: case ftWord: return stInt;
    case ftBoolean: return stBit;
    case ftFloat: case ftLargeint: return stFloat;
    case ftCurrency: return stMoney;
    case ftDate: case ftTime: case ftDateTime: return stDateTime;
    case ftBytes: case ftVarBytes: return stBinary;
    case ftBlob: case ftGraphic: return stImage;
    case ftMemo: case ftFmtMemo: return stText;
    default: return stUnknown;
  }
}

int32_t ColumnSize(TFieldType type, int32_t length) {
  if (IsBlobColumn(type)) return kBlobColumnSize;
  return type == ftFloat ? length + 2 : length + 1;
}

void ClearFieldData(TFieldInfList& list) { list.clear(); }

}  // namespace orv
