#include "Entity/Material/GeneratedShadowEffects.h"

#include <cstdio>
#include <string>
#include <strings.h>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Material/EffectIncludeText.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Platform/Win32/Win32Files.h"

namespace Zel {

namespace {

constexpr std::uint32_t kKindCount = 3;

struct ShadowKind {
    const char* name;
    const char* path;
    const char* loadMessage;
    std::initializer_list<const char*> blocks;
};

const char* const kCasterGlobals =
    "float4x4 g_MatWorld;\n"
    "float4x4 g_MatView;\n"
    "float4x4 g_MatProjection;\n"
    "float4x4 g_MatViewProjection;\n"
    "float4 g_ShadowColor={0.5, 0.5, 0.5, 0.5};\n";

const char* const kCasterOutputs =
    "struct VSOut\n{\n\tfloat4 P : POSITION;\n\tfloat4 C0 : COLOR0;\n};\n\n"
    "struct PSIn\n{\n\tfloat4 C0 : COLOR0;\n};\n\n"
    "struct PSOut\n{\n\tfloat4 Color : COLOR0;\n};\n\n";

const char* const kCasterTechniques =
    "technique Ambient\n{\n\tpass P0\n\t{\n"
    "\t\tVertexShader = compile vs_1_1 VS();\n"
    "\t\tPixelShader = compile ps_1_1 PS();\n"
    "\t}\n}\n\n"
    "technique Ambient_DX7\n{\n\tpass P0\n\t{\n"
    "\t\tTexture[0] = 0;\n"
    "\t\tColorOp[0] = SelectArg1;\n"
    "\t\tAlphaOp[0] = SelectArg1;\n"
    "\t\tColorArg1[0] = TFACTOR;\n"
    "\t\tAlphaArg1[0] = TFACTOR;\n"
    "\t}\n}\n";

const ShadowKind kKinds[kKindCount] = {
    {"StaticShadowCast_AutoGen",
     "../Data/Effects/Legacy5/StaticShadowCast_AutoGen.fx",
     "GetGlobals()->GetGpuProgramManager()->Load;effectPath=%s",
     {kCasterGlobals, "\nstruct VSIn\n{\n\tfloat3 P : POSITION;\n};\n\n", kCasterOutputs,
      "VSOut VS(VSIn vsin)\n{\n\tVSOut vsout;\n"
      "\tfloat4 localPos = float4(vsin.P, 1.0f);\n"
      "\tfloat4 pos = mul(localPos, g_MatWorld);\n"
      "\tpos = mul(pos, g_MatViewProjection);\n"
      "\tvsout.P = pos;\n"
      "\tvsout.C0 = g_ShadowColor;\n"
      "\treturn vsout;\n}\n\n",
      "PSOut PS( PSIn psin)\n{\n\tPSOut psout;\n\tpsout.Color = psin.C0;\n\treturn psout;\n}\n\n",
      kCasterTechniques}},
    {"SkeletalShadowCast_AutoGen",
     "../Data/Effects/Legacy5/SkeletalShadowCast_AutoGen.fx",
     "GetGlobals()->GetGpuProgramManager()->Load;effectPath=%s",
     {"#define MAX_BONE 60\n", kCasterGlobals,
      "float4x3 g_BoneMatrix[MAX_BONE];\nfloat4x4 g_MatLightProjection;\n\n"
      "struct VSIn\n{\n\tfloat3 P : POSITION;\n\tfloat4 Weights : BLENDWEIGHT;\n"
      "\tfloat4 Indices : BLENDINDICES;\n};\n\n",
      kCasterOutputs,
      "VSOut VS(VSIn vsin)\n{\n\tVSOut vsout;\n"
      "\tfloat4 localP = float4(vsin.P, 1.0);\n"
      "\tfloat3 skinP = mul(localP, g_BoneMatrix[vsin.Indices.x]) * vsin.Weights.x;\n"
      "\tskinP += mul(localP, g_BoneMatrix[vsin.Indices.y]) * vsin.Weights.y;\n"
      "\tskinP += mul(localP, g_BoneMatrix[vsin.Indices.z]) * vsin.Weights.z;\n"
      "\tskinP += mul(localP, g_BoneMatrix[vsin.Indices.w]) * vsin.Weights.w;\n"
      "\tfloat4 worldP = mul(float4(skinP, 1.0f), g_MatWorld);\n"
      "\tvsout.P = mul(worldP, g_MatViewProjection);\n"
      "\tvsout.C0 = g_ShadowColor;\n"
      "\treturn vsout;\n}\n\n",
      "PSOut PS( PSIn psin)\n{\n\tPSOut psout;\n\tpsout.Color = g_ShadowColor;\n"
      "\treturn psout;\n}\n\n",
      kCasterTechniques}},
    {"ProjectiveShadowReceiver_AutoGen",
     "../Data/Effects/Legacy5/ProjectiveShadowReceiver_AutoGen.fx",
     ";GetGlobals()->GetGpuProgramManager()->Load effectPath=%s",
     {"#include \"../include/SamplerState.fx\"\n"
      "float4x4 g_MatWorld;\n"
      "float4x4 g_MatView;\n"
      "float4x4 g_MatProjection;\n"
      "float4x4 g_MatViewProjection;\n"
      "float4x4 g_TexMatLightMap;\n"
      "texture g_texDiffuse;\n"
      "SamplerStateStruct g_DiffuseSamplerState;\n"
      "sampler2D g_DiffuseSampler = sampler_state\n{\n"
      "\tTexture = <g_texDiffuse>;\n"
      "\tMinFilter = Linear;\n"
      "\tMagFilter = Linear;\n"
      "\tMipFilter = Point;\n"
      "\tAddressU = Border;\n"
      "\tAddressV = Border;\n"
      "\tAddressW = Border;\n"
      "\tBorderColor = 0xffffffff;\n"
      "};\n\n"
      "struct VSIn\n{\n\tfloat3 P : POSITION;\n};\n\n"
      "struct VSOut\n{\n\tfloat4 P : POSITION;\n\tfloat4 UV0 : TEXCOORD0;\n};\n\n"
      "struct PSIn\n{\n\tfloat4 UV0 : TEXCOORD0;\n};\n\n"
      "struct PSOut\n{\n\tfloat4 Color : COLOR0;\n};\n\n",
      "VSOut VS(VSIn vsin)\n{\n\tVSOut vsout;\n"
      "\tfloat4 pos = mul(float4(vsin.P, 1.0f), g_MatWorld);\n"
      "\tfloat4 uv = pos;\n"
      "\tpos = mul(pos, g_MatViewProjection);\n"
      "\tvsout.P = pos;\n"
      "\tuv = mul(uv, g_TexMatLightMap);\n"
      "\tvsout.UV0 = uv;\n"
      "\treturn vsout;\n}\n\n",
      "PSOut PS( PSIn psIn)\n{\n\tPSOut psout;\n"
      "\tfloat4 uv = psIn.UV0/psIn.UV0.w;\n"
      "\tuv.x = uv.x*0.5+0.5;\n"
      "\tuv.y = 1-(uv.y*0.5+0.5);\n"
      "\tpsout.Color = tex2D(g_DiffuseSampler, uv);\n"
      "\treturn psout;\n}\n\n",
      "technique Ambient\n{\n\tpass P0\n\t{\n"
      "\t\tVertexShader = compile vs_2_0 VS();\n"
      "\t\tPixelShader = compile ps_2_0 PS();\n"
      "\t}\n}\n\n"
      "technique Ambient_DX7\n{\n\tpass P0\n\t{\n"
      "\t\tTexCoordIndex[0] = CAMERASPACEPOSITION;\n"
      "\t\tTEXTURETRANSFORMFLAGS[0] = COUNT4|PROJECTED;\n"
      "\t\tTexture[0] = <g_texDiffuse>;\n"
      "\t\tColorOp[0] = SelectArg1;\n"
      "\t\tAlphaOp[0] = SelectArg1;\n"
      "\t\tColorArg1[0] = TEXTURE;\n"
      "\t\tAlphaArg1[0] = TEXTURE;\n"
      "\t}\n}\n"}},
};

Material* gSlots[kKindCount] = {};
// The material each kind made and registered, kept after its slot is cleared so that the next
// request generates into it again rather than meeting its own name as taken.
Material* gMade[kKindCount] = {};

// The manager tells its removal listeners before a material leaves it (removed, or the manager
// shutting down): pointers to that material are dropped so none points at a freed one.
void ForgetRemoved(const char* name, DWORD) {
    for (Material** list : {gSlots, gMade})
        for (std::uint32_t kind = 0; kind < kKindCount; ++kind) {
            Material*& m = list[kind];
            if (m && name && strcasecmp(static_cast<CResource*>(m)->GetName().c_str(), name) == 0)
                m = nullptr;
        }
}

void SetUpMaterial(std::uint32_t kind, Material& material) {
    material.flags &= ~(MF_FLOOR | MF_SHADOW_MAP | MF_LIT);
    if (kind != GSK_STATIC_CAST)
        material.flags |= MF_FLOOR;
    material.lightingMode = 0;
    material.firstSettingWord = 4;
    material.techniqueCode = 0;
    material.secondSettingWord = 12;
    Pass& pass = *material.CreatePass(0);
    pass.vertexFlags = kind == GSK_SKELETAL_CAST ? 0xC001 : 0x1;
    pass.vertexProgramKind = 4;
    pass.influenceCount = 0;
    RenderState& state = pass.renderState;
    state.cullMode = kind == GSK_PROJECTIVE_RECEIVER ? 0 : 1;
    state.flags &= ~(RSF_DEPTH_TEST | RSF_DEPTH_WRITE | RSF_ALPHA_TEST | RSF_ALPHA_BLEND);
    state.colourWriteMask = 15;
    if (kind == GSK_PROJECTIVE_RECEIVER) {
        // Multiplies the frame by the projected shadow texture, depth-tested, not written.
        state.flags |= RSF_DEPTH_TEST | RSF_ALPHA_BLEND;
        state.depthFunc = 3;
        state.srcBlend = 1;
        state.destBlend = 2;
        TextureStage& stage = state.stages[0];
        stage.addressU = stage.addressV = stage.addressW = 3;
        for (float& c : stage.colourParam) c = 1.0f;
        stage.filter = 2;
    }
}

bool WriteEffectFile(const ShadowKind& kind) {
    FILE* file = fopen_resolved(kind.path, "w");
    if (file == nullptr)
        return false;
    for (const char* block : kind.blocks) {
        std::fputs(block, file);
        std::fflush(file);
    }
    std::fclose(file);
    return true;
}

Material* Generate(std::uint32_t kind) {
    if (gSlots[kind])
        return gSlots[kind];
    const ShadowKind& shadow = kKinds[kind];
    LogTyped(LOG_ENGINE_INIT, "GenerateStaticShadowCast ");
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    if (!materials)
        return nullptr;
    Material* made = gMade[kind];
    const bool again = made && materials->FindMaterial(shadow.name, false) == made;
    Material* material = again ? made : materials->CreateMaterial(shadow.name);
    if (!material) {
        LogTyped(LOG_ENGINE_INIT, "GenerateStaticShadowCast: material %s exists already",
                 shadow.name);
        return nullptr;
    }
    if (!again)
        SetUpMaterial(kind, *material);
    LogTyped(LOG_ENGINE_INIT, "GenerateStaticShadowCast effectPath=%s", shadow.path);
    if (!WriteEffectFile(shadow)) {
        if (!again)
            delete material;  // never entered into the manager
        return nullptr;
    }
    if (kind == GSK_PROJECTIVE_RECEIVER) {
        // The receiver includes the sampler-state file.
        CreateDirectoryA("../include", nullptr);
        WriteEffectIncludeFiles("../include/");
    }
    LogTyped(LOG_ENGINE_INIT, shadow.loadMessage, shadow.path);
    GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager);
    GpuProgram* program = programs ? programs->LoadProgram(shadow.path) : nullptr;
    if (!program || !program->IsLoadSucceeded())
        program = programs ? programs->GetDefaultProgram() : nullptr;
    material->SetProgram(program);
    if (!again) {
        materials->Add(material);
        materials->AddRemoveListener(&ForgetRemoved);
        gMade[kind] = material;
    }
    gSlots[kind] = material;
    return material;
}

}  // namespace

Material* GenerateStaticShadowCastEffect() {
    return Generate(GSK_STATIC_CAST);
}

Material* GenerateSkeletalShadowCastEffect() {
    return Generate(GSK_SKELETAL_CAST);
}

Material* GenerateProjectiveShadowReceiverEffect() {
    return Generate(GSK_PROJECTIVE_RECEIVER);
}

Material* GetGeneratedShadowEffect(std::uint32_t kind) {
    return kind < kKindCount ? Generate(kind) : nullptr;
}

void ClearGeneratedShadowEffect(std::uint32_t kind) {
    if (kind < kKindCount)
        gSlots[kind] = nullptr;
}

}  // namespace Zel
