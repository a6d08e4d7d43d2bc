// A textured quad entity whose orientation follows the camera. Its shape is one of a few unit
// shapes shared by every billboard of the process (a quad, or an upright quad split into two
// triangles); each update the billboard builds one or two world matrices that place, size and
// turn that shape by its kind and orientation flags, and its pieces draw the shared shape with
// those matrices in the billboard's colour. The world is Z up. Pooled in its factory in Globals;
// the scene manager gives it its kind and pieces (CreateBillBoard). Host thread.
#pragma once

#include <cstdint>

#include "Entity/Scene/Entity.h"
#include "Entity/Scene/SubEntity.h"

namespace Zel {

class BillBoard;

// A piece of a billboard: draws the shared shape of its owner's kind with the owner's matrix of
// its index (0 or 1, kept in the user word). Owned by its billboard (deleted, not pooled).
class BillBoardSubEntity : public SubEntity {
public:
    explicit BillBoardSubEntity(std::uint32_t index);
    ~BillBoardSubEntity() override = default;

    IndexData* GetIndexData() const override;
    VertexData* GetVertexData() const override;
    const float* GetWorldMatrix() override;
    // The billboard's world box.
    const AABB& GetBoundingBox() override;
    // The shared shape in the billboard's colour; 0 without a pass, owner or shape.
    std::uint32_t FillRenderOperation(Pass* pass, std::uint32_t group) override;
    // A new piece of the same index holding this one's material (attached to this owner when
    // asked).
    SubEntity* Clone(bool attach) override;
    void CopyTo(SubEntity* target, bool attach) override;

    // The owner as a billboard, or null.
    BillBoard* GetBillBoard() const;
};

class BillBoard : public Entity {
public:
    // Orientation flags (kind 0 only).
    static constexpr std::uint32_t kFaceCamera = 1;
    static constexpr std::uint32_t kFullTurn = 2;       // with 1 and 64
    static constexpr std::uint32_t kFreeze = 8;         // matrix 0 is kept as it is
    static constexpr std::uint32_t kTurnToCamera = 64;  // with 1
    static constexpr std::uint32_t kLevelled = 128;     // without 1: the camera turn, pitch removed
    static constexpr std::uint32_t kTowardCamera = 256;  // moved toward the camera by the offset

    // Kind 0; both matrices the identity.
    BillBoard();
    // Deletes its pieces before the entity's own destruction, which would pool them.
    ~BillBoard() override;
    ZEL_CLASS_ID(BillBoard)

    // Builds the matrices of the kind, then the entity update.
    void Update(std::uint32_t* counter, float dt, std::uint32_t frameId) override;
    // A new billboard of the scene manager (clone name, this kind), then CopyTo.
    SceneNode* Clone(bool withParent) override;
    // The entity copy (pieces of the target's kind replaced by copies of these), then flags,
    // size, auxiliary value, camera offset, matrices and kind; the colour stays the target's.
    void CopyTo(SceneNode* target, bool withParent) override;
    // With the bounds dirty: the unit box of the kind through matrix 0 becomes the world box.
    void UpdatePlacement() override;
    std::uint32_t GetEntityKind() const override { return 9; }
    // Deletes the pieces (they never came from the piece factory).
    void RemoveAllSubEntities() override;
    // Kinds 2 and 3: two pieces (index 0 and 1); any other kind one.
    void RebuildSubEntities() override;
    void AddSubEntities(const std::vector<Mesh*>& /*meshes*/) override {}
    void SetupFromMeshes(const std::vector<Mesh*>& /*meshes*/, Animation* /*animation*/) override {}
    const float* GetRenderMatrix() override { return matrices_[0]; }
    // The billboard's own colour, handed to every draw.
    void SetColour(const float* rgba) override;
    const float* GetColour() const override { return colour_; }
    // Width and height 1, flags 0, auxiliary value 0, camera offset 1, identity matrices, then
    // the entity reset. Kind and colour stay.
    void Reset() override;

    // The kind; set by the scene manager before the pieces are built.
    std::uint32_t GetKind() const { return kind_; }
    void SetKind(std::uint32_t kind) { kind_ = kind; }
    // The host's answer: 1 to 4 as they are, 0 for anything else.
    std::uint32_t GetHostKind() const { return kind_ >= 1 && kind_ <= 4 ? kind_ : 0; }
    // Also marks the bounds dirty.
    void SetSize(float width, float height);
    float GetWidth() const { return width_; }
    float GetHeight() const { return height_; }
    void SetFlags(std::uint32_t flags) { flags_ = flags; }
    std::uint32_t GetFlags() const { return flags_; }
    void SetAuxiliaryValue(float value) { auxiliary_ = value; }
    float GetAuxiliaryValue() const { return auxiliary_; }
    void SetCameraOffset(float offset) { cameraOffset_ = offset; }
    float GetCameraOffset() const { return cameraOffset_; }
    // Matrix i (0 or 1) of 16 floats.
    const float* GetMatrix(std::uint32_t index) const { return matrices_[index & 1]; }

    // The shared shapes: the quad for kinds other than 2 and 3, else triangle `index`; made on
    // first use (null without a buffer manager). Owned by the process until ReleaseSharedShapes.
    static VertexData* GetSharedVertexData(std::uint32_t kind, std::uint32_t index);
    static IndexData* GetSharedIndexData(std::uint32_t kind);
    // Deletes the shared shapes (when the render system goes).
    static void ReleaseSharedShapes();
    // 6 indices for the quad kinds, 3 for the split kinds.
    static bool IsSplitKind(std::uint32_t kind) { return kind == 2 || kind == 3; }

private:
    void BuildFacingMatrix();
    void BuildSplitMatrices();
    void BuildAxisMatrix();

    std::uint32_t flags_ = 0;
    float width_ = 1.0f;
    float height_ = 1.0f;
    float auxiliary_ = 0.0f;
    float cameraOffset_ = 1.0f;
    float matrices_[2][16];
    std::uint32_t kind_ = 0;
    float colour_[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};

}  // namespace Zel
