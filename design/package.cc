#include "design/package.h"

#include "design/registration.h"

namespace {

const TPackageUnit kUnits[] = {
    {"Orvclient", nullptr},
    {"Orvsocket", nullptr},
    {"Orvdataset", &orv::orvdataset::Register},
    {"Orvrdb", &orv::orvrdb::Register},
};
const char* const kRequires[] = {"vcl40", "vcldb40"};

const TPackageInfoTable kPackage = {orv::kOrvClientPage, 4, kUnits, 2, kRequires};

}  // namespace

extern "C" {

const TPackageInfoTable* GetPackageInfoTable() { return &kPackage; }

// The units have no initialization or finalization of their own.
void Initialize() {}
void Finalize() {}

}  // extern "C"
