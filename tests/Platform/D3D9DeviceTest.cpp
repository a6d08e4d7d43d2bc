// The Direct3D object and the device: creation and its failure roads, the adapter tables, states
// set and read back, the defaults after Reset, and the call counters.
#include <cstring>
#include <string>

#include "Platform/Win32/Win32.h"
#include "tests/Platform/D3D9Fixture.h"

namespace {

DWORD Bits(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

using D3D9Device = D3D9Fixture;

TEST_F(D3D9Device, PlainAndExDevicesAreMadeOnTheWindowAndAnswerTheirInterfaces) {
    ComRef<IDirect3DDevice9> plain, ex;
    MakeDevice(&plain);
    MakeDevice(&ex, true);
    ASSERT_TRUE(plain && ex);

    ComRef<IDirect3DDevice9Ex> asEx;
    EXPECT_EQ(plain->QueryInterface(IID_IDirect3DDevice9Ex, reinterpret_cast<void**>(asEx.Out())),
              E_NOINTERFACE);
    EXPECT_FALSE(asEx);
    EXPECT_EQ(ex->QueryInterface(IID_IDirect3DDevice9Ex, reinterpret_cast<void**>(asEx.Out())),
              S_OK);
    EXPECT_TRUE(asEx);
    EXPECT_FALSE(Soft(plain)->IsEx());
    EXPECT_TRUE(Soft(ex)->IsEx());

    // The back buffer takes the window's client size when the parameters leave it at zero.
    ComRef<IDirect3DSurface9> back;
    ASSERT_EQ(plain->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.Out()), D3D_OK);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, kWidth);
    EXPECT_EQ(desc.Height, kHeight);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Usage, D3DUSAGE_RENDERTARGET);
}

TEST_F(D3D9Device, ModuleExportsAreFoundByNameAndEachCanBeAbsent) {
    HMODULE module = LoadLibraryA("d3d9.dll");
    ASSERT_NE(module, nullptr);
    auto create = reinterpret_cast<PFN_Direct3DCreate9>(GetProcAddress(module, "Direct3DCreate9"));
    ASSERT_NE(create, nullptr);
    ComRef<IDirect3D9> d3d(create(D3D_SDK_VERSION));
    EXPECT_TRUE(d3d);
    EXPECT_EQ(create(31), nullptr);  // another SDK version

    auto begin =
        reinterpret_cast<PFN_D3DPERF_BeginEvent>(GetProcAddress(module, "D3DPERF_BeginEvent"));
    auto end = reinterpret_cast<PFN_D3DPERF_EndEvent>(GetProcAddress(module, "D3DPERF_EndEvent"));
    auto marker =
        reinterpret_cast<PFN_D3DPERF_SetMarker>(GetProcAddress(module, "D3DPERF_SetMarker"));
    ASSERT_TRUE(begin && end && marker);
    EXPECT_EQ(begin(0xFF00FF00, L"Build"), 0);
    EXPECT_EQ(begin(0xFF00FF00, L"Inner"), 1);
    marker(0xFFFF0000, L"Mark");
    EXPECT_EQ(end(), 1);
    EXPECT_EQ(end(), 0);
    EXPECT_EQ(end(), -1);
    const D3D9Module::PerfLog& log = D3D9Module::Perf();
    EXPECT_EQ(log.beginEvents, 2u);
    EXPECT_EQ(log.endEvents, 3u);
    EXPECT_EQ(log.markers, 1u);
    EXPECT_EQ(log.lastName, L"Mark");

    struct Case {
        const char* name;
        bool D3D9Module::Settings::*offered;
    };
    for (const Case& c : {Case{"Direct3DCreate9", &D3D9Module::Settings::create9},
                          Case{"Direct3DCreate9Ex", &D3D9Module::Settings::create9Ex},
                          Case{"D3DPERF_BeginEvent", &D3D9Module::Settings::perfBeginEvent},
                          Case{"D3DPERF_EndEvent", &D3D9Module::Settings::perfEndEvent},
                          Case{"D3DPERF_SetMarker", &D3D9Module::Settings::perfSetMarker}}) {
        D3D9Module::Settings settings;
        settings.*c.offered = false;
        D3D9Module::Install(settings);
        EXPECT_EQ(GetProcAddress(module, c.name), nullptr) << c.name;
        D3D9Module::Install();
        EXPECT_NE(GetProcAddress(module, c.name), nullptr) << c.name;
    }
}

TEST_F(D3D9Device, CreationFailuresTakeTheEnginesFallbackRoads) {
    D3D9Module::Settings settings;
    settings.create9ExFails = true;
    D3D9Module::Install(settings);
    IDirect3D9Ex* ex = reinterpret_cast<IDirect3D9Ex*>(1);
    EXPECT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &ex), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(ex, nullptr);
    ComRef<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));  // the plain road still works
    ASSERT_TRUE(d3d);

    settings.create9Fails = true;
    D3D9Module::Install(settings);
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    D3D9Module::Install();

    // Hardware vertex processing refused: the software retry makes the device.
    SoftAdapter::Current().hardwareVertexProcessingFails = true;
    D3DPRESENT_PARAMETERS p = Parameters();
    ComRef<IDirect3DDevice9> device;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window_, 0x46, &p, device.Out()),
              D3DERR_NOTAVAILABLE);
    EXPECT_FALSE(device);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window_, 0x26, &p, device.Out()), D3D_OK);
    EXPECT_TRUE(device);
    device.Reset();

    SoftAdapter::Current().createDeviceFails = true;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window_, 0x26, &p, device.Out()),
              D3DERR_NOTAVAILABLE);
    EXPECT_FALSE(device);
}

TEST_F(D3D9Device, CreateDeviceRefusesWhatDirect3DRefuses) {
    ComRef<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
    struct Case {
        const char* what;
        void (*edit)(D3DPRESENT_PARAMETERS&, DWORD&, UINT&);
        HRESULT expected;
    };
    const Case cases[] = {
        {"no vertex processing flag",
         [](D3DPRESENT_PARAMETERS&, DWORD& f, UINT&) { f = D3DCREATE_MULTITHREADED; },
         D3DERR_INVALIDCALL},
        {"two vertex processing flags", [](D3DPRESENT_PARAMETERS&, DWORD& f, UINT&) { f = 0x60; },
         D3DERR_INVALIDCALL},
        {"second adapter", [](D3DPRESENT_PARAMETERS&, DWORD&, UINT& a) { a = 1; },
         D3DERR_INVALIDCALL},
        {"no window",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, UINT&) {
             p.hDeviceWindow = reinterpret_cast<HWND>(8);
         },
         D3DERR_INVALIDCALL},
        {"four back buffers",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, UINT&) { p.BackBufferCount = 4; },
         D3DERR_INVALIDCALL},
        {"copy swap with two buffers",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, UINT&) {
             p.SwapEffect = D3DSWAPEFFECT_COPY;
             p.BackBufferCount = 2;
         },
         D3DERR_INVALIDCALL},
        {"unsupported multisampling",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, UINT&) {
             p.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
         },
         D3DERR_INVALIDCALL},
        {"colour format as depth",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, UINT&) {
             p.AutoDepthStencilFormat = D3DFMT_A8R8G8B8;
         },
         D3DERR_INVALIDCALL},
        {"back buffer not a target format",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, UINT&) { p.BackBufferFormat = D3DFMT_DXT1; },
         D3DERR_NOTAVAILABLE},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = Parameters();
        DWORD flags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
        UINT adapter = 0;
        c.edit(p, flags, adapter);
        IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
        EXPECT_EQ(d3d->CreateDevice(adapter, D3DDEVTYPE_HAL, nullptr, flags, &p, &device),
                  c.expected)
            << c.what;
        EXPECT_EQ(device, nullptr) << c.what;
    }
}

TEST_F(D3D9Device, AdapterReportsItsConfiguredTables) {
    ComRef<IDirect3D9> d3d(Direct3DCreate9(D3D_SDK_VERSION));
    SoftAdapter& adapter = SoftAdapter::Current();
    adapter.SetDescription("NVIDIA GeForce FX 5200");
    adapter.SetDriverVersion(6, 14, 10, 9147);
    adapter.identifier.VendorId = 0x10DE;
    adapter.multisampleTypes[D3DFMT_X8R8G8B8] = 1u << 4;
    adapter.formatUsages.erase(D3DFMT_D24S8);

    D3DADAPTER_IDENTIFIER9 id;
    ASSERT_EQ(d3d->GetAdapterIdentifier(0, 0, &id), D3D_OK);
    EXPECT_STREQ(id.Description, "NVIDIA GeForce FX 5200");
    EXPECT_EQ(id.VendorId, 0x10DEu);
    EXPECT_EQ(id.DriverVersion.u.HighPart >> 16, 6);
    EXPECT_EQ(id.DriverVersion.u.HighPart & 0xFFFF, 14);
    EXPECT_EQ(id.DriverVersion.u.LowPart >> 16, 10u);
    EXPECT_EQ(id.DriverVersion.u.LowPart & 0xFFFF, 9147u);
    EXPECT_EQ(d3d->GetAdapterIdentifier(1, 0, &id), D3DERR_INVALIDCALL);

    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);

    struct FormatCase {
        DWORD usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT expected;
    };
    const FormatCase formats[] = {
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_X8R8G8B8, D3D_OK},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_A8R8G8B8, D3D_OK},
        {D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_DXT5, D3DERR_NOTAVAILABLE},
        {0, D3DRTYPE_TEXTURE, D3DFMT_DXT5, D3D_OK},
        {D3DUSAGE_AUTOGENMIPMAP, D3DRTYPE_TEXTURE, D3DFMT_DXT1, D3DOK_NOAUTOGEN},
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8,
         D3DERR_NOTAVAILABLE},  // erased above
        {D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_D16, D3DERR_NOTAVAILABLE},
        {0, D3DRTYPE_INDEXBUFFER, D3DFMT_INDEX32, D3D_OK},
        {0, D3DRTYPE_TEXTURE, D3DFMT_R8G8B8, D3DERR_NOTAVAILABLE},
    };
    for (const FormatCase& c : formats)
        EXPECT_EQ(
            d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, c.usage, c.type, c.format),
            c.expected)
            << "format " << c.format << " usage " << c.usage;

    DWORD quality = 99;
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                              D3DMULTISAMPLE_4_SAMPLES, &quality),
              D3D_OK);
    EXPECT_EQ(quality, 1u);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE,
                                              D3DMULTISAMPLE_2_SAMPLES, nullptr),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_D16, TRUE,
                                              D3DMULTISAMPLE_4_SAMPLES, nullptr),
              D3DERR_NOTAVAILABLE);

    adapter.caps.MaxTextureBlendStages = 4;
    D3DCAPS9 caps;
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.MaxTextureBlendStages, 4u);
    EXPECT_EQ(caps.PixelShaderVersion, D3DPS_VERSION(3, 0));
}

TEST_F(D3D9Device, DeviceCreationFindsTheVideoDriversRegistryKey) {
    // The road the device takes to write its driver values: the video map names the adapter key.
    HKEY video = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\VIDEO", 0, KEY_ALL_ACCESS, &video),
        0);
    char value[256] = {};
    DWORD size = sizeof(value), type = 0;
    ASSERT_EQ(RegQueryValueExA(video, "\\Device\\Video0", nullptr, &type,
                               reinterpret_cast<BYTE*>(value), &size),
              0);
    RegCloseKey(video);
    EXPECT_EQ(type, REG_SZ);
    std::string text = value;
    std::size_t at = text.rfind("Video\\");
    ASSERT_NE(at, std::string::npos);
    std::string key = "SYSTEM\\CurrentControlSet\\Control\\Video\\" + text.substr(at + 6);
    EXPECT_EQ(key, D3D9Module::AdapterKeyPath());
    HKEY adapter = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, &adapter), 0);
    DWORD frames = 1;
    EXPECT_EQ(
        RegSetValueExA(adapter, "D3D_98764205", 0, REG_BINARY, reinterpret_cast<BYTE*>(&frames), 4),
        0);
    RegCloseKey(adapter);
}

TEST_F(D3D9Device, StatesSetAreReadBack) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);

    DWORD v = 0;
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW), D3D_OK);
    ASSERT_EQ(device->GetRenderState(D3DRS_CULLMODE, &v), D3D_OK);
    EXPECT_EQ(v, static_cast<DWORD>(D3DCULL_CW));
    ASSERT_EQ(device->SetSamplerState(15, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(device->GetSamplerState(15, D3DSAMP_MAGFILTER, &v), D3D_OK);
    EXPECT_EQ(v, static_cast<DWORD>(D3DTEXF_LINEAR));
    ASSERT_EQ(device->SetTextureStageState(3, D3DTSS_TEXCOORDINDEX, 7), D3D_OK);
    ASSERT_EQ(device->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &v), D3D_OK);
    EXPECT_EQ(v, 7u);

    D3DMATRIX world{};
    world._11 = 2.0f;
    world._41 = 5.0f;
    ASSERT_EQ(device->SetTransform(D3DTS_WORLDMATRIX(3), &world), D3D_OK);
    D3DMATRIX back{};
    ASSERT_EQ(device->GetTransform(D3DTS_WORLDMATRIX(3), &back), D3D_OK);
    EXPECT_EQ(back._11, 2.0f);
    EXPECT_EQ(back._41, 5.0f);

    D3DLIGHT9 light = SoftDeviceState::DefaultLight();
    light.Type = D3DLIGHT_POINT;
    light.Range = 1000.0f;
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    D3DLIGHT9 gotLight{};
    BOOL enabled = FALSE;
    ASSERT_EQ(device->GetLight(0, &gotLight), D3D_OK);
    ASSERT_EQ(device->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_EQ(gotLight.Type, D3DLIGHT_POINT);
    EXPECT_EQ(gotLight.Range, 1000.0f);
    EXPECT_TRUE(enabled);
    // Enabling a light never set gives it Direct3D's default light.
    ASSERT_EQ(device->LightEnable(5, TRUE), D3D_OK);
    ASSERT_EQ(device->GetLight(5, &gotLight), D3D_OK);
    EXPECT_EQ(gotLight.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(gotLight.Diffuse.r, 1.0f);
    EXPECT_EQ(gotLight.Direction.z, 1.0f);

    D3DMATERIAL9 material{};
    material.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    material.Power = 8.0f;
    ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
    D3DMATERIAL9 gotMaterial{};
    ASSERT_EQ(device->GetMaterial(&gotMaterial), D3D_OK);
    EXPECT_EQ(gotMaterial.Diffuse.g, 0.25f);
    EXPECT_EQ(gotMaterial.Power, 8.0f);

    const float plane[4] = {0.0f, 1.0f, 0.0f, -2.0f};
    float gotPlane[4] = {};
    ASSERT_EQ(device->SetClipPlane(5, plane), D3D_OK);
    ASSERT_EQ(device->GetClipPlane(5, gotPlane), D3D_OK);
    EXPECT_EQ(gotPlane[3], -2.0f);

    RECT scissor{1, 2, 30, 40}, gotScissor{};
    ASSERT_EQ(device->SetScissorRect(&scissor), D3D_OK);
    ASSERT_EQ(device->GetScissorRect(&gotScissor), D3D_OK);
    EXPECT_EQ(gotScissor.right, 30);

    D3DVIEWPORT9 viewport{4, 5, 20, 10, 0.25f, 0.75f}, gotViewport{};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->GetViewport(&gotViewport), D3D_OK);
    EXPECT_EQ(gotViewport.Width, 20u);
    EXPECT_EQ(gotViewport.MaxZ, 0.75f);

    ASSERT_EQ(device->SetNPatchMode(4.0f), D3D_OK);
    EXPECT_EQ(device->GetNPatchMode(), 4.0f);

    ASSERT_EQ(device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1), D3D_OK);
    ASSERT_EQ(device->GetFVF(&v), D3D_OK);
    EXPECT_EQ(v, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);

    const float constants[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    float got[8] = {};
    ASSERT_EQ(device->SetVertexShaderConstantF(254, constants, 2), D3D_OK);
    ASSERT_EQ(device->GetVertexShaderConstantF(254, got, 2), D3D_OK);
    EXPECT_EQ(got[7], 8.0f);
    EXPECT_EQ(device->SetVertexShaderConstantF(255, constants, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetPixelShaderConstantF(223, constants, 2), D3DERR_INVALIDCALL);
    const BOOL flags[2] = {TRUE, FALSE};
    BOOL gotFlags[2] = {};
    ASSERT_EQ(device->SetPixelShaderConstantB(14, flags, 2), D3D_OK);
    ASSERT_EQ(device->GetPixelShaderConstantB(14, gotFlags, 2), D3D_OK);
    EXPECT_EQ(gotFlags[0], TRUE);
    const int ints[4] = {1, -2, 3, -4};
    int gotInts[4] = {};
    ASSERT_EQ(device->SetVertexShaderConstantI(15, ints, 1), D3D_OK);
    ASSERT_EQ(device->GetVertexShaderConstantI(15, gotInts, 1), D3D_OK);
    EXPECT_EQ(gotInts[3], -4);
}

TEST_F(D3D9Device, StateNumbersOutsideDirect3DsAreRefused) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    DWORD v;
    struct Case {
        const char* what;
        HRESULT hr;
    };
    D3DMATRIX m{};
    D3DLIGHT9 light{};
    const Case cases[] = {
        {"render state 0", device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(0), 1)},
        {"render state 10", device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(10), 1)},
        {"render state 210", device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(210), 1)},
        {"render state 164", device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(164), &v)},
        {"sampler 16", device->SetSamplerState(16, D3DSAMP_ADDRESSU, 1)},
        {"sampler state 14", device->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(14), 1)},
        {"stage 16", device->SetTextureStageState(16, D3DTSS_COLOROP, 1)},
        {"stage state 12",
         device->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(12), 1)},
        {"transform 0", device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(0), &m)},
        {"transform 512", device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(512), &m)},
        {"clip plane 6", device->SetClipPlane(6, &m._11)},
        {"light of type 0", device->SetLight(0, &light)},
        {"unset light", device->GetLight(9, &light)},
        {"render target 4", device->SetRenderTarget(4, nullptr)},
        {"render target 0 unset", device->SetRenderTarget(0, nullptr)},
        {"texture stage 16", device->SetTexture(16, nullptr)},
        {"stream 16", device->SetStreamSource(16, nullptr, 0, 0)},
        {"stride above the caps", device->SetStreamSource(0, nullptr, 0, 4096)},
        {"viewport outside the target",
         [&] {
             D3DVIEWPORT9 vp{60, 0, 10, 10, 0.0f, 1.0f};
             return device->SetViewport(&vp);
         }()},
        {"viewport depth above 1",
         [&] {
             D3DVIEWPORT9 vp{0, 0, 10, 10, 0.0f, 1.5f};
             return device->SetViewport(&vp);
         }()},
        {"end scene without begin", device->EndScene()},
        {"invalid FVF", device->SetFVF(D3DFVF_NORMAL)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.hr, D3DERR_INVALIDCALL) << c.what;
}

struct RenderStateDefault {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

// Direct3D 9's documented defaults, with an automatic depth buffer.
const RenderStateDefault kRenderStateDefaults[] = {
    {D3DRS_ZENABLE, D3DZB_TRUE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_LASTPIXEL, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_DITHERENABLE, FALSE},
    {D3DRS_ALPHABLENDENABLE, FALSE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_FOGCOLOR, 0},
    {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
    {D3DRS_FOGSTART, Bits(0.0f)},
    {D3DRS_FOGEND, Bits(1.0f)},
    {D3DRS_FOGDENSITY, Bits(1.0f)},
    {D3DRS_RANGEFOGENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, 0},
    {D3DRS_STENCILMASK, 0xFFFFFFFF},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFF},
    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
    {D3DRS_WRAP0, 0},
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_AMBIENT, 0},
    {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_LOCALVIEWER, TRUE},
    {D3DRS_NORMALIZENORMALS, FALSE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_VERTEXBLEND, D3DVBF_DISABLE},
    {D3DRS_CLIPPLANEENABLE, 0},
    {D3DRS_POINTSIZE, Bits(1.0f)},
    {D3DRS_POINTSIZE_MIN, Bits(1.0f)},
    {D3DRS_POINTSPRITEENABLE, FALSE},
    {D3DRS_POINTSCALEENABLE, FALSE},
    {D3DRS_POINTSCALE_A, Bits(1.0f)},
    {D3DRS_POINTSCALE_B, Bits(0.0f)},
    {D3DRS_POINTSCALE_C, Bits(0.0f)},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF},
    {D3DRS_PATCHEDGESTYLE, D3DPATCHEDGE_DISCRETE},
    {D3DRS_DEBUGMONITORTOKEN, D3DDMT_ENABLE},
    {D3DRS_POINTSIZE_MAX, Bits(64.0f)},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
    {D3DRS_COLORWRITEENABLE, 0xF},
    {D3DRS_TWEENFACTOR, Bits(0.0f)},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_POSITIONDEGREE, D3DDEGREE_CUBIC},
    {D3DRS_NORMALDEGREE, D3DDEGREE_LINEAR},
    {D3DRS_SCISSORTESTENABLE, FALSE},
    {D3DRS_SLOPESCALEDEPTHBIAS, 0},
    {D3DRS_ANTIALIASEDLINEENABLE, FALSE},
    {D3DRS_MINTESSELLATIONLEVEL, Bits(1.0f)},
    {D3DRS_MAXTESSELLATIONLEVEL, Bits(1.0f)},
    {D3DRS_ADAPTIVETESS_X, Bits(0.0f)},
    {D3DRS_ADAPTIVETESS_Z, Bits(1.0f)},
    {D3DRS_ENABLEADAPTIVETESSELLATION, FALSE},
    {D3DRS_TWOSIDEDSTENCILMODE, FALSE},
    {D3DRS_CCW_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_COLORWRITEENABLE1, 0xF},
    {D3DRS_COLORWRITEENABLE3, 0xF},
    {D3DRS_BLENDFACTOR, 0xFFFFFFFF},
    {D3DRS_SRGBWRITEENABLE, 0},
    {D3DRS_DEPTHBIAS, 0},
    {D3DRS_WRAP15, 0},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
    {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
    {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO},
    {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD},
};

TEST_F(D3D9Device, ResetPutsEveryStateBackToDirect3DsDefaultsAndUnbindsEverything) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);

    // Change every state the tables below check, and bind things.
    for (const RenderStateDefault& d : kRenderStateDefaults)
        ASSERT_EQ(device->SetRenderState(d.state, d.value ^ 0x5A), D3D_OK);
    for (DWORD sampler = 0; sampler < 16; ++sampler)
        for (DWORD s = 1; s <= 13; ++s)
            device->SetSamplerState(sampler, static_cast<D3DSAMPLERSTATETYPE>(s), 77);
    for (DWORD stage = 0; stage < 8; ++stage)
        for (DWORD s : {1, 2, 3, 4, 5, 6, 11, 24, 26, 27, 28, 32})
            device->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(s), 77);
    D3DMATRIX m{};
    m._12 = 3.0f;
    device->SetTransform(D3DTS_VIEW, &m);
    device->LightEnable(2, TRUE);
    ComRef<IDirect3DTexture9> texture;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, texture.Out(), nullptr),
        D3D_OK);
    device->SetTexture(0, texture.Get());
    const D3DVERTEXELEMENT9 elements[] = {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0},
                                          D3DDECL_END()};
    ComRef<IDirect3DVertexDeclaration9> declaration;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, declaration.Out()), D3D_OK);
    device->SetVertexDeclaration(declaration.Get());

    D3DPRESENT_PARAMETERS p = Parameters();
    p.BackBufferWidth = 32;
    p.BackBufferHeight = 16;
    ASSERT_EQ(device->Reset(&p), D3D_OK);

    DWORD v = 0;
    for (const RenderStateDefault& d : kRenderStateDefaults) {
        ASSERT_EQ(device->GetRenderState(d.state, &v), D3D_OK);
        EXPECT_EQ(v, d.value) << "render state " << d.state;
    }
    const struct {
        D3DSAMPLERSTATETYPE state;
        DWORD value;
    } samplerDefaults[] = {
        {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},
        {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
        {D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP},
        {D3DSAMP_BORDERCOLOR, 0},
        {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
        {D3DSAMP_MINFILTER, D3DTEXF_POINT},
        {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
        {D3DSAMP_MIPMAPLODBIAS, 0},
        {D3DSAMP_MAXMIPLEVEL, 0},
        {D3DSAMP_MAXANISOTROPY, 1},
        {D3DSAMP_SRGBTEXTURE, 0},
        {D3DSAMP_ELEMENTINDEX, 0},
        {D3DSAMP_DMAPOFFSET, 0},
    };
    for (DWORD sampler : {0u, 7u, 15u})
        for (const auto& d : samplerDefaults) {
            ASSERT_EQ(device->GetSamplerState(sampler, d.state, &v), D3D_OK);
            EXPECT_EQ(v, d.value) << "sampler " << sampler << " state " << d.state;
        }
    const struct {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE state;
        DWORD value;
    } stageDefaults[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
        {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {5, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        {2, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {2, D3DTSS_COLORARG2, D3DTA_CURRENT},
        {2, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},
        {2, D3DTSS_ALPHAARG2, D3DTA_CURRENT},
        {3, D3DTSS_TEXCOORDINDEX, 3},
        {7, D3DTSS_TEXCOORDINDEX, 7},
        {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE},
        {1, D3DTSS_COLORARG0, D3DTA_CURRENT},
        {1, D3DTSS_ALPHAARG0, D3DTA_CURRENT},
        {1, D3DTSS_RESULTARG, D3DTA_CURRENT},
        {4, D3DTSS_CONSTANT, 0},
    };
    for (const auto& d : stageDefaults) {
        ASSERT_EQ(device->GetTextureStageState(d.stage, d.state, &v), D3D_OK);
        EXPECT_EQ(v, d.value) << "stage " << d.stage << " state " << d.state;
    }
    D3DMATRIX view{};
    ASSERT_EQ(device->GetTransform(D3DTS_VIEW, &view), D3D_OK);
    EXPECT_EQ(view._12, 0.0f);
    EXPECT_EQ(view._44, 1.0f);
    D3DLIGHT9 light;
    EXPECT_EQ(device->GetLight(2, &light), D3DERR_INVALIDCALL);

    ComRef<IDirect3DBaseTexture9> boundTexture;
    ASSERT_EQ(device->GetTexture(0, boundTexture.Out()), D3D_OK);
    EXPECT_FALSE(boundTexture);
    ComRef<IDirect3DVertexDeclaration9> boundDeclaration;
    ASSERT_EQ(device->GetVertexDeclaration(boundDeclaration.Out()), D3D_OK);
    EXPECT_FALSE(boundDeclaration);

    D3DVIEWPORT9 vp{};
    ASSERT_EQ(device->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.Width, 32u);
    EXPECT_EQ(vp.Height, 16u);
    ComRef<IDirect3DSurface9> depth;
    ASSERT_EQ(device->GetDepthStencilSurface(depth.Out()), D3D_OK);
    D3DSURFACE_DESC desc;
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Width, 32u);
    EXPECT_EQ(desc.Format, D3DFMT_D24S8);

    // Without an automatic depth buffer, depth testing starts off.
    depth.Reset();
    p.EnableAutoDepthStencil = FALSE;
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    ASSERT_EQ(device->GetRenderState(D3DRS_ZENABLE, &v), D3D_OK);
    EXPECT_EQ(v, static_cast<DWORD>(D3DZB_FALSE));
    EXPECT_EQ(device->GetDepthStencilSurface(depth.Out()), D3DERR_NOTFOUND);
}

TEST_F(D3D9Device, CallCountersCountEveryCallOfEachMethod) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    SoftDevice9* soft = Soft(device);
    soft->ResetCallCounts();
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(D3DRS_ZENABLE, 0);
    device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(0), 0);  // refused, still a call
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetTexture(0, nullptr);
    DWORD v;
    device->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(soft->CallCount(D3D9Call::SetRenderState), 3u);
    EXPECT_EQ(soft->CallCount(D3D9Call::SetSamplerState), 1u);
    EXPECT_EQ(soft->CallCount(D3D9Call::SetTexture), 1u);
    EXPECT_EQ(soft->CallCount(D3D9Call::GetRenderState), 1u);
    EXPECT_EQ(soft->CallCount(D3D9Call::SetTextureStageState), 0u);
    EXPECT_STREQ(D3D9CallName(D3D9Call::SetSamplerState), "SetSamplerState");
}

TEST_F(D3D9Device, ReleaseAnswersTheReferencesLeftAndObjectsKeepTheDeviceAlive) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
    EXPECT_EQ(device->AddRef(), 3u);  // the caller, the buffer and this AddRef
    EXPECT_EQ(device->Release(), 2u);
    IDirect3DDevice9* raw = device.Get();
    EXPECT_EQ(device.Reset(), 1u);  // the buffer still holds it
    ComRef<IDirect3DDevice9> fromBuffer;
    ASSERT_EQ(buffer->GetDevice(fromBuffer.Out()), D3D_OK);
    EXPECT_EQ(fromBuffer.Get(), raw);
    fromBuffer.Reset();
    // A bound buffer counts on the device, not on the caller.
    raw->SetStreamSource(0, buffer, 0, 12);
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);  // the device goes with it, dropping the binding
}

TEST_F(D3D9Device, ShadersAreOpaqueObjectsComparedByIdentity) {
    ComRef<IDirect3DDevice9> device;
    MakeDevice(&device);
    const DWORD vs[] = {0xFFFE0200, 0x0000001F, 0x0000FFFF};
    const DWORD ps[] = {0xFFFF0200, 0x0000FFFF};
    ComRef<IDirect3DVertexShader9> vertex, gotVertex;
    ComRef<IDirect3DPixelShader9> pixel, gotPixel;
    ASSERT_EQ(device->CreateVertexShader(vs, vertex.Out()), D3D_OK);
    ASSERT_EQ(device->CreatePixelShader(ps, pixel.Out()), D3D_OK);
    EXPECT_EQ(device->CreateVertexShader(ps, gotVertex.Out()),
              D3DERR_INVALIDCALL);  // a pixel shader's tokens
    EXPECT_EQ(device->CreatePixelShader(nullptr, gotPixel.Out()), D3DERR_INVALIDCALL);

    ASSERT_EQ(device->SetVertexShader(vertex.Get()), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(pixel.Get()), D3D_OK);
    ASSERT_EQ(device->GetVertexShader(gotVertex.Out()), D3D_OK);
    ASSERT_EQ(device->GetPixelShader(gotPixel.Out()), D3D_OK);
    EXPECT_EQ(gotVertex.Get(), vertex.Get());
    EXPECT_EQ(gotPixel.Get(), pixel.Get());

    UINT size = 0;
    ASSERT_EQ(vertex->GetFunction(nullptr, &size), D3D_OK);
    EXPECT_EQ(size, sizeof(vs));
    ASSERT_EQ(device->SetPixelShader(nullptr), D3D_OK);
    ASSERT_EQ(device->GetPixelShader(gotPixel.Out()), D3D_OK);
    EXPECT_FALSE(gotPixel);
}

}  // namespace
