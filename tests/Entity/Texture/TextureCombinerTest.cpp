// The texture combiner: its clone of "DrawQuad" (made, kept once, given back at shutdown), two
// textures combined into a render target on the software device and read back through the
// target's lock against a reference blend, and every request it refuses.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Image/PixelFormat.h"
#include "Entity/Texture/RenderTarget.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Texture/TextureCombiner.h"
#include "Entity/Texture/TextureManager.h"
#include "Render/RenderSystem.h"
#include "support/LogCapture.h"
#include "tests/Core/CoreRootFixture.h"
#include "tests/Entity/Material/MaterialFakes.h"
#include "tests/Entity/Material/ProgramDeviceFixture.h"

namespace {

using Zel::Material;
using Zel::RenderTarget;
using Zel::TextureBase;
using Zel::TextureCombiner;

constexpr const char* kInitFailed =
    "Failed to initialize texture combiner, can not find the required material";

// Without a device: the clone itself.
class TextureCombinerInit : public ZelTest::CoreRootTest {
protected:
    ~TextureCombinerInit() override { Zel::ReleaseStaticTextures(); }
    Zel::MaterialManager& Materials() { return *G()->GetMaterialManager(); }
};

TEST_F(TextureCombinerInit, WithoutDrawQuadItFailsWithItsLogLine) {
    ZelTest::LogCapture log;
    EXPECT_FALSE(TextureCombiner::Init());
    EXPECT_EQ(log.CountKind(Zel::LOG_ENGINE_INIT, kInitFailed), 1);
    EXPECT_EQ(TextureCombiner::GetMaterial(), nullptr);
    Zel::ReleaseStaticTextures();  // nothing to give back
}

TEST_F(TextureCombinerInit, KeepsOneRegisteredCloneOfDrawQuadUntilReleased) {
    Materials().CreateBuiltinMaterials();
    Material* quad = Materials().FindMaterial("DrawQuad", false);
    ASSERT_NE(quad, nullptr);
    const int quadCount = quad->GetRefCount();
    ASSERT_TRUE(TextureCombiner::Init());
    Material* combiner = TextureCombiner::GetMaterial();
    ASSERT_NE(combiner, nullptr);
    EXPECT_NE(combiner, quad);
    EXPECT_TRUE(combiner->IsClone());
    EXPECT_EQ(combiner->GetName().rfind("DrawQuad_$clone$_", 0), 0u) << combiner->GetName();
    EXPECT_EQ(Materials().FindMaterial(combiner->GetName(), false), combiner);
    EXPECT_EQ(combiner->GetRefCount(), 2);  // the manager's and the combiner's
    EXPECT_EQ(quad->GetRefCount(), quadCount);
    ASSERT_EQ(combiner->GetPassCount(), 1u);
    const Zel::RenderState& state = combiner->GetPass(0)->renderState;
    EXPECT_EQ(state.flags & (Zel::RSF_DEPTH_TEST | Zel::RSF_DEPTH_WRITE), 0u);
    EXPECT_EQ(state.stages[0].GetTexture(), quad->GetPass(0)->renderState.stages[0].GetTexture());
    EXPECT_EQ(state.stages[0].filter, 2u);

    ASSERT_TRUE(TextureCombiner::Init());  // kept, not cloned again
    EXPECT_EQ(TextureCombiner::GetMaterial(), combiner);

    const std::string name = combiner->GetName();
    Zel::ReleaseStaticTextures();
    EXPECT_EQ(TextureCombiner::GetMaterial(), nullptr);
    EXPECT_EQ(Materials().FindMaterial(name, false), nullptr);
    EXPECT_EQ(Materials().FindMaterial("DrawQuad", false), quad);
}

TEST_F(TextureCombinerInit, ItsCloneOutlivesADirectSweepOfTheMaterials) {
    Materials().CreateBuiltinMaterials();
    ASSERT_TRUE(TextureCombiner::Init());
    Material* combiner = TextureCombiner::GetMaterial();
    ZelTest::LogCapture log;
    Materials().RemoveAll();
    ASSERT_EQ(TextureCombiner::GetMaterial(), combiner);
    // Still the manager's: AddressSanitizer stops here on a deleted clone.
    EXPECT_EQ(Materials().FindMaterial(combiner->GetName(), false), combiner);
    EXPECT_EQ(combiner->GetRefCount(), 2);
    EXPECT_EQ(log.Count("Cloned Material is not Properly Released"), 0);
    const std::string name = combiner->GetName();
    Zel::ReleaseStaticTextures();
    EXPECT_EQ(Materials().FindMaterial(name, false), nullptr);
}

TEST_F(TextureCombinerInit, ShutdownGivesTheCloneBack) {
    Materials().CreateBuiltinMaterials();
    ASSERT_TRUE(TextureCombiner::Init());
    Zel::Globals::DeleteSingleton();
    EXPECT_EQ(TextureCombiner::GetMaterial(), nullptr);
}

// An effect that draws the stage-0 texture times the vertex colour, linearly filtered, so a quad
// off by half a pixel would mix neighbouring texels.
constexpr const char* kCombineEffect = R"FX(
float4x4 g_MatWorldViewProjection;
texture g_texDiffuse;
sampler2D g_DiffuseSampler = sampler_state
{
	Texture = <g_texDiffuse>;
	MinFilter = LINEAR;
	MagFilter = LINEAR;
	AddressU = CLAMP;
	AddressV = CLAMP;
};
struct VS_OUTPUT
{
	float4 Position : POSITION;
	float4 Diffuse : COLOR0;
	float2 Tex0 : TEXCOORD0;
};
VS_OUTPUT VSQuad(float4 Pos : POSITION, float4 Colour : COLOR0, float2 Tex : TEXCOORD0)
{
	VS_OUTPUT o;
	o.Position = mul(Pos, g_MatWorldViewProjection);
	o.Diffuse = Colour;
	o.Tex0 = Tex;
	return o;
}
float4 PSQuad(float4 Diffuse : COLOR0, float2 Tex : TEXCOORD0) : COLOR0
{
	return tex2D(g_DiffuseSampler, Tex) * Diffuse;
}
technique Ambient { pass P0 { VertexShader = compile vs_1_1 VSQuad(); PixelShader = compile ps_2_0 PSQuad(); } }
)FX";

constexpr int kLayerWidth = 4, kLayerHeight = 3;
using Texels = std::vector<std::uint32_t>;

class TextureCombinerDraw : public ZelTest::ProgramDeviceTest {
protected:
    static constexpr const char* kEffectPath = "../Data/Effects/combine.fx";

    void SetUp() override {
        ZelTest::ProgramDeviceTest::SetUp();
        std::ofstream(kEffectPath) << kCombineEffect;
        Textures().SetDevice(Device().GetD3DDevice(), &Device());
        system_.SetRenderDevice(&Device());
        system_.SetShaderCompiler(&compiler_);
        G()->GetSceneManager()->SetRenderSystem(&system_);
        G()->GetMaterialManager()->CreateBuiltinMaterials();
    }
    void TearDown() override {
        // Materials, programs and textures go before the device they were made on.
        Zel::Globals::DeleteSingleton();
        ZelTest::ProgramDeviceTest::TearDown();
    }

    Zel::TextureManager& Textures() { return *G()->GetTextureManager(); }

    RenderTarget* MakeTarget(bool depth = false) {
        RenderTarget* target = Textures().CreateRenderTarget(depth);
        EXPECT_NE(target, nullptr);
        if (target) {
            EXPECT_TRUE(target->Create(kLayerWidth, kLayerHeight, 1, 0,
                                       depth ? Zel::PF_D24S8 : Zel::PF_A8R8G8B8, 1, false));
        }
        return target;
    }

    TextureBase* MakeLayer(const Texels& texels) {
        TextureBase* texture = Textures().CreateTexture(Zel::MP_MANAGED, TextureBase::KIND_2D);
        EXPECT_NE(texture, nullptr);
        if (!texture || !texture->Create(kLayerWidth, kLayerHeight, 1, TextureBase::KIND_2D,
                                         Zel::PF_A8R8G8B8, 1, false))
            return texture;
        std::int32_t pitch = 0;
        void* bits = nullptr;
        EXPECT_TRUE(texture->LockLevel(0, &pitch, &bits, nullptr, Zel::LO_NORMAL));
        for (int y = 0; bits && y < kLayerHeight; ++y)
            std::copy_n(texels.begin() + y * kLayerWidth, kLayerWidth,
                        reinterpret_cast<std::uint32_t*>(static_cast<char*>(bits) + pitch * y));
        texture->UnlockLevel();
        return texture;
    }

    static Texels ReadBack(RenderTarget* target) {
        std::int32_t pitch = 0;
        void* bits = nullptr;
        Texels texels;
        EXPECT_TRUE(target->LockLevel(0, &pitch, &bits, nullptr, Zel::LO_READ_ONLY));
        for (int y = 0; bits && y < kLayerHeight; ++y) {
            const auto* row =
                reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(bits) + pitch * y);
            texels.insert(texels.end(), row, row + kLayerWidth);
        }
        target->UnlockLevel();
        return texels;
    }

    // Source over destination with the source's alpha, every channel alike.
    static std::uint32_t Over(std::uint32_t s, std::uint32_t d) {
        const float as = float(s >> 24) / 255.0f;
        std::uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const float c = float((s >> shift) & 0xFF) * as + float((d >> shift) & 0xFF) * (1 - as);
            out |= std::uint32_t(c + 0.5f) << shift;
        }
        return out;
    }

    static bool Near(std::uint32_t a, std::uint32_t b) {
        for (int shift = 0; shift < 32; shift += 8)
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 1)
                return false;
        return true;
    }

    ZelTest::StubCompiler compiler_{kEffectPath};
    Zel::RenderSystem system_;
};

TEST_F(TextureCombinerDraw, TwoLayersCombineIntoTheTargetTexelForTexel) {
    ASSERT_TRUE(TextureCombiner::Init());
    Material* combiner = TextureCombiner::GetMaterial();
    ASSERT_TRUE(combiner->IsProgramReady());
    const Zel::RenderState before = combiner->GetPass(0)->renderState;

    // A base of distinct opaque colours and, over it, a layer that is opaque, clear, half
    // transparent and translucent white in turn.
    Texels base(kLayerWidth * kLayerHeight), over(kLayerWidth * kLayerHeight);
    const std::uint32_t alphas[4] = {0xFF, 0x00, 0x80, 0x40};
    for (int i = 0; i < kLayerWidth * kLayerHeight; ++i) {
        base[i] = 0xFF000000u | std::uint32_t(i * 20) << 16 | std::uint32_t(250 - i * 20) << 8 |
                  std::uint32_t(i * 7);
        over[i] = alphas[i % 4] << 24 | (i < 8 ? 0x3060C0u : 0xFFFFFFu);
    }
    TextureBase* layers[2] = {MakeLayer(base), MakeLayer(over)};
    RenderTarget* target = MakeTarget();
    RenderTarget* other = MakeTarget();
    ASSERT_TRUE(layers[0] && layers[1] && target && other);
    target->ClearColour(0.0f, 0.0f, 1.0f, 1.0f);
    system_.SetRenderTarget(0, other);

    Device().BeginScene();
    ASSERT_TRUE(TextureCombiner::Combine(target, layers, 2));
    Device().EndScene();

    EXPECT_EQ(system_.GetRenderTarget(0), other);  // what was bound comes back
    EXPECT_FALSE(target->IsBound());
    const Texels got = ReadBack(target);
    ASSERT_EQ(got.size(), base.size());
    for (int i = 0; i < kLayerWidth * kLayerHeight; ++i)
        EXPECT_TRUE(Near(got[i], Over(over[i], base[i])))
            << "texel " << i << std::hex << ": got " << got[i] << ", expected "
            << Over(over[i], base[i]);

    // The combiner's pass is as it was, and holds no layer.
    const Zel::RenderState& after = combiner->GetPass(0)->renderState;
    EXPECT_EQ(after.flags, before.flags);
    EXPECT_EQ(after.srcBlend, before.srcBlend);
    EXPECT_EQ(after.destBlend, before.destBlend);
    EXPECT_EQ(after.stages[0].GetTexture(), before.stages[0].GetTexture());
    for (TextureBase* layer : layers) EXPECT_EQ(layer->GetRefCount(), 1);
}

TEST_F(TextureCombinerDraw, ASingleLayerReplacesWhatTheTargetHeld) {
    ASSERT_TRUE(TextureCombiner::Init());
    Texels texels(kLayerWidth * kLayerHeight);
    for (int i = 0; i < kLayerWidth * kLayerHeight; ++i)
        texels[i] = std::uint32_t(i * 21) << 24 | 0x102030u;
    TextureBase* layer = MakeLayer(texels);
    RenderTarget* target = MakeTarget();
    ASSERT_TRUE(layer && target);
    target->ClearColour(1.0f, 1.0f, 1.0f, 1.0f);
    Device().BeginScene();
    ASSERT_TRUE(TextureCombiner::Combine(target, &layer, 1));
    Device().EndScene();
    const Texels got = ReadBack(target);
    ASSERT_EQ(got.size(), texels.size());
    for (int i = 0; i < kLayerWidth * kLayerHeight; ++i)
        EXPECT_TRUE(Near(got[i], texels[i])) << "texel " << i << std::hex << ": " << got[i];
}

TEST_F(TextureCombinerDraw, RefusedRequestsDrawNothing) {
    TextureBase* layer = MakeLayer(Texels(kLayerWidth * kLayerHeight, 0xFFFF0000u));
    RenderTarget* target = MakeTarget();
    RenderTarget* depth = MakeTarget(true);
    RenderTarget* unmade = Textures().CreateRenderTarget(false);
    ASSERT_TRUE(layer && target && depth && unmade);
    TextureBase* withNull[2] = {layer, nullptr};
    const Texels cleared(kLayerWidth * kLayerHeight, 0xFF0000FFu);
    target->ClearColour(0.0f, 0.0f, 1.0f, 1.0f);

    struct Case {
        const char* reason;
        RenderTarget* target;
        TextureBase* const* layers;
        std::uint32_t count;
    };
    {
        ZelTest::LogCapture log;
        EXPECT_FALSE(TextureCombiner::Combine(target, &layer, 1));
        EXPECT_EQ(log.Count("Texture combine refused: no combiner material"), 1);
    }
    ASSERT_TRUE(TextureCombiner::Init());
    const Case cases[] = {
        {"no colour target", nullptr, &layer, 1}, {"no colour target", depth, &layer, 1},
        {"no colour target", unmade, &layer, 1},  {"no layer", target, &layer, 0},
        {"no layer", target, nullptr, 1},         {"a layer is null", target, withNull, 2},
    };
    Device().BeginScene();
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        EXPECT_FALSE(TextureCombiner::Combine(c.target, c.layers, c.count)) << c.reason;
        EXPECT_EQ(log.Count(std::string("Texture combine refused: ") + c.reason), 1) << c.reason;
    }
    {
        ZelTest::LogCapture log;
        target->Bind(1);
        EXPECT_FALSE(TextureCombiner::Combine(target, &layer, 1));
        EXPECT_EQ(log.Count("Texture combine refused: the target is bound"), 1);
        EXPECT_TRUE(target->IsBound());
        target->Unbind();
    }
    {
        // Targets bind through the scene's render system; without one nothing can be bound.
        ZelTest::LogCapture log;
        G()->GetSceneManager()->SetRenderSystem(nullptr);
        EXPECT_FALSE(TextureCombiner::Combine(target, &layer, 1));
        EXPECT_EQ(log.Count("Texture combine refused: the target cannot be bound"), 1);
        G()->GetSceneManager()->SetRenderSystem(&system_);
    }
    {
        // A combiner whose program did not load.
        ZelTest::LogCapture log;
        Material* combiner = TextureCombiner::GetMaterial();
        Zel::SharedPtr<Zel::GpuProgram> program(combiner->GetProgram());
        combiner->SetProgram(nullptr);
        EXPECT_FALSE(TextureCombiner::Combine(target, &layer, 1));
        EXPECT_EQ(log.Count("Texture combine refused: the combiner material has no program"), 1);
        combiner->SetProgram(program.Get());
    }
    Device().EndScene();
    EXPECT_EQ(ReadBack(target), cleared);
    EXPECT_EQ(layer->GetRefCount(), 1);
}

}  // namespace
