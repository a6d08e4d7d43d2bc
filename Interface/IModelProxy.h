// Read-only statistics of one model for a host tool: mesh, index and vertex totals, sub-entities,
// materials and textures; the skeletal and actor forms add skeleton and animation figures. A proxy
// over no object answers 0, 0.0, false or null. The host owns the proxy and deletes it through
// Release; it does not keep its model alive and must not outlive it. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IMatProxy.h"

namespace ZelI {

class IModelProxy {
public:
    virtual void Release() = 0;
    // Sums over the model's meshes (actors: the body-part meshes of slots 0 to 7); skeletal
    // models count vertices by the meshes' second count word.
    virtual std::uint32_t GetVertexCount() = 0;
    virtual std::uint32_t GetIndexCount() = 0;
    // The sum of the meshes' first count word.
    virtual std::uint32_t GetCountWordTotal() = 0;
    virtual std::uint32_t GetMeshCount() = 0;
    virtual std::uint32_t GetSubEntityCount() = 0;
    // The model's material proxies, asked for once and kept.
    virtual std::int32_t GetMaterialCount() = 0;
    virtual IMatProxy* GetMaterial(std::int32_t index) = 0;
    // The distinct textures the model draws with.
    virtual std::uint32_t GetTextureCount() = 0;
    // Whether texture i is a render-target or dynamic texture; false past the end.
    virtual bool IsTextureGenerated(std::uint32_t index) = 0;

protected:
    virtual ~IModelProxy() = default;
};

class ISklModelProxy : public IModelProxy {
public:
    virtual std::uint32_t GetBoneCount() = 0;
    // The current action's (actors: channel 0's) length in seconds and name.
    virtual float GetActionLength() = 0;
    virtual const char* GetActionName() = 0;
    // Skin entries of the geometry (actors: of the body parts).
    virtual std::uint32_t GetSkinEntryCount() = 0;

protected:
    ~ISklModelProxy() override = default;
};

class IActorProxy : public ISklModelProxy {
public:
    // Part-link records of the body parts in slots 0 to 7.
    virtual std::uint32_t GetPartLinkCount() = 0;

protected:
    ~IActorProxy() override = default;
};

}  // namespace ZelI
