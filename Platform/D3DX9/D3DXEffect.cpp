#include "Platform/D3DX9/D3DXEffect.h"

#include <bit>
#include <cstring>

#include "Platform/D3D9/ComQuery.h"
#include "Platform/D3D9/IDirect3DCubeTexture9.h"
#include "Platform/D3D9/IDirect3DTexture9.h"
#include "Platform/D3D9/SoftDevice9.h"
#include "Platform/D3D9/SoftPipeline.h"

namespace {

bool IsTexture(Hlsl::ParameterType t) {
    return t >= Hlsl::ParameterType::Texture && t <= Hlsl::ParameterType::TextureCube;
}
bool IsNumeric(const Hlsl::Parameter& p) {
    return p.cls != Hlsl::ParameterClass::Object && p.cls != Hlsl::ParameterClass::Struct;
}
bool IsMatrix(const Hlsl::Parameter& p) {
    return p.cls == Hlsl::ParameterClass::MatrixRows ||
           p.cls == Hlsl::ParameterClass::MatrixColumns;
}

// Whether a texture lives in the DEFAULT pool, read from its top level's description.
bool InDefaultPool(IDirect3DBaseTexture9* texture) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = D3DERR_INVALIDCALL;
    if (texture->GetType() == D3DRTYPE_TEXTURE)
        hr = static_cast<IDirect3DTexture9*>(texture)->GetLevelDesc(0, &desc);
    else if (texture->GetType() == D3DRTYPE_CUBETEXTURE)
        hr = static_cast<IDirect3DCubeTexture9*>(texture)->GetLevelDesc(0, &desc);
    return SUCCEEDED(hr) && desc.Pool == D3DPOOL_DEFAULT;
}

}  // namespace

D3DXEffect::D3DXEffect(IDirect3DDevice9* device,
                       std::shared_ptr<const Hlsl::EffectDescription> effect)
    : device_(device),
      effect_(std::move(effect)),
      values_(effect_->values),
      committed_(effect_->values) {
    device_->AddRef();
    for (const std::shared_ptr<const Hlsl::Program>& program : effect_->programs)
        programs_.push_back(std::make_shared<D3DXEffectProgram>(program, committed_));
    for (std::uint32_t i = 0; i < effect_->techniques.size(); ++i) techniques_.push_back({i});
}

D3DXEffect::~D3DXEffect() {
    if (pass_ >= 0)
        EndPass();
    for (auto& [offset, texture] : textures_) texture->Release();
    if (manager_ != nullptr)
        manager_->Release();
    device_->Release();
}

HRESULT D3DXEffect::QueryInterface(REFIID riid, void** out) {
    return AnswerQuery<ID3DXEffect>(this, riid, out, {IID_IUnknown, IID_ID3DXEffect});
}

ULONG D3DXEffect::Release() {
    ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

D3DXHANDLE D3DXEffect::Handle(const Hlsl::Parameter& parameter, std::uint32_t offset,
                              std::uint32_t words, bool element) {
    auto key = std::make_tuple(&parameter, offset, element);
    auto found = byKey_.find(key);
    if (found != byKey_.end())
        return reinterpret_cast<D3DXHANDLE>(found->second);
    ParameterHandle& h =
        parameters_.emplace_back(ParameterHandle{&parameter, offset, words, element});
    byKey_.emplace(key, &h);
    parameterHandles_.insert(&h);
    return reinterpret_cast<D3DXHANDLE>(&h);
}

const D3DXEffect::ParameterHandle* D3DXEffect::FindParameter(D3DXHANDLE handle) const {
    if (handle == nullptr || parameterHandles_.count(handle) == 0)
        return nullptr;
    return reinterpret_cast<const ParameterHandle*>(handle);
}

const D3DXEffect::TechniqueHandle* D3DXEffect::FindTechnique(D3DXHANDLE handle) const {
    for (const TechniqueHandle& t : techniques_)
        if (reinterpret_cast<D3DXHANDLE>(&t) == handle)
            return &t;
    return nullptr;
}

D3DXHANDLE D3DXEffect::GetParameterByName(D3DXHANDLE parent, LPCSTR name) {
    if (name == nullptr)
        return nullptr;
    if (parent == nullptr) {
        for (const Hlsl::Parameter& p : effect_->parameters)
            if (p.name == name)
                return Handle(p, p.offset, p.words, false);
        return nullptr;
    }
    const ParameterHandle* owner = FindParameter(parent);
    // Members of a struct array are reached through its elements.
    if (owner == nullptr || owner->parameter->cls != Hlsl::ParameterClass::Struct ||
        (owner->parameter->elements != 0 && !owner->element))
        return nullptr;
    std::uint32_t shift = owner->offset - owner->parameter->offset;
    for (const Hlsl::Parameter& m : owner->parameter->members)
        if (m.name == name)
            return Handle(m, m.offset + shift, m.words, false);
    return nullptr;
}

D3DXHANDLE D3DXEffect::GetParameterElement(D3DXHANDLE parameter, UINT index) {
    const ParameterHandle* p = FindParameter(parameter);
    if (p == nullptr || p->element || p->parameter->elements == 0 ||
        index >= p->parameter->elements)
        return nullptr;
    std::uint32_t size = p->parameter->ElementWords();
    return Handle(*p->parameter, p->offset + index * size, size, true);
}

D3DXHANDLE D3DXEffect::GetTechnique(UINT index) {
    if (index >= techniques_.size())
        return nullptr;
    return reinterpret_cast<D3DXHANDLE>(&techniques_[index]);
}

D3DXHANDLE D3DXEffect::GetTechniqueByName(LPCSTR name) {
    if (name == nullptr)
        return nullptr;
    for (const TechniqueHandle& t : techniques_)
        if (effect_->techniques[t.index].name == name)
            return reinterpret_cast<D3DXHANDLE>(&t);
    return nullptr;
}

HRESULT D3DXEffect::GetTechniqueDesc(D3DXHANDLE technique, D3DXTECHNIQUE_DESC* desc) {
    const TechniqueHandle* t = FindTechnique(technique);
    if (t == nullptr || desc == nullptr)
        return D3DERR_INVALIDCALL;
    const Hlsl::Technique& tech = effect_->techniques[t->index];
    desc->Name = tech.name.c_str();
    desc->Passes = static_cast<UINT>(tech.passes.size());
    desc->Annotations = static_cast<UINT>(tech.annotations.size());
    return D3D_OK;
}

HRESULT D3DXEffect::SetTechnique(D3DXHANDLE technique) {
    const TechniqueHandle* t = FindTechnique(technique);
    if (t == nullptr || begun_)
        return D3DERR_INVALIDCALL;
    technique_ = t->index;
    return D3D_OK;
}

D3DXHANDLE D3DXEffect::GetCurrentTechnique() {
    return GetTechnique(technique_);
}

HRESULT D3DXEffect::Begin(UINT* passes, DWORD) {
    if (begun_ || technique_ >= effect_->techniques.size())
        return D3DERR_INVALIDCALL;
    begun_ = true;
    if (passes != nullptr)
        *passes = static_cast<UINT>(effect_->techniques[technique_].passes.size());
    return D3D_OK;
}

HRESULT D3DXEffect::BeginPass(UINT pass) {
    if (!begun_ || pass_ >= 0 || pass >= effect_->techniques[technique_].passes.size())
        return D3DERR_INVALIDCALL;
    pass_ = static_cast<int>(pass);
    committed_ = values_;
    ApplyPass(false);
    return D3D_OK;
}

HRESULT D3DXEffect::CommitChanges() {
    if (pass_ < 0)
        return D3DERR_INVALIDCALL;
    committed_ = values_;
    ApplyPass(true);
    return D3D_OK;
}

HRESULT D3DXEffect::EndPass() {
    if (pass_ < 0)
        return D3DERR_INVALIDCALL;
    pass_ = -1;
    if (SoftDevice9* soft = SoftDevice9::From(device_))
        soft->Pipeline().SetPrograms(nullptr, nullptr);
    return D3D_OK;
}

HRESULT D3DXEffect::End() {
    if (!begun_ || pass_ >= 0)
        return D3DERR_INVALIDCALL;
    begun_ = false;
    return D3D_OK;
}

void D3DXEffect::ApplyPass(bool parameterStatesOnly) {
    const Hlsl::Pass& pass = effect_->techniques[technique_].passes[pass_];
    std::shared_ptr<SoftProgram> programs[2];
    for (const Hlsl::StateAssignment& s : pass.states) {
        bool program =
            s.kind == Hlsl::StateKind::VertexShader || s.kind == Hlsl::StateKind::PixelShader;
        if (program) {
            int slot = s.kind == Hlsl::StateKind::VertexShader ? 0 : 1;
            programs[slot] = s.value.kind == Hlsl::StateValue::Kind::Program &&
                                     s.value.program < programs_.size()
                                 ? programs_[s.value.program]
                                 : nullptr;
            continue;
        }
        if (parameterStatesOnly && s.value.kind != Hlsl::StateValue::Kind::Parameter)
            continue;
        ApplyState(s, 0xFFFFFFFFu);
    }
    // The samplers the programs read take their sampler_state blocks on their sampler numbers;
    // blocks may read parameters, so they are applied again on every commit.
    for (const std::shared_ptr<SoftProgram>& p : programs) {
        if (p == nullptr)
            continue;
        for (const Hlsl::ProgramSampler& sampler :
             static_cast<const D3DXEffectProgram&>(*p).Samplers())
            ApplySamplerBlock(sampler.parameter, sampler.stage);
    }
    if (!parameterStatesOnly) {
        if (SoftDevice9* soft = SoftDevice9::From(device_))
            soft->Pipeline().SetPrograms(programs[0], programs[1]);
    }
}

void D3DXEffect::ApplySamplerBlock(std::uint32_t parameter, DWORD sampler) {
    if (parameter >= effect_->parameters.size())
        return;
    for (const Hlsl::StateAssignment& s : effect_->parameters[parameter].samplerStates)
        ApplyState(s, sampler);
}

IDirect3DBaseTexture9* D3DXEffect::TextureAt(std::uint32_t offset) const {
    auto found = textures_.find(offset);
    return found == textures_.end() ? nullptr : found->second;
}

void D3DXEffect::ApplyState(const Hlsl::StateAssignment& s, DWORD samplerOverride) {
    DWORD index = samplerOverride != 0xFFFFFFFFu ? samplerOverride : s.index;
    if (s.kind == Hlsl::StateKind::Texture) {
        IDirect3DBaseTexture9* texture =
            s.value.kind == Hlsl::StateValue::Kind::Parameter ? TextureAt(s.value.offset) : nullptr;
        if (manager_ != nullptr)
            manager_->SetTexture(index, texture);
        else
            device_->SetTexture(index, texture);
        return;
    }
    if (s.kind == Hlsl::StateKind::SamplerObject) {
        if (s.value.kind == Hlsl::StateValue::Kind::Parameter)
            ApplySamplerBlock(s.value.parameter, s.index);
        return;
    }
    std::vector<std::uint32_t> words;
    if (!Hlsl::ResolveStateValue(s, committed_, words) || words.empty())
        return;
    switch (s.kind) {
        case Hlsl::StateKind::RenderState: {
            auto state = static_cast<D3DRENDERSTATETYPE>(s.code);
            if (manager_ != nullptr)
                manager_->SetRenderState(state, words[0]);
            else
                device_->SetRenderState(state, words[0]);
            break;
        }
        case Hlsl::StateKind::TextureStage: {
            auto type = static_cast<D3DTEXTURESTAGESTATETYPE>(s.code);
            if (manager_ != nullptr)
                manager_->SetTextureStageState(s.index, type, words[0]);
            else
                device_->SetTextureStageState(s.index, type, words[0]);
            break;
        }
        case Hlsl::StateKind::Sampler: {
            auto type = static_cast<D3DSAMPLERSTATETYPE>(s.code);
            if (manager_ != nullptr)
                manager_->SetSamplerState(index, type, words[0]);
            else
                device_->SetSamplerState(index, type, words[0]);
            break;
        }
        case Hlsl::StateKind::Transform: {
            if (words.size() < 16)
                break;
            D3DMATRIX m;
            for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = std::bit_cast<float>(words[i]);
            auto state = static_cast<D3DTRANSFORMSTATETYPE>(s.code + s.index);
            if (manager_ != nullptr)
                manager_->SetTransform(state, &m);
            else
                device_->SetTransform(state, &m);
            break;
        }
        default:
            break;
    }
}

HRESULT D3DXEffect::WriteMatrix(const ParameterHandle& p, const D3DMATRIX& m, bool transpose,
                                std::uint32_t offset) {
    std::uint32_t rows = p.parameter->rows, columns = p.parameter->columns;
    for (std::uint32_t r = 0; r < rows && r < 4; ++r)
        for (std::uint32_t c = 0; c < columns && c < 4; ++c)
            values_[offset + r * columns + c] =
                std::bit_cast<std::uint32_t>(transpose ? m.m[c][r] : m.m[r][c]);
    return D3D_OK;
}

HRESULT D3DXEffect::SetMatrix(D3DXHANDLE parameter, const D3DMATRIX* matrix) {
    const ParameterHandle* p = FindParameter(parameter);
    if (p == nullptr || matrix == nullptr || !IsMatrix(*p->parameter))
        return D3DERR_INVALIDCALL;
    return WriteMatrix(*p, *matrix, false, p->offset);
}

HRESULT D3DXEffect::SetMatrixTranspose(D3DXHANDLE parameter, const D3DMATRIX* matrix) {
    const ParameterHandle* p = FindParameter(parameter);
    if (p == nullptr || matrix == nullptr || !IsMatrix(*p->parameter))
        return D3DERR_INVALIDCALL;
    return WriteMatrix(*p, *matrix, true, p->offset);
}

HRESULT D3DXEffect::SetMatrixTransposeArray(D3DXHANDLE parameter, const D3DMATRIX* matrices,
                                            UINT count) {
    const ParameterHandle* p = FindParameter(parameter);
    if (p == nullptr || matrices == nullptr || !IsMatrix(*p->parameter))
        return D3DERR_INVALIDCALL;
    std::uint32_t size = p->parameter->rows * p->parameter->columns;
    if (count == 0 || static_cast<std::uint64_t>(count) * size > p->words)
        return D3DERR_INVALIDCALL;
    for (UINT i = 0; i < count; ++i) WriteMatrix(*p, matrices[i], true, p->offset + i * size);
    return D3D_OK;
}

HRESULT D3DXEffect::SetValue(D3DXHANDLE parameter, LPCVOID data, UINT bytes) {
    const ParameterHandle* p = FindParameter(parameter);
    if (p == nullptr || data == nullptr || p->parameter->cls == Hlsl::ParameterClass::Object ||
        static_cast<std::uint64_t>(bytes) > static_cast<std::uint64_t>(p->words) * 4)
        return D3DERR_INVALIDCALL;
    std::memcpy(values_.data() + p->offset, data, bytes / 4 * 4);
    return D3D_OK;
}

HRESULT D3DXEffect::SetFloat(D3DXHANDLE parameter, float value) {
    return WriteScalar(parameter, value);
}

HRESULT D3DXEffect::SetInt(D3DXHANDLE parameter, INT value) {
    return WriteScalar(parameter, value);
}

HRESULT D3DXEffect::WriteScalar(D3DXHANDLE parameter, double value) {
    const ParameterHandle* p = FindParameter(parameter);
    if (p == nullptr || !IsNumeric(*p->parameter) || p->words == 0)
        return D3DERR_INVALIDCALL;
    std::uint32_t& w = values_[p->offset];
    switch (p->parameter->type) {
        case Hlsl::ParameterType::Float:
            w = std::bit_cast<std::uint32_t>(static_cast<float>(value));
            break;
        case Hlsl::ParameterType::Bool:
            w = value != 0.0 ? 1u : 0u;
            break;
        default:
            w = static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
            break;
    }
    return D3D_OK;
}

HRESULT D3DXEffect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    const ParameterHandle* p = FindParameter(parameter);
    if (p == nullptr || !IsTexture(p->parameter->type))
        return D3DERR_INVALIDCALL;
    if (texture != nullptr)
        texture->AddRef();
    auto found = textures_.find(p->offset);
    if (found != textures_.end()) {
        found->second->Release();
        textures_.erase(found);
    }
    if (texture != nullptr)
        textures_[p->offset] = texture;
    values_[p->offset] = texture != nullptr ? 1u : 0u;
    return D3D_OK;
}

HRESULT D3DXEffect::OnLostDevice() {
    if (pass_ >= 0)
        EndPass();
    begun_ = false;
    for (auto it = textures_.begin(); it != textures_.end();) {
        if (!InDefaultPool(it->second)) {
            ++it;
            continue;
        }
        values_[it->first] = 0;
        it->second->Release();
        it = textures_.erase(it);
    }
    return D3D_OK;
}

HRESULT D3DXEffect::SetStateManager(ID3DXEffectStateManager* manager) {
    if (manager != nullptr)
        manager->AddRef();
    if (manager_ != nullptr)
        manager_->Release();
    manager_ = manager;
    return D3D_OK;
}
