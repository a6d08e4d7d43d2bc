// The device's own operations: transforms and matrix builders, viewports, targets, streams and
// draws with their frame counters, the drawing modes, lighting and the small setters.
#include <cmath>
#include <cstring>
#include <memory>

#include "Core/DeviceCaps.h"
#include "Entity/Scene/Light.h"
#include "Entity/Image/PixelFormat.h"
#include "Render/d3d9/RenderTargetD3D9.h"
#include "Math/MathUtil.h"
#include "Render/ClearRecord.h"
#include "Render/VertexBufferBinding.h"
#include "Render/ViewportRect.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"
#include "Render/d3d9/HardwareIndexBufferD3D9.h"
#include "Render/d3d9/HardwareVertexBufferD3D9.h"
#include "Render/d3d9/TextureD3D9.h"
#include "Render/d3d9/VertexBufferDeclarationD3D9.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;
using ZelTest::DeviceTest;

// Row-major, column vectors: out = m * (x, y, z, 1), divided by w.
void Transform(const float* m, const float* p, float* out) {
    float r[4];
    for (int row = 0; row < 4; ++row)
        r[row] = m[row * 4] * p[0] + m[row * 4 + 1] * p[1] + m[row * 4 + 2] * p[2] + m[row * 4 + 3];
    for (int i = 0; i < 3; ++i) out[i] = r[i] / r[3];
}

class DeviceOperationsTest : public ZelTest::ReadyDeviceTest {
protected:
    GraphicsAPIManagerD3D9 api_;
};

TEST_F(DeviceOperationsTest, TransformsAreTransposedBothWaysAndCounted) {
    float m[16];
    for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(i + 1);
    Device().SetWorldMatrix(m);
    Device().SetViewMatrix(m);
    Device().SetProjectionMatrix(m);
    EXPECT_EQ(Stats()[FRAME_TRANSFORM_SETS], 3u);
    D3DMATRIX d3d{};
    Device().GetD3DDevice()->GetTransform(D3DTS_WORLD, &d3d);
    EXPECT_EQ(d3d._14, m[12]);  // the system's translation row becomes Direct3D's fourth row
    EXPECT_EQ(d3d._41, m[3]);
    for (void (RenderDevice::*get)(float*) :
         {&RenderDevice::GetWorldMatrix, &RenderDevice::GetViewMatrix,
          &RenderDevice::GetProjectionMatrix}) {
        float back[16] = {};
        (Device().*get)(back);
        EXPECT_EQ(std::memcmp(back, m, sizeof m), 0);
    }
}

TEST_F(DeviceOperationsTest, ViewportMatrixIsInTheSystemsLayout) {
    // With colour target 0 empty the viewport is measured against 800 x 600, which this 64 x 48
    // back buffer cannot hold: the device refuses it and the failure is reported.
    Device().SetViewport(ViewportRect{8, 4, 32, 16});
    EXPECT_NE(LogText().find("D3D ERROR! ,SetViewport() x = 8 y = 580 width = 32 height = 16 "
                             "minz = 0 maxz = 1, hr = -2005530516"),
              std::string::npos);

    IDirect3DSurface9* back = nullptr;
    Device().GetD3DDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    RenderTargetD3D9 target(&Device(), 0);
    target.AttachSurface(back, kWidth, kHeight, PF_X8R8G8B8, 0);
    Device().SetRenderTarget(0, &target);
    Device().SetViewport(ViewportRect{8, 4, 32, 16});
    D3DVIEWPORT9 viewport{};
    Device().GetD3DDevice()->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, 8u);
    EXPECT_EQ(viewport.Y, kHeight - 4u - 16u);
    float m[16];
    Device().GetViewportMatrix(m);
    const float expected[16] = {16, 0,  0, 8 + 16,  //
                                0,  -8, 0, 28 + 8,  //
                                0,  0,  1, 0,       //
                                0,  0,  0, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], expected[i]) << i;
    // Clip-space corners land on the viewport's corners.
    const float corner[3] = {-1.0f, 1.0f, 0.0f};
    float screen[3];
    Transform(m, corner, screen);
    EXPECT_EQ(screen[0], 8.0f);
    EXPECT_EQ(screen[1], 28.0f);
    Device().SetRenderTarget(0, nullptr);
    back->Release();
}

TEST_F(DeviceOperationsTest, ViewportOutsideTheTargetIsClampedNotWrapped) {
    IDirect3DSurface9* back = nullptr;
    Device().GetD3DDevice()->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    RenderTargetD3D9 target(&Device(), 0);
    target.AttachSurface(back, kWidth, kHeight, PF_X8R8G8B8, 0);
    Device().SetRenderTarget(0, &target);
    Device().SetViewport(ViewportRect{kWidth + 10, kHeight + 10, 20, 20});
    D3DVIEWPORT9 viewport{};
    Device().GetD3DDevice()->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, kWidth);
    EXPECT_EQ(viewport.Y, 0u);
    EXPECT_EQ(viewport.Width, 0u);
    EXPECT_EQ(viewport.Height, 0u);
    Device().SetRenderTarget(0, nullptr);
    back->Release();
}

TEST_F(DeviceOperationsTest, OrthoOffCenterTakesNearBeforeFar) {
    // The auxiliary renderer's call: a top-left origin, near 0.1 and far 100.
    float m[16];
    Device().OrthoOffCenterRH(0.0f, 64.0f, 48.0f, 0.0f, 0.1f, 100.0f, m);
    struct Case {
        float point[3];
        float expected[3];
    };
    const Case cases[] = {
        {{0.0f, 0.0f, -0.1f}, {-1.0f, 1.0f, 0.0f}},
        {{64.0f, 48.0f, -100.0f}, {1.0f, -1.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        float out[3];
        Transform(m, c.point, out);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(out[i], c.expected[i], 1e-5f) << i;
    }
}

TEST_F(DeviceOperationsTest, MatrixBuildersMatchTheRenderSystems) {
    float fromDevice[16];
    Device().PerspectiveFovRH(60.0f, 4.0f / 3.0f, 0.5f, 500.0f, fromDevice);
    const float far[3] = {0.0f, 0.0f, -500.0f};
    float out[3];
    Transform(fromDevice, far, out);
    EXPECT_NEAR(out[2], 1.0f, 1e-5f);
    float ortho[16];
    Device().OrthoRH(10.0f, 20.0f, 1.0f, 11.0f, ortho);
    const float edge[3] = {5.0f, -10.0f, -11.0f};
    Transform(ortho, edge, out);
    EXPECT_NEAR(out[0], 1.0f, 1e-6f);
    EXPECT_NEAR(out[1], -1.0f, 1e-6f);
    EXPECT_NEAR(out[2], 1.0f, 1e-6f);
    const float eye[3] = {0, 0, 10}, at[3] = {0, 0, 0}, up[3] = {0, 1, 0};
    float view[16];
    Device().LookAtRH(eye, at, up, view);
    Transform(view, at, out);
    EXPECT_NEAR(out[2], -10.0f, 1e-5f);
    // ProjectPoint with these: the target point lands in the middle of the viewport.
    Device().ProjectPoint(at, view, fromDevice, 0, 0, 64, 48, 0.0f, 1.0f, out);
    EXPECT_NEAR(out[0], 32.0f, 1e-4f);
    EXPECT_NEAR(out[1], 24.0f, 1e-4f);
}

TEST_F(DeviceOperationsTest, FvfFromVertexFormat) {
    const std::uint32_t allTexcoords = 0xFF0;
    const std::uint32_t cases[][2] = {
        {VF_POSITION, D3DFVF_XYZ},
        {VF_POSITION | VF_NORMAL | VF_TEXCOORD0, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1},
        {VF_DIFFUSE | VF_SPECULAR, D3DFVF_DIFFUSE | D3DFVF_SPECULAR},
        {VF_TEXCOORD1 | VF_TEXCOORD5, D3DFVF_TEX2},
        {allTexcoords & ~VF_TEXCOORD7, D3DFVF_TEX7},
        {allTexcoords, D3DFVF_TEX8},  // eight sets keep their count
        {VF_COLOUR | VF_TANGENT | VF_BLEND_WEIGHTS, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Device().FvfFromVertexFormat(c[0]), c[1]) << c[0];
}

TEST_F(DeviceOperationsTest, RenderTargetSlotsAreCheckedAndTrackBindings) {
    RenderTargetD3D9 target(&Device(), 0);
    RenderTargetD3D9 depth(&Device(), 1);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(Device().GetD3DDevice()->CreateRenderTarget(
                  16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr),
              D3D_OK);
    target.AttachSurface(surface, 16, 16, PF_A8R8G8B8, 0);
    Device().SetRenderTarget(4, &target);
    EXPECT_EQ(Device().GetRenderTarget(4), nullptr);
    EXPECT_EQ(Device().GetRenderTarget(0xFFFFFFFF), nullptr);
    EXPECT_EQ(Calls(D3D9Call::SetRenderTarget), 0u);
    EXPECT_FALSE(Device().IsBoundAsTarget(&target));
    EXPECT_FALSE(Device().IsBoundAsTarget(nullptr));

    Device().SetRenderTarget(2, &target);
    Device().SetDepthStencilSurface(&depth);  // no surface: the device unbinds, the slot keeps it
    EXPECT_EQ(Device().GetRenderTarget(2), &target);
    EXPECT_EQ(Device().GetDepthStencilSurface(), &depth);
    EXPECT_TRUE(Device().IsBoundAsTarget(&target));
    EXPECT_TRUE(Device().IsBoundAsTarget(&depth));
    IDirect3DSurface9* bound = nullptr;
    Device().GetD3DDevice()->GetRenderTarget(2, &bound);
    EXPECT_EQ(bound, surface);
    bound->Release();

    Device().RestoreRenderTargets();
    EXPECT_EQ(Device().GetRenderTarget(2), nullptr);
    EXPECT_EQ(Device().GetDepthStencilSurface(), nullptr);
    EXPECT_EQ(Device().GetD3DDevice()->GetRenderTarget(2, &bound), D3DERR_NOTFOUND);
    surface->Release();
    EXPECT_NE(LogText().find("index 4 is not a colour slot"), std::string::npos);
}

TEST_F(DeviceOperationsTest, ClearPacksAClampedColour) {
    ClearRecord clear;
    clear.flags = CLEAR_COLOUR | CLEAR_DEPTH | 0xF0;  // bits above the three planes are ignored
    clear.colour[0] = 2.0f;
    clear.colour[1] = 0.5f;
    clear.colour[2] = -1.0f;
    clear.colour[3] = 1.0f;
    Device().Clear(clear);
    ASSERT_TRUE(Device().Present());
    EXPECT_EQ(Win32Window::Find(window_)->Pixel(3, 3), 0xFFFF7F00u);
    // A stencil clear on a depth buffer without stencil fails and is reported.
    device_.reset();
    Settings();
    Zel::DisplaySettings settings = Settings();
    settings.depthFormat = 2;  // D16
    ASSERT_TRUE(Init(settings));
    clear.flags = CLEAR_STENCIL;
    Device().Clear(clear);
    EXPECT_NE(LogText().find("D3D ERROR! ,Clear(), hr = -2005530516"), std::string::npos);
}

TEST_F(DeviceOperationsTest, StreamsIndicesAndDrawsCountTheirFrameWords) {
    auto* stat = dynamic_cast<HardwareVertexBufferD3D9*>(
        api_.NewVertexBuffer(nullptr, 12 * 6, BU_WRITE_ONLY, false, false, MP_DEFAULT, &Device()));
    auto* dynamic = dynamic_cast<HardwareVertexBufferD3D9*>(
        api_.NewVertexBuffer(nullptr, 8 * 6, BU_DYNAMIC, false, false, MP_DEFAULT, &Device()));
    auto* indices = dynamic_cast<HardwareIndexBufferD3D9*>(
        api_.NewIndexBuffer(nullptr, 6, IS_32BIT, BU_DYNAMIC, false, false, MP_DEFAULT, &Device()));
    const std::uint32_t index[6] = {0, 1, 2, 3, 4, 5};
    indices->WriteData(0, sizeof index, index, false);
    std::unique_ptr<VertexBufferDeclaration> declaration(
        api_.NewVertexDeclaration(nullptr, &Device()));
    declaration->AddElement(0, VF_POSITION, VET_FLOAT3);
    declaration->AddElement(2, VF_TEXCOORD0, VET_FLOAT2);

    VertexBufferBinding binding;
    binding.SetBinding(0, stat, 12);
    binding.SetBinding(1, dynamic, 0);  // no stride: skipped
    binding.SetBinding(2, dynamic, 8);  // after an empty slot: still bound
    Device().SetVertexDeclaration(declaration.get());
    Device().SetStreamSource(binding, 6);
    Device().SetIndices(indices, 6);
    Device().DrawIndexedPrimitive(PT_TRIANGLE_LIST, 0, 0, 6, 0, 2);
    Device().DrawPrimitive(PT_LINE_LIST, 0, 3);
    const float up[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::uint16_t upIndex[3] = {0, 1, 2};
    Device().SetFVF(D3DFVF_XYZ);
    Device().DrawPrimitiveUP(PT_TRIANGLE_LIST, 1, up, 12);
    Device().DrawIndexedPrimitiveUP(PT_TRIANGLE_LIST, 0, 3, 1, upIndex, IS_16BIT, up, 12);

    struct Expect {
        FrameStatWord word;
        std::uint32_t value;
    };
    for (const Expect& e :
         {Expect{FRAME_VERTEX_DECLARATION_SETS, 1}, Expect{FRAME_STREAM_BINDINGS, 2},
          Expect{FRAME_DYNAMIC_STREAM_BINDINGS, 1}, Expect{FRAME_STREAMED_BYTES, 72 + 48},
          Expect{FRAME_DYNAMIC_STREAMED_BYTES, 48}, Expect{FRAME_STREAMED_VERTICES, 12},
          Expect{FRAME_INDEX_BUFFER_BINDINGS, 1}, Expect{FRAME_INDEX_BYTES, 24},
          Expect{FRAME_DYNAMIC_INDEX_BUFFER_BINDINGS, 1}, Expect{FRAME_DYNAMIC_INDEX_BYTES, 24},
          Expect{FRAME_DRAW_INDEXED, 1}, Expect{FRAME_DRAW_NON_INDEXED, 1},
          Expect{FRAME_DRAW_INDEXED_USER, 1}, Expect{FRAME_PRIMITIVES, 2 + 3 + 1},
          Expect{FRAME_FVF_SETS, 1}})
        EXPECT_EQ(Stats()[e.word], e.value) << e.word;
    EXPECT_EQ(Calls(D3D9Call::SetStreamSource), 2u);
    EXPECT_EQ(Soft()->Draws().draws, 4u);
    EXPECT_EQ(LogText().find("D3D ERROR!"), std::string::npos);

    // Switch 76 at 0: no draw reaches the device or the counters.
    Config().SetValue(76, 0);
    Stats() = FrameStats{};
    Device().DrawPrimitive(PT_LINE_LIST, 0, 3);
    Device().DrawIndexedPrimitive(PT_TRIANGLE_LIST, 0, 0, 6, 0, 2);
    EXPECT_EQ(Soft()->Draws().draws, 4u);
    EXPECT_EQ(Stats()[FRAME_PRIMITIVES], 0u);
    Config().SetValue(76, 1);

    // A draw the device refuses is reported.
    Device().DrawIndexedPrimitive(PT_TRIANGLE_LIST, 0, 0, 6, 0, 20);
    EXPECT_NE(LogText().find("D3D ERROR! ,DrawIndexedPrimitive(), hr ="), std::string::npos);
    Device().SetIndices(nullptr, 0);
    Device().SetVertexDeclaration(nullptr);
    Device().GetD3DDevice()->SetStreamSource(0, nullptr, 0, 0);
    Device().GetD3DDevice()->SetStreamSource(2, nullptr, 0, 0);
    for (std::uint32_t stream : {0u, 1u, 2u}) binding.SetBinding(stream, nullptr, 0);
    delete stat;
    delete dynamic;
    delete indices;
}

TEST_F(DeviceOperationsTest, FixedFunctionModes) {
    DeviceCaps& caps = *G()->GetDeviceCaps();
    struct Case {
        std::int32_t request;
        std::uint32_t features;
        bool answer;
        std::int32_t mode;
    };
    const std::uint32_t sm2 = DEVICE_VS_2_0 | DEVICE_PS_2_0;
    const Case cases[] = {
        {MODE_SHADER, sm2, true, MODE_SHADER},
        {MODE_FIXED_FUNCTION, sm2, true, MODE_FIXED_FUNCTION},
        {MODE_SHADER, sm2, true, MODE_SHADER},
        {MODE_FIXED_FUNCTION2, sm2, true, MODE_FIXED_FUNCTION},
        {MODE_SHADER, DEVICE_PS_2_0, false, MODE_FIXED_FUNCTION},
        {MODE_SHADER, DEVICE_VS_2_0, false, MODE_FIXED_FUNCTION},
        {MODE_SHADER, sm2, true, MODE_SHADER},
        {MODE_RESERVED, sm2, false, MODE_SHADER},
        {4, sm2, false, MODE_SHADER},
        {-1, sm2, false, MODE_SHADER},
    };
    for (const Case& c : cases) {
        caps.featureFlags = c.features;
        EXPECT_EQ(Device().SetFixedFunctionMode(c.request), c.answer) << c.request;
        EXPECT_EQ(Device().GetFixedFunctionMode(), c.mode) << c.request;
    }
    // Shader mode resets the texture transforms and coordinate indices of every stage.
    for (DWORD stage = 0; stage < caps.textureStageCount; ++stage) {
        DWORD index = 99;
        Device().GetD3DDevice()->GetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, &index);
        EXPECT_EQ(index, stage);
    }
}

TEST_F(DeviceOperationsTest, LightsAndMaterialsInFixedFunctionMode) {
    Light light(1);
    const float position[3] = {0.0f, 3.0f, 4.0f};
    light.SetPosition(position);
    // In shader mode a light only switches lighting off.
    EXPECT_FALSE(Device().SetLight(&light));
    EXPECT_FALSE(Device().IsLightingEnabled());
    Device().SetFixedFunctionMode(MODE_FIXED_FUNCTION);
    EXPECT_TRUE(Device().SetLight(&light));
    EXPECT_TRUE(Device().IsLightingEnabled());
    D3DLIGHT9 d3d{};
    Device().GetD3DDevice()->GetLight(0, &d3d);
    EXPECT_EQ(d3d.Type, D3DLIGHT_POINT);
    EXPECT_EQ(d3d.Position.z, 4.0f);
    EXPECT_NEAR(d3d.Direction.y, 0.6f, 1e-3f);
    EXPECT_EQ(d3d.Range, 1000.0f);
    EXPECT_EQ(d3d.Attenuation0, 1.0f);
    BOOL enabled = FALSE;
    Device().GetD3DDevice()->GetLightEnable(0, &enabled);
    EXPECT_TRUE(enabled);
    Light sun(0);
    Device().SetLight(&sun);
    Device().GetD3DDevice()->GetLight(0, &d3d);
    EXPECT_EQ(d3d.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(d3d.Direction.y, -1.0f);  // a light shines along its node's -Y

    const float ambient[4] = {0.1f, 0.2f, 0.3f, 1}, diffuse[4] = {1, 0, 0, 1},
                specular[4] = {0, 1, 0, 1};
    Device().SetMaterial(ambient, diffuse, specular, 8.0f);
    D3DMATERIAL9 material{};
    Device().GetD3DDevice()->GetMaterial(&material);
    EXPECT_EQ(material.Ambient.b, 0.3f);
    EXPECT_EQ(material.Power, 8.0f);
    EXPECT_EQ(material.Emissive.a, 0.0f);

    EXPECT_FALSE(Device().SetLight(nullptr));
    Device().GetD3DDevice()->GetLightEnable(0, &enabled);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(DeviceRenderState(D3DRS_LIGHTING), 0u);
}

TEST_F(DeviceOperationsTest, ScissorRectanglesNeedAPositiveSize) {
    Device().SetScissorRect(2, 30, 4, 20);
    RECT rect{};
    Device().GetD3DDevice()->GetScissorRect(&rect);
    EXPECT_EQ(rect.left, 2);
    EXPECT_EQ(rect.top, 4);
    EXPECT_EQ(rect.right, 30);
    EXPECT_EQ(rect.bottom, 20);
    Soft()->ResetCallCounts();
    Device().SetScissorRect(2, 30, 4, 0);
    Device().SetScissorRect(2, 0, 4, 20);
    Device().SetScissorRect(-1, 30, 4, 20);
    Device().SetScissorRect(2, 30, -4, 20);
    EXPECT_EQ(Calls(D3D9Call::SetScissorRect), 0u);
}

TEST_F(DeviceOperationsTest, UpdateTextureOnlyFromSystemMemory) {
    IDirect3DTexture9* source = nullptr;
    IDirect3DTexture9* destination = nullptr;
    ASSERT_EQ(Device().GetD3DDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                     &source, nullptr),
              D3D_OK);
    ASSERT_EQ(Device().GetD3DDevice()->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                     &destination, nullptr),
              D3D_OK);
    TextureD3D9 fromDefault(MP_DEFAULT, Device().GetD3DDevice(), 2);
    TextureD3D9 fromSystem(MP_SYSTEM_MEMORY, Device().GetD3DDevice(), 2);
    TextureD3D9 to(MP_DEFAULT, Device().GetD3DDevice(), 2);
    // Each texture object holds a reference of its own.
    source->AddRef();
    source->AddRef();
    destination->AddRef();
    fromDefault.SetDeviceTexture(source);
    fromSystem.SetDeviceTexture(source);
    to.SetDeviceTexture(destination);
    EXPECT_FALSE(Device().UpdateTexture(&fromDefault, &to));
    EXPECT_EQ(Calls(D3D9Call::UpdateTexture), 0u);
    EXPECT_TRUE(Device().UpdateTexture(&fromSystem, &to));
    EXPECT_FALSE(Device().UpdateTexture(&fromSystem, nullptr));
    source->Release();
    destination->Release();
}

TEST_F(DeviceOperationsTest, SmallOperations) {
    EXPECT_EQ(Device().GetAvailableTextureMem(), 256u);
    EXPECT_EQ(Device().GetVideoMemory(false), 256u << 20);
    EXPECT_EQ(Device().GetVideoMemory(true), 240u << 20);
    EXPECT_EQ(Device().EvictManagedResources(), D3D_OK);
    const float plane[4] = {0, 1, 0, -2};
    Device().SetClipPlane(0, plane);
    float back[4] = {};
    Device().GetD3DDevice()->GetClipPlane(0, back);
    EXPECT_EQ(back[3], -2.0f);
    Device().UnbindShaders();
    Device().UnbindTextures();
    Device().DisableTextureTransform(1);
    EXPECT_EQ(Calls(D3D9Call::SetPixelShader) + Calls(D3D9Call::SetVertexShader) +
                  Calls(D3D9Call::SetTexture) + Calls(D3D9Call::SetTextureStageState),
              0u);  // all already so
    Device().ResetStageStates();
    DWORD op = 0;
    Device().GetD3DDevice()->GetTextureStageState(0, D3DTSS_COLOROP, &op);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTOP_DISABLE));
    EXPECT_EQ(Device().GetClassId(), ClassId::RenderDeviceD3D9);
    EXPECT_STREQ(Device().GetClassName(), "ZelRenderDeviceD3D9");
    EXPECT_NE(Device().GetPerfBeginEvent(), nullptr);
    EXPECT_NE(Device().GetPerfSetMarker(), nullptr);
}

TEST_F(DeviceOperationsTest, LogD3DErrorNamesTheCode) {
    struct Case {
        HRESULT code;
        const char* text;
    };
    const Case cases[] = {
        {D3DERR_INVALIDCALL, "Call D3D ERROR:D3DERR_INVALIDCALL,detail,dState=0"},
        {E_OUTOFMEMORY, "Call D3D ERROR:E_OUTOFMEMORY,detail,dState=0"},
        {D3DERR_WASSTILLDRAWING, "Call D3D ERROR:D3DERR_WASSTILLDRAWING,detail,dState=0"},
        {D3DERR_DRIVERINVALIDCALL, "Call D3D ERROR:D3DERR_DRIVERINVALIDCALL,detail,dState=0"},
        {E_FAIL, "Call D3D ERROR:-2147467259,detail,dState=0"},
        {D3DERR_OUTOFVIDEOMEMORY, "Call D3D ERROR:D3DERR_OUTOFVIDEOMEMORY,detail,dState=0"},
    };
    for (const Case& c : cases) Device().LogD3DError("Call", c.code, "detail");
    const std::string log = LogText();
    for (const Case& c : cases) EXPECT_NE(log.find(c.text), std::string::npos) << c.text;
    EXPECT_NE(log.find("GetAvailableVideoMemory()=: 256 MB"), std::string::npos);
    EXPECT_NE(log.find("GetAvailableVideoMemory2()=: 240 MB"), std::string::npos);
}

}  // namespace
