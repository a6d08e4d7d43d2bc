#include "Render/RenderCore/IEngineMonitorImplRC.h"

#include "Core/CObjectPool.h"
#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Core/HeapUsage.h"
#include "Core/SectionGuard.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Texture/TextureManager.h"

namespace Zel {
namespace {

enum MonitorCategory : std::int32_t {
    kTextures = 0,
    kImages = 1,
    kStaticGeometries = 2,
    kActions = 3,
    kActors = 4,
    kAllGeometries = 5,
    kBodyParts = 6,
};

// The file-resource manager that answers a category from its own counters (1, 3, 5), or null.
CResourceManager* CountingManager(std::int32_t category) {
    switch (category) {
        case kImages:
            return Globals::Find(&Globals::GetImageManager);
        case kActions:
            return Globals::Find(&Globals::GetActionManager);
        case kAllGeometries:
            return Globals::Find(&Globals::GetGeometryManager);
        default:
            return nullptr;
    }
}

std::uint32_t LiveActors() {
    Factory<Actor>* actors = Globals::Find(&Globals::GetActorFactory);
    if (!actors)
        return 0;
    SectionGuard guard(actors->GetLock());
    return static_cast<std::uint32_t>(CountListNodes(actors->GetPool()));
}

}  // namespace

std::uint32_t IEngineMonitorImplRC::GetResourceCount(std::int32_t category) {
    if (CResourceManager* manager = CountingManager(category))
        return manager->GetActiveCount();
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    GeometryManager* geometries = Globals::Find(&Globals::GetGeometryManager);
    switch (category) {
        case kTextures:
            return textures ? textures->GetActiveTextureCount() : 0;
        case kStaticGeometries:
            return geometries ? geometries->CountStaticGeometries() : 0;
        case kActors:
            return LiveActors();
        case kBodyParts:
            return geometries ? geometries->CountBodyParts() : 0;
        default:
            return 0;
    }
}

std::uint32_t IEngineMonitorImplRC::GetUnreferencedCount(std::int32_t category) {
    if (CResourceManager* manager = CountingManager(category))
        return manager->GetGarbageCount();
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    return category == kTextures && textures ? textures->GetUnreferencedTextureCount() : 0;
}

std::uint32_t IEngineMonitorImplRC::GetResourceBytes(std::int32_t category) {
    if (CResourceManager* manager = CountingManager(category))
        return manager->GetActiveBytes();
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    GeometryManager* geometries = Globals::Find(&Globals::GetGeometryManager);
    switch (category) {
        case kTextures:
            return textures ? textures->GetActiveTextureBytes() : 0;
        case kStaticGeometries:
            return geometries ? geometries->StaticGeometryMemory() : 0;
        case kBodyParts:
            return geometries ? geometries->BodyPartMemory() : 0;
        default:
            // Actors hold no body texture of their own yet, so their share is 0.
            return 0;
    }
}

std::uint32_t IEngineMonitorImplRC::GetUnreferencedBytes(std::int32_t category) {
    if (CResourceManager* manager = CountingManager(category))
        return manager->GetGarbageBytes();
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    return category == kTextures && textures ? textures->GetUnreferencedTextureBytes() : 0;
}

std::uint32_t IEngineMonitorImplRC::GetProcessHeapBytes() {
    return Zel::GetProcessHeapBytes();
}

std::uint32_t IEngineMonitorImplRC::GetTextureMemoryCounter() {
    TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
    return textures ? textures->GetDeviceTextureBytes() : 0;
}

void IEngineMonitorImplRC::DumpResources(std::int32_t category, const char* fileName) {
    if (CResourceManager* manager = CountingManager(category)) {
        manager->DumpToFile(fileName);
        return;
    }
    if (category == kTextures) {
        if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
            textures->DumpResources(fileName);
    } else if (category == kBodyParts) {
        if (GeometryManager* geometries = Globals::Find(&Globals::GetGeometryManager))
            geometries->DumpGeometries(fileName);
    }
}

}  // namespace Zel
