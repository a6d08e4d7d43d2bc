#include "Entity/ImageManager.h"

namespace Zel {

ImageManager::ImageManager() {
    RegisterType("Image");
}

ImageManager::~ImageManager() = default;

}  // namespace Zel
