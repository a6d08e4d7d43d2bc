#include "Entity/Scene/BillBoard.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/TransformMath.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/SceneManager.h"
#include "Math/AABB.h"
#include "Math/MathUtil.h"
#include "Math/Matrix4.h"
#include "Math/Quaternion.h"
#include "Render/RenderCodes.h"

namespace Zel {
namespace {

constexpr std::uint32_t kShapeUsage = BU_STATIC | BU_WRITE_ONLY;

// The unit shapes: position and texture coordinate per corner.
struct ShapeCorner {
    float position[3];
    float uv[2];
};
constexpr ShapeCorner kQuad[4] = {
    {{1, 1, 0}, {1, 0}}, {{-1, 1, 0}, {0, 0}}, {{-1, -1, 0}, {0, 1}}, {{1, -1, 0}, {1, 1}}};
constexpr ShapeCorner kTriangle0[3] = {
    {{-1, 0, 0}, {0, 1}}, {{1, 0, 0}, {1, 1}}, {{1, 0, 1}, {1, 0}}};
constexpr ShapeCorner kTriangle1[3] = {
    {{-1, 0, 0}, {0, 1}}, {{1, 0, 1}, {1, 0}}, {{-1, 0, 1}, {0, 0}}};

struct SharedShapes {
    std::unique_ptr<VertexData> quad, triangle0, triangle1;
    std::unique_ptr<IndexData> quadIndices, triangleIndices;
};

SharedShapes& BillBoardShapes() {
    static SharedShapes shapes;
    return shapes;
}

template <std::size_t N>
std::unique_ptr<VertexData> MakeShape(const ShapeCorner (&corners)[N]) {
    auto data = std::make_unique<VertexData>(nullptr, kShapeUsage, false, 0);
    data->SetVertexCount(N);
    std::vector<std::uint8_t> positions(N * 12), uvs(N * 8);
    for (std::size_t i = 0; i < N; ++i) {
        std::memcpy(positions.data() + i * 12, corners[i].position, 12);
        std::memcpy(uvs.data() + i * 8, corners[i].uv, 8);
    }
    data->AddComponent(VF_POSITION, VET_FLOAT3, N, positions);
    data->AddComponent(VF_TEXCOORD0, VET_FLOAT2, N, uvs);
    return data;
}

std::unique_ptr<IndexData> MakeIndices(std::initializer_list<std::uint32_t> indices) {
    auto data = std::make_unique<IndexData>(0);
    data->AllocateIndices(static_cast<std::uint32_t>(indices.size()));
    std::copy(indices.begin(), indices.end(), data->GetIndices());
    const DeviceCaps* caps = Globals::Find(&Globals::GetDeviceCaps);
    const bool wide = caps && (caps->featureFlags & DEVICE_INDEX_32);
    data->CreateBuffer(wide ? IS_32BIT : IS_16BIT, kShapeUsage);
    return data;
}

Camera* CurrentCamera() {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    return scene ? scene->GetCurrentCamera() : nullptr;
}

void Normalised(float* v) {
    NormalizeVector3(v);
}

}  // namespace

// ---- BillBoardSubEntity

BillBoardSubEntity::BillBoardSubEntity(std::uint32_t index) {
    SetUserWord(index);
}

BillBoard* BillBoardSubEntity::GetBillBoard() const {
    Entity* owner = GetOwner();
    return owner && owner->GetClassId() == ClassId::BillBoard ? static_cast<BillBoard*>(owner)
                                                              : nullptr;
}

IndexData* BillBoardSubEntity::GetIndexData() const {
    const BillBoard* board = GetBillBoard();
    return board ? BillBoard::GetSharedIndexData(board->GetKind()) : nullptr;
}

VertexData* BillBoardSubEntity::GetVertexData() const {
    const BillBoard* board = GetBillBoard();
    return board ? BillBoard::GetSharedVertexData(board->GetKind(), GetUserWord()) : nullptr;
}

const float* BillBoardSubEntity::GetWorldMatrix() {
    const BillBoard* board = GetBillBoard();
    return board ? board->GetMatrix(GetUserWord()) : IdentityMatrix();
}

const AABB& BillBoardSubEntity::GetBoundingBox() {
    static const AABB kNoBox;
    const BillBoard* board = GetBillBoard();
    return board ? board->GetBoundingBox() : kNoBox;
}

std::uint32_t BillBoardSubEntity::FillRenderOperation(Pass* pass, std::uint32_t /*group*/) {
    BillBoard* board = GetBillBoard();
    VertexData* vertexData = GetVertexData();
    IndexData* indexData = GetIndexData();
    if (!pass || !board || !vertexData || !indexData)
        return 0;
    record_.Reset();
    record_.vertexData = vertexData;
    record_.indexData = indexData;
    record_.vertexBinding = vertexData->GetBufferByFormat(pass->GetVertexFlags(), true);
    record_.vertexCount = vertexData->GetVertexCount();
    record_.indexCount = BillBoard::IsSplitKind(board->GetKind()) ? 3 : 6;
    record_.startIndex = 0;
    record_.pass = pass;
    record_.renderState = &pass->renderState;
    if (Material* material = GetOwnMaterial())
        record_.program = material->GetProgram();
    std::memcpy(record_.colour, board->GetColour(), sizeof record_.colour);
    record_.hasColour = true;
    record_.flags |= 1u;
    record_.primitiveType = PT_TRIANGLE_LIST;
    record_.owner = board;
    return 1;
}

SubEntity* BillBoardSubEntity::Clone(bool attach) {
    auto* copy = new BillBoardSubEntity(GetUserWord());
    CopyTo(copy, attach);
    return copy;
}

void BillBoardSubEntity::CopyTo(SubEntity* target, bool attach) {
    SubEntity::CopyTo(target, attach);
    if (target && target != this)
        target->SetUserWord(GetUserWord());
}

// ---- BillBoard

BillBoard::BillBoard() {
    for (float* m : matrices_) std::memcpy(m, IdentityMatrix(), 16 * sizeof(float));
}

BillBoard::~BillBoard() {
    RemoveAllSubEntities();
}

void BillBoard::RemoveAllSubEntities() {
    for (SubEntity* piece : TakeAllSubEntities()) delete piece;
}

void BillBoard::RebuildSubEntities() {
    RemoveAllSubEntities();
    const std::uint32_t count = IsSplitKind(kind_) ? 2 : 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        auto* piece = new BillBoardSubEntity(i);
        piece->SetOwner(this);
        AppendSubEntity(piece);
    }
}

void BillBoard::Update(std::uint32_t* counter, float dt, std::uint32_t frameId) {
    switch (kind_) {
        case 0:
            BuildFacingMatrix();
            break;
        case 2:
            BuildSplitMatrices();
            break;
        case 3:
            BuildAxisMatrix();
            break;
        default:
            break;  // kinds 1, 4 and others keep their matrices
    }
    Entity::Update(counter, dt, frameId);
}

void BillBoard::BuildFacingMatrix() {
    const float scale[3] = {width_ * 0.5f, height_ * 0.5f, 1.0f};
    const float* position = GetWorldPosition();
    if (flags_ == 0) {
        Matrix4::MakeTransform(matrices_[0], scale, GetWorldOrientation(), position);
        return;
    }
    if (flags_ & kFreeze)
        return;
    // The camera-facing rules need the camera's turn; without one the matrix stays.
    Camera* camera = CurrentCamera();
    if (!camera || !(flags_ & (kFaceCamera | kLevelled)))
        return;
    const float* cameraTurn = camera->GetWorldOrientation();
    const float* cameraPosition = camera->GetWorldPosition();
    float cameraDirection[3];
    std::memcpy(cameraDirection, camera->Rotator::GetDirection(), sizeof cameraDirection);
    float toCamera[3] = {cameraPosition[0] - position[0], cameraPosition[1] - position[1],
                         cameraPosition[2] - position[2]};
    Normalised(toCamera);
    float turn[4];
    if (flags_ & kFaceCamera) {
        if (!(flags_ & kTurnToCamera)) {
            std::memcpy(turn, cameraTurn, sizeof turn);
        } else if (flags_ & kFullTurn) {
            const float away[3] = {-toCamera[0], -toCamera[1], -toCamera[2]};
            float q1[4];
            Quaternion::FromTwoVectors(q1, cameraDirection, away);
            MultiplyQuaternions(q1, cameraTurn, turn);
        } else {
            float horizontal[3] = {-toCamera[0], -toCamera[1], 0.0f};
            Normalised(horizontal);
            float q1[4], qa[4];
            Quaternion::FromTwoVectors(q1, cameraDirection, horizontal);
            MultiplyQuaternions(q1, cameraTurn, qa);
            const float yAxis[3] = {0.0f, 1.0f, 0.0f};
            float up[3], normal[3], q2[4];
            RotateByQuaternion(qa, yAxis, up);
            Normalised(up);
            Cross3(horizontal, up, normal);
            Normalised(normal);
            Quaternion::ToHorizontal(q2, normal);
            MultiplyQuaternions(q2, qa, turn);
        }
    } else {
        float level[4];
        Quaternion::ToHorizontal(level, cameraDirection);
        MultiplyQuaternions(level, cameraTurn, turn);
    }
    Matrix4::MakeTransform(matrices_[0], scale, turn, position);
    // Only a rebuilt matrix moves: an offset added to a kept one would pile up frame by frame.
    if (flags_ & kTowardCamera)
        for (int i = 0; i < 3; ++i) matrices_[0][4 * i + 3] += toCamera[i] * cameraOffset_;
}

void BillBoard::BuildSplitMatrices() {
    Camera* camera = CurrentCamera();
    if (!camera)
        return;
    const float s = width_ * 0.5f;
    const float scale[3] = {s, s, 1.0f};
    const float* position = GetWorldPosition();
    const float* cameraTurn = camera->GetWorldOrientation();
    Matrix4::MakeTransform(matrices_[0], scale, cameraTurn, position);
    const float zAxis[3] = {0.0f, 0.0f, 1.0f};
    float up[3];
    RotateByQuaternion(GetWorldOrientation(), zAxis, up);
    Matrix4::MakeTransform(matrices_[1], scale, cameraTurn, position);
    for (int i = 0; i < 3; ++i) matrices_[1][4 * i + 3] += height_ * up[i];
}

void BillBoard::BuildAxisMatrix() {
    Camera* camera = CurrentCamera();
    if (!camera)
        return;
    const float zAxis[3] = {0.0f, 0.0f, 1.0f};
    float up[3], x[3], y[3];
    RotateByQuaternion(GetWorldOrientation(), zAxis, up);
    Cross3(camera->Rotator::GetDirection(), up, x);
    Normalised(x);
    Cross3(up, x, y);
    Normalised(y);
    const float rotation[16] = {x[0], y[0], up[0], 0, x[1], y[1], up[1], 0,
                                x[2], y[2], up[2], 0, 0,    0,    0,     1};
    float turn[4];
    Matrix4::Decompose(rotation, nullptr, turn, nullptr);
    const float scale[3] = {width_, 1.0f, height_};
    Matrix4::MakeTransform(matrices_[0], scale, turn, GetWorldPosition());
    std::memcpy(matrices_[1], matrices_[0], sizeof matrices_[1]);
}

void BillBoard::UpdatePlacement() {
    if (GetState() & NODE_BOUNDS_DIRTY) {
        float min[3] = {-1.0f, -1.0f, -1.0f}, max[3] = {1.0f, 1.0f, 1.0f};
        if (kind_ == 0) {
            min[2] = -0.01f, max[2] = 0.01f;
        } else if (kind_ == 2) {
            min[1] = -0.01f, max[1] = 0.01f;
        } else if (kind_ == 3) {
            min[1] = -0.01f, max[1] = 0.01f, min[2] = 0.0f;
        }
        AABB box(min, max);
        box.Transform(matrices_[0]);
        SetBoundingBox(box);
    }
    SceneNode::UpdatePlacement();
}

SceneNode* BillBoard::Clone(bool withParent) {
    SceneManager* scene = Globals::Find(&Globals::GetSceneManager);
    if (!scene)
        return nullptr;
    std::string name;
    MakeCloneName(name);
    BillBoard* copy = scene->CreateBillBoard(name, static_cast<std::int32_t>(kind_));
    if (copy)
        CopyTo(copy, withParent);
    return copy;
}

void BillBoard::CopyTo(SceneNode* target, bool withParent) {
    auto* board = dynamic_cast<BillBoard*>(target);
    if (!board || board == this)
        return;
    // The entity copy appends copies of these pieces: the target's own go first.
    board->RemoveAllSubEntities();
    Entity::CopyTo(board, withParent);
    board->flags_ = flags_;
    board->width_ = width_;
    board->height_ = height_;
    board->auxiliary_ = auxiliary_;
    board->cameraOffset_ = cameraOffset_;
    std::memcpy(board->matrices_, matrices_, sizeof matrices_);
    board->kind_ = kind_;
}

void BillBoard::SetColour(const float* rgba) {
    std::memcpy(colour_, rgba, sizeof colour_);
}

void BillBoard::SetSize(float width, float height) {
    width_ = width;
    height_ = height;
    SetStateBits(NODE_BOUNDS_DIRTY);
}

void BillBoard::Reset() {
    width_ = height_ = 1.0f;
    flags_ = 0;
    auxiliary_ = 0.0f;
    cameraOffset_ = 1.0f;
    for (float* m : matrices_) std::memcpy(m, IdentityMatrix(), 16 * sizeof(float));
    Entity::Reset();
}

VertexData* BillBoard::GetSharedVertexData(std::uint32_t kind, std::uint32_t index) {
    SharedShapes& shapes = BillBoardShapes();
    if (!IsSplitKind(kind)) {
        if (!shapes.quad)
            shapes.quad = MakeShape(kQuad);
        return shapes.quad.get();
    }
    std::unique_ptr<VertexData>& triangle = index == 0 ? shapes.triangle0 : shapes.triangle1;
    if (!triangle)
        triangle = index == 0 ? MakeShape(kTriangle0) : MakeShape(kTriangle1);
    return triangle.get();
}

IndexData* BillBoard::GetSharedIndexData(std::uint32_t kind) {
    SharedShapes& shapes = BillBoardShapes();
    if (!IsSplitKind(kind)) {
        if (!shapes.quadIndices)
            shapes.quadIndices = MakeIndices({0, 1, 2, 0, 2, 3});
        return shapes.quadIndices.get();
    }
    if (!shapes.triangleIndices)
        shapes.triangleIndices = MakeIndices({0, 1, 2});
    return shapes.triangleIndices.get();
}

void BillBoard::ReleaseSharedShapes() {
    BillBoardShapes() = SharedShapes{};
}

}  // namespace Zel
