// Turns one material element of an XML material library into a filled Material: its name,
// flags, lighting mode, passes, render states and texture stages. Two dialects:
// - the legacy "SHADER" element (ParseLegacy_New, with ParseLegacy for each "PASS"), held by
//   libraries whose root is "SHADERLIB" (optionally with "ARB15_PIPELINE" below it);
// - the newer "Material" element (Parse) with "Pass" children made of "Lighting", "Color",
//   "RenderState", "Textures", "Vertexbuffer" and "Skinning" elements, held by "MaterialLib".
// Element and attribute names are matched case-sensitively; value words go through the name
// tables below, which compare whole words case-sensitively and map other words to a default.
// Numbers are read in the C locale whatever the process's locale.
//
// Given texture requests (the split road of library loading), the parse makes no texture and
// loads no program: it records what the stages ask for, and a later step makes it. Without them,
// textures are resolved as they are read when the global immediate-load bit is set.
//
// Keeps no state between calls. Runs on the loading thread (the host, or the worker inside a
// task step); one material at a time.
#pragma once

#include <cstdint>
#include <string>

#include "Core/TiXmlDocument.h"

namespace Zel {

class Material;
class Pass;
class RenderState;
struct LegacyStageAnimRecord;
struct MaterialTextureRequests;

class MaterialParser {
public:
    // Texture-type words of the legacy dialect.
    enum TextureType : std::uint32_t {
        TT_1D = 1,
        TT_2D = 2,
        TT_3D = 3,
        TT_ANIMATION = 5,
        TT_BLEND_ANIMATION = 6,
        TT_OTHER = 7,  // a render image
    };
    static constexpr std::uint32_t kNoUsage = 12;  // a usage word outside the table
    static constexpr std::uint32_t kTexEnvCount = 53;

    MaterialParser() = delete;

    // ---- Name tables (null reads as an unknown word) ----
    // "Fail"/"NEVER" 0 ... "Greater"/"GREATER" 7; other words 3.
    static std::uint32_t CompareWord(const char* word);
    // "One"/"1" 0, "Zero"/"0" 1 ... "InvDstColor"/"1-DstColor" 9; other words 1.
    static std::uint32_t BlendWord(const char* word);
    // "TEXTURE_1D" 1 ... "TEXTURE_BLEND_ANIMATION" 6; other words 7.
    static std::uint32_t TextureTypeWord(const char* word);
    // "Diffuse" 0 ... "LightMap" 10 (the stage slot); other words kNoUsage.
    static std::uint32_t UsageWord(const char* word);
    // "None" 0, "Bilinear" 1, "Trilinear" 2, "Anisotropic" 3; other words 0.
    static std::uint32_t FilterWord(const char* word);
    // "Mirror" 0, "Wrap" 1, "Clamp" 2, "Border" 3; other words 2.
    static std::uint32_t AddressWord(const char* word);
    // The texture environment mode 0..52 of a "TEXENV_..." word; other words 1.
    static std::uint32_t TexEnvWord(const char* word);
    // The word of a texture environment mode; null past the table.
    static const char* TexEnvName(std::uint32_t mode);
    // "vertex_lighting_skl.vp" 0 ... ";no_lighting_skl.vp" 5; other words 4.
    static std::uint32_t VertexProgramWord(const char* word);

    // ---- The legacy dialect ----
    // Fills the material from a "SHADER" element (unloading it first). False when the "NAME"
    // attribute or the "HWSHADER" child is missing (logged; the material keeps what was set).
    static bool ParseLegacy_New(const XmlNode* shader, Material& material,
                                MaterialTextureRequests* requests = nullptr);
    // The "STAGE" children of one "PASS" element. With requests, appends the pass's block.
    static void ParseLegacy(const XmlNode* passElement, Pass& pass,
                            MaterialTextureRequests* requests);
    // ParseLegacy_New, then (on success) UpdatePasses and the generated program; a program that
    // is missing or does not load is logged ("fn=%s[matname=%s].") and replaced by the default.
    static bool ParseLegacyAndGenerate(const XmlNode* shader, Material& material);

    // Pass attribute readers of the legacy dialect.
    static void ReadPassSortFlags(const XmlNode* passElement, Pass& pass);
    static void ReadPassUsage(const XmlNode* passElement, Pass& pass);
    static void ReadPassCullMode(const XmlNode* passElement, Pass& pass, bool forced);
    static void ReadFinalPass(const XmlNode* passElement, Pass& pass);
    static void ReadPassStateLines(const XmlNode* passElement, Pass& pass);

    // ---- The "Material" dialect ----
    // Fills the material from a "Material" element (unloading it first) and binds the program of
    // its effect path (the default program when it does not load; with requests the path is
    // recorded instead). False when "Name", "Effect" or the effect's "Path" is missing (logged).
    static bool Parse(const XmlNode* element, Material& material,
                      MaterialTextureRequests* requests = nullptr);
    static void ReadSkinning(const XmlNode* element, Pass& pass);
    static void ReadColors(const XmlNode* element, Pass& pass);
    static void ReadRenderState(const XmlNode* element, Pass& pass);
    static void ReadTextures(const XmlNode* element, Pass& pass, MaterialTextureRequests* requests);
    static void ReadLighting(const XmlNode* element, Pass& pass);
    static void ReadVertexLayout(const XmlNode* element, Pass& pass);

    // ---- Finding material elements ----
    // The element whose "SHADER" children a "SHADERLIB" library lists: its "ARB15_PIPELINE"
    // child when present, else the "SHADERLIB" element; null without "SHADERLIB".
    static const XmlNode* LegacyShaderList(const XmlNode* document);
    // The first child element of that name whose attribute equals name; null when none.
    static const XmlNode* FindNamedElement(const XmlNode* parent, const char* element,
                                           const char* attribute, const std::string& name);

    // Makes the animated texture a record asks for (kind 5 or 6) through the texture manager,
    // fills its frames and binds it to the record's stage, clearing its pending bit. Each frame is
    // the texture of its image (TextureManager::LoadNamedTexture: the default texture for a
    // missing image), or the default texture when the manager wants default textures. Kind 5
    // shows each frame for 1 / frequency seconds, a frequency of 0 giving frame time 0 (no
    // animation); kind 6 frames carry their blend times. Nothing without a stage or a texture
    // manager; the stage gets no texture without a device.
    static void BindAnimatedTexture(const LegacyStageAnimRecord& record);
};

}  // namespace Zel
