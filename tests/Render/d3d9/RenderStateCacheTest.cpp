// The render-state cache through the device: dropped repeats, locks, switch 77, the anisotropic
// remap, frame counters, and the faults it once had (a failed call that kept the new value,
// unchecked indices, read-back below a stage count that was not yet known, and device writes
// behind its back).
#include <cstring>

#include "Entity/Scene/Light.h"
#include "Entity/Material/RenderState.h"
#include "Entity/Image/PixelFormat.h"
#include "Render/d3d9/RenderTargetD3D9.h"
#include "Render/FogRecord.h"
#include "Render/d3d9/RenderStateCache.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using Zel::FrameStats;
using Zel::FrameStatWord;
using ZelTest::DeviceTest;

DWORD Bits(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

class RenderStateCacheTest : public ZelTest::ReadyDeviceTest {
protected:
    Zel::RenderStateCache& Cache() { return Device().GetStateCache(); }
    std::uint32_t Stat(FrameStatWord word) { return Stats()[word]; }
};

TEST_F(RenderStateCacheTest, RepeatedValuesNeverReachTheDevice) {
    Device().SetZEnable(false);
    Device().SetZEnable(false);
    Device().SetZEnable(true);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 2u);
    EXPECT_EQ(Stat(Zel::FRAME_RENDER_STATE_SETS), 2u);
    EXPECT_EQ(DeviceRenderState(D3DRS_ZENABLE), 1u);
}

TEST_F(RenderStateCacheTest, EachKindCountsItsOwnFrameCounter) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(Device().GetD3DDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                     &texture, nullptr),
              D3D_OK);
    Zel::RenderStateCache& cache = Cache();
    cache.SetRenderState(D3DRS_ALPHAREF, 7);
    cache.SetRenderState(D3DRS_ALPHAREF, 7);
    cache.SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    cache.SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
    cache.SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD);
    cache.SetTexture(0, texture);
    cache.SetTexture(0, texture);
    cache.SetVertexShader(nullptr);  // already none
    cache.SetFVF(D3DFVF_XYZ);
    cache.SetFVF(D3DFVF_XYZ);
    struct Expect {
        FrameStatWord word;
        std::uint32_t count;
    };
    for (const Expect& e :
         {Expect{Zel::FRAME_RENDER_STATE_SETS, 1}, Expect{Zel::FRAME_SAMPLER_STATE_SETS, 1},
          Expect{Zel::FRAME_TEXTURE_STAGE_STATE_SETS, 1}, Expect{Zel::FRAME_TEXTURE_SETS, 1},
          Expect{Zel::FRAME_VERTEX_SHADER_SETS, 0}, Expect{Zel::FRAME_PIXEL_SHADER_SETS, 0},
          Expect{Zel::FRAME_FVF_SETS, 1}})
        EXPECT_EQ(Stat(e.word), e.count) << e.word;
    cache.SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(RenderStateCacheTest, LockedStatesIgnoreRequestsUntilUnlocked) {
    struct Case {
        std::uint32_t code;
        D3DRENDERSTATETYPE state;
        void (*set)(Zel::RenderDevice&, bool);
    };
    const Case cases[] = {
        {Zel::LOCK_DEPTH_WRITE, D3DRS_ZWRITEENABLE,
         [](Zel::RenderDevice& d, bool on) { d.SetZWriteEnable(on); }},
        {Zel::LOCK_COLOUR_WRITE, D3DRS_COLORWRITEENABLE,
         [](Zel::RenderDevice& d, bool on) { d.SetColorWriteEnable(on); }},
        {Zel::LOCK_ALPHA_BLEND, D3DRS_ALPHABLENDENABLE,
         [](Zel::RenderDevice& d, bool on) { d.SetAlphaBlendEnable(on); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        c.set(Device(), true);
        const DWORD before = DeviceRenderState(c.state);
        Device().LockRenderState(c.code);
        c.set(Device(), false);
        EXPECT_EQ(DeviceRenderState(c.state), before);
        EXPECT_EQ(Cache().GetRenderState(c.state), before);
        Device().UnlockRenderState(c.code);
        c.set(Device(), false);
        EXPECT_EQ(DeviceRenderState(c.state), 0u);
    }
    Device().LockRenderState(Zel::LOCK_DEPTH_WRITE);
    Device().LockRenderState(Zel::LOCK_ALPHA_BLEND);
    Device().LockRenderState(9);  // not a lock code: nothing
    Device().UnlockAllRenderStates();
    Device().SetZWriteEnable(true);
    Device().SetAlphaBlendEnable(true);
    EXPECT_EQ(DeviceRenderState(D3DRS_ZWRITEENABLE), 1u);
    EXPECT_EQ(DeviceRenderState(D3DRS_ALPHABLENDENABLE), 1u);
}

TEST_F(RenderStateCacheTest, Switch77AtZeroStopsRenderStatesOnly) {
    Config().SetValue(77, 0);
    Device().SetCullMode(Zel::CULL_NONE);
    Device().SetFog(Zel::FogRecord{});
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 0u);
    EXPECT_EQ(Stat(Zel::FRAME_RENDER_STATE_SETS), 0u);
    Cache().SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
    Device().ResetStageStates();
    EXPECT_EQ(Calls(D3D9Call::SetSamplerState), 1u);
    EXPECT_GT(Calls(D3D9Call::SetTextureStageState), 0u);
    Config().SetValue(77, 1);
    Device().SetCullMode(Zel::CULL_NONE);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 1u);
}

TEST_F(RenderStateCacheTest, AnisotropicMagnificationAndMipFiltersAreSentAsLinear) {
    for (DWORD state : {D3DSAMP_MAGFILTER, D3DSAMP_MIPFILTER}) {
        Soft()->ResetCallCounts();
        Cache().SetSamplerState(3, state, D3DTEXF_ANISOTROPIC);
        Cache().SetSamplerState(3, state, D3DTEXF_ANISOTROPIC);
        DWORD value = 0;
        Device().GetD3DDevice()->GetSamplerState(3, static_cast<D3DSAMPLERSTATETYPE>(state),
                                                 &value);
        EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_LINEAR));
        // The request is compared as asked, so it reaches the device every time.
        EXPECT_EQ(Calls(D3D9Call::SetSamplerState), 2u);
    }
    Soft()->ResetCallCounts();
    Cache().SetSamplerState(3, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    Cache().SetSamplerState(3, D3DSAMP_MINFILTER, D3DTEXF_ANISOTROPIC);
    EXPECT_EQ(Calls(D3D9Call::SetSamplerState), 1u);
}

TEST_F(RenderStateCacheTest, FailedCallKeepsThePreviousValueSoTheRequestIsTriedAgain) {
    // Render state 1 and sampler state 0 name nothing, so the device refuses them.
    EXPECT_EQ(Cache().SetRenderState(1, 5), D3DERR_INVALIDCALL);
    EXPECT_EQ(Cache().GetRenderState(1), 0u);
    EXPECT_EQ(Cache().SetRenderState(1, 5), D3DERR_INVALIDCALL);
    EXPECT_EQ(Cache().SetSamplerState(0, 0, 9), D3DERR_INVALIDCALL);
    EXPECT_EQ(Cache().SetSamplerState(0, 0, 9), D3DERR_INVALIDCALL);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 2u);
    EXPECT_EQ(Calls(D3D9Call::SetSamplerState), 2u);
    // A texture of another device is refused too.
    auto other = std::make_unique<Zel::RenderDeviceD3D9>();
    ASSERT_TRUE(other->Init(Settings()));
    IDirect3DTexture9* foreign = nullptr;
    ASSERT_EQ(other->GetD3DDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                   &foreign, nullptr),
              D3D_OK);
    EXPECT_EQ(Cache().SetTexture(0, foreign), D3DERR_INVALIDCALL);
    EXPECT_EQ(Cache().GetTexture(0), nullptr);
    EXPECT_EQ(Cache().SetTexture(0, foreign), D3DERR_INVALIDCALL);
    EXPECT_EQ(Calls(D3D9Call::SetTexture), 2u);
    foreign->Release();
    other.reset();
    const std::string log = LogText();
    EXPECT_NE(log.find("D3D ERROR! ,SetRenderState(), hr = -2005530516"), std::string::npos);
    EXPECT_NE(log.find("D3D ERROR! ,SetSamplerState(), hr = -2005530516"), std::string::npos);
    EXPECT_NE(log.find("D3D ERROR! ,SetTexture(), hr = -2005530516"), std::string::npos);
}

TEST_F(RenderStateCacheTest, IndicesOutsideTheTablesAreRefusedBeforeTheDevice) {
    struct Case {
        const char* name;
        HRESULT (*call)(Zel::RenderStateCache&);
    };
    const Case cases[] = {
        {"render state 210", [](Zel::RenderStateCache& c) { return c.SetRenderState(210, 1); }},
        {"render state huge",
         [](Zel::RenderStateCache& c) { return c.SetRenderState(0xFFFFFFFF, 1); }},
        {"sampler 16", [](Zel::RenderStateCache& c) { return c.SetSamplerState(16, 1, 1); }},
        {"sampler state 14", [](Zel::RenderStateCache& c) { return c.SetSamplerState(0, 14, 1); }},
        {"stage 16", [](Zel::RenderStateCache& c) { return c.SetTextureStageState(16, 1, 1); }},
        {"stage state 33",
         [](Zel::RenderStateCache& c) { return c.SetTextureStageState(0, 33, 1); }},
        {"texture 16", [](Zel::RenderStateCache& c) { return c.SetTexture(16, nullptr); }},
        {"direct write 300", [](Zel::RenderStateCache& c) { return c.WriteRenderState(300, 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.call(Cache()), D3DERR_INVALIDCALL);
    }
    for (int call = 0; call < static_cast<int>(D3D9Call::Count); ++call)
        EXPECT_EQ(Soft()->CallCount(static_cast<D3D9Call>(call)), 0u) << call;
    EXPECT_EQ(Stat(Zel::FRAME_RENDER_STATE_SETS) + Stat(Zel::FRAME_SAMPLER_STATE_SETS) +
                  Stat(Zel::FRAME_TEXTURE_STAGE_STATE_SETS) + Stat(Zel::FRAME_TEXTURE_SETS),
              0u);
    Cache().Lock(500);  // ignored
    EXPECT_FALSE(Cache().IsLocked(500));
}

TEST_F(RenderStateCacheTest, ReadBackCoversAll16SamplersAndStagesFromInit) {
    // Init read the cache back before the capability record knew any stage count; every sampler
    // and stage still holds the device's own values, so asking for them costs nothing.
    for (DWORD unit = 0; unit < 16; ++unit) {
        Cache().SetSamplerState(unit, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        Cache().SetSamplerState(unit, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        Cache().SetTextureStageState(unit, D3DTSS_TEXCOORDINDEX, unit);
        Cache().SetTexture(unit, nullptr);
    }
    Cache().SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    Cache().SetTextureStageState(15, D3DTSS_COLOROP, D3DTOP_DISABLE);
    EXPECT_EQ(Calls(D3D9Call::SetSamplerState), 0u);
    EXPECT_EQ(Calls(D3D9Call::SetTextureStageState), 0u);
    EXPECT_EQ(Calls(D3D9Call::SetTexture), 0u);
}

TEST_F(RenderStateCacheTest, DirectWritesAreRecordedWithoutCounting) {
    Device().SetWireframe(true);
    Device().SetDepthBias(0.25f);
    Device().SetSlopeScaleDepthBias(2.0f);
    Device().SetFixedFunctionMode(Zel::MODE_FIXED_FUNCTION);
    Zel::Light light;
    Device().SetLight(&light);
    EXPECT_EQ(Stat(Zel::FRAME_RENDER_STATE_SETS), 0u);
    EXPECT_EQ(DeviceRenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_WIREFRAME));
    EXPECT_EQ(DeviceRenderState(D3DRS_DEPTHBIAS), Bits(0.25f));
    EXPECT_EQ(DeviceRenderState(D3DRS_SLOPESCALEDEPTHBIAS), Bits(2.0f));
    EXPECT_EQ(DeviceRenderState(D3DRS_LIGHTING), 1u);
    EXPECT_EQ(DeviceRenderState(D3DRS_SPECULARENABLE), 1u);

    // The cache agrees with the device, so the requests that follow behave.
    Soft()->ResetCallCounts();
    Zel::RenderStateCache& cache = Cache();
    cache.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    cache.SetRenderState(D3DRS_LIGHTING, TRUE);
    cache.SetRenderState(D3DRS_DEPTHBIAS, Bits(0.25f));
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 0u);
    cache.SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    cache.SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    cache.SetRenderState(D3DRS_SLOPESCALEDEPTHBIAS, 0);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 3u);
    EXPECT_EQ(DeviceRenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_SOLID));
    // Switch 77 does not hold back a direct write.
    Config().SetValue(77, 0);
    Device().SetWireframe(false);
    Device().SetWireframe(true);
    EXPECT_EQ(DeviceRenderState(D3DRS_FILLMODE), static_cast<DWORD>(D3DFILL_WIREFRAME));
}

TEST_F(RenderStateCacheTest, RenderTargetUnbindsItsTextureThroughTheCache) {
    Zel::RenderTargetD3D9 target(&Device(), 0);
    ASSERT_TRUE(target.Create(8, 8, 1, 0, Zel::PF_A8R8G8B8, 1, false));
    IDirect3DTexture9* texture = target.GetDeviceTexture();
    Cache().SetTexture(0, texture);
    Cache().SetTexture(2, texture);
    Device().SetRenderTarget(1, &target);
    EXPECT_EQ(Device().GetRenderTarget(1), &target);
    for (DWORD stage : {0u, 2u}) {
        IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
        Device().GetD3DDevice()->GetTexture(stage, &bound);
        EXPECT_EQ(bound, nullptr);
        EXPECT_EQ(Cache().GetTexture(stage), nullptr);
    }
    // Binding the texture again after the target is released reaches the device.
    Device().SetRenderTarget(1, nullptr);
    Soft()->ResetCallCounts();
    Cache().SetTexture(0, texture);
    EXPECT_EQ(Calls(D3D9Call::SetTexture), 1u);
    Cache().SetTexture(0, nullptr);
}

TEST_F(RenderStateCacheTest, SeparateAlphaBlendWritesItsThreeCompanions) {
    Device().SetSeparateAlphaBlend(true);
    EXPECT_EQ(DeviceRenderState(D3DRS_SEPARATEALPHABLENDENABLE), 1u);
    EXPECT_EQ(DeviceRenderState(D3DRS_BLENDOPALPHA), static_cast<DWORD>(D3DBLENDOP_ADD));
    EXPECT_EQ(DeviceRenderState(D3DRS_SRCBLENDALPHA), static_cast<DWORD>(D3DBLEND_ONE));
    EXPECT_EQ(DeviceRenderState(D3DRS_DESTBLENDALPHA), static_cast<DWORD>(D3DBLEND_ONE));
    Device().SetSeparateAlphaBlend(false);
    EXPECT_EQ(DeviceRenderState(D3DRS_SEPARATEALPHABLENDENABLE), 0u);
    EXPECT_EQ(DeviceRenderState(D3DRS_DESTBLENDALPHA), static_cast<DWORD>(D3DBLEND_ZERO));
}

TEST_F(RenderStateCacheTest, FogModesWriteTheirOwnStates) {
    Zel::FogRecord fog;
    fog.mode = Zel::FOG_LINEAR;
    fog.start = 5.0f;
    fog.end = 50.0f;
    fog.colour[0] = 2.0f;  // clamped, not wrapped
    fog.colour[1] = 0.5f;
    fog.colour[2] = -1.0f;
    fog.colour[3] = 1.0f;
    Device().SetFog(fog);
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGENABLE), 1u);
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGTABLEMODE), static_cast<DWORD>(D3DFOG_LINEAR));
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGCOLOR), 0xFFFF7F00u);
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGSTART), Bits(5.0f));
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGEND), Bits(50.0f));
    fog.mode = Zel::FOG_EXP2;
    fog.start = 7.0f;
    fog.density = 0.125f;
    Device().SetFog(fog);
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGTABLEMODE), static_cast<DWORD>(D3DFOG_EXP2));
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGDENSITY), Bits(0.125f));
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGSTART), Bits(5.0f));
    fog.mode = 9;  // counts as none
    Device().SetFog(fog);
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGENABLE), 0u);
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGTABLEMODE), static_cast<DWORD>(D3DFOG_EXP2));
    Device().EnableFog();
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGENABLE), 1u);
    Device().DisableFog();
    EXPECT_EQ(DeviceRenderState(D3DRS_FOGENABLE), 0u);
}

TEST_F(RenderStateCacheTest, SettersMapTheSystemsCodes) {
    const float factor[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    Device().SetCullMode(Zel::CULL_COUNTER_CLOCKWISE);
    Device().SetZFunc(Zel::CMP_ALWAYS);
    Device().SetAlphaFunc(Zel::CMP_GREATER_EQUAL);
    Device().SetAlphaRef(0x80);
    Device().SetStencilFunc(Zel::CMP_NOT_EQUAL);
    Device().SetColorWriteMask(true, false, true, false);
    Device().SetSrcBlend(Zel::BLEND_SRC_ALPHA);
    Device().SetDestBlend(Zel::BLEND_INV_SRC_ALPHA);
    Device().SetBlendOp(Zel::BLENDOP_REV_SUBTRACT);
    Device().SetTextureFactor(factor);
    Device().SetClipPlaneEnable(true);
    Device().SetScissorTestEnable(true);
    struct Expect {
        D3DRENDERSTATETYPE state;
        DWORD value;
    };
    for (const Expect& e :
         {Expect{D3DRS_CULLMODE, D3DCULL_CCW}, Expect{D3DRS_ZFUNC, D3DCMP_ALWAYS},
          Expect{D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}, Expect{D3DRS_ALPHAREF, 0x80},
          Expect{D3DRS_STENCILFUNC, D3DCMP_NOTEQUAL}, Expect{D3DRS_COLORWRITEENABLE, 5},
          Expect{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, Expect{D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
          Expect{D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT}, Expect{D3DRS_TEXTUREFACTOR, 0xFFFF7F00},
          Expect{D3DRS_CLIPPLANEENABLE, 0x3F}, Expect{D3DRS_SCISSORTESTENABLE, 1}})
        EXPECT_EQ(DeviceRenderState(e.state), e.value) << e.state;
}

TEST_F(RenderStateCacheTest, GetRenderStatesReadsTheDeviceNotTheCache) {
    Device().SetZWriteEnable(false);
    Device().SetAlphaBlendEnable(true);
    Device().SetScissorTestEnable(true);
    Device().SetColorWriteMask(true, true, false, false);
    // Behind the cache's back: GetRenderStates must still see it.
    Device().GetD3DDevice()->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    Zel::RenderState state;
    state.flags = Zel::RSF_DEPTH_WRITE | Zel::RSF_POINT_SCALE;
    Device().GetRenderStates(state);
    EXPECT_EQ(state.flags & Zel::RSF_DEPTH_WRITE, 0u);
    EXPECT_EQ(state.flags & Zel::RSF_POINT_SCALE, 0u);
    EXPECT_NE(state.flags & Zel::RSF_ALPHA_BLEND, 0u);
    EXPECT_NE(state.flags & Zel::RSF_SCISSOR_TEST, 0u);
    EXPECT_NE(state.flags & Zel::RSF_STENCIL, 0u);
    EXPECT_NE(state.flags & Zel::RSF_DEPTH_TEST, 0u);
    EXPECT_EQ(state.colourWriteMask, 3u);
}

}  // namespace
