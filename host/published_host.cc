#include "host/published_host.h"

#include "host/data_module.h"
#include "host/params.h"
#include "host/published_props.h"

namespace orv {
namespace {

const TEnumNames& FieldTypeNames() {
  static const TEnumNames names = {
      "ftUnknown",    "ftString",     "ftSmallint",  "ftInteger",   "ftWord",
      "ftBoolean",    "ftFloat",      "ftCurrency",  "ftBCD",       "ftDate",
      "ftTime",       "ftDateTime",   "ftBytes",     "ftVarBytes",  "ftAutoInc",
      "ftBlob",       "ftMemo",       "ftGraphic",   "ftFmtMemo",   "ftParadoxOle",
      "ftDBaseOle",   "ftTypedBinary", "ftCursor",   "ftFixedChar", "ftWideString",
      "ftLargeint",   "ftADT",        "ftArray",     "ftReference", "ftDataSet"};
  return names;
}

bool IsDateType(TFieldType type) {
  return type == ftDate || type == ftTime || type == ftDateTime;
}

// A date value is stored as its day number. The data type, which the
// registry writes before the value, makes it a date again.
void SetParamValue(TParam& param, const Variant& value) {
  const uint16_t kind = value.VarType();
  const bool number = kind == varInteger || kind == varInt64 || kind == varDouble;
  param.SetAsVariant(IsDateType(param.DataType()) && number
                         ? Variant::FromDateTime(value.AsFloat())
                         : value);
}

}  // namespace

void PublishHostClasses(TClassRegistry& classes) {
  classes.Register("TComponent", "")
      .Add(IntegerProperty<TComponent>("Tag", &TComponent::Tag, &TComponent::SetTag, 0));
  classes.RegisterComponent<TDataModule>("TDataModule", "TComponent");
  classes.Register("TParam", "")
      .Add(EnumProperty<TParam>("DataType", FieldTypeNames(), &TParam::DataType,
                                &TParam::SetDataType, kAlwaysStored))
      .Add(StringProperty<TParam>("Name", &TParam::Name, &TParam::SetName))
      .Add(EnumProperty<TParam>("ParamType", {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput",
                                              "ptResult"},
                                &TParam::ParamType, &TParam::SetParamType, kAlwaysStored))
      .Add(VariantProperty<TParam>("Value", &TParam::Value, SetParamValue));
}

}  // namespace orv
