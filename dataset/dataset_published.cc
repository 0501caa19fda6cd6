#include "dataset/dataset_published.h"

#include "dataset/orv_query.h"
#include "dataset/orv_stored_proc.h"
#include "dataset/orv_table.h"
#include "host/published_props.h"

namespace orv {
namespace {

// An event the host keeps in a public member of TDataSet.
template <class Fn>
std::unique_ptr<TPropInfo> MemberEvent(std::string name, Fn TDataSet::*member) {
  return EventProperty<TOrvDataSet, Fn>(
      std::move(name), [member](const TOrvDataSet& d) { return d.*member; },
      [member](TOrvDataSet& d, Fn fn) { d.*member = std::move(fn); });
}

void PublishEvents(TClassInfo& info) {
  using D = TDataSet;
  using Notify = D::TDataSetNotifyEvent D::*;
  static const std::pair<const char*, Notify> kNotifyEvents[] = {
      {"BeforeOpen", &D::BeforeOpen},     {"AfterOpen", &D::AfterOpen},
      {"BeforeClose", &D::BeforeClose},   {"AfterClose", &D::AfterClose},
      {"BeforeInsert", &D::BeforeInsert}, {"AfterInsert", &D::AfterInsert},
      {"BeforeEdit", &D::BeforeEdit},     {"AfterEdit", &D::AfterEdit},
      {"BeforePost", &D::BeforePost},     {"AfterPost", &D::AfterPost},
      {"BeforeCancel", &D::BeforeCancel}, {"AfterCancel", &D::AfterCancel},
      {"BeforeDelete", &D::BeforeDelete}, {"AfterDelete", &D::AfterDelete},
      {"BeforeScroll", &D::BeforeScroll}, {"AfterScroll", &D::AfterScroll},
      {"OnCalcFields", &D::OnCalcFields}};
  for (const auto& [name, member] : kNotifyEvents)
    info.Add(MemberEvent(name, member));
  info.Add(MemberEvent("OnDeleteError", &D::OnDeleteError))
      .Add(MemberEvent("OnEditError", &D::OnEditError))
      .Add(MemberEvent("OnNewRecord", &D::OnNewRecord))
      .Add(MemberEvent("OnPostError", &D::OnPostError))
      .Add(EventProperty<TOrvDataSet, D::TFilterRecordEvent>(
          "OnFilterRecord", &D::OnFilterRecord, &D::SetOnFilterRecord));
}

}  // namespace

void PublishDataSetClasses(TClassRegistry& classes) {
  PublishEvents(classes.Register("TOrvDataSet", "TComponent"));

  using Q = TOrvQuery;
  classes.RegisterComponent<TOrvQuery>("TOrvQuery", "TOrvDataSet")
      .Add(ComponentProperty<Q, TOrvRDB>("Database", &Q::Database, &Q::SetDatabase))
      .Add(StringsProperty<Q>("SQL", [](const Q& q) { return q.SQL(); }, &Q::SetQuery))
      .Add(BooleanProperty<Q>("ParamCheck", &Q::ParamCheck, &Q::SetParamCheck, true))
      .Add(BooleanProperty<Q>("Active", &Q::Active, &Q::SetActive, false));

  using T = TOrvTable;
  classes.RegisterComponent<TOrvTable>("TOrvTable", "TOrvDataSet")
      .Add(StringProperty<T>("TableName", &T::TableName, &T::SetTableName))
      .Add(ComponentProperty<T, TOrvRDB>("Database", &T::Database, &T::SetDatabase))
      .Add(BooleanProperty<T>("Active", &T::Active, &T::SetActive, false))
      .Add(StringProperty<T>("Filter", &T::Filter, &T::SetFilterText))
      .Add(BooleanProperty<T>("Filtered", &T::Filtered, &T::SetFiltered, false))
      .Add(BooleanProperty<T>("AutoCalcFields", &T::AutoCalcFields, &T::SetAutoCalcFields, true))
      .Add(BooleanProperty<T>("CachedUpdates", &T::CachedUpdates, &T::SetCachedUpdates, false))
      .Add(BooleanProperty<T>("ReadOnly", &T::ReadOnly, &T::SetReadOnly, false))
      .Add(StringProperty<T>("IndexFieldNames", &T::IndexFieldNames, &T::SetIndexFieldNames));

  using P = TOrvStoredProc;
  classes.RegisterComponent<TOrvStoredProc>("TOrvStoredProc", "TOrvDataSet")
      .Add(BooleanProperty<P>("Active", &P::Active, &P::SetActive, false))
      .Add(ComponentProperty<P, TOrvRDB>("Database", &P::Database, &P::SetDatabase))
      .Add(StringProperty<P>("StoredProcName", &P::StoredProcName, &P::SetProcName));
}

}  // namespace orv
