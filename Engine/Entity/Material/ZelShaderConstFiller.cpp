#include "Entity/Material/ZelShaderConstFiller.h"

#include <cstring>

#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Texture/AnimationBlendTexture.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Scene/Light.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Material/RenderState.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Material/ShaderParamTable.h"
#include "Entity/Material/TexCoordWaves.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderOperation.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Entity/Material/TextureStage.h"
#include "Math/MathUtil.h"

namespace Zel {

namespace {

// Parameter numbers of the program's tables.
enum MatrixParam : std::uint32_t {
    MP_WORLD = 0,
    MP_VIEW = 1,
    MP_VIEW_PROJECTION = 3,
    MP_TEXTURE_FIRST = 11,  // slot s uses 11 + s, slots 0..10
    MP_ENV_CUBIC = 16,
    MP_LIGHT_PROJECTION = 22,
};
enum FloatParam : std::uint32_t { FP_TRANSPARENCY_TUNE = 9, FP_ALPHA_RATIO = 10 };
enum VectorParam : std::uint32_t {
    VP_LIGHT_AMBIENT = 0,
    VP_LIGHT_DIFFUSE = 1,
    VP_LIGHT_SPECULAR = 2,
    VP_LIGHT_SPECULAR_PARAM = 3,
    VP_LIGHT_POSITION = 5,
    VP_CAMERA_POSITION = 9,
    VP_MATERIAL_AMBIENT = 11,
    VP_CONST_COLOUR_FIRST = 15,
    VP_VERTEX_COLOUR_MODULATE = 23,
    VP_EDITOR_COLOUR = 24,
};
constexpr std::uint32_t kLightProjectionTexture = 11;
constexpr std::uint32_t kLastTexMatSlot = 10;
constexpr std::uint32_t kBlendPartnerSlot = 1;
constexpr std::uint32_t kConstColourCount = 8;

std::int32_t Switch(std::uint32_t index) {
    GlobalConfigManager* config = Globals::Find(&Globals::GetConfigManager);
    return config ? config->GetValue(index) : 0;
}

void SetVector(GpuProgram& program, std::uint32_t index, const float* v) {
    program.SetVector(index, v, 4 * sizeof(float));
}

}  // namespace

void ZelShaderConstFiller::Fill(RenderOperation& op, GpuProgram& program) {
    if (Switch(kFillSwitch) == 0)
        return;
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* renderSystem = scene ? scene->GetRenderSystem() : nullptr;
    program.SetMatrix(MP_WORLD, op.worldMatrix, 0);
    program.SetMatrix(MP_VIEW_PROJECTION,
                      scene ? scene->GetViewProjectionMatrix() : kIdentityMatrix, 0);
    const float t = scene ? scene->GetTimeValue() : 0.0f;
    if (op.renderState) {
        for (std::uint32_t s = 0; s < TextureStage::kSlotCount; ++s) {
            TextureStage& stage = op.renderState->stages[s];
            if (stage.HasTexCoordMods() && stage.stageSlot <= kLastTexMatSlot) {
                float m[16];
                BuildTexCoordMatrix(stage, m, t);
                program.SetMatrix(MP_TEXTURE_FIRST + stage.stageSlot, m, s);
            }
            UpdateGeneratedColor(stage, t);
        }
        BindStageTextures(renderSystem ? renderSystem->GetRenderDevice() : nullptr, *op.renderState,
                          program, op.pass, op.mipLodBias);
    }
    program.SetMatrix(MP_VIEW, op.viewMatrix, 0);
    program.ApplyLightParam(renderSystem ? renderSystem->GetPipelineSlot() : 0, op.light);
    if (const Light* light = op.light) {
        if (light->GetKind() == 0) {
            const float* d = light->GetDirection();
            const float direction[4] = {-d[0], -d[1], -d[2], 0.0f};
            if (!program.SetVector(VP_LIGHT_POSITION, direction, sizeof direction))
                LogTyped(LOG_ENGINE_INIT, "Set LightDir To GPU Failed! dir Value=%f, %f, %f, %f",
                         direction[0], direction[1], direction[2], direction[3]);
        } else {
            const float* p = light->GetWorldPosition();
            const float position[4] = {p[0], p[1], p[2], 1.0f};
            SetVector(program, VP_LIGHT_POSITION, position);
        }
        SetVector(program, VP_LIGHT_DIFFUSE, light->GetDiffuse());
        const float* specular = light->GetSpecular();
        if (!program.SetVector(VP_LIGHT_SPECULAR, specular, 4 * sizeof(float)))
            LogTyped(LOG_ENGINE_INIT, "Set Specular Failed! Specular Value=%f, %f, %f, %f",
                     specular[0], specular[1], specular[2], specular[3]);
        if (light->IsProjecting()) {
            float projection[16];
            light->ComputeProjectionMatrix(projection);
            program.SetMatrix(MP_LIGHT_PROJECTION, projection, 0);
            program.SetTexture(kLightProjectionTexture, light->GetProjectedTexture());
        }
    }
    if (op.pass) {
        const float specularParam[4] = {op.pass->shininess, op.pass->gloss, 0.0f, 0.0f};
        SetVector(program, VP_LIGHT_SPECULAR_PARAM, specularParam);
    }
    // Only the first lighting pass of a renderable adds the ambient light.
    static const float kNoAmbient[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    static const float kFirstPassBase[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const float kAddedPassBase[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const bool firstPass = op.accumulation == 0;
    if (RenderDevice* device = renderSystem ? renderSystem->GetRenderDevice() : nullptr)
        device->ApplyAmbient(firstPass ? kFirstPassBase : kAddedPassBase, op.ambientLookup, t);
    SetVector(program, VP_LIGHT_AMBIENT,
              firstPass && renderSystem ? renderSystem->GetAmbientColor() : kNoAmbient);
    if (scene) {
        const float* c = scene->GetCameraPosition();
        const float camera[4] = {c[0], c[1], c[2], 0.0f};
        SetVector(program, VP_CAMERA_POSITION, camera);
    }
    if (op.pass) {
        const float* colours[4] = {op.pass->ambient, op.pass->diffuse, op.pass->specular,
                                   op.pass->illumination};
        for (std::uint32_t i = 0; i < 4; ++i)
            SetVector(program, VP_MATERIAL_AMBIENT + i, colours[i]);
    }
    SetVector(program, VP_VERTEX_COLOUR_MODULATE, op.vertexColourModulate);
    // Set before the overrides, so a table without it does not keep the previous draw's value.
    program.SetFloat(FP_TRANSPARENCY_TUNE, 1.0f);
    if (op.parameters)
        ApplyParameters(*op.parameters, program);
    if (op.pass && op.pass->GetOwner())
        SetVector(program, VP_EDITOR_COLOUR, op.pass->GetOwner()->editorColourFactor);
}

void ZelShaderConstFiller::BindStageTextures(RenderDevice* device, const RenderState& state,
                                             GpuProgram& program, const Pass* pass,
                                             float mipLodBias) {
    auto* d3d9 = dynamic_cast<RenderDeviceD3D9*>(device);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    std::uint32_t unit = 0;
    for (const TextureStage& stage : state.stages) {
        TextureBase* texture = stage.GetTexture();
        if (!texture)
            continue;
        if (stage.stageSlot == TextureStage::kCubeSlot && device &&
            device->GetFixedFunctionMode() == 0 && scene) {
            // The reflection vector is in camera space: turn it back by the view's rotation.
            const float* view = scene->GetViewMatrix();
            float m[16];
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j)
                    m[i * 4 + j] = i == 3 || j == 3 ? 0.0f : view[j * 4 + i];
            m[15] = 1.0f;
            program.SetMatrix(MP_ENV_CUBIC, m, unit);
        }
        program.SetSamplerParams(stage.stageSlot, stage, unit);
        if (unit < kConstColourCount && (stage.flags & (TSF_CONST_COLOUR | TSF_CONST_ALPHA))) {
            SetVector(program, VP_CONST_COLOUR_FIRST + unit, stage.constantColour);
            if (device)
                device->SetTextureFactor(stage.constantColour);
        }
        // An animated texture moves on to the frame of this scene time and is bound as that
        // frame, so the program checks and counts the frame it really samples.
        texture->Update();
        auto* blend = dynamic_cast<AnimationBlendTexture*>(texture);
        TextureBase* shown = texture->GetCurrentTexture();
        if (Switch(kDefaultTextureSwitch) == 1)
            if (TextureManager* textures = Globals::Find(&Globals::GetTextureManager))
                if (TextureBase* fallback = textures->GetDefaultTexture()) {
                    shown = fallback;
                    blend = nullptr;
                }
        program.SetTexture(stage.stageSlot, shown);
        if (d3d9) {
            DWORD bias;
            std::memcpy(&bias, &mipLodBias, sizeof bias);
            d3d9->GetStateCache().SetSamplerState(unit, D3DSAMP_MIPMAPLODBIAS, bias);
        }
        if (blend) {
            // The frame blended in after the current one is sampled as the detail texture.
            program.SetSamplerParams(kBlendPartnerSlot, stage, unit);
            if (TextureBase* partner = blend->GetNextTexture())
                program.SetTexture(kBlendPartnerSlot, partner);
            program.SetFloat(FP_ALPHA_RATIO, blend->GetBlendFactor());
        }
        ++unit;
    }
    if (unit == 0 && device && pass)
        device->SetTextureFactor(pass->ambient);
}

void ZelShaderConstFiller::ApplyParameters(const ShaderParamTable& table, GpuProgram& program) {
    for (const auto& [name, value] : table.GetFloats()) program.SetFloatByName(name.c_str(), value);
    for (const auto& [name, entry] : table.GetVectors())
        if (entry.count != 0)
            program.SetValueByName(name.c_str(), entry.values, 4 * entry.count);
}

}  // namespace Zel
