// The field classes of the ordinary (non-blob) column types.
//
// Native buffers, which GetFieldData fills and SetFieldData reads:
//   TStringField    ftString     Size + 1 bytes, zero-terminated text
//   TSmallintField  ftSmallint   2 bytes, int16_t
//   TIntegerField   ftInteger    4 bytes, int32_t (also TAutoIncField)
//   TWordField      ftWord       2 bytes, uint16_t
//   TLargeintField  ftLargeint   8 bytes, int64_t
//   TBooleanField   ftBoolean    1 byte, non-zero is true
//   TFloatField     ftFloat      8 bytes, double (also TCurrencyField)
//   TDateField      ftDate       4 bytes, int32_t day number (TTimeStamp.Date)
//   TTimeField      ftTime       4 bytes, int32_t milliseconds of the day
//   TDateTimeField  ftDateTime   8 bytes, double milliseconds (TimeStampToMSecs)
//   TBytesField     ftBytes      Size bytes
//   TVarBytesField  ftVarBytes   2-byte length, then Size bytes
// Blob fields (blobfield.h) go through blob streams instead.
//
// Text forms: integers in decimal, floats as FloatToStr, booleans "True" /
// "False", dates "yyyy-mm-dd", times "hh:nn:ss", date-times both joined by a
// blank; a null field reads as "" (and 0, false, 0.0). Writing "" makes the
// field null. Same threading as TField.
#pragma once

#include <cstdint>
#include <string>

#include "fields.h"

#pragma GCC visibility push(default)
namespace orv {

class TStringField : public TField {
 public:
  explicit TStringField(TComponent* owner);
  int DataSize() const override { return Size() + 1; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int AsInteger() const override;
  void SetAsInteger(int value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  bool AsBoolean() const override;  // true when it starts with T, t, Y or y
  void SetAsBoolean(bool value) override;
  Variant AsVariant() const override;
  std::string ClassName() const override { return "TStringField"; }
};

// Integer fields of every width; the width follows DataType.
class TIntegerField : public TField {
 public:
  explicit TIntegerField(TComponent* owner);
  int DataSize() const override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int AsInteger() const override;
  void SetAsInteger(int value) override;
  double AsFloat() const override;
  void SetAsFloat(double value) override;  // rounds to the nearest integer
  Variant AsVariant() const override;
  void SetAsVariant(const Variant& value) override;
  int64_t AsLargeInt() const;
  void SetAsLargeInt(int64_t value);  // raises when out of the type's range
  std::string ClassName() const override { return "TIntegerField"; }

 protected:
  TIntegerField(TComponent* owner, TFieldType type);
};

class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* owner) : TIntegerField(owner, ftSmallint) {}
  std::string ClassName() const override { return "TSmallintField"; }
};

class TWordField : public TIntegerField {
 public:
  explicit TWordField(TComponent* owner) : TIntegerField(owner, ftWord) {}
  std::string ClassName() const override { return "TWordField"; }
};

class TAutoIncField : public TIntegerField {
 public:
  explicit TAutoIncField(TComponent* owner) : TIntegerField(owner, ftAutoInc) {}
  std::string ClassName() const override { return "TAutoIncField"; }
};

class TLargeintField : public TIntegerField {
 public:
  explicit TLargeintField(TComponent* owner) : TIntegerField(owner, ftLargeint) {}
  std::string ClassName() const override { return "TLargeintField"; }
};

class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* owner);
  int DataSize() const override { return 1; }
  std::string AsString() const override;
  // Takes "True"/"False" in any case, or any text starting with T/F/Y/N.
  void SetAsString(const std::string& value) override;
  bool AsBoolean() const override;
  void SetAsBoolean(bool value) override;
  int AsInteger() const override { return AsBoolean() ? 1 : 0; }
  void SetAsInteger(int value) override { SetAsBoolean(value != 0); }
  Variant AsVariant() const override;
  std::string ClassName() const override { return "TBooleanField"; }
};

class TFloatField : public TField {
 public:
  explicit TFloatField(TComponent* owner);
  int DataSize() const override { return 8; }
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;
  int AsInteger() const override;
  void SetAsInteger(int value) override { SetAsFloat(value); }
  double AsFloat() const override;
  void SetAsFloat(double value) override;
  Variant AsVariant() const override;
  std::string ClassName() const override { return "TFloatField"; }

 protected:
  TFloatField(TComponent* owner, TFieldType type);
};

class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {}
  std::string ClassName() const override { return "TCurrencyField"; }
};

// Date, time and date-time fields; the native buffer follows DataType.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* owner);
  int DataSize() const override;
  std::string AsString() const override;
  // Takes "yyyy-mm-dd", "hh:nn[:ss[.zzz]]" or both joined by a blank.
  void SetAsString(const std::string& value) override;
  double AsFloat() const override { return AsDateTime(); }
  void SetAsFloat(double value) override { SetAsDateTime(value); }
  TDateTime AsDateTime() const override;
  void SetAsDateTime(TDateTime value) override;
  Variant AsVariant() const override;
  std::string ClassName() const override { return "TDateTimeField"; }

 protected:
  TDateTimeField(TComponent* owner, TFieldType type);
};

class TDateField : public TDateTimeField {
 public:
  explicit TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}
  std::string ClassName() const override { return "TDateField"; }
};

class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}
  std::string ClassName() const override { return "TTimeField"; }
};

// Fixed (ftBytes) and length-prefixed (ftVarBytes) binary fields; AsString
// carries the bytes unchanged.
class TBytesField : public TField {
 public:
  explicit TBytesField(TComponent* owner);
  int DataSize() const override;
  std::string AsString() const override;
  void SetAsString(const std::string& value) override;  // longer values are refused
  Variant AsVariant() const override;
  std::string ClassName() const override { return "TBytesField"; }

 protected:
  TBytesField(TComponent* owner, TFieldType type);
};

class TVarBytesField : public TBytesField {
 public:
  explicit TVarBytesField(TComponent* owner) : TBytesField(owner, ftVarBytes) {}
  std::string ClassName() const override { return "TVarBytesField"; }
};

}  // namespace orv
#pragma GCC visibility pop
