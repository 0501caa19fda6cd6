#include "dataset/orv_query.h"

namespace orv {

TOrvQuery::TOrvQuery(TComponent* owner) : TOrvDataSet(owner) {
  SQL()->OnChange = [this](TStrings*) { QueryChanged(this); };
}

TOrvQuery::~TOrvQuery() {
  param_check_ = false;
  SQL()->OnChange = nullptr;
  // Closing here keeps the query's state intact while the reader stops.
  if (Active()) SetActive(false);
}

void TOrvQuery::QueryChanged(TObject*) {
  const std::string text = SQL()->Text();
  if (param_check_ || (ComponentState() & csDesigning)) {
    TParams fresh(this);
    SetCommandText(ParseSQL(text, &fresh));
    fresh.AssignValues(*Params());
    Params()->Clear();
    Params()->Assign(&fresh);
  } else {
    SetCommandText(text);
  }
  DataEvent(dePropertyChange, intptr_t{0});
}

void TOrvQuery::SetQueryPart(int32_t start_row, int32_t row_count) {
  SetQueryStartRow(start_row);
  SetQueryRow(row_count);
  SetSQLKind(skOpen);
  SetZozudQueryMode(Page);
}

}  // namespace orv
