#include "Entity/Scene/FakeShadow.h"

#include <cstring>
#include <vector>

#include "Core/Globals.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/MathUtil.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace {

constexpr char kFakeShadowLibrary[] = "../resources/media/shaders/FakeShadow.xml";
constexpr char kFakeShadowMaterial[] = "FakeShadow";
// Bit of a pass's draw flags: the pass draws a piece once per frame.
constexpr std::uint32_t kDrawOncePass = PF_DEPTH_ONLY;
// Static, write-only buffers.
constexpr std::uint32_t kQuadUsage = BU_STATIC | BU_WRITE_ONLY;

// The quad in the plane z = 0: position, texture coordinate, colour per corner.
constexpr float kBlobPositions[4][3] = {
    {0.5f, 0.5f, 0.0f}, {-0.5f, 0.5f, 0.0f}, {-0.5f, -0.5f, 0.0f}, {0.5f, -0.5f, 0.0f}};
constexpr float kBlobTexCoords[4][2] = {{1, 0}, {0, 0}, {0, 1}, {1, 1}};
constexpr std::uint32_t kBlobIndices[6] = {0, 1, 2, 0, 2, 3};

template <class T, std::size_t N>
void AddComponentOf(VertexData& data, std::uint32_t semantic, std::uint32_t type,
                    const T (&values)[N]) {
    std::vector<std::uint8_t> bytes(sizeof values);
    std::memcpy(bytes.data(), values, sizeof values);
    data.AddComponent(semantic, type, 4, bytes);
}

}  // namespace

// ---- FakeShadowInstance

FakeShadowInstance::FakeShadowInstance() {
    std::memcpy(world_, IdentityMatrix(), sizeof world_);
}

IndexData* FakeShadowInstance::GetIndexData() const {
    return shadow_ ? shadow_->GetIndexData() : nullptr;
}

VertexData* FakeShadowInstance::GetVertexData() const {
    return shadow_ ? shadow_->GetVertexData() : nullptr;
}

const AABB& FakeShadowInstance::GetBoundingBox() {
    const float min[3] = {-0.5f, -0.5f, 0.0f}, max[3] = {0.5f, 0.5f, 0.0f};
    box_.SetMinMax(min, max);
    box_.Transform(world_);
    return box_;
}

std::uint32_t FakeShadowInstance::FillRenderOperation(Pass* pass, std::uint32_t /*group*/) {
    if (!pass)
        return 0;
    if (pass->passFlags & kDrawOncePass) {
        if (frameGuard_)
            return 0;
        frameGuard_ = 1;
    }
    VertexData* vertexData = GetVertexData();
    IndexData* indexData = GetIndexData();
    if (!vertexData || !indexData)
        return 0;
    record_.Reset();
    record_.vertexData = vertexData;
    record_.vertexBinding = vertexData->GetBufferByFormat(pass->GetVertexFlags(), true);
    record_.vertexCount = vertexData->GetVertexCount();
    record_.indexData = indexData;
    record_.indexCount = 6;
    record_.startIndex = 0;
    record_.primitiveType = PT_TRIANGLE_LIST;
    record_.flags |= 1u;
    record_.pass = pass;
    record_.renderState = &pass->renderState;
    if (Material* material = pass->GetOwner())
        record_.program = material->GetProgram();
    const float* shadowColour = shadow_->GetColour();
    for (int c = 0; c < 4; ++c) record_.colour[c] = 1.0f - shadowColour[c];
    record_.hasColour = true;
    return 1;
}

void FakeShadowInstance::Reset() {
    frameGuard_ = 0;
    std::memcpy(world_, IdentityMatrix(), sizeof world_);
    SubEntity::Reset();
}

// ---- FakeShadow

FakeShadow::FakeShadow() {
    if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager)) {
        bool success = false;
        materials->LoadMaterialLibXml(kFakeShadowLibrary, success, false, nullptr);
        if (Material* found = materials->FindMaterial(kFakeShadowMaterial, true)) {
            material_.Assign(found);
            found->DecRef();  // the reference FindMaterial added is now the holder's
            ownMaterial_ = true;
        } else {
            material_.Assign(materials->GetDefaultMaterial(false));
        }
    }
    vertexData_ = new VertexData(nullptr, kQuadUsage, false, 0);
    vertexData_->SetVertexCount(4);
    const float white[4][4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}};
    AddComponentOf(*vertexData_, VF_POSITION, VET_FLOAT3, kBlobPositions);
    AddComponentOf(*vertexData_, VF_TEXCOORD0, VET_FLOAT2, kBlobTexCoords);
    AddComponentOf(*vertexData_, VF_COLOUR, VET_FLOAT4, white);
    indexData_ = new IndexData(0);
    indexData_->AllocateIndices(6);
    std::memcpy(indexData_->GetIndices(), kBlobIndices, sizeof kBlobIndices);
    indexData_->CreateBuffer(IS_16BIT, kQuadUsage);
}

FakeShadow::~FakeShadow() {
    ReleaseInstances();
    Material* material = material_.Get();
    material_.Reset();
    if (ownMaterial_ && material)
        if (MaterialManager* materials = Globals::Find(&Globals::GetMaterialManager))
            materials->Remove(material);
    delete vertexData_;
    delete indexData_;
}

Material* FakeShadow::GetCasterMaterial(std::uint32_t /*kind*/) {
    return material_.Get();
}

FakeShadowInstance* FakeShadow::CreateInstance() {
    FakeShadowInstance* instance = instances_.Acquire();
    if (!instance)
        return nullptr;
    instance->SetShadow(this);
    instance->SetMaterial(material_.Get());
    instance->SetRenderMark(0);
    return instance;
}

void FakeShadow::Render(Level* /*level*/) {
    if (SceneManager* scene = Globals::Find(&Globals::GetSceneManager))
        scene->RenderShadowCasters();
    casterSource_ = nullptr;
    ReleaseInstances();
}

void FakeShadow::ReleaseInstances() {
    // Release unlinks each object from the list walked: walk a copy.
    const std::list<FakeShadowInstance*> out = instances_.GetPool().GetInUseObjects();
    for (FakeShadowInstance* instance : out) instances_.Release(instance);
}

}  // namespace Zel
