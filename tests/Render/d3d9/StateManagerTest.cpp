// The effect state manager: its COM identity, the forwarding of cached states into the device's
// cache, and its per-frame counters.
#include "Render/d3d9/CBaseStateManager.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using Zel::CBaseStateManager;
using ZelTest::DeviceTest;

class StateManagerTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_TRUE(Init(Settings()));
        manager_ = Device().GetStateManager();
        ASSERT_NE(manager_, nullptr);
        Soft()->ResetCallCounts();
        Stats() = Zel::FrameStats{};
    }
    CBaseStateManager* manager_ = nullptr;
};

TEST_F(StateManagerTest, AnswersOnlyItsTwoInterfaces) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(manager_->QueryInterface(IID_IDirect3DDevice9, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    for (const GUID& id : {IID_IUnknown, IID_ID3DXEffectStateManager}) {
        out = nullptr;
        ASSERT_EQ(manager_->QueryInterface(id, &out), S_OK);
        EXPECT_EQ(out, static_cast<ID3DXEffectStateManager*>(manager_));
        EXPECT_EQ(manager_->Release(), 1u);  // the device keeps its own reference
    }
    EXPECT_EQ(manager_->AddRef(), 2u);
    EXPECT_EQ(manager_->Release(), 1u);
}

TEST_F(StateManagerTest, CountsWhatGoesStraightToTheDevice) {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Direction = {0.0f, 0.0f, 1.0f};
    D3DMATERIAL9 material{};
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    const float constants[4] = {1, 2, 3, 4};
    const int integers[4] = {1, 2, 3, 4};
    const BOOL flags[1] = {TRUE};
    manager_->LightEnable(0, TRUE);
    manager_->LightEnable(0, FALSE);
    manager_->SetLight(0, &light);
    manager_->SetTransform(D3DTS_WORLD, &identity);
    manager_->SetMaterial(&material);
    manager_->SetVertexShaderConstantF(0, constants, 1);
    manager_->SetVertexShaderConstantI(0, integers, 1);
    manager_->SetVertexShaderConstantB(0, flags, 1);
    manager_->SetPixelShaderConstantF(0, constants, 1);
    manager_->SetPixelShaderConstantB(0, flags, 1);
    manager_->SetNPatchMode(2.0f);
    const std::uint32_t* running = manager_->GetRunningCounters();
    const std::uint32_t expected[12] = {0, 0, 0, 0, 0, 0, 1, 1, 3, 3, 2, 10};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(running[i], expected[i]) << i;
    EXPECT_EQ(Calls(D3D9Call::LightEnable), 2u);
    EXPECT_EQ(Calls(D3D9Call::SetVertexShaderConstantF), 1u);
    EXPECT_EQ(Calls(D3D9Call::SetNPatchMode), 1u);

    Device().RollFrameCounters();
    const std::uint32_t* previous = manager_->GetPreviousFrameCounters();
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(previous[i], expected[i]) << i;
        EXPECT_EQ(running[i], 0u) << i;
    }
}

TEST_F(StateManagerTest, CachedStatesGoThroughTheDevicesCache) {
    manager_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);  // the device's value already
    manager_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    manager_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    manager_->SetFVF(0);
    manager_->SetVertexShader(nullptr);
    manager_->SetPixelShader(nullptr);
    manager_->SetTexture(0, nullptr);
    for (D3D9Call call : {D3D9Call::SetRenderState, D3D9Call::SetTextureStageState,
                          D3D9Call::SetSamplerState, D3D9Call::SetFVF, D3D9Call::SetVertexShader,
                          D3D9Call::SetPixelShader, D3D9Call::SetTexture})
        EXPECT_EQ(Calls(call), 0u) << D3D9CallName(call);
    for (std::uint32_t c : {6u, 7u, 8u, 9u, 10u, 11u})
        EXPECT_EQ(manager_->GetRunningCounters()[c], 0u);

    manager_->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 1u);
    EXPECT_EQ(Device().GetStateCache().GetRenderState(D3DRS_ZFUNC),
              static_cast<DWORD>(D3DCMP_GREATER));
    EXPECT_EQ(Stats()[Zel::FRAME_RENDER_STATE_SETS], 1u);
    // The device's own setter now knows the effect's change.
    Device().SetZFunc(Zel::CMP_GREATER);
    EXPECT_EQ(Calls(D3D9Call::SetRenderState), 1u);
}

}  // namespace
