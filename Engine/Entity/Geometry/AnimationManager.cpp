#include "Entity/Geometry/AnimationManager.h"

#include <string>

#include "Entity/Geometry/AnimationTrack.h"

namespace Zel {

AnimationManager::AnimationManager() {
    RegisterType("Animation");
}

AnimationManager::~AnimationManager() = default;

CResource* AnimationManager::CreateImpl(std::string_view name, std::string_view source) {
    auto* track = new AnimationTrack(this, name, GetTypeName(), NextHandle());
    track->SetLoadPath(std::string(source));
    return track;
}

}  // namespace Zel
