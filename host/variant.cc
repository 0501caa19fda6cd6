#include "host/variant.h"

#include <cmath>
#include <limits>

#include "host/sysutils.h"

namespace orv {

namespace {

bool InInt64Range(double d) { return d >= -9223372036854775808.0 && d < 9223372036854775808.0; }

}  // namespace

Variant Variant::Null() {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

Variant Variant::FromDateTime(TDateTime value) {
  Variant v;
  v.value_ = DateTag{value};
  return v;
}

Variant Variant::Array(std::vector<Variant> items) {
  Variant v;
  v.value_ = std::move(items);
  return v;
}

Variant VarArrayOf(std::vector<Variant> items) { return Variant::Array(std::move(items)); }

Variant VarArrayCreate(int count) {
  if (count < 0) throw EVariantError("Variant array bounds error");
  return Variant::Array(std::vector<Variant>(static_cast<size_t>(count)));
}

uint16_t Variant::VarType() const {
  static const uint16_t kTypes[] = {varEmpty, varNull,   varBoolean, varInteger,
                                    varInt64, varDouble, varString,  varDate,
                                    varArray | varVariant};
  return kTypes[value_.index()];
}

std::string Variant::TypeName() const {
  static const char* const kNames[] = {"Empty",  "Null",   "Boolean", "Integer",      "Int64",
                                       "Double", "String", "Date",    "Array Variant"};
  return kNames[value_.index()];
}

void Variant::CannotConvert(const char* target) const {
  throw EVariantError("Could not convert variant of type (" + TypeName() + ") into type (" +
                      target + ")");
}

const std::vector<Variant>& Variant::Items() const {
  auto* items = std::get_if<std::vector<Variant>>(&value_);
  if (items == nullptr) throw EVariantError("Variant is not an array");
  return *items;
}

int Variant::ArrayLowBound() const {
  Items();
  return 0;
}

int Variant::ArrayHighBound() const { return static_cast<int>(Items().size()) - 1; }

const Variant& Variant::operator[](int index) const {
  const auto& items = Items();
  if (index < 0 || index >= static_cast<int>(items.size())) {
    throw EVariantError("Variant or safe array index out of bounds");
  }
  return items[static_cast<size_t>(index)];
}

Variant& Variant::operator[](int index) {
  return const_cast<Variant&>(static_cast<const Variant&>(*this)[index]);
}

std::string Variant::AsString() const {
  switch (value_.index()) {
    case 0:
      return "";
    case 2:
      return std::get<bool>(value_) ? "True" : "False";
    case 3:
      return IntToStr(std::get<int32_t>(value_));
    case 4:
      return IntToStr(std::get<int64_t>(value_));
    case 5:
      return FloatToStr(std::get<double>(value_));
    case 6:
      return std::get<std::string>(value_);
    case 7: {
      TDateTime d = std::get<DateTag>(value_).value;
      TTimeStamp stamp = DateTimeToTimeStamp(d);
      if (stamp.Date == DateDelta && stamp.Time != 0) return FormatDateTime("hh:nn:ss", d);
      if (stamp.Time == 0) return FormatDateTime("yyyy-mm-dd", d);
      return FormatDateTime("yyyy-mm-dd hh:nn:ss", d);
    }
    default:
      CannotConvert("String");
  }
}

int64_t Variant::AsInt64() const {
  switch (value_.index()) {
    case 0:
      return 0;
    case 2:
      return std::get<bool>(value_) ? 1 : 0;
    case 3:
      return std::get<int32_t>(value_);
    case 4:
      return std::get<int64_t>(value_);
    case 5:
    case 7: {
      double d = std::nearbyint(AsFloat());
      if (!InInt64Range(d)) CannotConvert("Int64");
      return static_cast<int64_t>(d);
    }
    case 6: {
      const std::string& s = std::get<std::string>(value_);
      try {
        return StrToInt64(s);
      } catch (const EConvertError&) {
      }
      double d = 0;
      if (!TryStrToFloat(s, d) || !InInt64Range(std::nearbyint(d))) CannotConvert("Int64");
      return static_cast<int64_t>(std::nearbyint(d));
    }
    default:
      CannotConvert("Int64");
  }
}

int Variant::AsInteger() const {
  int64_t v = 0;
  try {
    v = AsInt64();
  } catch (const EVariantError&) {
    CannotConvert("Integer");
  }
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
    throw EVariantError("Overflow while converting variant of type (" + TypeName() +
                        ") into type (Integer)");
  }
  return static_cast<int>(v);
}

double Variant::AsFloat() const {
  switch (value_.index()) {
    case 0:
    case 2:
    case 3:
    case 4:
      return static_cast<double>(AsInt64());
    case 5:
      return std::get<double>(value_);
    case 6: {
      double d = 0;
      if (!TryStrToFloat(std::get<std::string>(value_), d)) CannotConvert("Double");
      return d;
    }
    case 7:
      return std::get<DateTag>(value_).value;
    default:
      CannotConvert("Double");
  }
}

bool Variant::AsBoolean() const {
  if (auto* b = std::get_if<bool>(&value_)) return *b;
  if (auto* s = std::get_if<std::string>(&value_)) {
    if (SameText(*s, "True")) return true;
    if (SameText(*s, "False")) return false;
  }
  try {
    return AsFloat() != 0;
  } catch (const EVariantError&) {
    CannotConvert("Boolean");
  }
}

TDateTime Variant::AsDateTime() const {
  auto* s = std::get_if<std::string>(&value_);
  if (s == nullptr) {
    try {
      return AsFloat();
    } catch (const EVariantError&) {
      CannotConvert("Date");
    }
  }
  // "yyyy-mm-dd", "yyyy-mm-dd hh:nn:ss" or "hh:nn:ss".
  const std::string text = Trim(*s);
  auto field = [&](size_t pos, size_t len) {
    int v = -1;
    if (pos + len <= text.size()) v = StrToIntDef(std::string_view(text).substr(pos, len), -1);
    return v;
  };
  try {
    if (text.size() == 8 && text[2] == ':' && text[5] == ':') {
      return EncodeTime(field(0, 2), field(3, 2), field(6, 2), 0);
    }
    if ((text.size() == 10 || (text.size() == 19 && text[10] == ' ' && text[13] == ':' &&
                               text[16] == ':')) &&
        text[4] == '-' && text[7] == '-') {
      TDateTime d = EncodeDate(field(0, 4), field(5, 2), field(8, 2));
      if (text.size() == 19) {
        TDateTime t = EncodeTime(field(11, 2), field(14, 2), field(17, 2), 0);
        d = d < 0 ? d - t : d + t;
      }
      return d;
    }
  } catch (const EConvertError&) {
  }
  CannotConvert("Date");
}

bool operator==(const Variant& a, const Variant& b) {
  const bool a_number = a.value_.index() >= 3 && a.value_.index() <= 5;
  const bool b_number = b.value_.index() >= 3 && b.value_.index() <= 5;
  if (a_number && b_number) {
    if (a.value_.index() == 5 || b.value_.index() == 5) return a.AsFloat() == b.AsFloat();
    return a.AsInt64() == b.AsInt64();
  }
  return a.value_ == b.value_;
}

}  // namespace orv
