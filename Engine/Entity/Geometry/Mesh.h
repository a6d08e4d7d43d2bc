// One drawable piece of a geometry: vertex data and index data, render groups, a bounding box
// and what the frame pipeline derives from them: tangent frames, the vertices on open edges and
// a back-to-front triangle order for transparent meshes. Skin, SkinMerge, ClothMeshData and the
// deformed mesh derive from it. Owned by its geometry. Host thread (the loading thread in queued
// mode).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Core/Object.h"
#include "Core/RCInterfaceCarrier.h"
#include "Entity/Geometry/LodStripArray.h"
#include "Math/AABB.h"

namespace ZelI {
class IMesh;
}  // namespace ZelI

namespace Zel {

class Entity;
class Geometry;
class Graph;
class IndexData;
class IZelStream;
class Pass;
class Renderable;
class VertexData;
struct IndexRun;
struct RenderOperation;

// The host meets a mesh only as an identity: one wrapper per mesh while it is bound.
// What GetMeshType answers for each kind of mesh.
constexpr std::uint32_t kStaticMeshType = 0;
constexpr std::uint32_t kSkinMeshType = 1;
constexpr std::uint32_t kDeformedMeshType = 2;
constexpr std::uint32_t kClothMeshType = 3;

class Mesh : public Object, public RCInterfaceCarrier<ZelI::IMesh> {
public:
    // Flag bit 0: the tangent frames were built.
    static constexpr std::uint32_t kTangentsBuilt = 0x1;
    // The pass flag of depth-sorted passes ("ZSORT").
    static constexpr std::uint32_t kPassDepthSorted = 0x4;

    // owner: the geometry (not owned; may be null). Own vertex data is a new VertexData (owner
    // this mesh, usage 5, not dynamic), own index data a new IndexData (usage 0).
    Mesh(Geometry* owner, std::string name, bool ownVertexData, bool ownIndexData);
    Mesh(Geometry* owner, bool ownVertexData, bool ownIndexData);
    ~Mesh() override;
    ZEL_CLASS_ID(Mesh)

    // Copies everything but the name into the destination: material name, vertex and index data
    // (the destination's own data copies this one's), shared flags, bounds, counts, the face
    // arrays, the three words, the render groups (the current one becomes the first), the flags
    // and the group word.
    virtual void CopyTo(Mesh& destination) const;
    // 500 + own index and vertex data + 12 per face for each face array present + 12 per render
    // group and 20 per entry.
    virtual std::uint32_t GetMemorySize() const;
    // Deletes the own vertex and index data and every derived array, the render groups and the
    // sort graph; the sort key becomes 0.
    virtual void ReleaseRenderData();
    // kStaticMeshType here; a Skin, deformed mesh and cloth answer their own.
    virtual std::uint32_t GetMeshType() const { return kStaticMeshType; }
    // True for a mesh made for one piece alone, which the piece deletes with itself; a
    // geometry's meshes, cloth data among them, belong to their geometry.
    virtual bool IsOwnedByPiece() const { return false; }
    // The owner's shared data when the shared flag is set, else the own (may be null).
    virtual VertexData* GetVertexData() const;
    virtual IndexData* GetIndexData() const;
    virtual const AABB& GetBounds() const { return bounds_; }
    // Builds the vertex buffer of a layout mask (tangent frames first when the mask asks for
    // tangents or binormals of own vertex data).
    virtual void PrepareComponents(std::uint32_t mask);
    // Before a pass draws the mesh: tangent frames when the pass's vertex flags (as
    // Pass::GetVertexFlags answers them) ask for tangents, or for binormals not yet built; then,
    // for a sort-requesting renderable (world: its 16-float world matrix) under a depth-sorted
    // pass (pass flags bit 2), a plain Mesh with a single triangle list and a current camera, the
    // full triangle sort through world x view x projection.
    virtual void PrepareForPass(bool sortRequested, const float* world,
                                std::uint32_t passVertexFlags, std::uint32_t passFlags);
    // Called by a model's piece before it fills its record for a pass, so that a mesh whose shape
    // follows the drawing model (deformed meshes, cloth) brings its vertex data up to date.
    // Nothing for a plain mesh.
    virtual void BuildRenderData(Entity* /*model*/, Renderable* /*piece*/, const Pass* /*pass*/) {}
    // Called by a renderable on the record it is about to fill for this mesh, before the vertex
    // binding is prepared. A plain mesh marks the record's primitive type 5 (the fill sets the
    // real type per group afterwards); a skin uses the call to choose the usage of its vertex
    // data. Answers the record.
    virtual RenderOperation* GetRenderOperation(RenderOperation* operation);
    // Reads the ".dm2" mesh body: the record (the mesh chunk's body, recordSize bytes) and, from
    // the file after it, the render groups, the vertex block and the index block. Every size and
    // offset is checked against the record, the block and the bytes left in the file; a mesh
    // whose entries leave the index array or whose indexes leave the vertices is refused. On
    // failure (reported) the mesh is unchanged and the answer false; the caller unloads.
    virtual bool ReadBinaryV2(const std::uint8_t* record, std::uint32_t recordSize,
                              IZelStream& file);
    // Lists, in ascending order, the vertices that end an edge used an odd number of times by the
    // triangles of the current group. Nothing without vertex data, index data or group.
    virtual void BuildOpenEdgeVertices();
    virtual std::uint32_t GetAuxWord() const { return auxWord_; }
    virtual const std::uint32_t* GetOpenEdgeVertices() const {
        return openEdges_.empty() ? nullptr : openEdges_.data();
    }
    virtual std::uint32_t GetOpenEdgeVertexCount() const {
        return static_cast<std::uint32_t>(openEdges_.size());
    }
    // Projects the positions through the 16-float clip matrix (Matrix4 layout) and rewrites the
    // index buffer with the triangles of the single list entry back to front: the full sort by
    // screen overlap and depth (orderFlag set: the farther triangle first), or the simple sort by
    // CompareTriangleOrder. Nothing is written when the buffer cannot be locked.
    virtual void SortTrianglesFull(const float* matrix, bool orderFlag);
    virtual void SortTriangles(const float* matrix);
    // Homogeneous positions (built once from POSITION) through the clip matrix, divided by w,
    // into the projected positions (4 floats each) and the projected bounds.
    virtual void ProjectPositions(const float* matrix);
    // Told by the vertex data when one of its buffers was (re)built.
    virtual void OnVertexDataRebuilt(VertexData*) {}

    // The render-enable flag is set, own vertex and index data exist, and the current group has
    // exactly one entry, a triangle list.
    bool IsSingleTriangleList() const;
    // Copies the runs in order into the index buffer, each cut to the room left, and makes the
    // current group's first entry draw them from index 0. Answers the triangles written (0 when
    // there is no buffer or it cannot be locked). One frame-statistics count per run.
    std::uint32_t FillIndexRuns(const std::vector<const IndexRun*>& runs);
    // Adds zeroed TANGENT and BINORMAL components to own vertex data and sums into them, per
    // vertex, the normalised tangent and binormal of every triangle of the current group
    // (triangles with a zero texture determinant add nothing). Once (flag bit 0).
    void BuildTangents();

    // Render groups: appended groups are owned; the first becomes current.
    void AddRenderGroup(std::unique_ptr<LodStripArray> group);
    const std::vector<std::unique_ptr<LodStripArray>>& GetRenderGroups() const { return groups_; }
    LodStripArray* GetCurrentGroup() const { return currentGroup_; }
    // group: one of this mesh's groups, or null.
    void SetCurrentGroup(LodStripArray* group) { currentGroup_ = group; }

    // Draw from the geometry's shared data (not owned; null clears the flag).
    void UseSharedVertexData(VertexData* shared);
    void UseSharedIndexData(IndexData* shared);
    // Replaces the own vertex data (a reader that finds system-memory vertices swaps in a
    // VertexDataSysMem); the shared flag is left alone.
    void ReplaceOwnVertexData(std::unique_ptr<VertexData> data);
    bool UsesSharedVertexData() const { return sharedVertex_ != nullptr; }
    bool UsesSharedIndexData() const { return sharedIndex_ != nullptr; }

    const std::string& GetName() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const std::string& GetMaterialName() const { return materialName_; }
    void SetMaterialName(std::string name) { materialName_ = std::move(name); }
    Geometry* GetOwner() const { return owner_; }
    AABB& GetBoundsForUpdate() { return bounds_; }
    std::uint32_t GetFaceCount() const { return faceCount_; }
    void SetFaceCount(std::uint32_t count) { faceCount_ = count; }
    std::uint32_t GetVertexCount() const { return vertexCount_; }
    void SetVertexCount(std::uint32_t count) { vertexCount_ = count; }
    // Face count x three words each (optional; empty when absent).
    std::vector<std::uint32_t>& GetTriangles() { return triangles_; }
    std::vector<std::uint32_t>& GetFaceExtraData() { return faceExtra_; }
    std::uint32_t GetWord(int i) const { return words_[i]; }
    void SetWord(int i, std::uint32_t value) { words_[i] = value; }
    std::uint32_t GetFlags() const { return flags_; }
    std::uint32_t GetGroupWord() const { return groupWord_; }
    void SetGroupWord(std::uint32_t word) { groupWord_ = word; }
    std::uint32_t GetSortKey() const { return sortKey_; }
    void SetSortKey(std::uint32_t key) { sortKey_ = key; }
    bool IsRenderEnabled() const { return renderEnabled_; }
    void SetRenderEnabled(bool enabled) { renderEnabled_ = enabled; }
    // The projected positions (4 floats per vertex) and their screen box.
    const std::vector<float>& GetProjectedPositions() const { return projected_; }
    const AABB& GetProjectedBounds() const { return projectedBounds_; }

protected:
    // The homogeneous positions (x, y, z, 1 per vertex, padded to 4 vertices), made from POSITION
    // (float3) when their size does not match; answers the vertices they hold.
    std::uint32_t PrepareHomogeneous();
    // The first n homogeneous positions through the clip matrix, divided by w, into the
    // projected positions and their bounds.
    void ProjectHomogeneous(const float* matrix, std::uint32_t n);
    std::vector<float>& GetHomogeneous() { return homogeneous_; }
    // world (16 floats) x the scene's view x projection into clip; false without a scene manager
    // or a current camera.
    static bool ClipMatrixUnderCamera(const float* world, float* clip);

private:
    // The triangles the sorts reorder: those of the current group's first entry when it is a
    // triangle list, every index inside the projected positions. False (reported when the data is
    // bad) when there are none.
    bool SortableTriangles(const std::uint32_t*& triangles, std::uint32_t& faceCount,
                           std::uint32_t& firstIndex) const;
    // Writes the triangles in the graph's order at firstIndex of the index buffer.
    void WriteSortedTriangles(const std::uint32_t* triangles, std::uint32_t faceCount,
                              std::uint32_t firstIndex);
    // The full sort's answer for faces i < j: 2 when face i is the farther, 1 when face j is, 0
    // when they do not overlap on screen or cannot be told apart.
    int CompareFacesFull(const std::uint32_t* triangles, std::uint32_t i, std::uint32_t j) const;

    std::string name_;
    std::string materialName_;
    std::unique_ptr<VertexData> vertexData_;
    std::unique_ptr<IndexData> indexData_;
    Geometry* owner_;
    VertexData* sharedVertex_ = nullptr;
    IndexData* sharedIndex_ = nullptr;
    AABB bounds_;
    std::uint32_t faceCount_ = 0;
    std::uint32_t vertexCount_ = 0;
    std::vector<std::uint32_t> faceExtra_;
    std::vector<std::uint32_t> triangles_;
    std::uint32_t words_[3] = {0, 0, 0};
    std::vector<std::unique_ptr<LodStripArray>> groups_;
    LodStripArray* currentGroup_ = nullptr;
    std::uint32_t flags_ = 0;
    std::uint32_t groupWord_ = 0;
    std::uint32_t auxWord_ = 0;
    std::vector<std::uint32_t> openEdges_;
    std::uint32_t sortKey_ = 0;
    std::unique_ptr<Graph> graph_;
    std::vector<float> homogeneous_;  // 4 floats per vertex, rounded up to 4 vertices
    std::vector<float> projected_;
    std::uint32_t projectedCount_ = 0;  // vertices projected (the arrays are padded)
    std::vector<float> faceRects_;      // per face: x min, x max, y min, y max
    std::vector<float> faceDepths_;     // per face: z min, z max
    AABB projectedBounds_;
    bool renderEnabled_ = true;
};

}  // namespace Zel
