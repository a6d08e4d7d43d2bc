// One render pass of a material: its colours, shininess and gloss, the render state with its
// twelve texture stages, the vertex components it needs and how it is drawn. Owned by its
// material (the owner is a back-reference, not owned). Used by the thread that loads or draws the
// material.
#pragma once

#include <cstdint>
#include <vector>

#include "Core/Object.h"
#include "Entity/Material/RenderState.h"

namespace Zel {

class Material;
class TextureBase;

// Bits of Pass::passFlags.
enum PassFlag : std::uint32_t {
    PF_AMBIENT_VERTEX_MODULATE = 0x1,  // lit materials: ambient times the vertex-colour modulation
    PF_DEPTH_ONLY = 0x2,               // depth-only pre-pass
    PF_DEPTH_SORTED = 0x4,             // "ZSORT"
    PF_FINAL_PASS = 0x8,               // "FinalPass"
};

// Skinning types of a pass.
enum SkinningType : std::uint32_t { SKIN_SOFTWARE = 0, SKIN_HARDWARE = 1, SKIN_NONE = 2 };

// One record of Pass::ExportTextureStages: what the shader generator keys on.
struct StageExport {
    std::uint32_t envMode;
    std::uint32_t stageSlot;
    std::uint32_t texCoordGen;
    std::uint32_t hasTexCoordMods;  // 1 or 0
};

class Pass : public Object {
public:
    // owner: the material that creates the pass (not owned). index: the pass index, which is
    // also the effect pass begun to draw it.
    Pass(Material* owner, std::uint32_t index);
    ~Pass() override;
    ZEL_CLASS_ID(Pass)

    Material* GetOwner() const { return owner_; }

    // The texture of stage i (null when it has none or i is not below 12).
    TextureBase* GetStageTexture(std::uint32_t i) const;
    // How many of the twelve stages hold a texture.
    std::uint32_t GetTextureCount() const;
    // The first call only: asks the texture manager to resolve each stage in order (which loads
    // the named texture of a pending stage).
    void LoadTextures();
    // The vertex flags for the current drawing path: on the fixed-function path
    // (SceneManager::IsDX7Mode) without binormal, tangent, blend weights, blend indices and the
    // float colours (bits 2-3, 12-15); on the shader path without the packed colours (bits 16-17).
    std::uint32_t GetVertexFlags() const;
    // The owner's technique code turned into its blended (state flag bit 4 set) or unblended
    // counterpart. Codes come in pairs (0,2) (1,3) (4,6) (5,7) ... (17,19); codes outside 0..19
    // stay as they are.
    std::uint32_t GetOutputFormat() const;
    // Appends one record per stage holding a texture, in stage order.
    void ExportTextureStages(std::vector<StageExport>& records) const;
    // Copies colours (not the fifth), shininess, render state, textures-loaded byte, vertex
    // flags, pass index, skinning type, vertex program kind, position mode, influence count and
    // pass flags. Gloss, sort key, fifth colour and library flag stay the target's.
    void CopyTo(Pass& target) const;

    // Stores the ambient colour (the first of the pass colours).
    void SetAmbientColour(float r, float g, float b, float a);

    float ambient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float illumination[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    float fifthColour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float shininess = 64.0f;
    float gloss = 1.0f;
    RenderState renderState;
    std::int32_t sortKey = 100;
    std::uint32_t passIndex;
    std::uint8_t texturesLoaded = 0;
    std::uint8_t libraryFlag = 0;
    std::uint32_t skinningType = SKIN_NONE;
    std::uint32_t vertexFlags = 0;  // vertex semantic bits
    // 0-3 skinned with vertex, point-, sphere- or cube-light lighting; 4 none; 5 skinned unlit.
    std::uint32_t vertexProgramKind = 4;
    std::uint32_t influenceCount = 0;
    std::uint32_t positionMode = 0;  // 1: positions go to the rasteriser untransformed
    std::uint32_t passFlags = PF_FINAL_PASS;

private:
    Material* owner_;
};

}  // namespace Zel
