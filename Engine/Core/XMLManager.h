// The manager of XML documents (it answers the class id of CResourceManager). It is registered
// under the type name "XML" with the group registry of Globals from its construction to its
// destruction.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class XMLManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    XMLManager();
    ~XMLManager() override;
};

}  // namespace Zel
