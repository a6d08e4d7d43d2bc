#include "Entity/Material/HeldMaterial.h"

#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"

namespace Zel {
namespace {

MaterialManager* ManagerOf(const Material* material) {
    return dynamic_cast<MaterialManager*>(material->GetManager());
}

}  // namespace

void HeldMaterial::Assign(Material* material) {
    if (material == material_)
        return;
    if (material_) {
        if (MaterialManager* manager = ManagerOf(material_))
            manager->GiveBackInUse(material_);
        else
            material_->DecRef();
    }
    material_ = material;
    if (material_) {
        if (MaterialManager* manager = ManagerOf(material_))
            manager->KeepInUse(material_);
        else
            material_->AddRef();
    }
}

void HeldMaterial::AdoptClone(Material* clone) {
    if (!clone)
        return;
    Assign(clone);
    clone->Release();
}

}  // namespace Zel
