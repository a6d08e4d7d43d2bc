#include "Core/XMLResource.h"

#include "Core/LogDispatch.h"

namespace Zel {

XMLResource::XMLResource(CResourceManager* manager, std::string_view name, std::string_view group,
                         std::uint32_t handle)
    : CResource(manager, name, group, handle) {}

XMLResource::~XMLResource() {
    Unload();
    // A resource deleted while still referenced (RemoveAll) keeps its document past Unload.
    document_.reset();
}

void XMLResource::Unload() {
    if (IsLoaded() && GetRefCount() == 1)
        CResource::Unload();
}

void XMLResource::LogLoadResult(bool ok) {
    if (!ok)
        LogTyped(LOG_ENGINE_INIT, "Read xml file failed: %s", GetLoadPath().c_str());
}

std::uint32_t XMLResource::GetSize() {
    return 0;
}

bool XMLResource::LoadImpl() {
    document_ = std::make_unique<TiXmlDocument>();
    return document_->LoadFile(GetLoadPath().c_str());
}

void XMLResource::UnloadImpl() {
    if (document_ && GetRefCount() == 1)
        document_.reset();
}

TiXmlDocument* GetDocument(const XMLResource* resource) {
    if (resource && resource->GetDocumentPointer())
        return resource->GetDocumentPointer();
    static TiXmlDocument empty;
    return &empty;
}

}  // namespace Zel
