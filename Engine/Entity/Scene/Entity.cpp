#include "Entity/Scene/Entity.h"

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Core/XMLManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/DeformedSkeletonModel.h"
#include "Entity/Character/NewActor.h"
#include "Entity/Character/SkeletonModel.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Image/ImageManager.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/Decal.h"
#include "Entity/Scene/DeformedModel.h"
#include "Entity/Scene/Level.h"
#include "Entity/Scene/SimpLevel.h"
#include "Entity/Texture/TextureManager.h"

namespace Zel {
namespace {

template <class T>
void Release(Globals* globals, Factory<T>* (Globals::*getter)(), Entity* entity) {
    if (Factory<T>* factory = (globals->*getter)())
        factory->Release(static_cast<T*>(entity));
}

// What every released entity may have been the last to hold.
void CollectResources(Globals* globals) {
    if (XMLManager* xml = globals->GetXMLManager()) {
        xml->Collect();
        xml->Purge();
    }
    if (MaterialManager* materials = globals->GetMaterialManager()) {
        materials->Collect();
        materials->UnloadGarbage();
    }
    if (GpuProgramManager* programs = globals->GetGpuProgramManager()) {
        programs->Collect();
        programs->Purge();
    }
    if (TextureManager* textures = globals->GetTextureManager())
        textures->PurgeUnused();
    if (ImageManager* images = globals->GetImageManager()) {
        images->Collect();
        images->Purge();
    }
    if (GeometryManager* geometry = globals->GetGeometryManager()) {
        geometry->Collect();
        geometry->Purge();
    }
}

}  // namespace

void Entity::ReturnToFactory() {
    Globals* globals = Globals::GetExisting();
    if (!globals)
        return;
    // Each kind goes back to the factory that made it; the class id tells them apart exactly.
    switch (GetClassId()) {
        case ClassId::SkeletonModel:
            if (dynamic_cast<DeformedSkeletonModel*>(this))
                Release(globals, &Globals::GetDeformedSkeletonModelFactory, this);
            else
                Release(globals, &Globals::GetSkeletonModelFactory, this);
            break;
        case ClassId::Actor:
            Release(globals, &Globals::GetActorFactory, this);
            break;
        case ClassId::NewActor:
            Release(globals, &Globals::GetNewActorFactory, this);
            break;
        case ClassId::DeformedModel:
            Release(globals, &Globals::GetDeformedModelFactory, this);
            break;
        case ClassId::Level:
            Release(globals, &Globals::GetLevelFactory, this);
            break;
        case ClassId::SimpLevel:
            Release(globals, &Globals::GetSimpLevelFactory, this);
            break;
        case ClassId::BillBoard:
            Release(globals, &Globals::GetBillBoardFactory, this);
            break;
        case ClassId::Decal:
            Release(globals, &Globals::GetDecalFactory, this);
            break;
        default:
            Release(globals, &Globals::GetEntityFactory, this);
            break;
    }
    CollectResources(globals);
}

}  // namespace Zel
