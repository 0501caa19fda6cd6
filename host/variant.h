// Variant: a value of one of a few kinds, as the host's datasets pass them
// around (Locate's key values, parameter values).
//
// A Variant is empty (the default), null, a boolean, a 32- or 64-bit integer,
// a double, a string (bytes), a date-time, or a one-dimensional array of
// Variants. VarType() reports the kind with the host's type codes below; an
// array reports varArray | varVariant.
//
// Conversions follow the host: empty converts to "", 0, 0.0 and false; null
// converts to nothing and raises EVariantError "Could not convert variant of
// type (Null) into type (<target>)". A Variant is a value; copies share
// nothing, and distinct Variants may be used on distinct threads.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "datetime.h"
#include "exceptions.h"

#pragma GCC visibility push(default)
namespace orv {

class EVariantError : public Exception {
 public:
  using Exception::Exception;
};

enum TVarType : uint16_t {
  varEmpty = 0x0000,
  varNull = 0x0001,
  varSmallint = 0x0002,
  varInteger = 0x0003,
  varSingle = 0x0004,
  varDouble = 0x0005,
  varCurrency = 0x0006,
  varDate = 0x0007,
  varOleStr = 0x0008,
  varDispatch = 0x0009,
  varError = 0x000A,
  varBoolean = 0x000B,
  varVariant = 0x000C,
  varUnknown = 0x000D,
  varByte = 0x0011,
  varInt64 = 0x0014,
  varString = 0x0100,
  varTypeMask = 0x0FFF,
  varArray = 0x2000,
};

class Variant {
 public:
  Variant() = default;
  Variant(bool value) : value_(value) {}
  template <std::integral T>
    requires(!std::same_as<T, bool>)
  Variant(T value) {
    if constexpr (sizeof(T) < 4 || (sizeof(T) == 4 && std::signed_integral<T>)) {
      value_ = static_cast<int32_t>(value);
    } else {
      value_ = static_cast<int64_t>(value);
    }
  }
  Variant(double value) : value_(value) {}
  Variant(std::string value) : value_(std::move(value)) {}
  Variant(std::string_view value) : value_(std::string(value)) {}
  Variant(const char* value) : value_(std::string(value)) {}

  static Variant Null();
  static Variant FromDateTime(TDateTime value);
  static Variant Array(std::vector<Variant> items);

  uint16_t VarType() const;
  bool IsEmpty() const { return value_.index() == 0; }
  bool IsNull() const { return std::holds_alternative<NullTag>(value_); }
  bool IsArray() const { return std::holds_alternative<std::vector<Variant>>(value_); }

  // An array's first index (always 0) and last index (Count - 1, so -1
  // for an empty array); both raise EVariantError when not an array.
  int ArrayLowBound() const;
  int ArrayHighBound() const;
  // An array's item; raises EVariantError when not an array or out of bounds.
  const Variant& operator[](int index) const;
  Variant& operator[](int index);

  // bool "True"/"False"; numbers as IntToStr/FloatToStr; a date-time as
  // "yyyy-mm-dd hh:nn:ss", "yyyy-mm-dd" without a time of day, "hh:nn:ss"
  // on day 0.
  std::string AsString() const;
  // Doubles and date-times round to the nearest integer (halves to even);
  // true is 1; strings go through StrToInt64 / StrToFloat.
  int AsInteger() const;
  int64_t AsInt64() const;
  double AsFloat() const;
  // Numbers are true when not 0; strings "True"/"False" in any case or numbers.
  bool AsBoolean() const;
  // Numbers as days; strings in the form AsString writes.
  TDateTime AsDateTime() const;

  // Same kind and value; numbers (not booleans) compare by value across kinds.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  struct NullTag {
    bool operator==(const NullTag&) const = default;
  };
  struct DateTag {
    TDateTime value;
    bool operator==(const DateTag&) const = default;
  };
  using Value = std::variant<std::monostate, NullTag, bool, int32_t, int64_t, double,
                             std::string, DateTag, std::vector<Variant>>;

  // The host's name of this variant's type, used in conversion errors.
  std::string TypeName() const;
  [[noreturn]] void CannotConvert(const char* target) const;
  const std::vector<Variant>& Items() const;

  Value value_;
};

// A one-dimensional array indexed from 0, as the host's VarArrayOf builds
// it; VarArrayCreate(count) holds `count` empty elements to be filled in.
Variant VarArrayOf(std::vector<Variant> items);
Variant VarArrayCreate(int count);
inline bool VarIsArray(const Variant& v) { return v.IsArray(); }
inline bool VarIsNull(const Variant& v) { return v.IsNull(); }
inline bool VarIsEmpty(const Variant& v) { return v.IsEmpty(); }

}  // namespace orv
#pragma GCC visibility pop
