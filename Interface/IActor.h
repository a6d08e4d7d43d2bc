// A character assembled from body parts in slots, with its cloth, level of detail, custom
// textures, pinch (bone sculpting) and makeup. Several operations take the renderer's main lock,
// since a loading task may work on the actor at the same time; in queued mode setting a body part
// and rebuilding the materials run on the loading thread. A wrapper that is not bound does
// nothing and answers 0, false or 0.0. Host thread.
#pragma once

#include <cstdint>

#include "Interface/ISkeletonModel.h"

namespace ZelI {

// A custom texture for one body part: where it lies in the part's texture (u, v in 0..1) and the
// caller's image (RGBA, width x height texels, byteSize bytes at pixels).
struct CustomTextureRecord {
    float u = 0.0f;
    float v = 0.0f;
    std::int32_t width = 0;
    std::int32_t height = 0;
    const void* pixels = nullptr;
    std::uint32_t byteSize = 0;
    std::int32_t bodyPart = 0;
};

class IActor : public ISkeletonModel {
public:
    // Loads the body-part file into the slot; false when it cannot.
    virtual bool SetBodyPart(std::int32_t slot, const char* fileName) = 0;
    // Queues the load on the loading thread, mode being the task's priority (2: next); answers
    // the task id, -1 when nothing could be queued.
    virtual std::int32_t SetBodyPartEx(std::int32_t slot, const char* fileName,
                                       std::int32_t mode) = 0;
    // Reserved: nothing, 0, nothing, 0, 0.
    virtual void Reserved138() = 0;
    virtual std::int32_t Reserved139() = 0;
    virtual void Reserved140() = 0;
    virtual std::int32_t Reserved141() = 0;
    virtual std::int32_t Reserved142(std::intptr_t, std::intptr_t) = 0;
    // Top level only: the matrix (16 floats) with its height offset set by the actor's sex.
    virtual void SetPlacement(const float* matrix) = 0;
    // Rebuilds the actor's materials.
    virtual void RebuildMaterials() = 0;
    // Queues the actor's processing task (the argument passed on); answers the task id.
    virtual std::uint32_t RebuildMaterialsAsyn(std::int32_t priority) = 0;
    // The actor takes the other actor's parts and settings; 0 for null, else 1.
    virtual std::int32_t CloneFrom(IActor* other) = 0;
    virtual std::int32_t CloneFromEx(IActor* other, std::intptr_t, std::intptr_t) = 0;
    // Takes off the part in the slot (0-17; a part's cloth companion goes with it). Nothing for
    // a slot out of range.
    virtual void RemoveBodyPart(std::int32_t slot) = 0;
    // Whether the actor's cloth pieces are simulated.
    virtual bool IsClothPhysicsEnabled() = 0;
    // The parts flag (1 when the actor is made): 0 draws the part meshes without their per-frame
    // triangle sorting and disables the simulated cloth pieces. Answered as stored.
    virtual void SetPartsFlag(std::uint8_t flag) = 0;
    virtual std::uint8_t GetPartsFlag() = 0;
    // Reloads every cloth companion the actor wears.
    virtual void RebuildCloth() = 0;
    // A float of the host's kept with the actor.
    virtual void SetActorValue(float value) = 0;
    // Level of detail, 0.0 to 1.0 in tenths (kept as an integer: 0.35 reads back as 0.3). The
    // queued form answers its task id.
    virtual std::uint32_t SetLodAsyn(float level, std::int32_t priority) = 0;
    virtual void SetLod(float level) = 0;
    virtual float GetActorValue() = 0;
    virtual float GetLod() = 0;
    // Reserved: does nothing.
    virtual void Reserved158() = 0;
    // Composes the custom texture into the body texture now; false when it cannot.
    virtual bool ApplyCustomTexture(const CustomTextureRecord* record) = 0;
    // Stores the custom texture for the next composition.
    virtual bool StoreCustomTexture(const CustomTextureRecord* record) = 0;
    // Top level only.
    virtual void SetPositionDirect(const float* position) = 0;
    virtual void SetPinchValue(std::int32_t parameter, float value) = 0;
    // Chooses a make-up style and colour for the layer; layer 13 composes the face with its
    // make-up now. False when the actor has no make-up or the choice has no record.
    virtual bool SetMakeupValue(std::int32_t layer, std::int32_t style, std::int32_t colour) = 0;
    // Renders the actor into a snapshot image (the arguments passed on); 1.
    virtual std::int32_t RenderSnapshot(std::intptr_t a, std::intptr_t b, std::intptr_t c,
                                        std::intptr_t d, std::intptr_t e, std::intptr_t f,
                                        std::intptr_t g, std::intptr_t last) = 0;

protected:
    ~IActor() override = default;
};

}  // namespace ZelI
