#include "Entity/Texture/TextureCubeMap.h"

#include "Entity/Image/Image.h"

namespace Zel {

TextureCubeMap::TextureCubeMap(std::uint32_t pool, IDirect3DDevice9* device)
    : TextureBase(pool, device, KIND_CUBE) {}

bool TextureCubeMap::SetImages(const std::array<SharedPtr<Image>, kFaceCount>& faces) {
    for (const SharedPtr<Image>& face : faces)
        if (!face || !face->GetFirstSurface())
            return false;
    const Image& first = *faces[0];
    const ImageSurface& a = *first.GetFirstSurface();
    for (int i = 1; i < kFaceCount; ++i) {
        const Image& other = *faces[std::size_t(i)];
        const ImageSurface& b = *other.GetFirstSurface();
        if (b.GetWidth() != a.GetWidth() || b.GetHeight() != a.GetHeight() ||
            b.GetDepth() != a.GetDepth() || other.GetMipCount() != first.GetMipCount() ||
            other.GetFormat() != first.GetFormat() || other.GetWord() != first.GetWord() ||
            other.IsAlphaCapable() != first.IsAlphaCapable())
            return false;
    }
    faces_ = faces;
    width_ = int(a.GetWidth());
    height_ = int(a.GetHeight());
    depth_ = int(a.GetDepth());
    levels_ = int(first.GetMipCount());
    format_ = int(first.GetFormat());
    return true;
}

void TextureCubeMap::ReleaseImage() {
    TextureBase::ReleaseImage();
    for (SharedPtr<Image>& face : faces_) face.Reset();
}

bool TextureCubeMap::HasAllFaces() const {
    for (const SharedPtr<Image>& face : faces_)
        if (!face || !face->GetFirstSurface())
            return false;
    return true;
}

}  // namespace Zel
