// An XML material library's document taken from the XML manager for the length of one use
// (a library load or a material's reload): one reference is held meanwhile, and at the end it is
// given back and the document unloaded unless somebody else still holds it. A library that does
// not read is unloaded at once, so that a later use reads the file again.
//
// The loading thread only.
#pragma once

#include <string>

#include "Core/TiXmlDocument.h"

namespace Zel {

class XMLResource;

class MaterialLibDocument {
public:
    explicit MaterialLibDocument(const std::string& path);
    ~MaterialLibDocument();
    MaterialLibDocument(const MaterialLibDocument&) = delete;
    MaterialLibDocument& operator=(const MaterialLibDocument&) = delete;

    // The parsed library; null when it could not be read or its tree is gone.
    const TiXmlDocument* Get() const;

private:
    XMLResource* resource_ = nullptr;
};

}  // namespace Zel
