// The value kinds of published properties, and the functions that make
// their TPropInfo entries.
//
// A kind is a codec: the C++ value type, how it is written as a form value
// and how a form value is taken back (refusing values of another kind).
// TValueProperty joins a codec to a class's getter and setter (member
// functions or any callables) and to a stored rule, so every kind is
// written, read and defaulted by the same code:
//
//   kind          form value                 stored
//   integer       123                        unless at its default, or always
//   boolean       True / False               unless at its default
//   string        'text'                     unless empty
//   enumeration   svUNIX (by name)           unless at its default, or always
//   set           [a, b] (by name)           unless at its default
//   variant       Null, True, 1, 1.5, 'x'    unless empty (unassigned)
//   event         a handler's name           when assigned
//   string list   ('line' 'line') as X.Strings   unless empty
//   component     its name, "Owner.Name"     when assigned; resolved after
//                                            the whole form is read
#pragma once

#include <cassert>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "component.h"
#include "filer.h"
#include "form_handlers.h"
#include "published.h"
#include "strings.h"
#include "variant.h"

#pragma GCC visibility push(default)
namespace orv {

// The stored rule of a property without a default: always written.
inline constexpr struct TAlwaysStored {
} kAlwaysStored;

// The names of an enumeration's or a set's values, in ordinal order.
using TEnumNames = std::vector<std::string>;

struct TIntegerCodec {
  using Value = int;
  TFormValue Encode(int value) const { return TFormValue::Integer(value); }
  int Decode(const TFormValue& value, const TPropInfo& property, TReader& reader) const;
};

struct TBooleanCodec {
  using Value = bool;
  TFormValue Encode(bool value) const { return TFormValue::Ident(value ? "True" : "False"); }
  bool Decode(const TFormValue& value, const TPropInfo& property, TReader& reader) const;
};

struct TStringCodec {
  using Value = std::string;
  TFormValue Encode(const std::string& value) const { return TFormValue::String(value); }
  std::string Decode(const TFormValue& value, const TPropInfo& property, TReader& reader) const;
};

// Enumerations and sets share the name look-up.
struct TNamesCodec {
  TEnumNames names;
  // The ordinal of `name`; raises when it is not one of `names`.
  int Ordinal(const TFormValue& value, const std::string& name, const TPropInfo& property) const;
  const std::string& NameOf(int ordinal) const;
};

template <class E>
struct TEnumCodec : TNamesCodec {
  using Value = E;
  TFormValue Encode(E value) const { return TFormValue::Ident(NameOf(static_cast<int>(value))); }
  E Decode(const TFormValue& value, const TPropInfo& property, TReader&) const {
    return static_cast<E>(Ordinal(value, DecodeName(value, property), property));
  }
  static std::string DecodeName(const TFormValue& value, const TPropInfo& property);
};

// A set as a bit mask: bit n stands for names[n].
struct TSetCodec : TNamesCodec {
  using Value = uint32_t;
  TFormValue Encode(uint32_t value) const;
  uint32_t Decode(const TFormValue& value, const TPropInfo& property, TReader& reader) const;
};

struct TVariantCodec {
  using Value = Variant;
  TFormValue Encode(const Variant& value) const;
  Variant Decode(const TFormValue& value, const TPropInfo& property, TReader& reader) const;
};

// An event of type Fn (a std::function), stored by its handler's name.
template <class Fn>
struct TEventCodec {
  using Value = Fn;
  TFormValue Encode(const Fn& value) const {
    const std::string* name = HandlerName(value);
    if (name == nullptr)
      throw EFilerError({}, "the handler was assigned without a name (see TFormHandlers)");
    return TFormValue::Ident(*name);
  }
  Fn Decode(const TFormValue& value, const TPropInfo& property, TReader& reader) const {
    if (value.kind != TFormValueKind::kIdent) WrongValue(value, property, "a handler name");
    if (const Fn* handler = reader.Handlers().Find<Fn>(value.text)) return *handler;
    if (reader.Handlers().Contains(value.text))
      throw EFilerError(value.pos, "Handler " + value.text + " does not fit " + property.Name());
    throw EFilerError(value.pos, "Unknown handler " + value.text + " for " + property.Name());
  }
};

template <class E>
std::string TEnumCodec<E>::DecodeName(const TFormValue& value, const TPropInfo& property) {
  if (value.kind != TFormValueKind::kIdent) WrongValue(value, property, "a name");
  return value.text;
}

// A property of class C of one codec's kind.
template <class C, class Codec, class Get, class Set>
class TValueProperty : public TPropInfo {
 public:
  using Value = typename Codec::Value;
  TValueProperty(std::string name, Codec codec, Get get, Set set,
                 std::function<bool(const Value&)> stored)
      : TPropInfo(std::move(name)),
        codec_(std::move(codec)),
        get_(std::move(get)),
        set_(std::move(set)),
        stored_(std::move(stored)) {}

  bool IsStored(const TPersistent& object) const override { return stored_(ValueOf(object)); }
  TFormValue Write(const TPersistent& object, TWriter&) const override {
    return codec_.Encode(ValueOf(object));
  }
  void Read(TPersistent& object, const TFormValue& value, TReader& reader) const override {
    std::invoke(set_, Of(object), codec_.Decode(value, *this, reader));
  }

 private:
  static C& Of(TPersistent& object) {
    assert(dynamic_cast<C*>(&object) != nullptr);
    return static_cast<C&>(object);
  }
  Value ValueOf(const TPersistent& object) const {
    assert(dynamic_cast<const C*>(&object) != nullptr);
    return std::invoke(get_, static_cast<const C&>(object));
  }

  Codec codec_;
  Get get_;
  Set set_;
  std::function<bool(const Value&)> stored_;
};

template <class C, class Codec, class Get, class Set, class Stored>
std::unique_ptr<TPropInfo> MakeProperty(std::string name, Codec codec, Get get, Set set,
                                        Stored stored) {
  return std::make_unique<TValueProperty<C, Codec, Get, Set>>(std::move(name), std::move(codec),
                                                              std::move(get), std::move(set),
                                                              std::move(stored));
}

template <class V>
auto UnlessDefault(V default_value) {
  return [default_value](const V& value) { return !(value == default_value); };
}
template <class V>
auto Always(TAlwaysStored) {
  return [](const V&) { return true; };
}

template <class C, class Get, class Set>
auto IntegerProperty(std::string name, Get get, Set set, int default_value) {
  return MakeProperty<C>(std::move(name), TIntegerCodec{}, get, set, UnlessDefault(default_value));
}
template <class C, class Get, class Set>
auto IntegerProperty(std::string name, Get get, Set set, TAlwaysStored always) {
  return MakeProperty<C>(std::move(name), TIntegerCodec{}, get, set, Always<int>(always));
}
template <class C, class Get, class Set>
auto BooleanProperty(std::string name, Get get, Set set, bool default_value) {
  return MakeProperty<C>(std::move(name), TBooleanCodec{}, get, set, UnlessDefault(default_value));
}
template <class C, class Get, class Set>
auto StringProperty(std::string name, Get get, Set set) {
  return MakeProperty<C>(std::move(name), TStringCodec{}, get, set,
                         [](const std::string& value) { return !value.empty(); });
}
// The enumeration is the getter's type; `stored` is its default value or
// kAlwaysStored.
template <class C, class Get, class Set, class Stored>
auto EnumProperty(std::string name, TEnumNames names, Get get, Set set, Stored stored) {
  using E = std::decay_t<std::invoke_result_t<Get, const C&>>;
  if constexpr (std::is_same_v<Stored, TAlwaysStored>) {
    return MakeProperty<C>(std::move(name), TEnumCodec<E>{{std::move(names)}}, get, set,
                           Always<E>(stored));
  } else {
    return MakeProperty<C>(std::move(name), TEnumCodec<E>{{std::move(names)}}, get, set,
                           UnlessDefault(static_cast<E>(stored)));
  }
}
template <class C, class Get, class Set>
auto SetProperty(std::string name, TEnumNames names, Get get, Set set, uint32_t default_value) {
  assert(names.size() <= 32 && "a set is a 32-bit mask");
  return MakeProperty<C>(std::move(name), TSetCodec{{std::move(names)}}, get, set,
                         UnlessDefault(default_value));
}
template <class C, class Get, class Set>
auto VariantProperty(std::string name, Get get, Set set) {
  return MakeProperty<C>(std::move(name), TVariantCodec{}, get, set,
                         [](const Variant& value) { return !value.IsEmpty(); });
}
template <class C, class Fn, class Get, class Set>
auto EventProperty(std::string name, Get get, Set set) {
  return MakeProperty<C>(std::move(name), TEventCodec<Fn>{}, get, set,
                         [](const Fn& value) { return static_cast<bool>(value); });
}

// A string list, written as "<Name>.Strings = (...)". The getter gives a
// const TStrings*; the setter takes one.
template <class C, class Get, class Set>
class TStringsProperty : public TPropInfo {
 public:
  TStringsProperty(std::string name, Get get, Set set)
      : TPropInfo(std::move(name)), get_(std::move(get)), set_(std::move(set)) {}

  std::string StoredName() const override { return Name() + ".Strings"; }
  bool IsStored(const TPersistent& object) const override { return Lines(object).Count() > 0; }
  TFormValue Write(const TPersistent& object, TWriter&) const override {
    std::vector<TFormValue> lines;
    const TStrings& list = Lines(object);
    for (int i = 0; i < list.Count(); ++i) lines.push_back(TFormValue::String(list.Strings(i)));
    return TFormValue::List(std::move(lines));
  }
  void Read(TPersistent& object, const TFormValue& value, TReader&) const override {
    if (value.kind != TFormValueKind::kList) WrongValue(value, *this, "a list of strings");
    TStringList lines;
    for (const TFormValue& line : value.items) {
      if (line.kind != TFormValueKind::kString) WrongValue(line, *this, "a string");
      lines.Add(line.text);
    }
    std::invoke(set_, static_cast<C&>(object), static_cast<const TStrings*>(&lines));
  }

 private:
  const TStrings& Lines(const TPersistent& object) const {
    return *std::invoke(get_, static_cast<const C&>(object));
  }

  Get get_;
  Set set_;
};

template <class C, class Get, class Set>
std::unique_ptr<TPropInfo> StringsProperty(std::string name, Get get, Set set) {
  return std::make_unique<TStringsProperty<C, Get, Set>>(std::move(name), get, set);
}

// A reference to a component of class Target. Reading only notes the name:
// it is looked up once the whole form is read, so a component may name one
// that the file defines further down.
template <class C, class Target, class Get, class Set>
class TComponentProperty : public TPropInfo {
 public:
  TComponentProperty(std::string name, Get get, Set set)
      : TPropInfo(std::move(name)), get_(std::move(get)), set_(std::move(set)) {}

  bool IsStored(const TPersistent& object) const override { return TargetOf(object) != nullptr; }
  TFormValue Write(const TPersistent& object, TWriter& writer) const override {
    return TFormValue::Ident(writer.ReferenceName(static_cast<const C&>(object), *TargetOf(object)));
  }
  void Read(TPersistent& object, const TFormValue& value, TReader& reader) const override {
    if (value.kind != TFormValueKind::kIdent) WrongValue(value, *this, "a component name");
    C& owner = static_cast<C&>(object);
    reader.AddFixup(owner, value, [this, &owner, value](TComponent* found) {
      auto* target = dynamic_cast<Target*>(found);
      if (target == nullptr)
        throw EFilerError(value.pos, "Wrong value for " + Name() + ": " + value.text + " is a " +
                                         found->ClassName());
      std::invoke(set_, owner, target);
    });
  }

 private:
  const Target* TargetOf(const TPersistent& object) const {
    return std::invoke(get_, static_cast<const C&>(object));
  }

  Get get_;
  Set set_;
};

template <class C, class Target, class Get, class Set>
std::unique_ptr<TPropInfo> ComponentProperty(std::string name, Get get, Set set) {
  return std::make_unique<TComponentProperty<C, Target, Get, Set>>(std::move(name), get, set);
}

}  // namespace orv
#pragma GCC visibility pop
