// The effect API over the effect compiler: creating effects from source and compiled files,
// includes, parameter and technique handles, setters, and passes drawn through the device with
// their states routed through a state manager.
#include <bit>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Platform/D3DX9/D3DX9Effect.h"
#include "Platform/D3DX9/D3DX9Errors.h"
#include "tests/Platform/RasterFixture.h"
#include "tests/support/TempDir.h"

namespace {

// Serves includes from a map; counts opens and closes.
class MapInclude final : public ID3DXInclude {
public:
    std::map<std::string, std::string> files;
    bool successWithoutData = false;
    int opens = 0, closes = 0;

    HRESULT Open(D3DXINCLUDE_TYPE, LPCSTR name, LPCVOID, LPCVOID* data, UINT* bytes) override {
        ++opens;
        if (successWithoutData) {
            *data = nullptr;
            return S_OK;
        }
        auto found = files.find(name);
        if (found == files.end())
            return E_FAIL;
        *data = found->second.data();
        *bytes = static_cast<UINT>(found->second.size());
        return S_OK;
    }
    HRESULT Close(LPCVOID) override {
        ++closes;
        return S_OK;
    }
};

// Records what a pass hands to the state manager instead of the device.
class RecordingManager final : public ID3DXEffectStateManager {
public:
    std::vector<std::string> calls;
    ULONG refs = 1;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE s, const D3DMATRIX*) override {
        return Note("transform", s, 0);
    }
    HRESULT SetMaterial(const D3DMATERIAL9*) override { return Note("material", 0, 0); }
    HRESULT SetLight(DWORD, const D3DLIGHT9*) override { return Note("light", 0, 0); }
    HRESULT LightEnable(DWORD, BOOL) override { return Note("lightenable", 0, 0); }
    HRESULT SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override { return Note("rs", s, v); }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* t) override {
        return Note("texture", stage, t != nullptr);
    }
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE s, DWORD v) override {
        return Note("tss" + std::to_string(stage), s, v);
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE s, DWORD v) override {
        return Note("samp" + std::to_string(sampler), s, v);
    }
    HRESULT SetNPatchMode(float) override { return Note("npatch", 0, 0); }
    HRESULT SetFVF(DWORD) override { return Note("fvf", 0, 0); }
    HRESULT SetVertexShader(IDirect3DVertexShader9*) override { return Note("vs", 0, 0); }
    HRESULT SetVertexShaderConstantF(UINT, const float*, UINT) override { return S_OK; }
    HRESULT SetVertexShaderConstantI(UINT, const int*, UINT) override { return S_OK; }
    HRESULT SetVertexShaderConstantB(UINT, const BOOL*, UINT) override { return S_OK; }
    HRESULT SetPixelShader(IDirect3DPixelShader9*) override { return Note("ps", 0, 0); }
    HRESULT SetPixelShaderConstantF(UINT, const float*, UINT) override { return S_OK; }
    HRESULT SetPixelShaderConstantI(UINT, const int*, UINT) override { return S_OK; }
    HRESULT SetPixelShaderConstantB(UINT, const BOOL*, UINT) override { return S_OK; }

private:
    HRESULT Note(const std::string& what, DWORD a, DWORD b) {
        calls.push_back(what + " " + std::to_string(a) + " " + std::to_string(b));
        return S_OK;
    }
};

const char* const kCommon = R"(
struct SamplerStateStruct { int AddressU; int AddressV; int MinFilter; };
float4x4 g_Transform;
float4 g_Tint = {1, 1, 1, 1};
float4x3 g_Bones[2];
)";

const char* const kEffect = R"(
#include "common.fxh"
SamplerStateStruct g_DiffuseSamplerState = {3, 3, 1};
texture g_Texture;
sampler2D g_Sampler = sampler_state {
    Texture = <g_Texture>;
    AddressU = <g_DiffuseSamplerState.AddressU>;
    MinFilter = <g_DiffuseSamplerState.MinFilter>;
};
struct VsOut {
    float4 position : POSITION;
    float2 uv : TEXCOORD0;
    float4 colour : COLOR0;
};
VsOut MainVs(float4 position : POSITION, float2 uv : TEXCOORD0, float4 colour : COLOR0) {
    VsOut o;
    o.position = mul(position, g_Transform);
    o.uv = uv;
    o.colour = colour * g_Tint;
    return o;
}
float4 MainPs(float2 uv : TEXCOORD0, float4 colour : COLOR0) : COLOR0 {
    return tex2D(g_Sampler, uv) * colour;
}
technique Ambient {
    pass P0 {
        ZEnable = FALSE;
        CullMode = NONE;
        VertexShader = compile vs_2_0 MainVs();
        PixelShader = compile ps_2_0 MainPs();
    }
}
technique Ambient_DX7 {
    pass P0 {
        Texture[0] = <g_Texture>;
        ColorOp[0] = SELECTARG1;
        ColorArg1[0] = TEXTURE;
        TextureTransformFlags[0] = COUNT4|PROJECTED;
        VertexShader = NULL;
        PixelShader = NULL;
    }
}
)";

class D3DXEffectTest : public RasterFixture {
protected:
    void SetUp() override {
        RasterFixture::SetUp();
        include_.files["common.fxh"] = kCommon;
        source_ = dir_.Write("effect.fx", kEffect);
    }
    void TearDown() override {
        if (effect_ != nullptr)
            effect_->Release();
        RasterFixture::TearDown();
    }
    HRESULT Create(const std::string& path, std::string* messages = nullptr) {
        LPD3DXBUFFER errors = nullptr;
        HRESULT hr = D3DXCreateEffectFromFileA(device_.Get(), path.c_str(), nullptr, &include_,
                                               D3DXSHADER_USE_LEGACY_D3DX9_31_DLL, nullptr,
                                               &effect_, &errors);
        if (errors != nullptr) {
            if (messages != nullptr)
                *messages = static_cast<const char*>(errors->GetBufferPointer());
            errors->Release();
        }
        return hr;
    }

    // The quad drawn at half size, its colour tinted by (1, 0.5, 1).
    void HalveAndTint() {
        D3DMATRIX half = {};
        half.m[0][0] = half.m[1][1] = 0.5f;
        half.m[2][2] = half.m[3][3] = 1.0f;
        ASSERT_EQ(effect_->SetMatrix(effect_->GetParameterByName(nullptr, "g_Transform"), &half),
                  D3D_OK);
        float tint[4] = {1, 0.5f, 1, 1};
        ASSERT_EQ(effect_->SetValue(effect_->GetParameterByName(nullptr, "g_Tint"), tint, 16),
                  D3D_OK);
    }

    ZelTest::TempDir dir_;
    MapInclude include_;
    std::string source_;
    LPD3DXEFFECT effect_ = nullptr;
};

TEST_F(D3DXEffectTest, HandlesNameParametersMembersElementsAndTechniques) {
    std::string messages;
    ASSERT_EQ(Create(source_, &messages), D3D_OK) << messages;
    EXPECT_EQ(include_.opens, 1);
    EXPECT_EQ(include_.closes, 1);

    D3DXHANDLE state = effect_->GetParameterByName(nullptr, "g_DiffuseSamplerState");
    ASSERT_NE(state, nullptr);
    D3DXHANDLE minFilter = effect_->GetParameterByName(state, "MinFilter");
    EXPECT_NE(minFilter, nullptr);
    EXPECT_EQ(effect_->GetParameterByName(state, "MinFilter"), minFilter);  // stable
    EXPECT_EQ(effect_->GetParameterByName(state, "MipFilter"), nullptr);
    EXPECT_EQ(effect_->GetParameterByName(nullptr, "MinFilter"), nullptr);
    EXPECT_EQ(effect_->GetParameterByName(nullptr, "g_Missing"), nullptr);

    D3DXHANDLE bones = effect_->GetParameterByName(nullptr, "g_Bones");
    ASSERT_NE(bones, nullptr);
    EXPECT_NE(effect_->GetParameterElement(bones, 1), nullptr);
    EXPECT_EQ(effect_->GetParameterElement(bones, 2), nullptr);
    EXPECT_EQ(effect_->GetParameterElement(state, 0), nullptr);  // not an array

    std::vector<std::string> names;
    for (UINT i = 0; D3DXHANDLE t = effect_->GetTechnique(i); ++i) {
        D3DXTECHNIQUE_DESC desc;
        ASSERT_EQ(effect_->GetTechniqueDesc(t, &desc), D3D_OK);
        names.push_back(desc.Name);
        EXPECT_EQ(desc.Passes, 1u);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Ambient", "Ambient_DX7"}));
    EXPECT_EQ(effect_->GetTechniqueByName("Ambient_DX7"), effect_->GetTechnique(1));
    EXPECT_EQ(effect_->SetTechnique(nullptr), D3DERR_INVALIDCALL);
    // A parameter handle is no technique, and a foreign pointer no handle.
    EXPECT_EQ(effect_->SetTechnique(state), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetFloat(reinterpret_cast<D3DXHANDLE>(&names), 1.0f), D3DERR_INVALIDCALL);
}

TEST_F(D3DXEffectTest, SettersCheckTheParameterKind) {
    ASSERT_EQ(Create(source_), D3D_OK);
    D3DXHANDLE transform = effect_->GetParameterByName(nullptr, "g_Transform");
    D3DXHANDLE tint = effect_->GetParameterByName(nullptr, "g_Tint");
    D3DXHANDLE texture = effect_->GetParameterByName(nullptr, "g_Texture");
    D3DXHANDLE bones = effect_->GetParameterByName(nullptr, "g_Bones");
    D3DMATRIX m = {};
    float four[4] = {1, 2, 3, 4};
    EXPECT_EQ(effect_->SetMatrix(transform, &m), D3D_OK);
    EXPECT_EQ(effect_->SetMatrix(tint, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetMatrix(nullptr, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetValue(tint, four, 16), D3D_OK);
    EXPECT_EQ(effect_->SetValue(tint, four, 20), D3DERR_INVALIDCALL);  // larger than the value
    EXPECT_EQ(effect_->SetValue(texture, four, 4), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetTexture(tint, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetTexture(texture, nullptr), D3D_OK);
    D3DMATRIX two[3] = {};
    EXPECT_EQ(effect_->SetMatrixTransposeArray(bones, two, 2), D3D_OK);
    EXPECT_EQ(effect_->SetMatrixTransposeArray(bones, two, 3), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetMatrixTransposeArray(bones, two, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect_->SetFloat(tint, 0.5f), D3D_OK);
    EXPECT_EQ(effect_->SetInt(texture, 1), D3DERR_INVALIDCALL);
}

TEST_F(D3DXEffectTest, CompiledFileLoadsWithoutItsSource) {
    LPD3DXEFFECTCOMPILER compiler = nullptr;
    LPD3DXBUFFER errors = nullptr;
    ASSERT_EQ(
        D3DXCreateEffectCompilerFromFileA(source_.c_str(), nullptr, &include_,
                                          D3DXSHADER_USE_LEGACY_D3DX9_31_DLL, &compiler, &errors),
        D3D_OK);
    EXPECT_EQ(errors, nullptr);
    LPD3DXBUFFER compiled = nullptr;
    ASSERT_EQ(compiler->CompileEffect(0, &compiled, nullptr), D3D_OK);
    compiler->Release();
    std::string bytes(static_cast<const char*>(compiled->GetBufferPointer()),
                      compiled->GetBufferSize());
    compiled->Release();
    EXPECT_EQ(bytes.substr(0, 4), "ZFXO");
    std::string fxo = dir_.Write("effect.fxo", bytes);
    std::filesystem::remove(source_);
    include_.files.clear();  // a compiled effect reads no includes
    ASSERT_EQ(Create(fxo), D3D_OK);
    EXPECT_NE(effect_->GetTechniqueByName("Ambient_DX7"), nullptr);
    EXPECT_NE(effect_->GetParameterByName(nullptr, "g_Bones"), nullptr);
}

TEST_F(D3DXEffectTest, FailuresHandBackTheCompilersMessages) {
    std::string messages;
    // A missing include, and a handler that answers success with no data, both fail the load.
    include_.files.clear();
    EXPECT_EQ(Create(source_, &messages), D3DXERR_INVALIDDATA);
    EXPECT_NE(messages.find("common.fxh"), std::string::npos) << messages;
    EXPECT_EQ(effect_, nullptr);
    include_.files["common.fxh"] = kCommon;
    include_.successWithoutData = true;
    EXPECT_EQ(Create(source_, &messages), D3DXERR_INVALIDDATA);
    EXPECT_EQ(include_.closes, 0);
    include_.successWithoutData = false;

    std::string bad = dir_.Write("bad.fx", "float4 f( { return 1; }\n");
    EXPECT_EQ(Create(bad, &messages), D3DXERR_INVALIDDATA);
    EXPECT_NE(messages.find("error X"), std::string::npos) << messages;
    EXPECT_EQ(Create((dir_.Path() / "missing.fx").string()), E_FAIL);
    std::string damaged = dir_.Write("damaged.fxo", std::string("ZFXO\x01\0\0\0", 8));
    EXPECT_EQ(Create(damaged), D3DXERR_INVALIDDATA);
    EXPECT_EQ(effect_, nullptr);
}

TEST_F(D3DXEffectTest, PassDrawsThroughTheDeviceAndRoutesStatesThroughTheManager) {
    ASSERT_EQ(Create(source_), D3D_OK);
    RecordingManager manager;
    ASSERT_EQ(effect_->SetStateManager(&manager), D3D_OK);
    HalveAndTint();
    ComRef<IDirect3DTexture9> texture;
    MakeTexture(&texture, 1, 1, {{0xFFFFFF00u}});
    ASSERT_EQ(effect_->SetTexture(effect_->GetParameterByName(nullptr, "g_Texture"), texture.Get()),
              D3D_OK);

    UINT passes = 0;
    ASSERT_EQ(effect_->Begin(&passes, D3DXFX_DONOTSAVESTATE), D3D_OK);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(effect_->BeginPass(1), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    std::vector<std::string> expected = {
        "rs " + std::to_string(D3DRS_ZENABLE) + " 0",
        "rs " + std::to_string(D3DRS_CULLMODE) + " " + std::to_string(D3DCULL_NONE),
        "texture 0 1",
        "samp0 " + std::to_string(D3DSAMP_ADDRESSU) + " 3",
        "samp0 " + std::to_string(D3DSAMP_MINFILTER) + " 1",
    };
    EXPECT_EQ(manager.calls, expected);
    // The manager stands in for the device: bind the texture as it would.
    ASSERT_EQ(device_->SetTexture(0, texture.Get()), D3D_OK);
    ClipQuad();
    EXPECT_EQ(Pixel(32, 32), 0xFFFF8000u);  // yellow tinted by (1, 0.5, 1)
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u);    // outside the halved quad

    // A changed parameter reaches the draw only when committed; sampler blocks apply again.
    manager.calls.clear();
    float white[4] = {1, 1, 1, 1};
    ASSERT_EQ(effect_->SetValue(effect_->GetParameterByName(nullptr, "g_Tint"), white, 16), D3D_OK);
    ClipQuad();
    EXPECT_EQ(Pixel(32, 32), 0xFFFF8000u);
    ASSERT_EQ(effect_->CommitChanges(), D3D_OK);
    EXPECT_EQ(manager.calls.size(), 3u);
    ClipQuad();
    EXPECT_EQ(Pixel(32, 32), 0xFFFFFF00u);

    EXPECT_EQ(effect_->End(), D3DERR_INVALIDCALL);  // a pass is open
    ASSERT_EQ(effect_->EndPass(), D3D_OK);
    ASSERT_EQ(effect_->End(), D3D_OK);
    // The programs are unbound: the fixed-function stages draw the vertex colour.
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    ClipQuad(0xFF0000FFu);
    EXPECT_EQ(Pixel(5, 5), 0xFF0000FFu);
    effect_->Release();
    effect_ = nullptr;
    EXPECT_EQ(manager.refs, 1u);
}

TEST_F(D3DXEffectTest, ValuesAndTechniqueOutliveAResetAndDefaultPoolTexturesLetItThrough) {
    ASSERT_EQ(Create(source_), D3D_OK);
    HalveAndTint();
    D3DXHANDLE technique = effect_->GetTechniqueByName("Ambient");
    ASSERT_EQ(effect_->SetTechnique(technique), D3D_OK);
    // A render-target texture lives in the DEFAULT pool; while anyone holds it a plain device
    // cannot be reset.
    ComRef<IDirect3DTexture9> target;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                     D3DPOOL_DEFAULT, target.Out(), nullptr),
              D3D_OK);
    D3DXHANDLE texture = effect_->GetParameterByName(nullptr, "g_Texture");
    ASSERT_EQ(effect_->SetTexture(texture, target.Get()), D3D_OK);
    ComRef<IDirect3DTexture9> yellow;
    MakeTexture(&yellow, 1, 1, {{0xFFFFFF00u}});
    // Lost in the middle of a pass.
    ASSERT_EQ(effect_->Begin(nullptr, D3DXFX_DONOTSAVESTATE), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);

    Soft(device_)->SetCooperativeLevelResult(D3DERR_DEVICENOTRESET);
    ASSERT_EQ(effect_->OnLostDevice(), D3D_OK);
    target.Reset();
    D3DPRESENT_PARAMETERS p = Parameters();
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    ASSERT_EQ(effect_->OnResetDevice(), D3D_OK);

    // The effect is usable at once, with what was set before the loss.
    EXPECT_EQ(effect_->GetCurrentTechnique(), technique);
    ASSERT_EQ(effect_->SetTexture(texture, yellow.Get()), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, D3DXFX_DONOTSAVESTATE), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, yellow.Get()), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ClipQuad();
    EXPECT_EQ(Pixel(32, 32), 0xFFFF8000u);  // yellow tinted by (1, 0.5, 1)
    EXPECT_EQ(Pixel(5, 5), 0xFF000000u);    // outside the halved quad
    ASSERT_EQ(effect_->EndPass(), D3D_OK);
    ASSERT_EQ(effect_->End(), D3D_OK);
}

TEST_F(D3DXEffectTest, FixedFunctionPassSetsStageStatesAndItsTexture) {
    ASSERT_EQ(Create(source_), D3D_OK);
    RecordingManager manager;
    ASSERT_EQ(effect_->SetStateManager(&manager), D3D_OK);
    ASSERT_EQ(effect_->SetTechnique(effect_->GetTechniqueByName("Ambient_DX7")), D3D_OK);
    ASSERT_EQ(effect_->Begin(nullptr, 0), D3D_OK);
    ASSERT_EQ(effect_->BeginPass(0), D3D_OK);
    std::vector<std::string> expected = {
        "texture 0 0",
        "tss0 " + std::to_string(D3DTSS_COLOROP) + " " + std::to_string(D3DTOP_SELECTARG1),
        "tss0 " + std::to_string(D3DTSS_COLORARG1) + " " + std::to_string(D3DTA_TEXTURE),
        "tss0 " + std::to_string(D3DTSS_TEXTURETRANSFORMFLAGS) + " " +
            std::to_string(D3DTTFF_COUNT4 | D3DTTFF_PROJECTED),
    };
    EXPECT_EQ(manager.calls, expected);
    EXPECT_EQ(effect_->SetTechnique(effect_->GetTechnique(0)), D3DERR_INVALIDCALL);  // begun
    ASSERT_EQ(effect_->EndPass(), D3D_OK);
    ASSERT_EQ(effect_->End(), D3D_OK);
    ASSERT_EQ(effect_->SetStateManager(nullptr), D3D_OK);
    EXPECT_EQ(manager.refs, 1u);
}

}  // namespace
