// An XML document shared through the XML manager (XMLManager). It is loaded at once when first
// asked for and stays loaded while anybody holds a reference: it unloads only when the manager's
// own reference is the last. Documents are not counted in the manager's bytes.
#pragma once

#include <memory>

#include "Core/CResource.h"
#include "Core/TiXmlDocument.h"

namespace Zel {

class XMLResource : public CResource {
public:
    XMLResource(CResourceManager* manager, std::string_view name, std::string_view group,
                std::uint32_t handle);
    // Unloads (count 1) and frees the document whatever the count.
    ~XMLResource() override;

    ZEL_CLASS_ID(XMLResource)
    // The base sequence, only while loaded and held by the manager alone.
    void Unload() override;
    // On failure logs (ENGINE_INIT) that reading the xml file failed, with the load path.
    void LogLoadResult(bool ok) override;
    // 0: documents are not counted.
    std::uint32_t GetSize() override;
    // A new document from the load path (TiXmlDocument::LoadFile).
    bool LoadImpl() override;
    // Frees the document when the manager's reference is the last.
    void UnloadImpl() override;

    // The parsed file while loaded; null when none is held.
    TiXmlDocument* GetDocumentPointer() const { return document_.get(); }

private:
    std::unique_ptr<TiXmlDocument> document_;
};

// The resource's document; an empty, shared document when the resource (or its document) is
// missing, so that callers always have a document to search. The shared one is only searched,
// never changed.
TiXmlDocument* GetDocument(const XMLResource* resource);

}  // namespace Zel
