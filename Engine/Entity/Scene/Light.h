// A light placed in the scene: an entity with a kind (0 directional, any other value a positioned
// light; 3 a projecting light), three colours, a range, a bounding sphere around its world
// position and a one-bit identity that the spatial tree ORs into the light masks of the nodes it
// lights. The scene manager makes, lists and deletes lights (CreateLight, DestroyLight). Position
// and direction are the node's: the world position, and the node's (0, -1, 0) axis. Host thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "Entity/Scene/Entity.h"
#include "Math/Sphere.h"

namespace Zel {

class TextureBase;

// Hands out the light bits of node light masks: 2, 4, 8, ... up to 2^63 (63 lights), then 0,
// which marks nothing. Bits are never given back.
class LightBitCounter {
public:
    std::uint64_t Next() {
        counter_ <<= 1;
        return counter_;
    }

private:
    std::uint64_t counter_ = 1;
};

class Light : public Entity {
public:
    explicit Light(std::int32_t kind = 0);
    Light(std::string_view name, std::int32_t kind);
    ~Light() override = default;
    ZEL_CLASS_ID(Light)

    // SceneManager::DestroyLight(this).
    void Destroy() override;
    // A new light of the scene manager (clone name, this kind), then CopyTo.
    SceneNode* Clone(bool withParent) override;
    // The entity copy, then range, kind, sphere and light bit (the colours stay the target's).
    void CopyTo(SceneNode* target, bool withParent) override;

    // The sphere around the world position with the range as radius, refreshed first.
    virtual const BoundingVolume& GetInfluenceVolume();
    // A light that projects a texture through its view volume answers true, gives the
    // view-projection of that volume (16 floats) and the texture it projects; a plain light
    // projects nothing.
    virtual bool IsProjecting() const { return false; }
    virtual void ComputeProjectionMatrix(float out[16]) const;
    virtual TextureBase* GetProjectedTexture() const { return nullptr; }

    std::int32_t GetKind() const { return kind_; }
    // A light of any kind but 0 has a position and lights like a point.
    bool IsPointLight() const { return kind_ != 0; }
    // The kind the host reads: 0 and 1 as they are, 2 for kinds 2 to 4, 0 for any other.
    std::int32_t GetHostKind() const;

    // r, g, b, a in 0..1; all 1 after construction.
    const float* GetAmbient() const { return ambient_; }
    const float* GetDiffuse() const { return diffuse_; }
    const float* GetSpecular() const { return specular_; }
    void SetColours(const float ambient[4], const float diffuse[4], const float specular[4]);
    void SetAmbient(const float* rgba);
    void SetDiffuse(const float* rgba);
    void SetSpecular(const float* rgba);
    float GetRange() const { return range_; }
    void SetRange(float range) { range_ = range; }
    // The host's range: range = r and a uniform node scale of r.
    void SetRangeAndScale(float range);
    const Sphere& GetSphere() const { return sphere_; }
    std::uint64_t GetLightBit() const { return lightBit_; }

    // The node's world position and shining direction (3 floats each; the device and the shader
    // constants read them through a const light).
    using SceneNode::GetWorldPosition;
    const float* GetWorldPosition() const;
    using SceneNode::GetDirection;
    const float* GetDirection() const;

private:
    std::int32_t kind_;
    float range_ = 100.0f;
    float ambient_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float diffuse_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    Sphere sphere_;
    std::uint64_t lightBit_;
};

}  // namespace Zel
