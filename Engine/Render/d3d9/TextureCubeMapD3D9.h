// The Direct3D 9 cube texture. Level locks, saving, DCs and reloading do nothing for cube maps;
// creation, creation from the six face images and device loss do. A default-pool cube is filled
// through a system-memory twin. Made and owned by the texture manager; host or loading thread.
#pragma once

#include "Entity/Texture/TextureCubeMap.h"

namespace Zel {

class TextureCubeMapD3D9 : public TextureCubeMap {
public:
    TextureCubeMapD3D9(std::uint32_t pool, IDirect3DDevice9* device);
    ~TextureCubeMapD3D9() override;

    // Releases the cube texture and takes its bytes back.
    bool ReleaseDeviceObjects() override;
    // From the faces when all six are bound, else from the stored edge and format.
    bool RecreateDeviceObjects() override;
    // After the memory check of six faces ("创建贴图失败，显存不足" when it refuses) a cube of
    // that edge with a full mip chain; a device failure is reported as "pD3D->CreateCubeTexture".
    bool Create(int edge, int height, int depth, int type, int format, int levels,
                bool dynamic) override;
    // Needs all six faces: a cube with the images' level count, each face's levels copied from its
    // image ("D3DTextureManagement->LockRect" when a face cannot be locked).
    bool CreateFromImage() override;
    std::uint32_t GetDeviceRefCount() override;

    IDirect3DCubeTexture9* GetCubeTexture() const { return cube_; }
    IDirect3DBaseTexture9* GetD3DBaseTexture() const override { return cube_; }

private:
    bool MakeCube(UINT levels, bool recreate);

    IDirect3DCubeTexture9* cube_ = nullptr;
};

}  // namespace Zel
