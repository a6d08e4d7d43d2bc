#include <string>
#include <vector>

#include "Entity/Character/Action.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/BoneState.h"
#include "Core/LogDispatch.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/TextureBase.h"
#include "Interface/IAction.h"
#include "Interface/IAnimationChannel.h"
#include "Interface/ITexture.h"
#include "Render/RenderCore/ActorWrapper.h"
#include "Render/RenderCore/SceneNodeWrappers.h"

namespace Zel {

namespace {

template <class X>
auto* InterfaceOf(X* object) {
    return object ? object->GetInterface() : nullptr;
}

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Level 0 of a 32-bit texture as R, G, B, A bytes, row after row; empty when it cannot be read.
std::vector<std::uint8_t> ReadTexturePixels(TextureBase& texture) {
    const int format = texture.GetFormat();
    const int width = texture.GetWidth(), height = texture.GetHeight();
    std::vector<std::uint8_t> rgba;
    if ((format != PF_A8R8G8B8 && format != PF_X8R8G8B8) || width <= 0 || height <= 0) {
        LogTyped(LOG_ENGINE_INIT, "SetCustomTexture: texture %s is not a 32-bit texture",
                 texture.GetName().c_str());
        return rgba;
    }
    std::int32_t pitch = 0;
    void* bits = nullptr;
    if (!texture.LockLevel(0, &pitch, &bits, nullptr, LO_READ_ONLY))
        return rgba;
    if (pitch >= width * 4) {
        rgba.resize(std::size_t(width) * std::size_t(height) * 4);
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(bits) + std::size_t(pitch) * y;
            std::uint8_t* out = rgba.data() + std::size_t(width) * 4 * y;
            for (int x = 0; x < width; ++x, row += 4, out += 4) {
                out[0] = row[2];
                out[1] = row[1];
                out[2] = row[0];
                out[3] = format == PF_X8R8G8B8 ? 0xFF : row[3];
            }
        }
    }
    texture.UnlockLevel();
    return rgba;
}

}  // namespace

template <class IX, class X, class W>
const float* ISkeletonModelImplRC<IX, X, W>::GetBoneWorldMatrix(std::uint32_t bone) {
    return Node() ? Node()->GetBoneWorldMatrix(bone) : kIdentity;
}

template <class IX, class X, class W>
const float* ISkeletonModelImplRC<IX, X, W>::GetBoneSkinMatrix(std::uint32_t bone) {
    BoneState* state = this->State(bone);
    return state ? state->skinMatrix : nullptr;
}

template <class IX, class X, class W>
const float* ISkeletonModelImplRC<IX, X, W>::GetBoneTranslation(std::uint32_t bone) {
    BoneState* state = this->State(bone);
    return state ? state->translation : nullptr;
}

template <class IX, class X, class W>
const float* ISkeletonModelImplRC<IX, X, W>::GetBoneRotation(std::uint32_t bone) {
    BoneState* state = this->State(bone);
    return state ? state->rotation : nullptr;
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::PlayAnimation(const char* name) {
    PlayAnimationEx(name, 1.0f, -1, 0);
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::PlayAnimationEx(const char* name, float weight,
                                                     std::int32_t slot, std::uint32_t flags) {
    if (Node() && name)
        Node()->PlayAnimation(name, weight, slot, flags);
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::GetExtraAnimation(std::uint32_t slot, ZelI::IAction** action,
                                                       float* time) {
    float at = 0.0f;
    Action* extra = Node() ? Node()->GetExtraAnimation(slot, &at) : nullptr;
    if (action)
        *action = InterfaceOf(extra);
    if (time)
        *time = extra ? at : 0.0f;
}

template <class IX, class X, class W>
ZelI::IAction* ISkeletonModelImplRC<IX, X, W>::GetMainAction() {
    return Node() ? InterfaceOf(Node()->GetMainAction()) : nullptr;
}

template <class IX, class X, class W>
ZelI::IAnimation* ISkeletonModelImplRC<IX, X, W>::GetMainActionPart(std::uint32_t index) {
    ZelI::IAction* main = GetMainAction();
    return main ? main->GetPart(index) : nullptr;
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::SetMainTime(float seconds) {
    if (Node())
        Node()->SetMainTime(seconds);
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::SetBlendLength(float seconds) {
    if (Node())
        Node()->SetBlendLength(seconds);
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::SetHeadLookTarget(const float* target) {
    if (Node() && target)
        Node()->SetHeadLookTarget(target);
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::SetSpineLookTarget(const float* target) {
    if (Node() && target)
        Node()->SetSpineLookTarget(target);
}

template <class IX, class X, class W>
const float* ISkeletonModelImplRC<IX, X, W>::GetHeadLookTarget() {
    return Node() ? Node()->GetHeadLookTarget() : nullptr;
}

template <class IX, class X, class W>
const float* ISkeletonModelImplRC<IX, X, W>::GetSpineLookTarget() {
    return Node() ? Node()->GetSpineLookTarget() : nullptr;
}

template <class IX, class X, class W>
ZelI::IAction* ISkeletonModelImplRC<IX, X, W>::GetAnimation(const char* name) {
    return Node() && name ? InterfaceOf(Node()->GetAnimation(name)) : nullptr;
}

template <class IX, class X, class W>
ZelI::IAnimationChannel* ISkeletonModelImplRC<IX, X, W>::GetChannel(std::uint32_t index) {
    return Node() ? InterfaceOf(Node()->GetChannel(index)) : nullptr;
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::ResetChannels() {
    if (Node())
        Node()->GetChannels();
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::SetOverrideChannel(std::uint32_t index) {
    if (Node())
        Node()->SetOverrideChannel(index);
}

template <class IX, class X, class W>
std::int32_t ISkeletonModelImplRC<IX, X, W>::GetOverrideChannel() {
    return Node() ? static_cast<std::int32_t>(Node()->GetOverrideChannel()) : 0;
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::SetHostWord(std::intptr_t word) {
    if (Node())
        Node()->SetHostWord(word);
}

template <class IX, class X, class W>
std::intptr_t ISkeletonModelImplRC<IX, X, W>::GetHostWord() {
    return Node() ? Node()->GetHostWord() : 0;
}

template <class IX, class X, class W>
std::uint32_t ISkeletonModelImplRC<IX, X, W>::GetAnimationIds(const char** ids,
                                                              std::uint32_t capacity) {
    return Node() && ids ? Node()->GetAnimationIds(ids, capacity) : 0;
}

template <class IX, class X, class W>
std::uint32_t ISkeletonModelImplRC<IX, X, W>::GetAnimationNames(char* buffer, std::uint32_t count,
                                                                std::uint32_t width) {
    return Node() && buffer ? Node()->GetAnimationNames(buffer, count, width) : 0;
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::ApplyBoneScale(const float* scale, const char* bone) {
    // scale[0] along the bone's length, scale[1] on both cross axes.
    if (Node() && scale && bone)
        Node()->ApplyBoneScale(bone, scale[1], scale[1], scale[0]);
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::DrawBoneAxes(const char* bone, const float* colour,
                                                  float length) {
    if (Node() && bone && colour)
        Node()->DrawBoneAxes(bone, colour, length);
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::SetCustomTexture(ZelI::ITexture* texture) {
    TextureBase* source = UnwrapInterface<TextureBase>(texture);
    if (!Node() || !source)
        return;
    const std::vector<std::uint8_t> rgba = ReadTexturePixels(*source);
    if (!rgba.empty())
        Node()->SkeletonModel::SetCustomTexture(std::uint32_t(source->GetWidth()),
                                                std::uint32_t(source->GetHeight()), rgba.data(),
                                                rgba.size());
}

template <class IX, class X, class W>
void ISkeletonModelImplRC<IX, X, W>::ClearCustomTexture() {
    if (Node())
        Node()->ClearCustomTexture();
}

template class ISkeletonModelImplRC<ZelI::ISkeletonModel, SkeletonModel, SkeletonModelImplRC>;
template class ISkeletonModelImplRC<ZelI::IActor, Actor, IActorImplRC>;

}  // namespace Zel
