// One cloth piece of a cloth geometry: its render meshes (skinned to the character's skeleton or
// plain), the welded triangle mesh the physics cloth simulates, the physics vertex and the blend
// weight of every render vertex, the attachment records that pin the cloth to the body, and the
// cloth parameters. Render vertices are numbered over all sub-meshes: sub-mesh s's vertex i is
// render vertex (first-vertex offset of s) + i.
//
// Ownership: the piece owns its sub-meshes and helper meshes. Threads: built on the loading
// thread, read by the scene's cloth pieces and the physics binding on the host thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Physics/PhxCloth.h"
#include "Entity/Geometry/Mesh.h"

namespace Zel {

struct AseObject;
struct AseScene;

// A render vertex pinned to the body: the sub-mesh and vertex it is, and the welded vertex.
struct ClothAttachment {
    std::uint8_t flag = 0;
    std::uint32_t subMesh = 0;
    std::uint32_t renderVertex = 0;  // inside its sub-mesh
    std::array<float, 3> position = {0, 0, 0};
    std::uint32_t weldedIndex = 0;
    // The bone the point is pinned to; empty pins it to its skinned render vertex.
    std::string bone;
};

class ClothMeshData : public Mesh {
public:
    using Float3 = std::array<float, 3>;
    enum Param {
        BENDING,
        DAMPING,
        DENSITY,
        FRICTION,
        STRETCH,
        THICKNESS,
        WEIGHT_SCALE,
        PARAM_COUNT
    };
    static constexpr std::uint32_t kRecordBytes = 152;
    // Vertices closer than this in every coordinate weld into one.
    static constexpr float kWeldDistance = 2.5e-5f;
    // A render vertex maps to the first welded vertex this close in every coordinate.
    static constexpr float kMapDistance = 1e-4f;
    // An attachment point pins the last welded vertex closer than this.
    static constexpr float kAttachDistance = 0.005f;

    ClothMeshData(Geometry* owner, std::string name);
    ~ClothMeshData() override;
    ZEL_CLASS_ID(ClothMeshData)

    std::uint32_t GetMeshType() const override { return kClothMeshType; }
    std::uint32_t GetMemorySize() const override;
    // Frees every array, the sub-meshes and the helper meshes, then the Mesh data.
    void ReleaseRenderData() override;

    // Builds the piece from a cloth object of an ASE scene: render meshes (skins of the named
    // skeleton when it is given and the object has vertex weights), their texture coordinates
    // moved into the rectangle, the welded physics mesh, and the physics vertex and weight of
    // every render vertex. False when the object has no vertices or faces or no render mesh comes
    // out.
    bool Build(const AseObject& object, const AseScene& scene, const std::string& skeletonName,
               std::int32_t partIndex, const float* atlasRect);
    // Merges coincident physics vertices (see kWeldDistance) and renumbers the triangles.
    void WeldVertices();
    // The physics vertex of every render vertex, and its weight from the vertex colour's first
    // channel times the weight scale (0.5 x the scale without colour), clamped to 0..1.
    void MapRenderVertices();
    // Pins the cloth at the points: for each, the last welded vertex within kAttachDistance; in
    // each sub-mesh the first render vertex mapped to it is pinned and recorded.
    void BuildAttachments(const std::vector<Float3>& points);

    Mesh* GetSubMesh(std::uint32_t i) const {
        return i < subMeshes_.size() ? subMeshes_[i].get() : nullptr;
    }
    Mesh* GetHelperMesh(std::uint32_t i) const {
        return i < helperMeshes_.size() ? helperMeshes_[i].get() : nullptr;
    }
    std::uint32_t GetSubMeshCount() const { return static_cast<std::uint32_t>(subMeshes_.size()); }
    std::uint32_t GetSubMeshOffset(std::uint32_t i) const {
        return i < subMeshOffsets_.size() ? subMeshOffsets_[i] : 0;
    }
    // Appends a sub-mesh whose first render vertex follows the earlier ones'.
    void AddSubMesh(std::unique_ptr<Mesh> mesh);

    std::vector<Float3>& GetWeldedPositions() { return welded_; }
    std::vector<std::uint32_t>& GetPhysicsTriangles() { return physicsTriangles_; }
    // Per render vertex: its welded vertex, whether an attachment pins it, its blend weight.
    std::uint32_t GetPhysicsIndex(std::uint32_t renderVertex) const {
        return renderVertex < physicsMap_.size() ? physicsMap_[renderVertex] : 0;
    }
    bool IsPinned(std::uint32_t renderVertex) const {
        return renderVertex < pinned_.size() && pinned_[renderVertex] != 0;
    }
    float GetWeight(std::uint32_t renderVertex) const {
        return renderVertex < weights_.size() ? weights_[renderVertex] : 0.0f;
    }
    std::uint32_t GetRenderVertexCount() const {
        return static_cast<std::uint32_t>(physicsMap_.size());
    }
    const std::vector<ClothAttachment>& GetAttachments() const { return attachments_; }
    std::vector<ClothAttachment>& GetAttachments() { return attachments_; }

    // The welded vertices, physics triangles and cloth parameters as the physics scene builds a
    // cloth from them (kind 4, handed in as the body description's source). The arrays stay this
    // piece's: the source is valid until the piece changes.
    PhxClothSource GetPhysicsSource() const;

    float GetParam(Param p) const { return params_[p]; }
    void SetParam(Param p, float value) { params_[p] = value; }
    std::int32_t GetPartIndex() const { return partIndex_; }
    void SetPartIndex(std::int32_t index) { partIndex_ = index; }

    // The chunk's own arrays: the second point and index arrays, the 152-byte records and the
    // index count; the first point and index arrays are the welded positions and triangles.
    std::vector<Float3>& GetSecondPoints() { return secondPoints_; }
    std::vector<std::uint32_t>& GetSecondIndices() { return secondIndices_; }
    std::vector<std::array<std::uint8_t, kRecordBytes>>& GetRecords() { return records_; }
    std::uint32_t GetIndexCountWord() const { return indexCountWord_; }
    void SetIndexCountWord(std::uint32_t n) { indexCountWord_ = n; }

private:
    std::vector<Float3> welded_;
    std::vector<std::uint32_t> physicsTriangles_;
    std::vector<std::uint32_t> physicsMap_;
    std::vector<std::uint8_t> pinned_;
    std::vector<float> weights_;
    std::vector<ClothAttachment> attachments_;
    std::vector<std::unique_ptr<Mesh>> subMeshes_;
    std::vector<std::uint32_t> subMeshOffsets_;
    std::vector<std::unique_ptr<Mesh>> helperMeshes_;
    float params_[PARAM_COUNT] = {1, 1, 1, 1, 1, 1, 1};
    std::int32_t partIndex_ = -1;
    std::vector<Float3> secondPoints_;
    std::vector<std::uint32_t> secondIndices_;
    std::vector<std::array<std::uint8_t, kRecordBytes>> records_;
    std::uint32_t indexCountWord_ = 0;
};

// The distance of the fast inverse square root the cloth code measures with: a 512-entry mantissa
// table estimate refined by two Newton steps.
float ClothDistance(const float* a, const float* b);

}  // namespace Zel
