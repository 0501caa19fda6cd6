// The package's entry points, exported from the shared library with C
// linkage so that a host that loads it (dlopen, dlsym) finds them by name.
//
// GetPackageInfoTable describes the package: its name, its units, each
// with the Register entry point it has (none for Orvclient and Orvsocket),
// and the host packages it requires. Initialize and Finalize are what the
// host runs after loading and before unloading; no unit has work of its
// own there, so loading registers nothing: a designer, or a tool, calls
// the Register entry points it finds in the table.
//
// The table is constant and may be read from any thread.
#pragma once

#include <cstdint>

#pragma GCC visibility push(default)
extern "C" {

struct TPackageUnit {
  const char* Name;
  void (*Register)();  // nullptr for a unit that registers nothing
};

struct TPackageInfoTable {
  const char* Name;
  int32_t UnitCount;
  const TPackageUnit* Units;
  int32_t RequiresCount;
  const char* const* Requires;
};

const TPackageInfoTable* GetPackageInfoTable();
void Initialize();
void Finalize();

}  // extern "C"
#pragma GCC visibility pop
