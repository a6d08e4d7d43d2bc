// The scene manager's creation of models by file name.
#include <vector>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Core/PathUtils.h"
#include "Core/StreamFactory.h"
#include "Entity/Material/Material.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SceneManager.h"

namespace Zel {
namespace {

bool NameHas(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The directory of a path: up to the later of its last "/" and "\".
std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::int32_t SceneManager::GetModelFileKind(const std::string& path) {
    if (NameHas(path, ".dml"))
        return 0;
    if (NameHas(path, ".dm2") || NameHas(path, ".dm3"))
        return 1;
    if (NameHas(path, ".chr"))
        return FileExists(DirectoryOf(path) + "AnmConfig.xml") ? 11 : 2;
    if (NameHas(path, ".ch2") || NameHas(path, ".ch3"))
        return 3;
    if (NameHas(path, ".act"))
        return 6;
    if (NameHas(path, ".ac2") || NameHas(path, ".ac3"))
        return 7;
    if (NameHas(path, ".anm"))
        return 4;
    if (NameHas(path, ".an2") || NameHas(path, ".an3"))
        return 5;
    if (NameHas(path, ".xml"))
        return 8;
    return -1;
}

Entity* SceneManager::LoadModelGeometry(const std::string& path) {
    const std::int32_t kind = GetModelFileKind(path);
    if (kind < 0) {
        ReportError("不被支持的资源文件格式！file=%s", path.c_str());
        return nullptr;
    }
    if (kind == 6 || kind == 7 || kind == 8) {
        ReportError("create Actor 不通过CreateEntity有专门接口");
        return nullptr;
    }
    // Each kind is made as the class that reads its file; the object's own geometry kind then
    // picks the reader, so a skinned file is never read as a plain geometry.
    Entity* entity = nullptr;
    switch (kind) {
        case 0:
        case 1:
            entity = CreateEntity();
            break;
        case 2:
        case 3:
            entity = CreateSkeletonModel();
            break;
        case 4:
        case 5:
            entity = CreateDeformedModel();
            break;
        case 11:
            entity = CreateDeformedSkeletonModel();
            break;
        default:
            return nullptr;
    }
    if (!entity)
        return nullptr;
    if (!entity->LoadGeometry(path)) {
        entity->Destroy();
        return nullptr;
    }
    return entity;
}

bool SceneManager::BuildLoadedModel(Entity& entity) {
    if (entity.BuildFromGeometry())
        return true;
    entity.Destroy();
    return false;
}

Entity* SceneManager::CreateModelByFile(const std::string& path) {
    Entity* entity = LoadModelGeometry(path);
    if (!entity)
        return nullptr;
    // The material libraries the geometry names load before the sub-entities look their
    // materials up, so that each piece finds its own material rather than a fallback.
    std::vector<Material*> collected;
    entity->ResolveMaterials(&collected, true);
    const bool built = BuildLoadedModel(*entity);
    for (Material* material : collected)
        if (material)
            material->DecRef();
    return built ? entity : nullptr;
}

Entity* SceneManager::CreateModel(const std::string& fileName) {
    const std::string* directory = Globals::Find(&Globals::GetShaderPath);
    return CreateModelByFile(directory ? JoinPath(*directory, fileName) : fileName);
}

}  // namespace Zel
