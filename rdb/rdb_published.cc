#include "rdb/rdb_published.h"

#include "host/published_props.h"
#include "rdb/orv_rdb.h"

namespace orv {

void PublishRDBClasses(TClassRegistry& classes) {
  using C = TOrvRDB;
  // Port and ServerType have no default: a form always says which.
  classes.RegisterComponent<TOrvRDB>("TOrvRDB", "TComponent")
      .Add(StringProperty<C>("Host", &C::Host, &C::SetHost))
      .Add(IntegerProperty<C>("Port", &C::Port, &C::SetPort, kAlwaysStored))
      .Add(StringProperty<C>("Address", &C::Address, &C::SetAddress))
      .Add(StringProperty<C>("Service", &C::Service, &C::SetService))
      .Add(StringProperty<C>("Database", &C::Database, &C::SetDatabase))
      .Add(EnumProperty<C>("ServerType", {"svUNIX", "svNTServer"}, &C::ServerType,
                           &C::SetServerType, kAlwaysStored))
      .Add(EnumProperty<C>("DatabaseType", {"dtOracle", "dtSybase"}, &C::DatabaseType,
                           &C::SetDatabaseType, TDatabaseType::dtOracle))
      .Add(StringProperty<C>("DBUserId", &C::DBUserId, &C::SetDBUserId))
      .Add(StringProperty<C>("DBPassword", &C::DBPassword, &C::SetDBPassword))
      .Add(IntegerProperty<C>("TimeOut", &C::TimeOut, &C::SetTimeOut, 1000));
}

}  // namespace orv
