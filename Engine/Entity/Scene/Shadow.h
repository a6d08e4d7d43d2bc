// The scene's shadows: the abstract base of the shadow-map shadow (ProjectiveShadow) and the blob
// shadow (FakeShadow), the process-wide table holding one object of each kind and the three
// generated materials the shadow map is drawn and projected with. Each frame the scene manager
// picks one kind from its shadow quality (3 the blob shadow, any other non-zero quality the map)
// and drives it through CollectCasters, then Render.
//
// Host thread only: the table and the material slots are unguarded process-wide values.
#pragma once

#include <cstdint>

namespace Zel {

class Level;
class Material;
class RenderCorePipeline;
class RenderQueue;

enum ShadowKind : std::int32_t {
    SHADOW_KIND_MAP = 0,   // casters are drawn into the shadow map
    SHADOW_KIND_FAKE = 1,  // casters hand a blob quad to the queue instead
};

class Shadow {
public:
    // Direction (0, -1, -1), colour (0.2, 0.2, 0.2, 0.2), no caster source.
    Shadow() = default;
    virtual ~Shadow() = default;
    Shadow(const Shadow&) = delete;
    Shadow& operator=(const Shadow&) = delete;

    // Keeps pipeline as this frame's caster source, then has each entity it pushed queue itself
    // as a caster of this shadow; the pieces' render marks stay the frame's. Either may be null:
    // a null queue queues nothing; a null pipeline leaves no caster source.
    virtual void CollectCasters(RenderCorePipeline* pipeline, RenderQueue* queue);
    // The material casters of the kind (0 static, 1 skeletal) are drawn with; not owned; null
    // when there is none.
    virtual Material* GetCasterMaterial(std::uint32_t kind) = 0;
    // Draws this frame's shadow once per collection and forgets the caster source. level: the
    // current level or null.
    virtual void Render(Level* level) = 0;
    // 0 the shadow map, 1 the blob shadow; 2 for the base.
    virtual std::int32_t GetKind() const { return 2; }
    // World direction the shadow falls along (3 floats, Z up).
    virtual void SetDirection(const float* direction);
    virtual const float* GetDirection() const { return direction_; }
    // r, g, b, a.
    virtual void SetColour(const float* rgba);
    virtual const float* GetColour() const { return colour_; }

    RenderCorePipeline* GetCasterSource() const { return casterSource_; }

    // The process-wide object of the kind (0 or 1), made on first request; the table owns it.
    // Null for any other kind.
    static Shadow* GetShadowInstance(std::int32_t kind);
    // Takes the three generated materials and makes both objects, logging the time of each step.
    static void Init();
    // Deletes both objects and gives the generated materials back to the material manager.
    static void Shutdown();
    // Generated material slot 0 (static caster), 1 (skeletal caster) or 2 (receiver); null when
    // the material subsystem could not supply it or for any other index. Not owned.
    static Material* GetGeneratedMaterial(std::uint32_t kind);

protected:
    RenderCorePipeline* casterSource_ = nullptr;  // not owned
    float direction_[3] = {0.0f, -1.0f, -1.0f};
    float colour_[4] = {0.2f, 0.2f, 0.2f, 0.2f};
};

}  // namespace Zel
