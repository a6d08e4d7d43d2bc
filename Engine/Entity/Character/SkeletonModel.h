// A skinned, animated entity: plays one main action and two layered extra actions, cross-fades
// between actions, places its root and evaluates its bone tree every frame. Its five animation
// channels are driven by actors instead of the model's own playback; SampleFromChannels blends
// them into the bone states. Pooled in its factory in Globals.
//
// Threads: the main thread (or a loading task in lock-step with it).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Core/SharedPtr.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/ActionSampler.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Scene/Entity.h"

namespace Zel {

class Action;
class BoundBase;
class Material;
class SubEntity;
class BoneState;
class Skeleton;

class SkeletonModel : public Entity, public ActionOwner {
public:
    // Bits of the entity flag word.
    static constexpr std::uint32_t kHeadLookAt = 0x1;
    static constexpr std::uint32_t kSpineLookAt = 0x2;
    static constexpr std::uint32_t kCrossFading = 0x4;
    static constexpr std::uint32_t kPlaying = 0x8;
    static constexpr std::uint32_t kNearEnd = 0x10;
    // Bits of an extra slot's flags.
    static constexpr std::uint32_t kSlotLoop = 0x2;
    static constexpr std::uint32_t kSlotFadeAtEnd = 0x4;
    // Bits of the layer flags.
    static constexpr std::uint32_t kLayerLowerBody = 0x1;
    static constexpr std::uint32_t kLayerChanged = 0x8;
    // The global switch that lets models play their actions.
    static constexpr std::uint32_t kUpdateActionsSwitch = 27;
    static constexpr std::uint32_t kChannelCount = 5;
    static constexpr std::uint32_t kExtraSlotCount = 2;
    static constexpr float kDefaultBlendLength = 0.3f;
    // Seconds a look-at takes to turn from where the bone looked to the new target.
    static constexpr float kLookEase = 0.3f;

    SkeletonModel();
    ~SkeletonModel() override;
    ZEL_CLASS_ID(SkeletonModel)

    // Back to the constructed playback state: no actions, times, weights and flags 0, blend
    // length 0.3 and no fade running, channels bound to the model again, no bone states.
    void Reset() override;

    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    // A skeletal model from the scene manager under the clone name, then CopyTo; null without a
    // scene manager or a free model.
    SceneNode* Clone(bool withParent) override;
    // After the entity copy, for a skeletal target: the playback state (main time, extra slots,
    // layer flags, root world position, blend length and times, hold byte, look-at targets,
    // eases and start matrices), the main action (one more reference) and the extra actions;
    // then the target rebuilds its bone states, takes this model's poses and a clone of every
    // bone bound in its own collision group.
    void CopyTo(SceneNode* target, bool withParent) override;
    // While the bounds are out of date: the geometry's box through the node's world matrix times
    // the skin matrix of the skeleton's root bone, then the spatial tree re-places the model.
    // Without a skeleton or bone states the entity's box.
    void UpdatePlacement() override;
    // The entity's parts, then fresh bone states, the geometry's first animation playing from
    // time 0, and the bones of every skin's palette marked for evaluation.
    bool BuildFromGeometry() override;
    // A model file made into a skeletal model is read as a skin: the plain geometry a kind-0
    // load makes has neither skeleton nor animations.
    std::uint32_t GetGeometryKind() const override { return 4; }

    // Gives back the bone states and takes one per bone of the skeleton (bind pose).
    virtual void RebuildBoneStates();
    virtual void PlayAnimationByIndex(std::uint32_t index, float weight, std::int32_t slot,
                                      std::uint32_t flags);
    // Slot -1 (or any negative slot) is the main action, 0 and 1 the extra slots; an empty name
    // stops the slot. A name the model does not have plays its first animation.
    virtual void PlayAnimation(const std::string& name, float weight, std::int32_t slot,
                               std::uint32_t flags);
    // The geometry's animation of the name, else its first; null without a skinned geometry.
    virtual Action* GetAnimation(const std::string& name);

    // The names of the geometry's animations in index order, as pointers that stay valid while
    // the animations live, at most capacity of them; answers the count written (0 without a
    // skinned geometry).
    virtual std::uint32_t GetAnimationIds(const char** out, std::uint32_t capacity);
    // The same names copied into count slots of width bytes each (cut to width - 1 bytes and
    // zero-terminated; the rest of each slot zeroed); answers the count written.
    virtual std::uint32_t GetAnimationNames(char* buffer, std::uint32_t count, std::uint32_t width);
    // Three debug lines of the colour (3 floats) and length from the bone's world position along
    // its x, y and z axes; nothing for an unknown bone or without a render system.
    void DrawBoneAxes(const std::string& bone, const float* colour, float length);

    // The name of the piece whose material a custom texture replaces.
    static constexpr const char* kCustomTextureMesh = "mesh_define_texture";
    // Gives the piece of the "mesh_define_texture" mesh a private copy of its material whose
    // diffuse stages show the caller's image (width x height texels of four bytes, R, G, B, A,
    // row after row; bytes: the buffer's size). The texture is named MakeCustomTextureName; a
    // custom material set before is given back. False, changing nothing, without that piece
    // (reported with the geometry's name), for an image the buffer cannot hold, or when the
    // texture or the material copy cannot be made. Host thread.
    bool SetCustomTexture(std::uint32_t width, std::uint32_t height, const std::uint8_t* rgba,
                          std::size_t bytes);
    // The piece takes its own material back and the custom one is given back; false without
    // the piece (reported).
    bool ClearCustomTexture();
    // "define$_$texture_<n>", n counting from 0 for the process.
    static std::string MakeCustomTextureName();
    // The custom material the piece draws with; null without one.
    Material* GetCustomMaterial() const { return customMaterial_; }

    // ActionOwner.
    Action* FindAction(std::string_view name) override { return GetAnimation(std::string(name)); }
    Action* FindTreeAction(std::string_view) override { return nullptr; }
    // The skinned geometry's skeleton; null without one.
    Skeleton* GetSkeleton() override;
    std::uint8_t GetFigure() const override { return 0; }
    bool IsNewActor() const override { return false; }

    Action* GetMainAction() const { return mainAction_; }
    float GetMainTime() const { return mainTime_; }
    void SetMainTime(float t) { mainTime_ = t; }
    float GetBlendLength() const { return blendLength_; }
    void SetBlendLength(float seconds) { blendLength_ = seconds; }
    float GetBlendTime() const { return blendTime_; }
    void SetHoldDuringFade(bool on) { holdDuringFade_ = on; }
    std::uint32_t GetLayerFlags() const { return layerFlags_; }
    // Slot n's action and time; null and 0 for n out of range.
    Action* GetExtraAnimation(std::uint32_t n, float* time) const;
    const float* GetRootWorldPosition() const { return rootWorld_; }

    // World point the head (or the spine) turns toward while its entity flag bit is on. The
    // bone's current world matrix is where the turn starts from.
    void SetHeadLookTarget(const float* point);
    void SetSpineLookTarget(const float* point);
    const float* GetHeadLookTarget() const { return headLook_.target; }
    const float* GetSpineLookTarget() const { return spineLook_.target; }
    // Turns the head and the spine (as the flag bits say) toward their targets, on top of the
    // sampled pose; evaluates the bone tree first, and the caller evaluates it again after.
    void UpdateLookAt(float dt);
    // Bone n's world matrix, made at most once per frame (the frame of the last Update); a bone
    // no update evaluated yet is evaluated on the spot (its path from the nearest evaluated
    // ancestor) and from the next frame on with the others. The identity out of range.
    const float* GetBoneWorldMatrix(std::uint32_t n);
    // Bone n's world matrix (node world x model matrix) as the bone states hold it now; the
    // identity without a state.
    void GetCurrentBoneWorldMatrix(std::uint32_t n, float* out);

    // Bone-scale presets, shared by every model for the life of the process: a path read once
    // (true when it is known or was read; an unreadable file stores nothing).
    static bool LoadBoneScalePreset(const std::string& path);
    static void ClearBoneScalePresets();
    // The process-wide bone-scale switch (off at start).
    static void SetGlobalBoneScale(bool on);
    static bool IsGlobalBoneScale();
    // Every entry of the preset (read now when new) scales its bone; false when the preset
    // cannot be read or has no entries.
    using Entity::ApplyBoneScalePreset;
    bool ApplyBoneScalePreset(const std::string& name);
    const std::string& GetBoneScalePresetName() const { return presetName_; }
    // Scales the bone by third along its length axis, first and second across it (its cross
    // axes 1 and 2); nothing for an unknown bone or one without axes.
    void ApplyBoneScale(const std::string& bone, float first, float second, float third);
    // The scale of bone n's skin matrix while bone scaling is on (process-wide or for this
    // model), else 1, 1, 1.
    using Entity::GetBoneScale;
    void GetBoneScale(std::uint32_t n, float* x, float* y, float* z);
    // Every scale matrix back to identity; no preset, bone scaling off for this model.
    void ResetBoneMatrices() override;
    void SetBoneScaleEnabled(std::uint32_t on) override { boneScale_ = on != 0; }
    bool IsBoneScaleEnabled() const { return boneScale_; }

    // Collision shapes hung on bones, each a kinematic body without gravity in the physics
    // world's current scene, in the model's collision group. Reads the bounds file ("Root",
    // "Bounds", "Entry"); false without a skeleton, a physics scene or a readable file. Entries
    // that are incomplete, of another type or on an unknown bone are skipped.
    bool LoadBoneBounds(const std::string& path);
    // While physics runs (global switch 79 at 1) and the bounds are awake, every body takes its
    // bone's world matrix times the shape's local matrix as its pose.
    void UpdateBoneBounds();
    // Puts the bone bounds' bodies to rest (or wakes them). A resting body holds still where it
    // is, as a sleeping kinematic body does, until it is woken: the per-frame posing passes it
    // by, bounds added meanwhile rest too, and waking poses every body at its bone at once. The
    // physics world keeps colliding with a resting body as with any still obstacle.
    void SetBoneBoundsSleeping(bool sleeping);
    bool AreBoneBoundsSleeping() const { return boneBoundsSleeping_; }
    // A body part's bound sphere (its name names the bone, its identifier the body-part slot)
    // hung on the bone as LoadBoneBounds hangs one; capsules, unknown bones, a model without a
    // skeleton and a world without a physics scene add nothing.
    void AddBodyPartBound(const BoundBase& bound);
    // The same, hung under the given slot whatever the bound's own identifier says (a cloth's
    // bounds belong to the slot that wears the cloth).
    void AddBodyPartBound(const BoundBase& bound, std::uint32_t slot);
    // Gives back every bone bound of the body-part slot; the others keep their order.
    void RemoveSlotAttachments(std::uint32_t slot);
    // The slot number of bounds that belong to no body part (those of a bounds file).
    static constexpr std::uint32_t kNoBodyPartSlot = 0xFFFFFFFFu;
    const std::vector<BoundBase*>& GetBoneBounds() const { return boneBounds_; }
    std::uint32_t GetCollisionGroup() const { return collisionGroup_; }

    // Channel n, null for n >= 5.
    AnimationChannel* GetChannel(std::uint32_t n);
    // The number of animations the geometry lists by name; 0 without a skinned geometry.
    std::uint32_t CountAnimations() const;
    // Resets the five channels; the main action becomes the geometry's first animation; the
    // shared actions of the skeleton's set that only the set still holds are given back.
    void ResetAnimation();

    // Resets all five channels.
    void GetChannels();
    // Only channel n (when below 5) overrides the channels before it.
    void SetOverrideChannel(std::uint32_t n);
    std::uint32_t GetOverrideChannel() const { return overrideChannel_; }
    // Pointer-wide: hosts keep addresses here.
    void SetHostWord(std::intptr_t word) { hostWord_ = word; }
    std::intptr_t GetHostWord() const { return hostWord_; }
    // Blends the five channels' samples into the bone states by their layer weights.
    void SampleFromChannels();

    // The bone states skinning and picking read; null before they are made.
    const BoneStateSet* GetBoneStates() const override { return boneStates_.get(); }
    std::uint32_t GetBoneStateCount() const { return boneStates_ ? boneStates_->GetCount() : 0; }
    // Bone state n, null out of range.
    BoneState* GetBoneState(std::uint32_t n) const {
        return boneStates_ ? boneStates_->GetBoneState(n) : nullptr;
    }

protected:
    // Evaluates the bone tree from the root with the identity matrix; the model's own update
    // evaluates with bone scale off, an actor with its bone-scale switches.
    void EvaluateBones(bool boneScale = false);
    // The frame whose bone world matrices GetBoneWorldMatrix caches; every update that replaces
    // this model's own must set it, or the cache keeps answering the first frame's matrices.
    void SetFrameId(std::uint32_t frameId) { frameId_ = frameId; }

private:
    struct LookAt {
        float target[3] = {0.0f, 0.0f, 0.0f};
        float ease = 0.0f;
        float start[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    };

    struct ExtraSlot {
        Action* action = nullptr;
        float weight = 0.0f;
        float time = 0.0f;
        std::uint32_t flags = 0;
        ActionSampler sampler;
    };

    void SetMainAction(Action* action);
    void SetSlotAction(ExtraSlot& slot, Action* action);
    void ClearSlot(ExtraSlot& slot);
    void StartCrossFade();
    void EndCrossFade();
    void SetEntityFlag(std::uint32_t bit, bool on);
    bool HasEntityFlag(std::uint32_t bit) const { return (GetFlags() & bit) != 0; }
    // Advances the extra slots' times; a slot at its end is cleared or wrapped.
    void AdvanceExtraSlots(float dt);
    // Samples the main action at the main time (which takes the clamped value) and every slot.
    void SampleActions();
    // The blended pose of bone i from the main track and the layers; false without a main track.
    bool SampleBone(std::uint32_t i, float* position, float* rotation) const;
    void SampleMainAction();
    void CrossFadeStep(float blendTime);
    void PlaceRoot();
    void SetLookTarget(std::int32_t bone, LookAt& look, const float* point);
    void LookAtBone(std::int32_t bone, LookAt& look, float dt, bool spine);

    float mainTime_ = 0.0f;
    Action* mainAction_ = nullptr;  // counted
    ActionSampler mainSampler_;
    std::array<ExtraSlot, kExtraSlotCount> extra_;
    std::uint32_t layerFlags_ = 0;
    float rootWorld_[3] = {0.0f, 0.0f, 0.0f};
    float blendLength_ = kDefaultBlendLength;
    float blendTime_ = -1.0f;
    float previousBlendTime_ = 0.0f;
    bool holdDuringFade_ = false;
    LookAt headLook_;
    LookAt spineLook_;
    std::unique_ptr<BoneStateSet> boneStates_;
    std::array<AnimationChannel, kChannelCount> channels_;
    void ReleaseBoneBounds();
    // The piece of the custom-texture mesh, or null.
    SubEntity* FindCustomTexturePiece() const;
    // Gives the custom material back (the piece keeps whatever it holds).
    void DropCustomMaterial();
    // Makes the shape's body a kinematic body without gravity in the model's collision group and
    // appends it; a shape without a body goes back to its pool.
    void AdoptBoneBound(BoundBase* shape);
    // Marks the bones of every skin's palette (and their ancestors) for evaluation.
    void MarkSkinBones();

    // The material the custom-texture piece had before its custom one (one reference), and the
    // generated custom material (the clone's own reference, given back through Release).
    SharedPtr<Material> customOriginal_;
    Material* customMaterial_ = nullptr;
    std::vector<BoundBase*> boneBounds_;
    bool boneBoundsSleeping_ = false;
    std::uint32_t collisionGroup_;
    bool boneScale_ = false;
    std::string presetName_;
    std::uint32_t frameId_ = 0;
    std::uint32_t overrideChannel_ = 0;
    std::intptr_t hostWord_ = 0;
};

}  // namespace Zel
