#include "Entity/Geometry/LevelDescriptionLoad.h"

#include "Core/ErrorReport.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Geometry/ModelDescriptionParser.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Geometry/StaticGeometryDescription.h"

namespace Zel {

bool LoadLevelDescription(const std::string& loadPath, std::uint32_t skipSwitch,
                          const char* className,
                          const std::function<bool(const std::string&)>& readMeshes,
                          std::vector<std::string>& materialFiles) {
    const GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    const std::string path = config && config->GetValue(StaticGeometry::kDefaultLevelSwitch) != 0
                                 ? std::string(StaticGeometry::kDefaultLevelPath)
                                 : loadPath;
    StaticGeometryDescription description;
    if (ParseStaticXmlDescription(path, description)) {
        const bool skip = skipSwitch != 0 && config && config->GetValue(skipSwitch) != 0;
        if (skip || readMeshes(description.meshFile)) {
            materialFiles.push_back(description.materialFile);
            return true;
        }
    }
    ReportError("%s 资源文件格式错误！%s", className, path.c_str());
    return false;
}

}  // namespace Zel
