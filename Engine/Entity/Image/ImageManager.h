// The manager of image resources. It is registered under the type name "Image" with the group
// registry of Globals from its construction to its destruction.
#pragma once

#include "Core/CResourceManager.h"

namespace Zel {

class Image;

class ImageManager : public CResourceManager {
public:
    // Built by Globals::Init, host thread.
    ImageManager();
    // Drops the default image's reference, unregisters "Image", then the base deletes every
    // image.
    ~ImageManager() override;
    ZEL_CLASS_ID(ImageManager)

    // A new Image of the name (group "Image", the next handle); the source is not used.
    CResource* CreateImpl(std::string_view name, std::string_view source) override;

    // The image "DefaultImage" (empty group), made on first use: a 32 x 32 checker of 8 x 8
    // cells, black at the top-left cell and opaque white beside it, marked loaded and counted,
    // with its texture when the texture manager can make one. The manager keeps one reference.
    // Any loading thread; the first call is made under the manager's lock.
    Image* GetDefaultImage();

private:
    Image* defaultImage_ = nullptr;
};

}  // namespace Zel
