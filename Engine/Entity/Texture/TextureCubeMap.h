// A cube map: six square faces, each made from its own image. The faces are kept in the Direct3D
// face order (+X, -X, +Y, -Y, +Z, -Z). The Direct3D 9 class makes the device cube texture.
#pragma once

#include <array>

#include "Entity/Texture/TextureBase.h"

namespace Zel {

class TextureCubeMap : public TextureBase {
public:
    static constexpr int kFaceCount = 6;

    TextureCubeMap(std::uint32_t pool, IDirect3DDevice9* device);
    ~TextureCubeMap() override = default;

    // Binds the six face images when every face has a surface and faces 2 to 6 match face 1 in
    // width, height, depth, level count, format and the image's words; width, height, depth,
    // levels and format then come from face 1. Otherwise nothing is bound (false).
    bool SetImages(const std::array<SharedPtr<Image>, kFaceCount>& faces);
    void ReleaseImage() override;
    Image* GetFaceImage(int face) const {
        return face >= 0 && face < kFaceCount ? faces_[std::size_t(face)].Get() : nullptr;
    }
    bool HasAllFaces() const;

protected:
    std::array<SharedPtr<Image>, kFaceCount> faces_;
};

}  // namespace Zel
