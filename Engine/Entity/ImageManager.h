// The manager of image resources. It is registered under the type name "Image" with the group
// registry of Globals from its construction to its destruction.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class ImageManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    ImageManager();
    ~ImageManager() override;
    ZEL_CLASS_ID(ImageManager)
};

}  // namespace Zel
