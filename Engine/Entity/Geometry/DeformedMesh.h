// A mesh whose shape changes over time through a list of key shapes: each key is a whole mesh of
// the same geometry stamped with a time. The readers fill the keys, then FinishLoad makes the
// mesh's own data a copy of the first key and ResampleKeys bakes small meshes with sparse keys
// into keys every 1/30 second. When a deformed model draws the mesh, the mesh shows the model's
// current key: it switches to the key's mesh, or blends the current and the next key into its
// own vertex data.
//
// Ownership: the key records are the mesh's, the key meshes the geometry's. Threads: loaded on
// the loading thread, drawn on the host thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Entity/Geometry/Mesh.h"

namespace Zel {

class DeformedMesh : public Mesh {
public:
    struct Key {
        float time = 0.0f;
        Mesh* mesh = nullptr;  // owned by the geometry
        bool blend = false;    // blend from the previous key into this one; else switch
    };
    enum ModeFlag : std::uint32_t {
        MODE_BLEND = 2,          // blend between keys when drawing
        MODE_BLEND_NORMALS = 4,  // blend normals too
    };
    static constexpr float kSampleStep = 1.0f / 30.0f;
    // Meshes with at least this many vertices keep their keys and blend when drawn.
    static constexpr std::uint32_t kBakeVertexLimit = 20;

    DeformedMesh(Geometry* owner, std::string name);
    ~DeformedMesh() override;
    ZEL_CLASS_ID(DeformedMesh)

    // The Mesh size plus every key mesh's.
    std::uint32_t GetMemorySize() const override;
    // Keys, mode flags and source go back to the state before loading, then the Mesh data.
    void ReleaseRenderData() override;
    std::uint32_t GetMeshType() const override { return kDeformedMeshType; }
    // Shared data when the mesh uses the geometry's; else the source mesh's when that is another
    // mesh; else the mesh's own.
    VertexData* GetVertexData() const override;
    IndexData* GetIndexData() const override;

    // With at least one key: the mesh becomes a copy of the first key's mesh.
    void FinishLoad();
    // -1 without keys; 1 (blend when drawing) for 20 or more vertices or a single key; 0 when
    // the keys are dense enough (30 a second) to switch, or after baking them to 30 a second:
    // new keys at the first key's time + i/30 for i = 0 .. floor(span x 30), plus one at the
    // last key's time when that is off the grid. Keys whose times do not increase are kept as
    // they are (0, switched when drawn).
    int ResampleKeys();
    // The readers' name for the step after FinishLoad.
    int BuildSubMeshes() { return ResampleKeys(); }
    // Fills out's mesh from keys a and b, w being a's weight; positions (and, with
    // MODE_BLEND_NORMALS in flags, normals) blend when b blends, else one key is copied.
    static bool MorphBlend(const Key& a, const Key& b, float w, Key& out, std::uint32_t flags);
    // Before a piece of a deformed model draws the mesh for a pass: the model's current key
    // (ShowKey with its key index and time). Nothing for another model or without piece or pass.
    void BuildRenderData(Entity* model, Renderable* piece, const Pass* pass) override;
    // Without mode flags the key's mesh is drawn (the source mesh becomes it). Otherwise key k and
    // the next key, when that one blends, are blended at time t into the mesh's own positions
    // (vertexFlags asks for VF_POSITION) and normals (VF_NORMAL with MODE_BLEND_NORMALS), the key
    // weighing (next time - t) / (next time - key time); with no next key to blend with, key k's
    // shape is shown. Nothing for k at or past the key count.
    void ShowKey(std::uint32_t k, float t, std::uint32_t vertexFlags);

    std::vector<std::unique_ptr<Key>>& GetKeys() { return keys_; }
    const std::vector<std::unique_ptr<Key>>& GetKeys() const { return keys_; }
    void AddKey(std::unique_ptr<Key> key) { keys_.push_back(std::move(key)); }
    std::uint32_t GetModeFlags() const { return modeFlags_; }
    void SetModeFlags(std::uint32_t flags) { modeFlags_ = flags; }
    Mesh* GetSourceMesh() const { return source_; }
    void SetSourceMesh(Mesh* mesh) { source_ = mesh ? mesh : this; }
    // The word the morph mesh chunk carries.
    std::uint32_t GetMorphWord() const { return morphWord_; }
    void SetMorphWord(std::uint32_t word) { morphWord_ = word; }

private:
    bool KeysIncrease() const;

    std::vector<std::unique_ptr<Key>> keys_;
    std::uint32_t modeFlags_ = 0;
    Mesh* source_ = this;
    std::uint32_t morphWord_ = 0;
};

}  // namespace Zel
