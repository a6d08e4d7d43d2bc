// The drawable mesh of one cloth piece of a character: every frame it takes its shape from the
// skinned body-part mesh it belongs to and, while a physics cloth simulates the piece, blends each
// vertex toward its simulated particle by the piece's blend weight, pinning chosen particles to
// bones or to skinned vertices. Built once from the piece's cloth mesh data (Build), updated by
// the character (UpdateSkinning). Mesh type 3.
//
// Ownership: the cloth owns its vertex array, its attachments and, when told so, the physics
// cloth (released through its scene); the owner model, the cloth data and the skin mesh are not
// owned and must outlive it. Host thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "Entity/Geometry/Mesh.h"

namespace Zel {

class Bone;
class ClothMeshData;
class PhxCloth;
class SkeletonModel;

class Cloth : public Mesh {
public:
    // A simulated particle pinned to a bone (local position in the bone's frame) or, without a
    // bone, to a skinned vertex; the world position is written every simulated frame.
    struct Attachment {
        float local[3] = {0, 0, 0};
        float world[3] = {0, 0, 0};
        std::int32_t particle = -1;
        std::int32_t vertex = -1;
        const Bone* bone = nullptr;
    };
    // Floats per vertex of the vertex array: position, normal, texture coordinates.
    static constexpr std::uint32_t kVertexFloats = 8;

    // owner: the skeleton model that wears the cloth (not owned; may be null).
    explicit Cloth(SkeletonModel* owner);
    // Releases the physics cloth when it owns it.
    ~Cloth() override;
    ZEL_CLASS_ID(Cloth)

    std::uint32_t GetMeshType() const override { return kClothMeshType; }
    bool IsOwnedByPiece() const override { return true; }
    // The skin mesh's box (the cloth's own while it has none).
    const AABB& GetBounds() const override;
    // Before a draw: with pass flag 4 (kPassDepthSorted), a single triangle list, an enabled
    // cloth and a vertex array, the positions are projected through world x view x projection
    // into the projected positions and their box.
    void BuildRenderData(Entity* model, Renderable* piece, const Pass* pass) override;

    // Takes the shape of the skin mesh (vertex count, texture coordinates, indices, one triangle
    // list) and the attachments of the cloth data whose sub-mesh is pieceId: a record without a
    // bone name pins its particle to its skinned vertex; one naming a bone of the owner's
    // skeleton pins it to the bone (its position moved into the bone's bind frame); a record
    // naming an unknown bone adds nothing. False without cloth data or skin mesh.
    bool Build(ClothMeshData* data, Mesh* skin, std::uint32_t vertexOffset,
               std::uint32_t pieceValue, std::uint32_t pieceId);
    // Poses the skin into the vertex array; with a physics cloth and simulate, blends every vertex
    // toward its particle and pins the attached particles. Vertices without a particle in range
    // follow the skin; so do all while the physics cloth has not been read back from a step.
    void UpdateSkinning(bool simulate);
    // bone: a bone of the owner's skeleton, or null for a skinned-vertex pin.
    void AddAttachment(const float* position, const Bone* bone, std::int32_t particle,
                       std::int32_t vertex);

    // The physics cloth (not owned unless owns is true).
    void SetPhysicsCloth(PhxCloth* cloth, bool owns);
    PhxCloth* GetPhysicsCloth() const { return physics_; }
    // While the scene manager has physics: the request goes to the physics cloth's rest switch
    // unchanged (true rests it, false wakes it); a false request after a false request is
    // dropped.
    void SetPhysicsActive(bool request);
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    bool IsEnabled() const { return enabled_; }

    // The process-wide cloth switch: the physics layer's cloth flag and its start-up flag.
    static void SetGlobalEnabled(bool enabled);
    static bool IsGlobalEnabled();
    // Frees the skinning scratch shared by every cloth (shutdown).
    static void FreeScratchArray();
    static std::size_t GetScratchBytes();

    const std::vector<float>& GetVertexArray() const { return vertices_; }
    const std::vector<Attachment>& GetAttachments() const { return attachments_; }
    Mesh* GetSkinMesh() const { return skin_; }
    ClothMeshData* GetClothData() const { return data_; }
    SkeletonModel* GetOwnerModel() const { return owner_; }
    std::uint32_t GetVertexOffset() const { return vertexOffset_; }
    std::uint32_t GetPieceValue() const { return pieceValue_; }

private:
    // The particle that render vertex i follows, or -1 when it follows the skin.
    std::int32_t ParticleOf(std::uint32_t i) const;
    // The vertex array into the vertex data, which the next draw writes to its buffer.
    void PublishVertices();
    void PinAttachments(const std::vector<float>& skinned, std::uint32_t skinnedFloats);

    SkeletonModel* owner_;
    PhxCloth* physics_ = nullptr;
    ClothMeshData* data_ = nullptr;
    std::vector<Attachment> attachments_;
    Mesh* skin_ = nullptr;
    std::uint32_t vertexOffset_ = 0;
    std::uint32_t pieceValue_ = 0;
    bool ownsPhysics_ = false;
    bool enabled_ = true;
    // The last request that reached the physics cloth was false.
    bool lastRequestFalse_ = false;
    std::vector<float> vertices_;  // kVertexFloats per vertex
};

}  // namespace Zel
