// The state of one XML material library loaded in steps (MaterialManager::OpenMaterialLib, then
// per element ParseLibMaterial, LoadLibMaterialTextures and FinalizeLibMaterial). The elements
// point into the document, which the context owns, so the context must outlive the steps.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Core/TiXmlDocument.h"

namespace Zel {

struct MaterialLibLoadContext {
    // The library file the elements come from (".xml").
    std::string path;
    // Made by the caller before OpenMaterialLib; the parsed library.
    std::unique_ptr<TiXmlDocument> document;
    // The "SHADER" elements of a "SHADERLIB" library, in document order.
    std::vector<XmlNode*> shaders;
    // The "Material" elements of a "MaterialLib" library, in document order.
    std::vector<XmlNode*> materials;
    // Each finalised material gains a reference kept by the caller's output list.
    bool hold = false;
};

}  // namespace Zel
