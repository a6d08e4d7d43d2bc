// The wrapper through which the host drives a character: the skinned-model rows, placement that
// follows the actor-move switch, and the actor's own rows. Calls that may meet a loading task
// working on the same actor hold the main lock, or hand the work to loading thread 0 in queued
// mode.
#pragma once

#include "Entity/Character/Actor.h"
#include "Interface/IActor.h"
#include "Render/RenderCore/SceneNodeWrappers.h"

namespace Zel {

class IActorImplRC final : public ISkeletonModelImplRC<ZelI::IActor, Actor, IActorImplRC> {
public:
    int GetObjectKind() override { return 4; }
    // With the actor-move switch off the actor is put at the origin with identity placement
    // instead; top level only.
    void SetLocalMatrix(const float* matrix) override;
    // Drops z (placed on the ground plane); the alternative keeps it.
    void SetPosition(const float* position) override;
    void SetPositionAlt(const float* position) override;
    // The extra slot's action; the time is reported as 0.
    void GetExtraAnimation(std::uint32_t slot, ZelI::IAction** action, float* time) override;

    // Direct mode: under the main lock, the load happens on this thread. Queued mode: a part task
    // run at once on loading thread 0, without the lock (the task's steps take it).
    bool SetBodyPart(std::int32_t slot, const char* fileName) override;
    // The actor's queued set; -1 for a null name or a negative slot.
    std::int32_t SetBodyPartEx(std::int32_t slot, const char* fileName, std::int32_t mode) override;
    void Reserved138() override {}
    std::int32_t Reserved139() override { return 0; }
    void Reserved140() override {}
    std::int32_t Reserved141() override { return 0; }
    std::int32_t Reserved142(std::intptr_t, std::intptr_t) override { return 0; }
    void SetPlacement(const float* matrix) override;
    void RebuildMaterials() override;
    std::uint32_t RebuildMaterialsAsyn(std::int32_t priority) override;
    std::int32_t CloneFrom(ZelI::IActor* other) override;
    std::int32_t CloneFromEx(ZelI::IActor* other, std::intptr_t, std::intptr_t) override {
        return CloneFrom(other);
    }
    // Under the main lock: a loading task may be filling the same slots.
    void RemoveBodyPart(std::int32_t slot) override;
    bool IsClothPhysicsEnabled() override { return Node() && Node()->IsClothPhysics(); }
    void SetPartsFlag(std::uint8_t flag) override {
        if (Node())
            Node()->SetPartsFlag(flag);
    }
    std::uint8_t GetPartsFlag() override { return Node() ? Node()->GetPartsFlag() : 0; }
    void RebuildCloth() override {
        if (Node())
            Node()->RebuildCloth();
    }
    void SetActorValue(float value) override {
        if (Node())
            Node()->SetHostValue(value);
    }
    // Levels travel as tenths: the level times 10, truncated toward zero.
    std::uint32_t SetLodAsyn(float level, std::int32_t priority) override;
    void SetLod(float level) override;
    float GetActorValue() override { return Node() ? Node()->GetHostValue() : 0.0f; }
    // The float every body-part piece (but the hair and face slots) hands its draws.
    void SetModelParameter(float value) override {
        if (Node())
            Node()->SetPartsFloat(value);
    }
    float GetLod() override;
    void Reserved158() override {}
    // Under the main lock: the custom texture composed into the body texture at once.
    bool ApplyCustomTexture(const ZelI::CustomTextureRecord* record) override;
    // Kept for the next rebuild, without the lock.
    bool StoreCustomTexture(const ZelI::CustomTextureRecord* record) override;
    void SetPositionDirect(const float* position) override {
        ISkeletonModelImplRC::SetPosition(position);
    }
    void SetPinchValue(std::int32_t parameter, float value) override;
    bool SetMakeupValue(std::int32_t layer, std::int32_t style, std::int32_t colour) override;
    // Pictures the actor off-screen with the template skin: width and height (pixels), the
    // camera (ICamera*, null for the main one), the clear colour (four floats, null keeps the
    // current one), the host's effect manager bracketing further models (ISpecialEffectManager*),
    // those models (IMoveObject* array) and their count, then the output image file (char*,
    // null for none; its extension picks the format). 1; 0 when not bound.
    std::int32_t RenderSnapshot(std::intptr_t width, std::intptr_t height, std::intptr_t camera,
                                std::intptr_t clearColour, std::intptr_t bracket,
                                std::intptr_t models, std::intptr_t modelCount,
                                std::intptr_t fileName) override;
};

// The level the host's float stands for: tenths, truncated toward zero.
std::int32_t LodLevelFromHost(float level);

}  // namespace Zel
