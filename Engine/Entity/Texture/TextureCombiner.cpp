#include "Entity/Texture/TextureCombiner.h"

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/HeldMaterial.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Texture/TextureBase.h"
#include "Render/RenderCodes.h"
#include "Render/RenderDevice.h"
#include "Math/MathUtil.h"

namespace Zel {

namespace {

HeldMaterial g_combiner;

// The quad's vertices: position, packed colour, one texture coordinate.
struct QuadVertex {
    float x, y, z;
    std::uint32_t colour;
    float u, v;
};
constexpr std::uint32_t kQuadFormat = VF_POSITION | VF_DIFFUSE | VF_TEXCOORD0;
constexpr std::uint16_t kQuadIndices[6] = {0, 2, 1, 0, 3, 2};

bool Refuse(const char* reason) {
    LogTyped(LOG_ENGINE_INIT, "Texture combine refused: %s", reason);
    return false;
}

const char* CheckRequest(Material* material, RenderTarget* target, TextureBase* const* layers,
                         std::uint32_t count) {
    if (!material || material->GetPassCount() == 0)
        return "no combiner material";
    if (!material->IsProgramReady())
        return "the combiner material has no program";
    if (!target || target->IsDepthStencil() || !target->GetD3DSurface() ||
        !target->GetRenderDevice())
        return "no colour target";
    if (target->IsBound())
        return "the target is bound";
    if (count == 0 || !layers)
        return "no layer";
    for (std::uint32_t i = 0; i < count; ++i)
        if (!layers[i])
            return "a layer is null";
    return nullptr;
}

void ApplyPassState(RenderDevice& device, const RenderState& state) {
    device.SetCullMode(state.cullMode);
    device.SetZEnable((state.flags & RSF_DEPTH_TEST) != 0);
    device.SetZWriteEnable((state.flags & RSF_DEPTH_WRITE) != 0);
    device.SetAlphaTestEnable((state.flags & RSF_ALPHA_TEST) != 0);
    device.SetAlphaBlendEnable((state.flags & RSF_ALPHA_BLEND) != 0);
    device.SetSeparateAlphaBlend(false);
    device.SetSrcBlend(state.srcBlend);
    device.SetDestBlend(state.destBlend);
    const std::uint32_t mask = state.colourWriteMask;
    device.SetColorWriteMask(mask & 1, mask & 2, mask & 4, mask & 8);
}

// One quad over the whole target, half a pixel up and left so that texel centres fall on pixel
// centres (which sit at integer coordinates).
void DrawQuad(RenderDevice& device, const Pass& pass, GpuProgram& program, int width, int height) {
    const float dx = 1.0f / float(width), dy = 1.0f / float(height);
    const float left = -1.0f - dx, right = 1.0f - dx, bottom = -1.0f + dy, top = 1.0f + dy;
    const QuadVertex quad[4] = {{left, bottom, 1.0f, 0xFFFFFFFFu, 0.0f, 1.0f},
                                {right, bottom, 1.0f, 0xFFFFFFFFu, 1.0f, 1.0f},
                                {right, top, 1.0f, 0xFFFFFFFFu, 1.0f, 0.0f},
                                {left, top, 1.0f, 0xFFFFFFFFu, 0.0f, 0.0f}};
    device.SetFVF(device.FvfFromVertexFormat(kQuadFormat));
    const std::uint32_t passes = program.Begin();
    if (passes == 0)
        return;
    if (program.BeginPass(pass.passIndex < passes ? pass.passIndex : 0)) {
        device.DrawIndexedPrimitiveUP(PT_TRIANGLE_LIST, 0, 4, 2, kQuadIndices, IS_16BIT, quad,
                                      sizeof(QuadVertex));
        program.EndPass();
    }
    program.End();
}

}  // namespace

bool TextureCombiner::Init() {
    if (g_combiner)
        return true;
    MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager);
    Material* quad = materials ? materials->FindMaterial("DrawQuad", false) : nullptr;
    Material* clone = quad ? quad->Clone() : nullptr;
    if (!clone) {
        LogTyped(LOG_ENGINE_INIT,
                 "Failed to initialize texture combiner, can not find the required material");
        return false;
    }
    g_combiner.AdoptClone(clone);
    return true;
}

Material* TextureCombiner::GetMaterial() {
    return g_combiner.Get();
}

bool TextureCombiner::Combine(RenderTarget* target, TextureBase* const* layers,
                              std::uint32_t count) {
    Material* material = g_combiner.Get();
    if (const char* reason = CheckRequest(material, target, layers, count))
        return Refuse(reason);
    RenderDevice& device = *target->GetRenderDevice();
    target->Bind(0);
    if (device.GetRenderTarget(0) != target) {
        target->Unbind();
        return Refuse("the target cannot be bound");
    }

    Pass& pass = *material->GetPass(0);
    RenderState& state = pass.renderState;
    TextureStage& stage = state.stages[0];
    const RenderState saved = state;
    GpuProgram& program = *material->GetProgram();
    device.SetLight(nullptr);
    program.SelectTechnique(material->GetUnlitSlot(), false);
    program.SetMatrixByName("g_MatWorldViewProjection", kIdentityMatrix);
    for (std::uint32_t i = 0; i < count; ++i) {
        stage.SetTexture(layers[i]);
        if (i == 0) {
            state.flags &= ~std::uint32_t(RSF_ALPHA_BLEND);
        } else {
            state.flags |= RSF_ALPHA_BLEND;
            state.srcBlend = BLEND_SRC_ALPHA;
            state.destBlend = BLEND_INV_SRC_ALPHA;
        }
        ApplyPassState(device, state);
        program.SetTexture(stage.stageSlot, stage.GetTexture());
        DrawQuad(device, pass, program, target->GetWidth(), target->GetHeight());
    }
    program.ClearTextures();
    state = saved;
    target->Unbind();
    return true;
}

void ReleaseStaticTextures() {
    Material* material = g_combiner.Get();
    if (!material)
        return;
    for (Pass* pass : material->GetPasses())
        if (pass)
            pass->renderState.ReleaseTextures();
    // Dropping the combiner's reference leaves the manager's alone, so the manager can let it go.
    g_combiner.Reset();
    if (CResourceManager* manager = material->GetManager())
        manager->Remove(material);
}

}  // namespace Zel
