#include "dataset/orv_query.h"

namespace orv {

TOrvQuery::TOrvQuery(TComponent* owner) : TOrvDataSet(owner) {
  SQL()->OnChange = [this](TStrings*) { QueryChanged(this); };
}

TOrvQuery::~TOrvQuery() {
  param_check_ = false;
  SQL()->OnChange = nullptr;
  // Marked as being destroyed first, so the close below fires no close
  // events; closing here keeps the query's state intact while the reader
  // stops.
  Destroying();
  if (Active()) SetActive(false);
}

void TOrvQuery::QueryChanged(TObject*) {
  const std::string text = SQL()->Text();
  if (param_check_ || (ComponentState() & csDesigning)) {
    TParams fresh(this);
    SetCommandText(ParseSQL(text, &fresh));
    // Every entry takes the value of its namesake, a name written twice
    // included.
    for (int i = 0; i < fresh.Count(); ++i) {
      TParam* param = fresh[i];
      if (const TParam* old = Params()->FindParam(param->Name())) {
        param->SetDataType(old->DataType());
        param->SetParamType(old->ParamType());
        param->SetAsVariant(old->Value());
        param->SetBound(old->Bound());
      }
    }
    Params()->Clear();
    Params()->Assign(&fresh);
  } else {
    SetCommandText(text);
  }
  DataEvent(dePropertyChange, intptr_t{0});
}

void TOrvQuery::Loaded() {
  if (!param_check_) QueryChanged(this);
  TOrvDataSet::Loaded();
}

void TOrvQuery::SetQueryPart(int32_t start_row, int32_t row_count) {
  SetQueryStartRow(start_row);
  SetQueryRow(row_count);
  SetSQLKind(skOpen);
  SetZozudQueryMode(TZozudQueryMode::Page);
}

}  // namespace orv
