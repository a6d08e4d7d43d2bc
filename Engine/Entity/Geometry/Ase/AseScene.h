// An ASE text scene as read (AseReader.h): its node objects, lights, cameras, materials and frame
// settings. The caller of the reader owns it; FreeAseScene drops it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Entity/Geometry/Ase/AseCamera.h"
#include "Entity/Geometry/Ase/AseLight.h"
#include "Entity/Geometry/Ase/AseMaterial.h"
#include "Entity/Geometry/Ase/AseObject.h"

namespace Zel {

struct AseScene {
    AseScene() = default;
    AseScene(const AseScene&) = delete;
    AseScene& operator=(const AseScene&) = delete;

    // Every GEOMOBJECT and HELPEROBJECT in file order (not owning).
    std::vector<AseObject*> allObjects;
    // The same objects, plus the bone-only objects that vertex weights created, in the order
    // they were made; owning.
    std::vector<std::unique_ptr<AseObject>> objects;
    std::vector<std::unique_ptr<AseLight>> lights;
    std::vector<std::unique_ptr<AseCamera>> cameras;
    std::vector<std::unique_ptr<AseMaterial>> materials;  // an object's materialRef indexes it
    // The SCENE block; 0 when absent.
    std::int32_t firstFrame = 0;
    std::int32_t lastFrame = 0;
    std::int32_t frameSpeed = 0;
    std::int32_t ticksPerFrame = 0;
};

}  // namespace Zel
