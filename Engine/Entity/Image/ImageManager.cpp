#include "Entity/Image/ImageManager.h"

#include "Core/SectionGuard.h"
#include "Entity/Image/Image.h"

namespace Zel {
namespace {
constexpr const char* kTypeName = "Image";
constexpr const char* kDefaultImageName = "DefaultImage";
constexpr std::uint32_t kDefaultImageSide = 32;
constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kBlack = 0x00000000u;
}  // namespace

ImageManager::ImageManager() {
    RegisterType(kTypeName);
}

ImageManager::~ImageManager() {
    if (defaultImage_)
        defaultImage_->DecRef();
    defaultImage_ = nullptr;
    UnregisterType();
}

CResource* ImageManager::CreateImpl(std::string_view name, std::string_view) {
    return new Image(this, name, kTypeName, NextHandle());
}

Image* ImageManager::GetDefaultImage() {
    SectionGuard guard(GetManagerLock());
    if (defaultImage_)
        return defaultImage_;
    auto* image = new Image(this, kDefaultImageName, "", NextHandle());
    Add(image);
    // Colour B takes the cells whose column plus row is even: black at the top left.
    image->FillChecker(kDefaultImageSide, kDefaultImageSide, kOpaqueWhite, kBlack);
    image->AddRef();
    // Counted before the texture is made, since a self-restoring texture frees the pixels again.
    image->MarkLoaded();
    image->CreateTexture();
    defaultImage_ = image;
    return image;
}

}  // namespace Zel
