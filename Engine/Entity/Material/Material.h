// A material: the named resource every drawable refers to. It holds an ordered list of passes
// (owned), one GPU program (counted), the material-level colours and the words by which the
// effect and the render queue choose how to draw it. The material manager creates and owns
// materials; library readers fill them.
//
// Threads: no locks. A material is filled on the loading thread (the host, or the worker inside a
// task step) and read by the thread that draws.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Core/CResource.h"
#include "Core/RCInterfaceCarrier.h"
#include "Core/SharedPtr.h"
#include "Entity/Material/GpuProgram.h"

namespace ZelI {
class IShader;
}  // namespace ZelI

namespace Zel {

class Pass;
class TextureBase;

// Bits of Material::flags.
enum MaterialFlag : std::uint32_t {
    MF_FLOOR = 0x1,       // receives projected shadows; set when the name contains "floor"
    MF_SHADOW_MAP = 0x2,  // casts shadows
    MF_LIT = 0x4,         // drawn once per light; every pass needs normals
};

// The global texture settings in force while a material's textures load: the texture scale
// level, whether textures are compressed to DDS (switch 6) and the texture-load flag bit 1 (stage
// textures replaced by the default texture).
struct TextureLoadOptions {
    std::int32_t scaleLevel = 0;
    std::uint8_t compressToDds = 0;
    std::uint8_t defaultTextures = 0;

    // The current global settings.
    static TextureLoadOptions Capture();
    // Puts these settings in force.
    void Apply() const;
};

// The host holds a material through its IShader wrapper (which is also its IMaterial).
class Material : public CResource, public RCInterfaceCarrier<ZelI::IShader> {
public:
    static constexpr std::uint32_t kVariantCount = 7;
    static constexpr std::uint32_t kBaseMemorySize = 316;
    static constexpr std::uint32_t kPassMemorySize = 2624;

    // manager may be null (a material no manager holds). Variant entry 0 is the material itself.
    Material(CResourceManager* manager, std::string_view name, std::string_view group,
             std::uint32_t handle);
    // Frees passes, variants and the program reference. A count other than 1 is logged ("WARNING :
    // Incorrect Material RefCount[%d][%s]"); a clone never given back through Release is
    // reported ("Cloned Material is not Properly Released") and released once.
    ~Material() override;
    ZEL_CLASS_ID(Material)

    // The material's own name, as written in its library (the resource name the maps use is its
    // normalised form: CResource::GetName).
    const std::string& GetName() const { return name_; }
    void SetName(std::string_view name) { name_ = name; }

    // 316 bytes plus 2624 per pass.
    std::uint32_t GetSize() override;

    std::uint32_t GetPassCount() const { return std::uint32_t(passes_.size()); }
    // The pass at index; past the end logs "index==%u,GetPassCount():%u" and answers null.
    Pass* GetPass(std::uint32_t index) const;
    const std::vector<Pass*>& GetPasses() const { return passes_; }
    // A new pass of this material with the given pass index, appended to the list.
    Pass* CreatePass(std::uint32_t index);

    // Copies flags, program reference, the four colours, shininess, lighting mode, the three
    // setting words, technique code and clone counter into target (not gloss, name, variants,
    // texture load options or editor fields).
    void CopyPropertiesTo(Material& target) const;
    // A pass of the same index in target for every pass here, copied (Pass::CopyTo).
    void CopyPassesTo(Material& target) const;
    void CopyTo(Material& target) const;
    // The after-load step: "floor" in the name sets MF_FLOOR; with MF_LIT every pass's vertex
    // flags gain the normal; every pass takes the material's shininess and gloss.
    void UpdatePasses();
    void SetShininess(float value);
    void SetGloss(float value);
    void SetSpecularColor(float r, float g, float b, float a);
    // 0 makes the diffuse colour (1, 1, 1, 1); any other value is a packed ARGB colour, each
    // channel byte / 255. Passes keep theirs.
    void SetDiffuseColor(std::uint32_t argb);
    // On: (r, g, b, 1); off: (0, 0, 0, 0).
    void SetEditorColorFactor(bool enabled, float r, float g, float b);
    std::uint32_t GetPixelShaderProfile() const { return thirdSettingWord; }
    // 100 without passes, else the sort key of the first pass.
    std::int32_t GetSortKey() const;
    bool HasAlphaTestedPass() const;
    bool HasBlendedPass() const;
    // A program whose last load succeeded.
    bool IsProgramReady() const;
    // The name begins with "define_texture_mat" (any case).
    bool IsDefineTextureMaterial() const;
    // Every stage texture of every pass.
    void CollectTextures(std::set<TextureBase*>& textures) const;
    // Lighting mode 2 needs normals and vertex colours in pass 0: otherwise a message box.
    void CheckVertexColorLightBlend() const;
    // Takes the editor pass out of the list and destroys it; reports when it is not in the list.
    void RemoveEditorPass();

    GpuProgram* GetProgram() const { return program_.Get(); }
    // Holds the program (null drops it); holding the same one changes nothing.
    void SetProgram(GpuProgram* program) { program_.Assign(program); }
    // Asks the render system's shader compiler for this material's effect and holds the program
    // the GPU program manager loads for it, or the default program when there is no compiler, no
    // program or one that did not load. Answers whether the generated program is the one held.
    bool AssignGeneratedProgram();
    // Holds the program the GPU program manager loads under the effect name, or the default
    // program when there is no manager, no such program or one that did not load. Answers whether
    // the named program is the one held.
    bool AssignProgramByName(std::string_view effect);
    // AssignGeneratedProgram, logging "Material::GenerateGpuProgram Failed! Material uses default
    // effect." when it falls back.
    void GenerateGpuProgram();

    // The path the material reloads from (its library file); empty for a material of no library.
    void SetLibraryPath(const std::string& path) { SetLoadPath(path); }
    // Marks the material loaded with the given result, without a load of its own (readers fill
    // materials from outside LoadImpl).
    void MarkLoaded(bool ok);

    // ---- Life as a resource ----
    // Whether the manager alone gives the material back: a material that is not a clone and
    // still carries the resource's constructed flag (CResource::kConstructed, not MF_LIT).
    bool IsPinned() const;
    bool IsClone() const { return (GetFlags() & kAuxiliary) != 0; }
    // A user gives the material back: a material that is not pinned (a clone, or one already
    // released once) loses a reference and becomes pinned; then a material held by the manager
    // alone is unloaded.
    void Release();
    // A new material of the manager, registered under MakeCloneName with a copy of this
    // material's properties and passes, flagged as a clone and holding one reference for the
    // caller (given back through Release). Null without a material manager or when the name is
    // taken.
    virtual Material* Clone();
    // "<base>_$clone$_<clone counter>_<global clone serial>", base being the name up to an
    // earlier clone marker; both counters advance.
    std::string MakeCloneName();
    // Rebuilds this material from the "SHADER" element of the name in a "SHADERLIB" document
    // given as text, then gives it its generated program. False, changing nothing, when the text
    // has no "SHADERLIB" root (reported) or no such element.
    bool LoadFromXmlText(const char* text, const char* name);
    // This material takes source's definition (CopyTo: not gloss, name or variants): unloaded,
    // its passes and variants dropped, then filled, marked loaded, its passes updated and its
    // generated program assigned.
    void ReplaceDefinition(const Material& source);
    // Transparent variant kinds: 1 BlendTrans, 2 AddTrans, 3 BlendTransZ, 4 AddTransZ,
    // 5 BlendTransTwoSided, 6 AddTransTwoSided. The variant of the kind, made on first use and
    // owned by this material (no manager holds it); 0, and kinds 1 and 2 of a material whose
    // first pass already blends that way, answer the material itself. Null (logged) for a kind
    // past 6.
    Material* GetTransparentVariant(std::uint32_t kind);

    Material* GetVariant(std::uint32_t kind) const {
        return kind < kVariantCount ? variants_[kind] : nullptr;
    }
    const TextureLoadOptions& GetTextureLoadOptions() const { return textureLoadOptions_; }
    void SetTextureLoadOptions(const TextureLoadOptions& options) { textureLoadOptions_ = options; }
    // The file offset of the material's chunk in its binary library.
    std::uint32_t GetLibraryOffset() const { return GetResourceWord(); }
    void SetLibraryOffset(std::uint32_t offset) { SetResourceWord(offset); }
    Pass* GetEditorPass() const { return editorPass_; }
    // Appends a pass made by an editing tool and remembers it as the editor pass.
    void SetEditorPass(Pass* pass);

    // The three pipeline slot words under the names the render queue uses.
    std::uint32_t GetPerLightSlot() const { return firstSettingWord; }
    std::uint32_t GetUnlitSlot() const { return techniqueCode; }
    std::uint32_t GetLitSlot() const { return secondSettingWord; }

    std::uint32_t flags = 0;         // MaterialFlag
    std::uint32_t lightingMode = 1;  // 0 unlit, 1 lit, 2 vertex colour blended with lighting
    float ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float illumination[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float shininess = 64.0f;
    float gloss = 1.0f;
    std::uint32_t firstSettingWord = 4;
    std::uint32_t techniqueCode = 0;  // 0..19, the effect's technique
    std::uint32_t secondSettingWord = 12;
    std::uint32_t cloneCounter = 0;
    float editorColourFactor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    // The pixel-shader profile of the generated effect: major = value / 10, minor = value % 10.
    std::uint32_t thirdSettingWord = 20;

protected:
    // Reloads from the library file (the load path): an XML library ("MaterialLib" or
    // "SHADERLIB") or a binary one (".xm3", read at the library offset), with the material's own
    // texture load options in force; then every pass resolves its textures. A failure is
    // reported ("Reload Material失败: %s").
    bool LoadImpl() override;
    // Takes the editor pass out, destroys passes and variants, drops the program.
    void UnloadImpl() override;

private:
    void DestroyPassesAndVariants();
    // The reload by kind of library file; false when nothing of the name was read.
    bool ReloadFromXml();
    bool ReloadFromBinary();
    Material* MakeTransparentVariant(std::uint32_t kind);

    std::string name_;
    std::vector<Pass*> passes_;
    SharedPtr<GpuProgram> program_;
    std::array<Material*, kVariantCount> variants_{};
    TextureLoadOptions textureLoadOptions_;
    Pass* editorPass_ = nullptr;
};

}  // namespace Zel
