#include "resources/BuiltinTables.h"

#include "platform/ModuleResources.h"

namespace calidra {

bool BuiltinTables::AddTo(ModuleResources& module) {
    bool added = true;
    for (std::uint32_t id : {kThermoNormalId, kThermoHighId}) {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0;
        added = ModuleResources::Library().Find(id, kType, data, size) && module.Add({kType, id, data, size}) && added;
    }
    return added;
}

}  // namespace calidra
