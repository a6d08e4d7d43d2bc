// The geometry of a level (kind 3): its meshes come from the binary level mesh file that its XML
// description names (MeshSerializer::LoadGeometry). Beyond the meshes it keeps geometry-wide arrays
// for picking (every vertex position, every triangle as indices into those positions, each
// face's extra data and a word per face), the range each mesh occupies in them, the level's
// occluders, and per mesh the visible index runs the level's visibility pass draws.
//
// Meshes record their first face, first vertex and mesh index in their words 0, 1 and 2.
// Loading thread for the load; host thread otherwise.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/LevelOccluder.h"
#include "Entity/Geometry/LevelPart.h"
#include "Entity/Geometry/TriangleRange.h"

namespace Zel {

struct IndexRun;

class StaticGeometry : public Geometry {
public:
    // Switches of the load: 36 loads kDefaultLevelPath in place of the description, 58 loads the
    // description without its meshes.
    static constexpr std::uint32_t kDefaultLevelSwitch = 36;
    static constexpr std::uint32_t kSkipMeshSwitch = 58;
    static constexpr const char* kDefaultLevelPath =
        "../resources/media/shaders/cart/Scenes/jiaoxue/jiaoxue_gfx.xml";

    StaticGeometry(CResourceManager* manager, std::string_view name, std::string_view group,
                   std::uint32_t handle);
    // Unloads, then the geometry's destructor.
    ~StaticGeometry() override;
    ZEL_CLASS_ID(StaticGeometry)

    // Geometry's size + 16 per face (face data) + 12 per vertex (positions) + 12 per face
    // (triangles) + 4 per face (face words), each when present, + 20 per range + 76 per
    // occluder + 88 per visible-run record and 8 per run it holds.
    std::uint32_t CalculateSize() override;
    // Parses the level description (".xml" names only) and reads its mesh file; the material file
    // joins the material files. False, reported ("StaticGeometry 资源文件格式错误！%s"), when the
    // description does not parse or the mesh file does not read; the geometry is then empty.
    bool LoadImpl() override;
    // Geometry's unload, then the triangle arrays, ranges, occluders and visible runs.
    void UnloadImpl() override;
    std::uint32_t GetKind() const override { return 3; }

    // Builds the geometry-wide arrays from the meshes (null entries skipped), in mesh order:
    // positions, triangles (each mesh's 32-bit index copy, moved by its first vertex), face data
    // (the mesh's face extra data, which is freed; faces without any get zeros) and zeroed face
    // words; records each mesh's range. MeshSerializer::LoadGeometry runs it after the meshes.
    void GatherTriangles();
    // The mesh holding global face number face: each range but the last covers [its first face,
    // the next range's first face), the last [its first face, first face + face count). -1 when
    // no range holds it.
    std::int32_t FindMeshOfTriangle(std::uint32_t face) const;
    // Range i, or a shared zero record when i is out of range.
    const TriangleRange& GetTriangleRange(std::uint32_t i) const;
    std::uint32_t GetTriangleRangeCount() const {
        return static_cast<std::uint32_t>(ranges_.size());
    }
    // Draw count 0 for mesh i (Geometry::SetMeshDrawCount).
    void HideMesh(std::uint32_t i) { SetMeshDrawCount(i, 0); }
    // Hides mesh i, then refills its index buffer from its visible runs when it has any.
    void RebuildVisibleIndices(std::uint32_t i) { RebuildVisibleIndices(visibleRuns_, i); }
    // The same from a table of runs per mesh (a viewer's runs, gathered by the level).
    void RebuildVisibleIndices(const std::vector<std::vector<const IndexRun*>>& runs,
                               std::uint32_t i);

    // The face and vertex totals over all meshes (set by the level mesh reader).
    void SetTotals(std::uint32_t faces, std::uint32_t vertices) {
        faceTotal_ = faces;
        vertexTotal_ = vertices;
    }
    // The shadow setting the level's index buffers are made with.
    bool UsesIndexShadow() const { return settingFlags_[1]; }

    const std::vector<float>& GetPositions() const { return positions_; }          // 3 per vertex
    const std::vector<float>& GetFaceData() const { return faceData_; }            // 4 per face
    const std::vector<std::uint32_t>& GetTriangles() const { return triangles_; }  // 3 per face
    const std::vector<std::uint32_t>& GetFaceWords() const { return faceWords_; }
    std::vector<LevelOccluder>& GetOccluders() { return occluders_; }
    // The models placed in the level, in file order; the level makes one model per record.
    std::vector<LevelPart>& GetParts() { return parts_; }
    // Per mesh, the runs of indices it draws (not owned); filled by the level.
    std::vector<std::vector<const IndexRun*>>& GetVisibleRuns() { return visibleRuns_; }

private:
    std::vector<float> positions_;
    std::vector<float> faceData_;
    std::vector<std::uint32_t> triangles_;
    std::vector<std::uint32_t> faceWords_;
    std::vector<TriangleRange> ranges_;
    std::vector<LevelOccluder> occluders_;
    std::vector<LevelPart> parts_;
    std::vector<std::vector<const IndexRun*>> visibleRuns_;
};

}  // namespace Zel
