// A skinned, animated model: its bones, its own main and extra actions, look-at targets and the
// five animation channels an actor drives. Bone indices are positions in the skeleton's bone
// table; out-of-range bones answer null. Reserved operations keep their place in the operation
// order. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IModel.h"

namespace ZelI {

class IAction;
class IAnimationChannel;
class ITexture;

class ISkeletonModel : public IModel {
public:
    // Bone n's world matrix (16 floats), skin matrix, translation (3 floats) and rotation
    // (4 floats) of its bone state, owned by the model.
    virtual const float* GetBoneWorldMatrix(std::uint32_t bone) = 0;
    virtual const float* GetBoneSkinMatrix(std::uint32_t bone) = 0;
    virtual const float* GetBoneTranslation(std::uint32_t bone) = 0;
    virtual const float* GetBoneRotation(std::uint32_t bone) = 0;
    // Plays the action as the main one at full weight.
    virtual void PlayAnimation(const char* name) = 0;
    // slot -1 the main action, 0 and 1 the extra slots.
    virtual void PlayAnimationEx(const char* name, float weight, std::int32_t slot,
                                 std::uint32_t flags) = 0;
    // Extra slot n's action (wrapped, null when empty) and its time in seconds.
    virtual void GetExtraAnimation(std::uint32_t slot, IAction** action, float* time) = 0;
    // The main action (wrapped), and its bone state n; null without one.
    virtual IAction* GetMainAction() = 0;
    virtual IAnimation* GetMainActionPart(std::uint32_t index) = 0;
    // Seconds.
    virtual float GetMainTime() = 0;
    virtual void SetMainTime(float seconds) = 0;
    virtual void SetBlendLength(float seconds) = 0;
    virtual float GetBlendLength() = 0;
    // World positions (3 floats) the head and the spine turn toward.
    virtual void SetHeadLookTarget(const float* target) = 0;
    virtual void SetSpineLookTarget(const float* target) = 0;
    virtual const float* GetHeadLookTarget() = 0;
    virtual const float* GetSpineLookTarget() = 0;
    // Reserved: answers 0.
    virtual std::int32_t Reserved115() = 0;
    // The action of that name (wrapped); null when none.
    virtual IAction* GetAnimation(const char* name) = 0;
    // Reserved: answer 0, 0, 0, do nothing, do nothing.
    virtual std::int32_t Reserved117() = 0;
    virtual std::int32_t Reserved118() = 0;
    virtual std::int32_t Reserved119() = 0;
    virtual void Reserved120() = 0;
    virtual void Reserved121() = 0;
    // Channel n (0-4), wrapped; null otherwise.
    virtual IAnimationChannel* GetChannel(std::uint32_t index) = 0;
    // Resets all five channels.
    virtual void ResetChannels() = 0;
    // Channel n's sample replaces what the channels before it gave; n above 4: none does.
    virtual void SetOverrideChannel(std::uint32_t index) = 0;
    virtual std::int32_t GetOverrideChannel() = 0;
    // A word of the host's kept with the model.
    virtual void SetHostWord(std::intptr_t word) = 0;
    virtual std::intptr_t GetHostWord() = 0;
    virtual void ClearHostWord() = 0;
    // Reserved: does nothing.
    virtual void Reserved129() = 0;
    // The ids of the geometry's animations into ids (at most capacity), and their names into
    // consecutive slots of width bytes in buffer (at most count); each answers how many it wrote.
    // An animation's id is the address of its name, valid while the animation lives.
    virtual std::uint32_t GetAnimationIds(const char** ids, std::uint32_t capacity) = 0;
    virtual std::uint32_t GetAnimationNames(char* buffer, std::uint32_t count,
                                            std::uint32_t width) = 0;
    // Scales the bone: scale[0] along its length, scale[1] on both cross axes.
    virtual void ApplyBoneScale(const float* scale, const char* bone) = 0;
    // Debug lines along the bone's three axes (colour: 3 floats, length in world units).
    virtual void DrawBoneAxes(const char* bone, const float* colour, float length) = 0;
    // The piece whose mesh is named "mesh_define_texture" draws with the texture instead of its
    // own, until ClearCustomTexture.
    virtual void SetCustomTexture(ITexture* texture) = 0;
    virtual void ClearCustomTexture() = 0;

protected:
    ~ISkeletonModel() override = default;
};

}  // namespace ZelI
