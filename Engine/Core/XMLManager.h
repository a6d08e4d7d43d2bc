// The manager of shared XML documents (XMLResource), held by Globals. It answers the class id of
// CResourceManager, names its type "XML" (also the group of its resources) and is registered
// under that name with the group registry from its construction to its destruction.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class XMLResource;

class XMLManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    XMLManager();
    // Unregisters "XML", then the base deletes every document.
    ~XMLManager() override;

    // A new XMLResource of the name (group "XML", the next handle); the source is not used.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;
};

}  // namespace Zel
