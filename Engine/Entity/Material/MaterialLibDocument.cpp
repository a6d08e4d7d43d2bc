#include "Entity/Material/MaterialLibDocument.h"

#include "Core/Globals.h"
#include "Core/XMLManager.h"
#include "Core/XMLResource.h"
#include "Platform/Win32/Win32.h"

namespace Zel {

MaterialLibDocument::MaterialLibDocument(const std::string& path) {
    XMLManager* documents = Globals::Find(&Globals::GetXMLManager);
    auto* resource = documents ? dynamic_cast<XMLResource*>(documents->Load(path)) : nullptr;
    if (!resource)
        return;
    if (!resource->IsLoadSucceeded() || !resource->GetDocumentPointer()) {
        resource->Unload();
        return;
    }
    resource_ = resource;
    // The manager keeps a reference of its own: a count of 1 here means it lost it.
    if (resource_->AddRef() == 1)
        MessageBoxA(nullptr, "XML引用计数出错", "", MB_OK);
}

MaterialLibDocument::~MaterialLibDocument() {
    if (!resource_)
        return;
    resource_->DecRef();
    resource_->Unload();
}

const TiXmlDocument* MaterialLibDocument::Get() const {
    return resource_ ? resource_->GetDocumentPointer() : nullptr;
}

}  // namespace Zel
