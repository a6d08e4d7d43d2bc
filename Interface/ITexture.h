// A texture as the host sees it. Sizes are in texels. A wrapper that is not bound does nothing,
// leaves outputs untouched and answers 0, false or null. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class ITexture : public IObject {
public:
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    // 0 a render target, 1 a 2D texture, 2 a volume, 3 a cube map.
    virtual int GetType() = 0;
    virtual int Reserved8() = 0;
    virtual int Reserved9() = 0;
    // Locks a level and answers its bits with the row pitch (bytes) in *pitch; null when it
    // cannot be locked. Give it back with Unlock.
    virtual void* Lock(int level, std::int32_t* pitch) = 0;
    virtual void Unlock() = 0;
    // The texture's reference count plus or minus one; answers the new count.
    virtual int AddRef() = 0;
    virtual int ReleaseRef() = 0;
    // Saves level 0; the image kind follows the path's extension (".bmp", ".jpg", ".tga",
    // ".png", ".dds"). False when nothing was written.
    virtual bool SaveToFile(const char* path) = 0;
    // An opaque handle to a CPU bitmap of level 0, or null; given back with ReleaseDC.
    virtual void* GetDC() = 0;
    virtual void ReleaseDC(void* dc) = 0;
    virtual bool ReloadFromFile(int width, int height, bool asynchronous) = 0;

protected:
    ~ITexture() override = default;
};

}  // namespace ZelI
