// The shared library as a host loads it: found with dlopen, its entry points
// with dlsym by their C names; its package table read; loading registers
// nothing until the Register entry points the table lists are called.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "design/package.h"
#include "host/designer.h"

namespace orv {
namespace {

TEST(PackageLoadTest, EntryPointsByNameAndRegistrationOnlyOnRequest) {
  void* library = dlopen(ORV_LIBORVCLIENT_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto info = reinterpret_cast<const TPackageInfoTable* (*)()>(
      dlsym(library, "GetPackageInfoTable"));
  auto initialize = reinterpret_cast<void (*)()>(dlsym(library, "Initialize"));
  auto finalize = reinterpret_cast<void (*)()>(dlsym(library, "Finalize"));
  ASSERT_TRUE(info && initialize && finalize) << dlerror();

  initialize();
  EXPECT_TRUE(RegisteredComponents().empty());
  const TPackageInfoTable* table = info();
  EXPECT_STREQ(table->Name, "OrvClient");
  std::vector<std::string> units, required, registering;
  for (int i = 0; i < table->UnitCount; ++i) {
    units.push_back(table->Units[i].Name);
    if (table->Units[i].Register == nullptr) continue;
    registering.push_back(table->Units[i].Name);
    table->Units[i].Register();
  }
  for (int i = 0; i < table->RequiresCount; ++i) required.push_back(table->Requires[i]);
  EXPECT_EQ(units, (std::vector<std::string>{"Orvclient", "Orvsocket", "Orvdataset", "Orvrdb"}));
  EXPECT_EQ(registering, (std::vector<std::string>{"Orvdataset", "Orvrdb"}));
  EXPECT_EQ(required, (std::vector<std::string>{"vcl40", "vcldb40"}));

  // In the order the entry points ran: the table lists Orvdataset first.
  std::vector<std::string> classes;
  for (const TComponentRegistration& r : RegisteredComponents()) classes.push_back(r.Class.Name);
  EXPECT_EQ(classes,
            (std::vector<std::string>{"TOrvTable", "TOrvQuery", "TOrvStoredProc", "TOrvRDB"}));
  EXPECT_TRUE(FindPropertyEditor("TStordProcName", "TOrvStoredProc", "StoredProcName"));
  finalize();
  EXPECT_EQ(dlclose(library), 0);
}

}  // namespace
}  // namespace orv
