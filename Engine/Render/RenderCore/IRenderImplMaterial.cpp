// The root interface's material rows: look-ups by name, index and id that hand out the host's
// material wrappers, the material DrawPicked draws with, and material proxy tables.
#include "Render/RenderCore/IRenderImpl.h"

#include "Core/Globals.h"
#include "Core/ScopedLock.h"
#include "Core/threadmng.h"
#include "Entity/Material/MaterialManager.h"
#include "Render/RenderCore/InterfaceBinders.h"
#include "Render/RenderCore/MaterialWrappers.h"

namespace Zel {
namespace {

MaterialManager* Materials() {
    return Globals::Find(&Globals::GetMaterialManager);
}

// The material registered under the name, without a reference of its own: the host's wrapper
// stands for it until the host releases it. Null for a null name or without a manager.
Material* Named(const char* name) {
    MaterialManager* materials = Materials();
    return materials && name ? materials->FindMaterial(name, false) : nullptr;
}

}  // namespace

std::intptr_t IRenderImpl::GetMaterialAt(int index) {
    // The name of entry index of the list GetMaterialCount counts ("invalid name" past the end,
    // a negative index included).
    MaterialManager* materials = Materials();
    return materials ? reinterpret_cast<std::intptr_t>(
                           materials->GetMaterialName(static_cast<std::uint32_t>(index)))
                     : 0;
}

ZelI::IShader* IRenderImpl::GetShader(const char* name) {
    return MaterialInterface(Named(name));
}

ZelI::IMaterial* IRenderImpl::FindMaterial(const char* name) {
    ScopedLock lock(threadmng::kMainLock);
    return MaterialInterface(Named(name));
}

ZelI::IMaterial* IRenderImpl::FindAndLoadMaterial(const char* name) {
    ScopedLock lock(threadmng::kMainLock);
    Material* material = Named(name);
    if (material && !material->IsLoaded())
        material->Reload();
    return MaterialInterface(material);
}

void IRenderImpl::SetPickMaterial(ZelI::IMaterial* material) {
    pickMaterial_.Assign(UnwrapInterface<Material>(material));
}

const char* IRenderImpl::GetMaterialName(int id) {
    MaterialManager* materials = Materials();
    if (!materials || id < 0)
        return nullptr;
    auto* material =
        dynamic_cast<Material*>(materials->GetByHandle(static_cast<std::uint32_t>(id)));
    return material ? material->GetName().c_str() : nullptr;
}

ZelI::IMatProxyTable* IRenderImpl::CreateMatProxyTable() {
    return new IMatProxyTableImpl();
}

}  // namespace Zel
