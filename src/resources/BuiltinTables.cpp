#include "resources/BuiltinTables.h"

#include "platform/ModuleResources.h"
#include "resources/BuiltinTableData.h"

namespace calidra {

bool BuiltinTables::AddTo(ModuleResources& module) {
    bool normal = module.Add({kType, kThermoNormalId, kThermoNormalTable, kThermoNormalTableSize});
    bool high = module.Add({kType, kThermoHighId, kThermoHighTable, kThermoHighTableSize});
    return normal && high;
}

namespace {

// The tables are in place before anything of the library runs: the loader
// constructs this object when the library (or a test program) is loaded.
struct LibraryRegistration {
    LibraryRegistration() { BuiltinTables::AddTo(ModuleResources::Library()); }
};
[[maybe_unused]] const LibraryRegistration registration;

}  // namespace

}  // namespace calidra
