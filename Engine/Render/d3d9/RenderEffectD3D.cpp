#include "Render/d3d9/RenderEffectD3D.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "Core/ErrorReport.h"
#include "Core/Globals.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/RenderSystem.h"
#include "Core/GlobalConfigManager.h"
#include "Core/LogDispatch.h"
#include "Core/ScopedLock.h"
#include "Entity/Texture/TextureBase.h"
#include "Entity/Texture/TextureManager.h"
#include "Entity/Material/TextureStage.h"
#include "Platform/D3DX9/D3DX9Effect.h"
#include "Platform/D3DX9/Hlsl/EffectCompiler.h"
#include "Platform/D3DX9/Hlsl/EffectSerializer.h"
#include "Platform/Win32/Win32Files.h"
#include "Render/EffectFileName.h"
#include "Render/d3d9/CBaseStateManager.h"
#include "Render/d3d9/D3D9Mapping.h"
#include "Render/d3d9/DefaultEffectText.h"
#include "Render/d3d9/DeviceDiagnostics.h"
#include "Render/d3d9/EffectInclude.h"
#include "Render/d3d9/RenderDeviceD3D9.h"

namespace Zel {

namespace {

constexpr int kEffectLock = 6;

constexpr const char* kParameterNames[RenderEffectD3D::kParameterCount] = {
    "g_MatWorld", "g_MatView", "g_MatProjection", "g_MatViewProjection", "g_MatWorldView",
    "g_MatWorldViewProjection", "g_MatWorldInverse", "g_MatViewInverse", "g_MatWorldViewInverse",
    "g_MatWorldInverseTranspose", "g_MatWorldViewInverseTranspose",
    // 11-21: texture matrices
    "g_TexMatDiffuse", "g_TexMatDetailDiffuse", "g_TexMatBump", "g_TexMatDetailBump",
    "g_TexMatSpecular", "g_TexMatEnvMapCubic", "g_TexMatEnvMapSphere", "g_TexMatReflection",
    "g_TexMatRefraction", "g_TexMatShadowMap", "g_TexMatLightMap", "g_MatLightProjection",
    "g_BoneMatrix",
    // 24-36: scalars
    "g_fTime", "g_fTimeSin", "g_fTimeCos", "g_fTimeTan", "g_fBumpScale", "g_fParallaxScale",
    "g_fParallaxBias", "g_fShiness", "g_fTexelWidth", "g_fTransparencyTune", "g_fAlphaRatio",
    "g_fShiftColRatio", "g_ColorStylizedFactor",
    // 37-51: vectors
    "g_vecLightColorAmbient", "g_vecLightColorDiffuse", "g_vecLightColorSpecular",
    "g_vecLightSpecularParam", "g_vecLightAttenuation", "g_vecLightPosition", "g_vecLightDirection",
    "g_vecLightPositionObjSpace", "g_vecLightDirectionObjSpace", "g_vecCameraPosition",
    "g_vecCameraPositionObjSpace", "g_vecMaterialColorAmbient", "g_vecMaterialColorDiffuse",
    "g_vecMaterialColorSpecular", "g_vecMaterialColorIllumination", "g_ConstColor0",
    "g_ConstColor1", "g_ConstColor2", "g_ConstColor3", "g_ConstColor4", "g_ConstColor5",
    "g_ConstColor6", "g_ConstColor7", "g_vecVertexColorModulate", "g_editorcolorfactor1",
    "g_ShiftColor", "g_ScreenSize", "g_vecTest", "g_nTest",
    nullptr,  // 66 stays empty
    "g_texDiffuse", "g_texDetailDiffuse", "g_texBump", "g_texDetailBump", "g_texSpecular",
    "g_texEnvCubic", "g_texEnvSphere", "g_texReflection", "g_texRefraction", "g_texShadowMap",
    "g_texLightMap", "g_texLightProjection"};

constexpr const char* kSamplerStructs[RenderEffectD3D::kSamplerKinds] = {
    "g_DiffuseSamplerState",    "g_DetailDiffuseSamplerState", "g_BumpSamplerState",
    "g_DetailBumpSamplerState", "g_SpecularSamplerState",      "g_EnvCubicSamplerState",
    "g_EnvSphereSamplerState",  "g_ReflectionSamplerState",    "g_RefractionSamplerState",
    "g_ShadowMapSamplerState",  "g_LightMapSamplerState",      "g_LightProjectionSamplerState"};

// Slots by i = projected + 2 × shadow + 4 × ambient.
constexpr int kDx7VertexSlots[8] = {20, 22, 21, 23, 24, 26, 25, 27};
constexpr int kVertexSlots[8] = {2, 10, 4, 12, 3, 11, 5, 13};
constexpr int kPixelSlots[8] = {6, 14, 8, 16, 7, 15, 9, 17};

// Lighting kinds: 4 vertex lighting, 8 pixel lighting, 16 shadow, 32 ambient.
constexpr std::uint32_t kKindFlags[] = {32, 48, 34, 50, 5,  21, 7,  23, 9,  25,
                                        11, 27, 37, 53, 39, 55, 41, 57, 43, 59};
constexpr std::uint32_t kVertexFlag = 4, kPixelFlag = 8, kShadowFlag = 16, kAmbientFlag = 32;

constexpr std::uint32_t kTextureMatrixFirst = 11, kTextureMatrixLast = 21;
constexpr std::uint32_t kEnvCubicMatrix = 16, kLightMapMatrix = 21;
constexpr std::uint32_t kLastMatrix = 23;

void Transposed(const float* in, D3DMATRIX& out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) out.m[r][c] = in[c * 4 + r];
}

}  // namespace

RenderEffectD3D::RenderEffectD3D(RenderDeviceD3D9* device, CResourceManager* manager,
                                 std::string_view name, std::string_view group,
                                 std::uint32_t handle, std::uint32_t poolCode)
    : GpuProgram(manager, name, group, handle, poolCode, device), renderDevice_(device) {}

RenderEffectD3D::~RenderEffectD3D() {
    if (effect_ != nullptr)
        UnloadImpl();
}

int RenderEffectD3D::TechniqueSlot(const std::string& name) {
    auto has = [&](const char* word) { return name.find(word) != std::string::npos; };
    const bool vertex = has("Vertex"), pixel = has("Pixel"), shadow = has("Shadow");
    const bool ambient = has("Ambient") || has("Basic");
    const int i = (has("Projected") ? 1 : 0) + 2 * (shadow ? 1 : 0) + 4 * (ambient ? 1 : 0);
    if (has("DX7")) {
        if (vertex)
            return kDx7VertexSlots[i];
        return ambient ? (shadow ? 19 : 18) : -1;
    }
    if (vertex)
        return kVertexSlots[i];
    if (pixel)
        return kPixelSlots[i];
    return ambient ? (shadow ? 1 : 0) : -1;
}

const char* RenderEffectD3D::ParameterName(std::uint32_t index) {
    return index < kParameterCount ? kParameterNames[index] : nullptr;
}

D3DXHANDLE RenderEffectD3D::GetParameterHandle(std::uint32_t index) const {
    return Slot(index);
}

D3DXHANDLE RenderEffectD3D::GetTechniqueHandle(std::uint32_t slot) const {
    return slot < kTechniqueSlots ? techniques_[slot] : nullptr;
}

D3DXHANDLE RenderEffectD3D::Indexed(std::uint32_t base, std::uint32_t i) const {
    return static_cast<std::uint64_t>(base) + i < kParameterCount ? Slot(base + i) : nullptr;
}

D3DXHANDLE RenderEffectD3D::Named(const char* name) const {
    return effect_ != nullptr && name != nullptr ? effect_->GetParameterByName(nullptr, name)
                                                 : nullptr;
}

D3DXHANDLE RenderEffectD3D::Slot(std::uint32_t index) const {
    return effect_ != nullptr && index < kParameterCount ? parameters_[index] : nullptr;
}

bool RenderEffectD3D::IsCacheCurrent(const std::string& source, const std::string& compiled) {
    std::string bytes, text;
    if (!EffectInclude::ReadFile(compiled, bytes) || !EffectInclude::ReadFile(source, text))
        return false;
    Hlsl::CompiledEffectHeader header;
    std::string error;
    if (!Hlsl::EffectSerializer::ReadHeader(bytes.data(), bytes.size(), header, error))
        return false;
    // The recorded includes are read again the way the compiler reads them; one that has gone
    // makes the cache stale.
    EffectInclude include;
    std::vector<Hlsl::IncludedFile> includes;
    for (const std::string& name : header.includes) {
        LPCVOID data = nullptr;
        UINT size = 0;
        if (!SUCCEEDED(include.Open(D3DXINC_LOCAL, name.c_str(), nullptr, &data, &size)))
            return false;
        includes.push_back({name, std::string(static_cast<const char*>(data), size)});
        include.Close(data);
    }
    return Hlsl::EffectCompiler::SourceHash(text, includes) == header.sourceHash;
}

bool RenderEffectD3D::Compile(const std::string& source, const std::string& compiled) {
    EffectInclude include;
    LPD3DXEFFECTCOMPILER compiler = nullptr;
    LPD3DXBUFFER messages = nullptr;
    HRESULT hr =
        D3DXCreateEffectCompilerFromFileA(source.c_str(), nullptr, &include,
                                          D3DXSHADER_USE_LEGACY_D3DX9_31_DLL, &compiler, &messages);
    auto report = [&](const char* where) {
        if (messages != nullptr)
            ReportError("%s:\n%s", where, static_cast<const char*>(messages->GetBufferPointer()));
        else
            ReportError("%s:\n", where);
    };
    if (!SUCCEEDED(hr)) {
        report("Effect compile failed at D3DXCreateEffectCompilerFromFile");
        if (messages != nullptr)
            messages->Release();
        return false;
    }
    if (messages != nullptr) {
        messages->Release();
        messages = nullptr;
    }
    LPD3DXBUFFER buffer = nullptr;
    {
        ScopedLock lock(kEffectLock);
        hr = compiler->CompileEffect(0, &buffer, &messages);
    }
    compiler->Release();
    if (!SUCCEEDED(hr)) {
        report("Effect compile failed at CompileEffect");
        if (messages != nullptr)
            messages->Release();
        return false;
    }
    if (messages != nullptr)
        messages->Release();
    bool written = false;
    FILE* file = fopen_resolved(compiled.c_str(), "wb");
    if (file == nullptr) {
        ReportErrorLastError("Writing compiled effect failed: cannot open %s", compiled.c_str());
        LogError(_access(compiled.c_str(), 0) == 0 ? "File or directory %s exists"
                                                   : "File or directory %s does not exist",
                 compiled.c_str());
    } else {
        written = std::fwrite(buffer->GetBufferPointer(), 1, buffer->GetBufferSize(), file) ==
                  buffer->GetBufferSize();
        written = std::fclose(file) == 0 && written;
        if (written)
            LogTyped(LOG_ENGINE_INIT, "GenerateFxoFileToDisk: wrote compiled effect %s",
                     compiled.c_str());
        else
            ReportError("Writing compiled effect %s failed", compiled.c_str());
    }
    buffer->Release();
    // A cache that could not be written is no reason to fail: the source loads instead.
    return written;
}

std::string RenderEffectD3D::ChooseLoadPath(const std::string& path) {
    if (!IsGlobalSwitchOn(kCompileEffectsSwitch))
        return path;
    const std::string compiled = path + "o";
    const bool haveCompiled = _access(compiled.c_str(), 0) == 0;
    const bool haveSource = _access(path.c_str(), 0) == 0;
    if (haveCompiled && (!haveSource || IsCacheCurrent(path, compiled)))
        return compiled;
    if (!haveSource)
        return path;
    return Compile(path, compiled) ? compiled : path;
}

bool RenderEffectD3D::LoadImpl() {
    if (renderDevice_ == nullptr || effect_ != nullptr || renderDevice_->GetD3DDevice() == nullptr)
        return false;
    const std::string path = ChooseLoadPath(EffectFileName(GetLoadPath()));
    EffectInclude include;
    LPD3DXBUFFER messages = nullptr;
    HRESULT hr =
        D3DXCreateEffectFromFileA(renderDevice_->GetD3DDevice(), path.c_str(), nullptr, &include,
                                  D3DXSHADER_USE_LEGACY_D3DX9_31_DLL, nullptr, &effect_, &messages);
    if (!SUCCEEDED(hr)) {
        ReportError(
            "Bad D3DXEffect:\n%s",
            messages != nullptr ? static_cast<const char*>(messages->GetBufferPointer()) : "");
        if (messages != nullptr)
            messages->Release();
        LogError("Effect file %s failed to load", path.c_str());
        effect_ = nullptr;
        return false;
    }
    if (messages != nullptr)
        messages->Release();
    LookUpHandles();
    if (renderDevice_->GetStateManager() != nullptr)
        effect_->SetStateManager(renderDevice_->GetStateManager());
    LogTyped(LOG_ENGINE_INIT, "LoadFxFromDisk: read effect file %s", path.c_str());
    return true;
}

void RenderEffectD3D::LookUpHandles() {
    for (std::uint32_t i = 0; i < kParameterCount; ++i)
        parameters_[i] = kParameterNames[i] != nullptr
                             ? effect_->GetParameterByName(nullptr, kParameterNames[i])
                             : nullptr;
    for (std::uint32_t slot = 0; slot < kTechniqueSlots; ++slot) techniques_[slot] = nullptr;
    for (UINT i = 0; D3DXHANDLE technique = effect_->GetTechnique(i); ++i) {
        D3DXTECHNIQUE_DESC desc;
        if (!SUCCEEDED(effect_->GetTechniqueDesc(technique, &desc)))
            continue;
        int slot = TechniqueSlot(desc.Name);
        if (slot < 0) {
            LogTyped(LOG_ENGINE_INIT, "Invalid technique name (%s) in effect file: %s", desc.Name,
                     GetName().c_str());
            continue;
        }
        techniques_[slot] = technique;
    }
    for (std::uint32_t k = 0; k < kSamplerKinds; ++k) {
        SamplerRecord& r = samplers_[k];
        r = SamplerRecord{};
        D3DXHANDLE s = effect_->GetParameterByName(nullptr, kSamplerStructs[k]);
        if (s == nullptr)
            continue;
        r.structure = s;
        r.addressU = effect_->GetParameterByName(s, "AddressU");
        r.addressV = effect_->GetParameterByName(s, "AddressV");
        r.addressW = effect_->GetParameterByName(s, "AddressW");
        r.borderColor = effect_->GetParameterByName(s, "BorderColor");
        r.magFilter = effect_->GetParameterByName(s, "MagFilter");
        r.minFilter = effect_->GetParameterByName(s, "MinFilter");
        r.mipFilter = effect_->GetParameterByName(s, "MipFilter");
        r.effect = effect_;
    }
}

void RenderEffectD3D::UnloadImpl() {
    if (effect_ != nullptr) {
        ScopedLock lock(kEffectLock);
        ULONG left = effect_->Release();
        if (left != 0)
            ReportError("m_pEffect release failed: %lu references left",
                        static_cast<unsigned long>(left));
    }
    effect_ = nullptr;
    for (D3DXHANDLE& t : techniques_) t = nullptr;
    for (D3DXHANDLE& p : parameters_) p = nullptr;
    for (SamplerRecord& r : samplers_) r = SamplerRecord{};
}

bool RenderEffectD3D::SetMatrixByName(const char* name, const float* matrix) {
    if (effect_ == nullptr || matrix == nullptr)
        return false;
    D3DXHANDLE h = effect_->GetParameterByName(nullptr, name);
    if (h == nullptr)
        return false;
    D3DMATRIX m;
    Transposed(matrix, m);
    AddFrameStat(FRAME_EFFECT_MATRIX_SETS);
    return SUCCEEDED(effect_->SetMatrix(h, &m));
}

bool RenderEffectD3D::SetMatrix(std::uint32_t index, const float* matrix, std::uint32_t stage) {
    if (effect_ == nullptr || matrix == nullptr || index > kLastMatrix)
        return false;
    if (renderDevice_->GetFixedFunctionMode() != 0) {
        D3DXHANDLE h = Slot(index);
        if (h == nullptr)
            return false;
        AddFrameStat(FRAME_EFFECT_MATRIX_SETS);
        return SUCCEEDED(
            effect_->SetMatrixTranspose(h, reinterpret_cast<const D3DMATRIX*>(matrix)));
    }
    if (index < kTextureMatrixFirst || index > kTextureMatrixLast || stage >= 8)
        return false;
    AddFrameStat(FRAME_EFFECT_MATRIX_SETS);
    D3DMATRIX m;
    Transposed(matrix, m);
    if (index != kEnvCubicMatrix && index != kLightMapMatrix) {
        // A 2D texture transform takes its translation from the third row.
        m.m[2][0] = m.m[3][0];
        m.m[2][1] = m.m[3][1];
    }
    DWORD flags = index == kEnvCubicMatrix   ? D3DTTFF_COUNT3
                  : index == kLightMapMatrix ? (D3DTTFF_COUNT4 | D3DTTFF_PROJECTED)
                                             : D3DTTFF_COUNT2;
    renderDevice_->GetStateCache().SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, flags);
    AddFrameStat(FRAME_TRANSFORM_SETS);
    return SUCCEEDED(renderDevice_->GetD3DDevice()->SetTransform(
        static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + stage), &m));
}

bool RenderEffectD3D::SetMatrixArray(std::uint32_t index, const float* matrices,
                                     std::uint32_t count) {
    D3DXHANDLE h = Slot(index);
    if (h == nullptr || matrices == nullptr || count == 0)
        return false;
    AddFrameStat(FRAME_EFFECT_MATRIX_SETS, count);
    return SUCCEEDED(
        effect_->SetMatrixTransposeArray(h, reinterpret_cast<const D3DMATRIX*>(matrices), count));
}

bool RenderEffectD3D::SetMatrixElementOn(D3DXHANDLE h, const float* matrix, std::uint32_t element) {
    if (h == nullptr || matrix == nullptr)
        return false;
    D3DXHANDLE e = effect_->GetParameterElement(h, element);
    if (e == nullptr)
        return false;
    AddFrameStat(FRAME_EFFECT_MATRIX_SETS);
    return SUCCEEDED(effect_->SetMatrixTranspose(e, reinterpret_cast<const D3DMATRIX*>(matrix)));
}

bool RenderEffectD3D::SetMatrixElement(std::uint32_t index, const float* matrix,
                                       std::uint32_t element) {
    return SetMatrixElementOn(Slot(index), matrix, element);
}

bool RenderEffectD3D::SetMatrixElementByName(const char* name, const float* matrix,
                                             std::uint32_t element) {
    return SetMatrixElementOn(Named(name), matrix, element);
}

bool RenderEffectD3D::SetValueOn(D3DXHANDLE h, const void* data, std::uint32_t bytes) {
    if (h == nullptr)
        return false;
    if (bytes > 4)
        AddFrameStat(FRAME_EFFECT_VECTOR_SETS);
    return SUCCEEDED(effect_->SetValue(h, data, bytes));
}

bool RenderEffectD3D::SetValueByName(const char* name, const void* data, std::uint32_t bytes) {
    return SetValueOn(Named(name), data, bytes);
}

bool RenderEffectD3D::SetValue(std::uint32_t i, const void* data, std::uint32_t bytes) {
    return SetValueOn(Indexed(64, i), data, bytes);
}

bool RenderEffectD3D::SetVector(std::uint32_t i, const void* data, std::uint32_t bytes) {
    return SetValueOn(Indexed(37, i), data, bytes);
}

bool RenderEffectD3D::SetValueElementByName(const char* name, const void* data, std::uint32_t bytes,
                                            std::uint32_t element) {
    D3DXHANDLE h = Named(name);
    return SetValueOn(h != nullptr ? effect_->GetParameterElement(h, element) : nullptr, data,
                      bytes);
}

bool RenderEffectD3D::SetFloatOn(D3DXHANDLE h, float value) {
    if (h == nullptr)
        return false;
    AddFrameStat(FRAME_EFFECT_SCALAR_SETS);
    return SUCCEEDED(effect_->SetFloat(h, value));
}

bool RenderEffectD3D::SetIntOn(D3DXHANDLE h, int value) {
    if (h == nullptr)
        return false;
    AddFrameStat(FRAME_EFFECT_SCALAR_SETS);
    return SUCCEEDED(effect_->SetInt(h, value));
}

bool RenderEffectD3D::SetFloatByName(const char* name, float value) {
    return SetFloatOn(Named(name), value);
}

bool RenderEffectD3D::SetFloat(std::uint32_t i, float value) {
    return SetFloatOn(Indexed(24, i), value);
}

bool RenderEffectD3D::SetIntByName(const char* name, int value) {
    return SetIntOn(Named(name), value);
}

bool RenderEffectD3D::SetInt(std::uint32_t i, int value) {
    return SetIntOn(Indexed(65, i), value);
}

IDirect3DBaseTexture9* RenderEffectD3D::MarkAndResolve(TextureBase& texture) {
    const std::uint32_t frame = Globals::GetExisting() ? Globals::GetExisting()->GetFrameId() : 0;
    if (texture.GetFrameStamp() != frame) {
        texture.SetFrameStamp(frame);
        AddFrameStat(FRAME_EFFECT_DISTINCT_TEXTURES);
        AddFrameStat(FRAME_EFFECT_TEXTURE_BYTES, texture.GetSizeInBytes());
    }
    // A render target binds its colour texture; of the others only 2D textures (type 2) and cube
    // textures (type 4) have one to bind.
    if (texture.IsRenderTarget() || texture.GetType() == 2 || texture.GetType() == 4)
        return texture.GetD3DBaseTexture();
    return nullptr;
}

bool RenderEffectD3D::IsUsable(const TextureBase& texture) const {
    if (texture.GetRefCount() < 2) {
        ReportError("Effect %s: texture %s has a wrong reference count (%d)", GetName().c_str(),
                    texture.GetName().c_str(), static_cast<int>(texture.GetRefCount()));
        return false;
    }
    if (texture.GetIoBusy() != 0) {
        ReportError("Effect %s: texture %s is in use by the IO thread", GetName().c_str(),
                    texture.GetName().c_str());
        return false;
    }
    return true;
}

bool RenderEffectD3D::SetTextureByName(const char* name, TextureBase* texture) {
    D3DXHANDLE h = Named(name);
    if (h == nullptr)
        return false;
    AddFrameStat(FRAME_EFFECT_TEXTURE_SETS);
    effect_->SetTexture(h, texture != nullptr ? MarkAndResolve(*texture) : nullptr);
    return true;
}

bool RenderEffectD3D::SetTexture(std::uint32_t i, TextureBase* texture) {
    D3DXHANDLE h = Indexed(67, i);
    if (h == nullptr)
        return false;
    AddFrameStat(FRAME_EFFECT_TEXTURE_SETS);
    if (texture == nullptr)
        return SUCCEEDED(effect_->SetTexture(h, nullptr));
    IDirect3DBaseTexture9* bound = MarkAndResolve(*texture);
    // Checked first so that an unusable texture is reported even while the switch is on.
    if (!IsUsable(*texture) || IsGlobalSwitchOn(kForceDefaultTextureSwitch)) {
        TextureManager* textures = Globals::Find(&Globals::GetTextureManager);
        TextureBase* fallback = textures != nullptr ? textures->GetDefaultTexture() : nullptr;
        bound = fallback != nullptr ? fallback->GetD3DBaseTexture() : nullptr;
    }
    return SUCCEEDED(effect_->SetTexture(h, bound));
}

bool RenderEffectD3D::SetTechnique(std::uint32_t slot) {
    D3DXHANDLE t = GetTechniqueHandle(slot);
    if (effect_ == nullptr || t == nullptr)
        return false;
    if (!SUCCEEDED(effect_->SetTechnique(t))) {
        ReportError("Effect %s,SetTechnique Err,tech=%u", GetName().c_str(), slot);
        return false;
    }
    return true;
}

void RenderEffectD3D::ApplySamplerState(std::uint32_t kind, const SamplerDescription& d,
                                        std::uint32_t stage, std::uint32_t anisotropy) {
    if (kind >= kSamplerKinds || renderDevice_ == nullptr)
        return;
    const DWORD address[3] = {D3DAddressFromCode(d.addressU), D3DAddressFromCode(d.addressV),
                              D3DAddressFromCode(d.addressW)};
    const DWORD border = D3DColorFromColour(d.borderColor);
    const DWORD mag = D3DFilterFromCode(d.filter, true);
    const DWORD min = anisotropy != 1 ? static_cast<DWORD>(D3DTEXF_ANISOTROPIC)
                                      : static_cast<DWORD>(D3DFilterFromCode(d.filter, false));
    RenderStateCache& cache = renderDevice_->GetStateCache();
    if (renderDevice_->GetFixedFunctionMode() == 0) {
        cache.SetSamplerState(stage, D3DSAMP_ADDRESSU, address[0]);
        cache.SetSamplerState(stage, D3DSAMP_ADDRESSV, address[1]);
        cache.SetSamplerState(stage, D3DSAMP_ADDRESSW, address[2]);
        cache.SetSamplerState(stage, D3DSAMP_BORDERCOLOR, border);
        cache.SetSamplerState(stage, D3DSAMP_MAGFILTER, mag);
        cache.SetSamplerState(stage, D3DSAMP_MINFILTER, min);
        if (anisotropy != 1)
            cache.SetSamplerState(stage, D3DSAMP_MAXANISOTROPY, anisotropy);
        // Code 1 asks for no mip filtering on the fixed-function stages.
        cache.SetSamplerState(stage, D3DSAMP_MIPFILTER,
                              D3DFilterFromCode(d.filter == 1 ? 0 : d.filter, false));
        return;
    }
    const SamplerRecord& r = samplers_[kind];
    if (effect_ == nullptr || r.structure == nullptr)
        return;
    const DWORD mip = D3DFilterFromCode(d.filter, false);
    const std::pair<D3DXHANDLE, DWORD> members[] = {
        {r.addressU, address[0]}, {r.addressV, address[1]}, {r.addressW, address[2]},
        {r.borderColor, border},  {r.magFilter, mag},       {r.minFilter, min},
        {r.mipFilter, mip}};
    for (const auto& [handle, value] : members)
        if (handle != nullptr)
            effect_->SetValue(handle, &value, 4);
    if (anisotropy != 1 && r.minFilter != nullptr)
        cache.SetSamplerState(stage, D3DSAMP_MAXANISOTROPY, anisotropy);
}

void RenderEffectD3D::SetSamplerParams(std::uint32_t kind, const TextureStage& stage,
                                       std::uint32_t unit) {
    SamplerDescription description;
    description.addressU = stage.addressU;
    description.addressV = stage.addressV;
    description.addressW = stage.addressW;
    std::copy_n(stage.colourParam, 4, description.borderColor);
    description.filter = stage.filter;
    // The render system's anisotropy level (1, no anisotropic filtering, without one).
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    const RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    ApplySamplerState(kind, description, unit, system ? system->GetAnisotropy() : 1);
}

void RenderEffectD3D::ClearTextures() {
    ScopedLock lock(kEffectLock);
    for (std::uint32_t i = 0; i < kSamplerKinds; ++i) SetTexture(i, nullptr);
}

bool RenderEffectD3D::SelectTechnique(std::uint32_t kind, bool projectsTexture) {
    if (kind >= std::size(kKindFlags))
        return false;
    const std::uint32_t flags = kKindFlags[kind];
    const bool vertex = flags & kVertexFlag, pixel = flags & kPixelFlag;
    const bool shadow = flags & kShadowFlag, ambient = flags & kAmbientFlag;
    const int i = (projectsTexture ? 1 : 0) + 2 * (shadow ? 1 : 0) + 4 * (ambient ? 1 : 0);
    const std::int32_t mode = renderDevice_ != nullptr ? renderDevice_->GetFixedFunctionMode() : 0;
    int slot;
    if (mode == 0) {
        if (vertex)
            slot = kDx7VertexSlots[i];
        else if (ambient)
            slot = shadow ? 19 : 18;
        else
            return false;
    } else if (vertex) {
        slot = kVertexSlots[i];
    } else if (mode == 2 && pixel) {
        slot = kPixelSlots[i];
    } else if (ambient) {
        slot = shadow ? 1 : 0;
    } else {
        return false;
    }
    if (SetTechnique(static_cast<std::uint32_t>(slot)))
        return true;
    return SetTechnique(mode == 0 ? 18 : 0);
}

bool RenderEffectD3D::CommitChanges() {
    return effect_ != nullptr && SUCCEEDED(effect_->CommitChanges());
}

std::uint32_t RenderEffectD3D::Begin() {
    UINT passes = 0;
    if (effect_ == nullptr || !SUCCEEDED(effect_->Begin(&passes, D3DXFX_DONOTSAVESTATE)))
        return 0;
    return passes;
}

bool RenderEffectD3D::BeginPass(std::uint32_t pass) {
    return effect_ != nullptr && SUCCEEDED(effect_->BeginPass(pass));
}

bool RenderEffectD3D::EndPass() {
    return effect_ != nullptr && SUCCEEDED(effect_->EndPass());
}

bool RenderEffectD3D::End() {
    return effect_ != nullptr && SUCCEEDED(effect_->End());
}

void RenderEffectD3D::OnLostDevice() {
    if (effect_ != nullptr)
        effect_->OnLostDevice();
}

void RenderEffectD3D::OnResetDevice() {
    if (effect_ != nullptr)
        effect_->OnResetDevice();
}

bool RenderEffectD3D::OnDeviceLost() {
    OnLostDevice();
    MarkRefill();
    return true;
}

std::uint32_t RenderEffectD3D::OnDeviceReset() {
    OnResetDevice();
    MarkRefill();
    return StampReset();
}

bool RenderEffectD3D::ReleaseDeviceObjects() {
    lost_ = true;
    Unload();
    return true;
}

bool RenderEffectD3D::RecreateDeviceObjects() {
    lost_ = false;
    if (GetLoadPath().empty())
        return false;
    Load(GetLoadPath());
    return IsLoadSucceeded();
}

bool RenderEffectD3D::WriteDefaultEffectFile(const std::string& path) {
    if (_access(path.c_str(), 0) == 0)
        return true;
    FILE* file = fopen_resolved(path.c_str(), "wb");
    if (file == nullptr) {
        ReportErrorLastError("Opening file %s failed", path.c_str());
        return false;
    }
    const char* text = DefaultEffectText();
    const std::size_t size = std::strlen(text);
    bool ok = std::fwrite(text, 1, size, file) == size;
    ok = std::fclose(file) == 0 && ok;
    if (!ok)
        ReportError("Writing file %s failed", path.c_str());
    return ok;
}

}  // namespace Zel
