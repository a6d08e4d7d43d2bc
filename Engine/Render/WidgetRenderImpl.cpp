#include "Render/WidgetRenderImpl.h"

#include <algorithm>
#include <cstring>

#include "Core/ErrorReport.h"
#include "Core/FrameStats.h"
#include "Core/Globals.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/GpuProgramManager.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/D3DX9/ID3DXEffect.h"
#include "Render/RenderResourceRegistry.h"
#include "Render/RenderSystem.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "Render/d3d9/RenderEffectD3D.h"

namespace Zel {

namespace {

// Corners 0..3 run around one face, 4..7 around the opposite one; k + 4 faces k.
constexpr std::uint16_t kBoxLines[24] = {0, 1, 1, 2, 2, 3, 3, 0, 4, 5, 5, 6,
                                         6, 7, 7, 4, 3, 7, 2, 6, 1, 5, 0, 4};
constexpr std::uint16_t kBoxTriangles[36] = {0, 1, 2, 0, 2, 3, 3, 2, 6, 3, 6, 7, 7, 6, 5, 7, 5, 4,
                                             4, 5, 1, 4, 1, 0, 1, 5, 6, 1, 6, 2, 3, 7, 4, 3, 4, 0};
// The effect's view-projection parameter number.
constexpr std::uint32_t kViewProjectionParameter = 3;

template <std::size_t N>
IDirect3DIndexBuffer9* MakeIndexBuffer(IDirect3DDevice9* device, const std::uint16_t (&box)[N]) {
    const UINT bytes = UINT(AABBObjRender8::kBoxesPerDraw * N * sizeof(std::uint16_t));
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (FAILED(device->CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                         &buffer, nullptr)) ||
        !buffer) {
        ReportError("aabb CreateIB Failed,sz=%d", int(bytes));
        return nullptr;
    }
    void* memory = nullptr;
    if (FAILED(buffer->Lock(0, 0, &memory, 0)) || !memory) {
        ReportError("m_pIB->Lock failed");
        buffer->Release();
        return nullptr;
    }
    auto* out = static_cast<std::uint16_t*>(memory);
    for (std::uint32_t slot = 0; slot < AABBObjRender8::kBoxesPerDraw; ++slot)
        for (std::size_t i = 0; i < N; ++i)
            *out++ = std::uint16_t(slot * AABBObjRender8::kVerticesPerBox + box[i]);
    buffer->Unlock();
    return buffer;
}

template <class T>
void ReleaseCom(T*& object) {
    if (object)
        object->Release();
    object = nullptr;
}

void Count(FrameStatWord word, std::uint32_t amount) {
    if (FrameStats* stats = Globals::Find(&Globals::GetFrameStats))
        (*stats)[word] += amount;
}

}  // namespace

// ---- Widgets

WidgetAABBImpl::WidgetAABBImpl(const float* minimum, const float* maximum) {
    SetMinMax(minimum, maximum);
}

void WidgetAABBImpl::Release() {
    // The renderer only points at its widgets: take this one out before it goes.
    if (owner_)
        owner_->RemoveWidget(this);
    delete this;
}

void WidgetAABBImpl::SetMinMax(const float* minimum, const float* maximum) {
    std::memcpy(min_, minimum, sizeof min_);
    std::memcpy(max_, maximum, sizeof max_);
}

void WidgetAABBImpl::GetMinMax(float* minimum, float* maximum) {
    std::memcpy(minimum, min_, sizeof min_);
    std::memcpy(maximum, max_, sizeof max_);
}

void WidgetAABBImpl::SetPositionSize(const float* minimum, const float* size) {
    for (int i = 0; i < 3; ++i) {
        min_[i] = minimum[i];
        max_[i] = minimum[i] + size[i];
    }
}

void WidgetAABBImpl::SetWireColour(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    std::memcpy(wire_, colour, sizeof wire_);
}

void WidgetAABBImpl::SetSolidColour(float r, float g, float b, float a) {
    const float colour[4] = {r, g, b, a};
    std::memcpy(solid_, colour, sizeof solid_);
}

void WidgetAABBImpl::SetDrawModes(bool wire, bool solid) {
    flags_ = (wire ? 1u : 0u) | (solid ? 2u : 0u);
}

void WidgetAABBImpl::GetSize(float* out) {
    for (int i = 0; i < 3; ++i) out[i] = max_[i] - min_[i];
    out[3] = 0.0f;
}

float PackWidgetColour(const float* rgba) {
    float packed = 0.0f;
    for (int i = 0; i < 4; ++i) {
        const float channel = std::clamp(rgba[i], 0.0f, 1.0f);
        packed = packed * 64.0f + float(int(channel * 63.0f));
    }
    return packed;
}

// ---- Box renderer

AABBObjRender8::AABBObjRender8() {
    RegisterRenderResourceManager(this);
}

AABBObjRender8::~AABBObjRender8() {
    UnregisterRenderResourceManager(this);
    ReleaseBuffers();
    ReleaseCom(declaration_);
    effect_ = nullptr;
    program_.Reset();
}

bool AABBObjRender8::IsReady() const {
    return device_ && declaration_ && vertexBuffer_ && lineIndices_ && triangleIndices_ &&
           effect_ && technique_;
}

bool AABBObjRender8::Init() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    RenderSystem* system = scene ? scene->GetRenderSystem() : nullptr;
    auto* d3d9 = system ? dynamic_cast<RenderDeviceD3D9*>(system->GetRenderDevice()) : nullptr;
    device_ = d3d9 ? d3d9->GetD3DDevice() : nullptr;
    if (!device_)
        return false;
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 16, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    ReleaseCom(declaration_);
    device_->CreateVertexDeclaration(elements, &declaration_);
    const bool buffers = CreateBuffers();
    const bool effect = LoadEffect();
    return buffers && effect && declaration_;
}

bool AABBObjRender8::CreateBuffers() {
    if (!device_)
        return false;
    ReleaseBuffers();
    const UINT bytes = kBoxesPerDraw * kVerticesPerBox * kVertexStride;
    if (FAILED(device_->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT,
                                           &vertexBuffer_, nullptr)) ||
        !vertexBuffer_) {
        ReportError("aabb CreateVB Failed,sz=%d", int(kVerticesPerBox));
        vertexBuffer_ = nullptr;
        return false;
    }
    void* memory = nullptr;
    if (FAILED(vertexBuffer_->Lock(0, 0, &memory, 0)) || !memory) {
        ReportError("m_pVBResource->Lock failed");
        ReleaseCom(vertexBuffer_);
        return false;
    }
    // Corner number in position w, instance slot in the first texture coordinate.
    auto* out = static_cast<float*>(memory);
    for (std::uint32_t slot = 0; slot < kBoxesPerDraw; ++slot)
        for (std::uint32_t corner = 0; corner < kVerticesPerBox; ++corner) {
            const float vertex[6] = {0.0f, 0.0f, 0.0f, float(corner), float(slot), 0.0f};
            std::memcpy(out, vertex, sizeof vertex);
            out += 6;
        }
    vertexBuffer_->Unlock();
    lineIndices_ = MakeIndexBuffer(device_, kBoxLines);
    triangleIndices_ = MakeIndexBuffer(device_, kBoxTriangles);
    return lineIndices_ && triangleIndices_;
}

void AABBObjRender8::ReleaseBuffers() {
    ReleaseCom(vertexBuffer_);
    ReleaseCom(lineIndices_);
    ReleaseCom(triangleIndices_);
}

bool AABBObjRender8::LoadEffect() {
    if (!program_) {
        GpuProgramManager* programs = Globals::Find(&Globals::GetGpuProgramManager);
        if (GpuProgram* program = programs ? programs->LoadProgram(kEffectPath) : nullptr)
            program_ = SharedPtr<GpuProgram>(program);
    }
    auto* effect = dynamic_cast<RenderEffectD3D*>(program_.Get());
    if (!program_ || !program_->IsLoadSucceeded() || !effect || !effect->GetEffect()) {
        ReportError("Fx %s Complie Error!", kEffectPath);
        return false;
    }
    effect_ = effect->GetEffect();
    technique_ = effect_->GetTechniqueByName("Diffuse_Ambient");
    minParameter_ = effect_->GetParameterByName(nullptr, "BoxMinPos");
    const D3DXHANDLE maxParameter = effect_->GetParameterByName(nullptr, "BoxMaxPos");
    maxElements_.clear();
    for (std::uint32_t i = 0; maxParameter && i < kBoxesPerDraw; ++i)
        if (D3DXHANDLE element = effect_->GetParameterElement(maxParameter, i))
            maxElements_.push_back(element);
    if (!technique_ || !minParameter_ || maxElements_.size() != kBoxesPerDraw) {
        ReportError("Fx %s Complie Error!", kEffectPath);
        technique_ = nullptr;
        return false;
    }
    return true;
}

void AABBObjRender8::SortByFlags(const std::vector<ZelI::IWidget*>& widgets) {
    wire_.clear();
    solid_.clear();
    for (ZelI::IWidget* widget : widgets) {
        auto* box = dynamic_cast<WidgetAABBImpl*>(widget);
        if (!box)
            continue;
        if (box->GetFlags() & 2u)
            solid_.push_back(box);
        if (box->GetFlags() & 1u)
            wire_.push_back(box);
    }
}

void AABBObjRender8::Render(const std::vector<ZelI::IWidget*>& widgets) {
    lastDraws_.clear();
    if (widgets.empty() || !IsReady())
        return;
    SortByFlags(widgets);
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    device_->SetVertexDeclaration(declaration_);
    device_->SetStreamSource(0, vertexBuffer_, 0, kVertexStride);
    effect_->SetTechnique(technique_);
    UINT passes = 0;
    effect_->Begin(&passes, D3DXFX_DONOTSAVESTATE | D3DXFX_DONOTSAVESHADERSTATE |
                                D3DXFX_DONOTSAVESAMPLERSTATE);
    Count(FRAME_EFFECTS_BEGUN, 1);
    if (scene)
        program_->SetMatrix(kViewProjectionParameter, scene->GetViewProjectionMatrix(), 0);
    effect_->BeginPass(0);
    Count(FRAME_EFFECT_PASSES_BEGUN, 1);
    const auto depthStates = [this] {
        device_->SetRenderState(D3DRS_ZENABLE, TRUE);
        device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device_->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    };
    if (!solid_.empty()) {
        depthStates();
        device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        device_->SetIndices(triangleIndices_);
        DrawInstanced(solid_, true);
    }
    if (!wire_.empty()) {
        depthStates();
        device_->SetIndices(lineIndices_);
        DrawInstanced(wire_, false);
    }
    effect_->EndPass();
    effect_->End();
}

void AABBObjRender8::DrawInstanced(const std::vector<WidgetAABBImpl*>& list, bool solid) {
    for (std::size_t first = 0; first < list.size(); first += kBoxesPerDraw) {
        const std::uint32_t n =
            std::uint32_t(std::min<std::size_t>(kBoxesPerDraw, list.size() - first));
        // Unused slots stay zero: their boxes collapse to a point and draw nothing.
        minArray_.assign(kBoxesPerDraw * 4, 0.0f);
        maxArray_.assign(kBoxesPerDraw * 3, 0.0f);
        for (std::uint32_t i = 0; i < n; ++i) {
            const WidgetAABBImpl& box = *list[first + i];
            std::memcpy(&minArray_[i * 4], box.GetMinimum(), 3 * sizeof(float));
            minArray_[i * 4 + 3] =
                PackWidgetColour(solid ? box.GetSolidColour() : box.GetWireColour());
            std::memcpy(&maxArray_[i * 3], box.GetMaximum(), 3 * sizeof(float));
        }
        effect_->SetValue(minParameter_, minArray_.data(), UINT(minArray_.size() * sizeof(float)));
        for (std::uint32_t i = 0; i < kBoxesPerDraw; ++i)
            effect_->SetValue(maxElements_[i], &maxArray_[i * 3], 3 * sizeof(float));
        effect_->CommitChanges();
        Count(FRAME_DRAW_INDEXED, 1);
        Count(FRAME_PRIMITIVES, 12 * n);
        device_->DrawIndexedPrimitive(solid ? D3DPT_TRIANGLELIST : D3DPT_LINELIST, 0, 0,
                                      kVerticesPerBox * n, 0, 12 * n);
        lastDraws_.push_back({solid, n});
    }
}

// ---- Widget renderer

WidgetRenderImpl::WidgetRenderImpl() {
    boxes_.Init();
}

WidgetRenderImpl::~WidgetRenderImpl() {
    for (auto& list : lists_)
        for (ZelI::IWidget* widget : list)
            if (auto* box = dynamic_cast<WidgetAABBImpl*>(widget))
                box->SetOwner(nullptr);
}

void WidgetRenderImpl::Clear() {
    lists_[0].clear();
}

void WidgetRenderImpl::Render() {
    boxes_.Render(lists_[0]);
}

void WidgetRenderImpl::AddWidget(ZelI::IWidget* widget) {
    if (!widget)
        return;
    const int type = widget->GetType();
    if (type < 0 || type >= kWidgetTypes)
        return;
    lists_[type].push_back(widget);
    if (auto* box = dynamic_cast<WidgetAABBImpl*>(widget))
        box->SetOwner(this);
}

void WidgetRenderImpl::RemoveWidget(ZelI::IWidget* widget) {
    for (auto& list : lists_) std::erase(list, widget);
}

}  // namespace Zel
