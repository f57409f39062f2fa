// The library's built-in resources: the normal-range and the high-range thermo
// table, both of type "TBL". The build puts them into the library's module
// (CMakeLists.txt of this folder): on Windows as resources of the DLL, elsewhere
// as arrays added to ModuleResources::Library() while the library is loaded.
#pragma once

#include <cstdint>

namespace calidra {

class ModuleResources;

class BuiltinTables {
public:
    static constexpr std::uint32_t kThermoNormalId = 114;
    static constexpr std::uint32_t kThermoHighId = 115;
    static constexpr const wchar_t* kType = L"TBL";

    // Adds both tables, as the library's module holds them, to module; true
    // when both were added.
    static bool AddTo(ModuleResources& module);
};

}  // namespace calidra
