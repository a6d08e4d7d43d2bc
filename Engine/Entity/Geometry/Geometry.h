// The resource one model file becomes: its meshes, the material libraries it names, a table of up
// to 16 matrices, per-mesh transforms, its animations and a bounding box. Every model class
// (skinned, deformed, level, actor, body-part and cloth geometry) derives from it; GeometryManager
// creates them by kind and loads them by file name.
//
// The plain geometry loads by one road: a skip switch may leave it empty, a default-model switch
// may replace the file, an explicit ".dm2" or ".dm3" name loads that file, otherwise the binary
// siblings are tried first (when binary files are preferred) and the text or XML description
// last. A road that fails leaves nothing behind: the geometry is emptied before the next road is
// tried and after the last one fails, so a failed load holds no meshes.
//
// The host holds a geometry through one wrapper of its class (plain, skinned or actor geometry);
// the geometry stays with its manager when the host lets the wrapper go.
//
// Ownership: the geometry owns its meshes, its shared vertex and index data, and one reference to
// each animation. Threads: loaded on the loading thread (the host's, or the worker inside a task
// step); everything else on the host thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Core/CResource.h"
#include "Core/RCInterfaceCarrier.h"
#include "Core/SharedPtr.h"
#include "Math/AABB.h"
#include "Math/Matrix4.h"

namespace ZelI {
class IGeometry;
}  // namespace ZelI

namespace Zel {

class IndexData;
class IZelStream;
class Mesh;
class VertexData;

class Geometry : public CResource, public RCInterfaceCarrier<ZelI::IGeometry> {
public:
    static constexpr std::uint32_t kMatrixSlots = 16;
    static constexpr std::uint32_t kHeaderWords = 10;
    // The memory size of an empty geometry.
    static constexpr std::uint32_t kBaseSize = 1424;
    // The model loaded in place of any file while the default-model switch (35) is on.
    static constexpr const char* kDefaultModelPath =
        "..\\resources\\media\\shaders\\role\\link\\4010001\\4010001001\\4010001001.dml";
    // Switches that steer the load road: 54 leaves every plain geometry empty (and loaded), 35
    // loads the default model instead of the file.
    static constexpr std::uint32_t kSkipCreateSwitch = 54;
    static constexpr std::uint32_t kDefaultModelSwitch = 35;

    // The ".dm2" header words the reader uses (byte offsets into the header chunk's body).
    struct Dm2Header {
        std::int32_t geometryOffset = 0;  // file offset of the geometry chunk
        std::int32_t extraChunk = 0;      // > 0: one ignored chunk follows the libraries
        std::int32_t libraryCount = 0;
    };

    // manager: the owning manager (may be null in tests); the name is normalised by CResource.
    Geometry(CResourceManager* manager, std::string_view name, std::string_view group,
             std::uint32_t handle);
    // Unloads (UnloadImpl) and frees every list.
    ~Geometry() override;
    Geometry(const Geometry&) = delete;
    Geometry& operator=(const Geometry&) = delete;
    ZEL_CLASS_ID(Geometry)
    // GeometryManager sets the path a new geometry loads from.
    using CResource::SetLoadPath;

    // CResource: the size is CalculateSize.
    std::uint32_t GetSize() override { return CalculateSize(); }
    // The load road of the plain geometry (kinds 0-2); see the file comment. The load path is
    // the same after the call as before it.
    bool LoadImpl() override;
    // Deletes the meshes and shared data, resets the matrix table to identity and its count to
    // 0, drops the animations (an animation then held by its manager alone is removed from it)
    // and clears the material files and the per-mesh lists. The bounds stay.
    void UnloadImpl() override;
    // Logs (ENGINE_INIT) "读取Geometry失败,%s" with the load path on failure, "读取Geometry %s，
    // 占用内存 %d KB" with the path and the size in KB on success.
    void LogLoadResult(bool ok) override;

    // 1424 + every mesh's memory size + the shared data's sizes + every animation's size; also
    // stored as the resource's size.
    virtual std::uint32_t CalculateSize();
    // The kind this class reports (GeometryKind.h): 0 for the plain geometry.
    virtual std::uint32_t GetKind() const { return 0; }
    // A new mesh of this geometry's mesh class owning its vertex and index data; not appended.
    virtual std::unique_ptr<Mesh> CreateMesh(const std::string& name);
    // Reads the ".dm2" file of the load path (see Geometry.cpp for the layout). False, logged,
    // on a missing or malformed file; meshes read before the failure stay until unload.
    virtual bool LoadBinaryV2();
    // The ".dm2" meshes after the geometry chunk: `record` is the geometry chunk's body, `file`
    // stands at the first mesh chunk. Copies the header words, matrices and matrix count of the
    // record at the end.
    virtual bool ReadBinaryV2Meshes(const std::vector<std::uint8_t>& record, IZelStream& file,
                                    const Dm2Header& header);
    // Reads the ".dm3" chunk stream of the load path (IOGeometryBin::Read, with the load path's
    // directory); false when it cannot be opened, when the reader fails or when the stream ran
    // short.
    virtual bool LoadBinary();

    // Meshes. An entry may be null (a removed mesh); walks skip nulls.
    // Appends a mesh named "Mesh%u" with the current mesh count; answers it.
    Mesh* AddMesh();
    // Appends a mesh named "Mesh%u" with i (at the end, whatever i is).
    Mesh* AddMeshAt(std::uint32_t i);
    Mesh* AddNamedMesh(const std::string& name);
    // Mesh i, or null when i is not below the mesh count.
    Mesh* GetMesh(std::uint32_t i) const;
    // Draw count of the first entry of mesh i's current group (the levels' per-mesh culling).
    // Nothing for a mesh that does not exist or has no entry; GetMeshDrawCount answers 0 then.
    void SetMeshDrawCount(std::uint32_t i, std::uint32_t n);
    std::uint32_t GetMeshDrawCount(std::uint32_t i) const;
    std::uint32_t GetMeshCount() const { return static_cast<std::uint32_t>(meshes_.size()); }
    // Deletes the mesh and leaves a null entry in its place; nothing when it is not one of ours.
    void RemoveMesh(Mesh* mesh);
    // Names mesh i "%s_%u" from name and i.
    void RenameMeshes(const std::string& name);
    // The bounds become the union of the meshes' boxes.
    void UpdateBounds();
    // Appends every mesh whose group word equals group.
    void CollectMeshesByGroup(std::vector<Mesh*>& out, std::uint32_t group) const;
    // Ascending by each mesh's sort key (unstable; the readers give file order as keys).
    void SortMeshes();

    // The matrix table: slot i while i < 16 and i < the matrix count, else a shared identity.
    const Matrix4& GetMatrixSlot(std::uint32_t i) const;
    // Copies the 16 floats into slot i; false, copying nothing, when i is not below 16 and the
    // matrix count.
    bool SetMatrixSlot(std::uint32_t i, const Matrix4& matrix);
    std::uint32_t GetMatrixCount() const { return matrixCount_; }
    // The readers fill the table and its count (at most 16).
    void SetMatrixTable(const std::array<Matrix4, kMatrixSlots>& matrices, std::uint32_t count);

    AABB& GetBounds() { return bounds_; }
    const AABB& GetBounds() const { return bounds_; }
    std::array<std::uint32_t, kHeaderWords>& GetHeaderWords() { return headerWords_; }
    std::vector<std::uint32_t>& GetExtraWords() { return extraWords_; }
    std::vector<std::array<float, 3>>& GetScales() { return scales_; }
    std::vector<std::array<float, 3>>& GetTranslations() { return translations_; }
    std::vector<std::array<float, 4>>& GetRotations() { return rotations_; }
    // Per scene object of a text model: the index of its parent object, -1 for none.
    std::vector<std::int32_t>& GetParentIndices() { return parentIndices_; }
    std::vector<std::string>& GetMaterialFiles() { return materialFiles_; }
    const std::vector<std::string>& GetMaterialFiles() const { return materialFiles_; }
    // The animation resources (one reference each).
    const std::vector<SharedPtr<CResource>>& GetAnimations() const { return animations_; }
    void AddAnimation(SharedPtr<CResource> animation) {
        animations_.push_back(std::move(animation));
    }
    // The first animation whose id (its resource handle) is id; null when none is.
    CResource* FindAnimationById(std::uint32_t id) const;

    // A body-part geometry answers the id of the character it was loaded for (-1 until one is
    // set) and drops its texture images on UnloadImages, keeping its skins; a geometry of any
    // other class has neither.
    virtual std::int32_t GetOwnerId() const { return -1; }
    virtual void UnloadImages() {}
    VertexData* GetSharedVertexData() const { return sharedVertexData_.get(); }
    IndexData* GetSharedIndexData() const { return sharedIndexData_.get(); }
    std::uint32_t GetFaceTotal() const { return faceTotal_; }
    std::uint32_t GetVertexTotal() const { return vertexTotal_; }

protected:
    // Runs one load step; when it fails the geometry is emptied again (UnloadImpl, and the bounds
    // of a new geometry), so that the next road starts clean and a failed load holds nothing.
    template <class Step>
    bool TryRoad(Step step) {
        if (step())
            return true;
        UnloadImpl();
        // The next road merges mesh boxes into the bounds: it must not start from this road's.
        bounds_.Assign(AABB());
        return false;
    }

    std::unique_ptr<VertexData> sharedVertexData_;
    std::unique_ptr<IndexData> sharedIndexData_;
    std::vector<std::unique_ptr<Mesh>> meshes_;
    AABB bounds_;
    std::uint32_t faceTotal_ = 0;
    std::uint32_t vertexTotal_ = 0;
    // Two words and two flags that the geometry kinds give a meaning.
    std::uint32_t settingWords_[2] = {5, 5};
    bool settingFlags_[2] = {true, true};
    std::vector<std::uint32_t> extraWords_;
    std::vector<std::array<float, 3>> scales_;
    std::vector<std::array<float, 3>> translations_;
    std::vector<std::array<float, 4>> rotations_;
    std::vector<std::int32_t> parentIndices_;
    std::array<std::uint32_t, kHeaderWords> headerWords_{};
    std::array<Matrix4, kMatrixSlots> matrices_;
    std::uint32_t matrixCount_ = 0;
    std::vector<SharedPtr<CResource>> animations_;
    std::vector<std::string> materialFiles_;
};

}  // namespace Zel
