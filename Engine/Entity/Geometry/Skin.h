// The mesh of a skinned model: a Mesh whose every vertex carries up to four bone influences. The
// influences are kept twice: as one blend record per vertex in memory (software skinning and
// rebuilding) and as the BLENDWEIGHTS and BLENDINDICES components that go to the GPU. A skin
// addresses at most 60 skeleton bones through its palette; on the shader path BLENDINDICES holds
// palette slots (or, in palette mode, compact bone numbers). On the fixed-function path the skin
// is posed on the CPU (SkinVertices) straight into its locked vertex buffer, with per-slot bone
// batches prepared for four-wide code.
//
// Owned by its geometry. Built on the loading thread, posed and switched on the host thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Entity/Geometry/Mesh.h"

namespace Zel {

class BoneStateSet;
class GpuProgram;

// One vertex's influences: slots past the count hold 0.
struct SkinBlendRecord {
    std::int32_t count = 0;
    std::uint32_t bones[4] = {0, 0, 0, 0};  // skeleton bone indices
    float weights[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// The (vertex, influence) pairs of one palette slot, weighted, for the fixed-function path: four
// floats per element, the element count rounded up to a multiple of 4.
struct SkinBoneBatch {
    std::vector<float> positions;  // x w, y w, z w, w
    std::vector<float> normals;    // nx w, ny w, nz w, 0
    std::vector<float> work[2];
    float matrix[16] = {};
    std::uint32_t count = 0;
    std::uint32_t capacity = 0;
    std::vector<std::uint32_t> vertices;
};

class Skin : public Mesh {
public:
    static constexpr std::uint32_t kMaxPaletteBones = 60;
    static constexpr std::uint32_t kBlendRecordBytes = 36;
    static constexpr std::uint32_t kMaxInfluences = 4;
    // The global switch that lets skins be skinned at all ("是否计算蒙皮CPU+GPU", on by default).
    static constexpr std::uint32_t kSkinningSwitch = 74;
    // The GPU program parameter that takes the palette's bone matrices ("g_BoneMatrix").
    static constexpr std::uint32_t kBoneMatrixParameter = 23;

    // The skin's own vertex and index data; the vertex usage word is left as Mesh makes it (the
    // readers and skin merging set up the data themselves).
    Skin(Geometry* owner, std::string name);
    ~Skin() override;
    ZEL_CLASS_ID(Skin)

    // The Mesh size plus 36 bytes per blend record.
    std::uint32_t GetMemorySize() const override;
    // Palette, blend records, batches and palette mode go, then the Mesh data.
    void ReleaseRenderData() override;
    std::uint32_t GetMeshType() const override { return kSkinMeshType; }

    // Sets the own vertex data's usage word: 6 on the fixed-function path, else 5.
    void ApplyVertexUsage();
    // A skin fills no operation: asking for one only sets its vertex usage for the current
    // drawing path (ApplyVertexUsage); the operation is answered untouched.
    RenderOperation* GetRenderOperation(RenderOperation* operation) override {
        ApplyVertexUsage();
        return operation;
    }

    // Empties the palette, then appends every bone of the records' four slots (used or not) in
    // vertex order; a bone that finds the palette full is left out and logged, once per slot.
    void BuildPalette();
    // The slot holding the bone, or -1.
    std::int32_t FindPaletteIndex(std::uint32_t bone) const;
    // True when the bone is present or was appended; false when the palette is full.
    bool AddPaletteBone(std::uint32_t bone);
    // Adds BLENDWEIGHTS and BLENDINDICES (float4 each) from the blend records: the weights as they
    // stand and the palette slot of each bone (-1.0 for a bone outside the palette). Nothing when
    // either component exists already, or without vertex data or blend records.
    void CreateBlendComponents();
    // The fixed-function batches of every palette slot; nothing on the shader path.
    void BuildBoneBatches();
    // One ascending vertex list per render group: the vertices its entries' indices name.
    void BuildGroupVertexLists();

    // Poses the vertices of vertex list listIndex (the last list when past the end; one list of
    // every vertex when there are none) with the model's skin matrices and writes, per vertex v at
    // destination + v x stride, the fields of the fixed-function vertex layout of vertexFlags:
    // the position through finalMatrix, then the normal (NORMAL bit), the packed colour
    // (0x10000) and the first texture coordinates (TEXCOORD0), each at the offset the layout
    // gives it. A bone index at or beyond the model's bone-state count poses with the identity
    // (logged once per skin). Weights are not renormalised. Answers the vertices written.
    std::uint32_t SkinVertices(void* destination, const BoneStateSet& model,
                               std::uint32_t vertexFlags, std::uint32_t stride,
                               const float* finalMatrix, std::uint32_t listIndex);
    // The name the scene code uses for SkinVertices.
    std::uint32_t RemapBlendData(void* destination, const BoneStateSet& model,
                                 std::uint32_t vertexFlags, std::uint32_t stride,
                                 const float* finalMatrix, std::uint32_t listIndex) {
        return SkinVertices(destination, model, vertexFlags, stride, finalMatrix, listIndex);
    }

    // The fixed-function path's pass step: the vertex buffer of the pass's layout (built now when
    // new) is locked whole (discarding a dynamic one) and the vertices of list listIndex are
    // skinned straight into it with the identity as final matrix. False, writing nothing, while
    // the skinning switch is off, or when the buffer cannot be had or locked.
    bool SkinIntoVertexBuffer(const BoneStateSet& model, std::uint32_t vertexFlags,
                              std::uint32_t listIndex);

    // The posed positions through the clip matrix (Matrix4 layout) into the projected positions
    // and their screen box: the bind positions posed by SkinVertices (list 0), then divided by w.
    void ProjectToScreenBound(const float* matrix, const BoneStateSet& model);
    // The posed positions while PrepareForPass sorts the skin for a model, else the bind
    // positions (Mesh::ProjectPositions).
    void ProjectPositions(const float* matrix) override;

    // Before a pass draws the skin posed by a model (model: the drawing model's bone states;
    // program: the pass's GPU program, may be null; listIndex: the model's level of detail, which
    // selects the vertex list). Tangent frames as Mesh::PrepareForPass builds them; then, while
    // the skinning switch is on, on the fixed-function path the pass's vertex buffer is skinned
    // on the CPU (SkinIntoVertexBuffer), on the shader path the palette's bone matrices go to the
    // program's bone-matrix parameter (nothing in palette mode). A sort-requesting piece (world:
    // its 16-float world matrix) under a depth-sorted pass has its single triangle list sorted
    // back to front by the posed positions under the current camera. Host thread.
    void PrepareForPass(const BoneStateSet& model, GpuProgram* program, std::uint32_t listIndex,
                        bool sortRequested, const float* world, std::uint32_t passVertexFlags,
                        std::uint32_t passFlags);
    using Mesh::PrepareForPass;

    // The shader path's bone matrices: per palette slot, the skin matrix of the model's bone
    // state of the slot's bone (16 floats each, replacing out); a bone past the model's states
    // gives the identity, as in SkinVertices. Empty while palette mode is on or when the model has
    // no bone states. Answers the matrices given.
    std::uint32_t CollectPaletteMatrices(const BoneStateSet& model, std::vector<float>& out);

    // Converts BLENDINDICES between palette slots (false) and compact bone numbers (true); a slot
    // or number of -1 stays -1. Nothing when the mode is current or the component is absent;
    // otherwise the vertex data is marked dirty.
    void SetPaletteMode(bool mode);
    bool GetPaletteMode() const { return paletteMode_; }

    // Compact bone numbers 0-35 against skeleton bone indices 0-93; values outside every range
    // come back unchanged.
    static float ExpandBoneIndex(float compact);
    static float CompactBoneIndex(float bone);

    std::vector<SkinBlendRecord>& GetBlendRecords() { return blend_; }
    const std::vector<SkinBlendRecord>& GetBlendRecords() const { return blend_; }
    std::uint32_t GetPaletteCount() const { return paletteCount_; }
    const std::array<std::uint32_t, kMaxPaletteBones>& GetPalette() const { return palette_; }
    // The readers' palette: count (at most 60) and all 60 slots.
    void SetPalette(std::uint32_t count, const std::array<std::uint32_t, kMaxPaletteBones>& slots);
    const SkinBoneBatch& GetBoneBatch(std::uint32_t slot) const { return batches_[slot]; }
    const std::vector<std::vector<std::uint32_t>>& GetVertexLists() const { return vertexLists_; }

private:
    // True unless the skinning switch is off.
    static bool IsSkinningOn();
    // The skin matrix of the model's bone state of the bone; the identity, logged once per skin,
    // for a bone past the model's states.
    const float* SkinMatrixOf(const BoneStateSet& model, std::uint32_t bone);
    // The slot of the bone, appending it while there is room; -1 when there is none.
    std::int32_t SlotForBone(std::uint32_t bone);

    std::vector<SkinBlendRecord> blend_;
    std::uint32_t paletteCount_ = 0;
    std::array<std::uint32_t, kMaxPaletteBones> palette_{};
    std::array<SkinBoneBatch, kMaxPaletteBones> batches_;
    bool paletteMode_ = false;
    std::vector<std::vector<std::uint32_t>> vertexLists_;
    bool loggedBoneRange_ = false;
    // The model whose pose a sort during PrepareForPass projects; null outside it.
    const BoneStateSet* sortingModel_ = nullptr;
    // The bone matrices of the last shader-path pass, kept so a steady frame allocates nothing.
    std::vector<float> paletteMatrices_;
};

}  // namespace Zel
