#include "Physics/ClothNx.h"

#include <cmath>

#include "Math/MathUtil.h"
#include "Physics/EntityNx.h"
#include "Physics/MemoryStream.h"
#include "Physics/PhysicsDebugRenderer.h"
#include "Physics/PhysicsLock.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/SceneNx.h"

namespace Zel {

namespace {

// The SDK refuses larger meshes; a grid is checked before anything is allocated.
constexpr double kMaxClothVertices = 1 << 22;

std::vector<float>& CookScratch() {
    static std::vector<float> scratch;
    return scratch;
}

// The cloth descriptor common to grids and meshes.
Nx::NxClothDesc BaseClothDesc(const float* pose) {
    Nx::NxClothDesc desc;
    desc.globalPose = ToNxPose(pose);
    desc.density = 1.0f;
    desc.pressure = 1.0f;
    desc.tearFactor = 1.5f;
    desc.collisionResponseCoefficient = 0.2f;
    desc.attachmentResponseCoefficient = 0.2f;
    desc.attachmentTearFactor = 1.5f;
    desc.solverIterations = 5;
    desc.externalAcceleration = Nx::NxVec3{0, 0, 0};
    desc.wakeUpCounter = 0.4f;
    desc.sleepLinearVelocity = 0.0f;
    desc.flags = Nx::NX_CLF_GRAVITY;
    return desc;
}

}  // namespace

void FreeCookScratch() {
    PhysicsLock lock(PhysicsMutex());
    std::vector<float>().swap(CookScratch());
}

bool PhxCloth::Create(const PhxBodyDesc* desc) {
    if (desc == nullptr) {
        return false;
    }
    SetDesc(*desc);
    switch (desc->shapeKind) {
        case PHX_SHAPE_CLOTH:
            return CreateGrid(desc->dimensions[0], desc->dimensions[1], desc->dimensions[2],
                              desc->pose, false);
        case PHX_SHAPE_CLOTH_ALT:
            return CreateFromMesh(desc->extra, desc->dimensions[0], desc->pose);
        default:
            return false;
    }
}

ClothNx::ClothNx(SceneNx* scene) : PhxCloth(scene), sceneNx_(scene) {}

ClothNx::~ClothNx() {
    PhysicsLock lock(PhysicsMutex());
    if (cloth_ != nullptr && sceneNx_->GetNxScene() != nullptr) {
        sceneNx_->GetNxScene()->releaseCloth(*cloth_);
    }
    cloth_ = nullptr;
    if (mesh_ != nullptr && GetPhysicsSDK() != nullptr) {
        GetPhysicsSDK()->releaseClothMesh(*mesh_);
    }
    mesh_ = nullptr;
}

bool ClothNx::CreateGrid(float width, float height, float cellSize, const float* pose,
                         bool tearLines) {
    PhysicsLock lock(PhysicsMutex());
    if (!(cellSize > 0) || !(width >= 0) || !(height >= 0) || !std::isfinite(cellSize) ||
        !std::isfinite(width) || !std::isfinite(height) || pose == nullptr) {
        return false;
    }
    const double columns = std::trunc(double{width} / cellSize) + 1;
    const double rows = std::trunc(double{height} / cellSize) + 1;
    if ((columns + 1) * (rows + 1) > kMaxClothVertices) {
        return false;
    }
    const int nx = static_cast<int>(columns);
    const int nz = static_cast<int>(rows);
    gridColumns_ = nx;
    gridRows_ = nz;
    const int w = nx + 1;
    std::vector<float> points;
    points.reserve(static_cast<std::size_t>(w) * (nz + 1) * 3);
    for (int v = 0; v <= nz; ++v) {
        for (int u = 0; u <= nx; ++u) {
            points.push_back(-static_cast<float>(u) * cellSize);
            points.push_back(0.0f);
            points.push_back(-static_cast<float>(v) * cellSize);
        }
    }
    // The diagonals alternate like a chessboard.
    std::vector<std::uint32_t> triangles;
    triangles.reserve(static_cast<std::size_t>(nx) * nz * 6);
    for (int v = 0; v < nz; ++v) {
        for (int u = 0; u < nx; ++u) {
            const auto i = static_cast<std::uint32_t>(v * w + u);
            const auto s = static_cast<std::uint32_t>(w);
            if ((v + u) % 2 == 0) {
                triangles.insert(triangles.end(), {i, i + s, i + s + 1, i, i + s + 1, i + 1});
            } else {
                triangles.insert(triangles.end(), {i, i + s, i + 1, i + 1, i + s, i + s + 1});
            }
        }
    }
    tearFlags_.clear();
    if (tearLines) {
        for (int v = 0; v <= nz; ++v) {
            for (int u = 0; u <= nx; ++u) {
                const bool onLine = (u + v) % 16 == 0 || ((u - v) % 16 + 16) % 16 == 0;
                tearFlags_.push_back(onLine ? Nx::NX_CLOTH_VERTEX_TEARABLE : 0u);
            }
        }
    }
    Nx::NxClothMeshDesc mesh;
    mesh.numVertices = static_cast<Nx::NxU32>(w * (nz + 1));
    mesh.numTriangles = static_cast<Nx::NxU32>(2 * nx * nz);
    mesh.points = points.data();
    mesh.triangles = triangles.data();
    mesh.vertexFlags = tearLines ? tearFlags_.data() : nullptr;
    Nx::NxClothDesc cloth = BaseClothDesc(pose);
    return CreateCloth(mesh, cloth);
}

bool ClothNx::CreateFromMesh(const PhxClothSource* source, float /*unused*/, const float* pose) {
    PhysicsLock lock(PhysicsMutex());
    if (source == nullptr || pose == nullptr || source->positions == nullptr ||
        source->indices == nullptr || source->vertexCount <= 0 || source->triangleCount <= 0) {
        return false;
    }
    const auto n = static_cast<std::size_t>(source->vertexCount);
    std::vector<float>& scratch = CookScratch();
    if (scratch.size() < n * 3) {
        scratch.resize(n * 3);
    }
    // The cloth lives in world space: the pose goes into the points, and the cloth itself gets
    // the identity, so receive buffers and pins share one space.
    for (std::size_t i = 0; i < n; ++i) {
        const float* p = source->positions + i * 3;
        float out[3];
        float wc = 0.0f;
        for (int r = 0; r < 4; ++r) {
            const float value = pose[4 * r] * p[0] + pose[4 * r + 1] * p[1] +
                                pose[4 * r + 2] * p[2] + pose[4 * r + 3];
            if (r < 3) {
                out[r] = value;
            } else {
                wc = value;
            }
        }
        for (int k = 0; k < 3; ++k) {
            scratch[i * 3 + k] = wc == 0.0f ? 0.0f : (wc == 1.0f ? out[k] : out[k] / wc);
        }
    }
    params_[4] = source->damping;
    params_[1] = source->density;
    params_[5] = source->friction;
    params_[3] = source->stretchingStiffness;
    params_[0] = source->thickness;
    Nx::NxClothMeshDesc mesh;
    mesh.numVertices = static_cast<Nx::NxU32>(source->vertexCount);
    mesh.numTriangles = static_cast<Nx::NxU32>(source->triangleCount);
    mesh.points = scratch.data();
    mesh.triangles = source->indices;
    Nx::NxClothDesc cloth = BaseClothDesc(IdentityMatrix());
    cloth.density = source->density;
    return CreateCloth(mesh, cloth);
}

bool ClothNx::CreateCloth(Nx::NxClothMeshDesc& meshDesc, Nx::NxClothDesc& clothDesc) {
    Nx::NxScene* scene = sceneNx_->GetNxScene();
    if (scene == nullptr || cloth_ != nullptr) {
        return false;
    }
    vertexCount_ = static_cast<std::int32_t>(meshDesc.numVertices);
    triangleCount_ = static_cast<std::int32_t>(meshDesc.numTriangles);
    clothDesc.thickness = params_[0];
    clothDesc.bendingStiffness = params_[2];
    clothDesc.stretchingStiffness = params_[3];
    clothDesc.dampingCoefficient = params_[4];
    clothDesc.friction = params_[5];
    clothDesc.flags |= Nx::NX_CLF_BENDING | Nx::NX_CLF_DAMPING;
    clothDesc.flags &= ~static_cast<Nx::NxU32>(Nx::NX_CLF_HARDWARE);
    meshDesc.target = 0;
    if (!CookClothMesh(meshDesc)) {
        return false;
    }
    const std::size_t v = meshDesc.numVertices;
    const std::size_t t = meshDesc.numTriangles;
    vertices_.assign(2 * v * 8, 0.0f);
    indices_.assign(3 * t, 0);
    parents_.assign(2 * v, 0);
    receivedVertices_ = receivedIndices_ = receivedParents_ = 0;
    Nx::NxMeshData& data = clothDesc.meshData;
    data.verticesPosBegin = vertices_.data();
    data.verticesNormalBegin = vertices_.data() + 3;
    data.verticesPosByteStride = 32;
    data.verticesNormalByteStride = 32;
    data.maxVertices = static_cast<Nx::NxU32>(2 * v);
    data.numVerticesPtr = &receivedVertices_;
    data.indicesBegin = indices_.data();
    data.indicesByteStride = 4;
    data.maxIndices = static_cast<Nx::NxU32>(3 * t);
    data.numIndicesPtr = &receivedIndices_;
    data.parentIndicesBegin = parents_.data();
    data.parentIndicesByteStride = 4;
    data.maxParentIndices = static_cast<Nx::NxU32>(2 * v);
    data.numParentIndicesPtr = &receivedParents_;
    clothDesc.clothMesh = mesh_;
    clothDesc.collisionGroup = static_cast<Nx::NxU32>(std::max(GetGroup(), 0));
    cloth_ = scene->createCloth(clothDesc);
    return cloth_ != nullptr;
}

bool ClothNx::CookClothMesh(const Nx::NxClothMeshDesc& meshDesc) {
    Nx::NxCookClothMeshFn cook = GetCookClothMesh();
    Nx::NxPhysicsSDK* sdk = GetPhysicsSDK();
    if (cook == nullptr || sdk == nullptr) {
        return false;
    }
    MemoryWriteBuffer written;
    if (!cook(meshDesc, written)) {
        return false;
    }
    // Creation holds the physics lock, so the scene is never mid-step here.
    MemoryReadBuffer read(written.data, written.currentSize);
    mesh_ = sdk->createClothMesh(read);
    return true;
}

void ClothNx::SetPosition(const float* position) {
    PhysicsLock lock(PhysicsMutex());
    if (cloth_ == nullptr) {
        return;
    }
    const Nx::NxU32 n = cloth_->getNumberOfParticles();
    if (n == 0) {
        return;
    }
    std::vector<float> p(static_cast<std::size_t>(n) * 3);
    cloth_->getPositions(p.data(), 12);
    const float d[3] = {position[0] - p[0], position[1] - p[1], position[2] - p[2]};
    for (std::size_t i = 0; i < p.size(); ++i) {
        p[i] += d[i % 3];
    }
    cloth_->setPositions(p.data(), 12);
}

void ClothNx::ResetVelocity() {
    PhysicsLock lock(PhysicsMutex());
    if (cloth_ != nullptr) {
        const std::vector<float> zero(static_cast<std::size_t>(cloth_->getNumberOfParticles()) * 3);
        cloth_->setVelocities(zero.data(), 12);
    }
}

void ClothNx::SetGravityEnabled(bool enable) {
    PhysicsLock lock(PhysicsMutex());
    PhxEntity::SetGravityEnabled(enable);
    if (cloth_ != nullptr) {
        const Nx::NxU32 flags = cloth_->getFlags();
        cloth_->setFlags(enable ? (flags | Nx::NX_CLF_GRAVITY)
                                : (flags & ~static_cast<Nx::NxU32>(Nx::NX_CLF_GRAVITY)));
    }
}

void ClothNx::SetGroup(std::int32_t group) {
    PhysicsLock lock(PhysicsMutex());
    PhxEntity::SetGroup(group);
    if (cloth_ != nullptr && group >= 0) {
        cloth_->setGroup(static_cast<Nx::NxU32>(group));
    }
}

void ClothNx::DebugDraw() {
    PhysicsLock lock(PhysicsMutex());
    PhysicsDebugRenderer::RenderWireframe(receivedVertices_, receivedIndices_ / 3, indices_.data(),
                                          vertices_.data(), 32);
}

void ClothNx::SetSleeping(bool sleeping) {
    PhysicsLock lock(PhysicsMutex());
    SleepOrWake(cloth_, sleeping);
    PhxEntity::SetSleeping(sleeping);
}

bool ClothNx::IsSleeping() const {
    PhysicsLock lock(PhysicsMutex());
    return cloth_ != nullptr && cloth_->isSleeping();
}

void ClothNx::AttachVertexToGlobalPosition(std::int32_t vertex, const float* position) {
    PhysicsLock lock(PhysicsMutex());
    if (cloth_ != nullptr && vertex >= 0) {
        cloth_->attachVertexToGlobalPosition(static_cast<Nx::NxU32>(vertex),
                                             Nx::NxVec3{position[0], position[1], position[2]});
    }
}

void ClothNx::AddForceAtVertex(const float* force, std::int32_t vertex) {
    PhysicsLock lock(PhysicsMutex());
    if (cloth_ != nullptr && vertex >= 0) {
        cloth_->addForceAtVertex(Nx::NxVec3{force[0], force[1], force[2]},
                                 static_cast<Nx::NxU32>(vertex), Nx::NX_FORCE);
    }
}

void ClothNx::SetThickness(float value) {
    PhysicsLock lock(PhysicsMutex());
    params_[0] = value;
    if (cloth_ != nullptr)
        cloth_->setThickness(value);
}

void ClothNx::SetDensity(float value) {
    PhysicsLock lock(PhysicsMutex());
    params_[1] = value;
}

void ClothNx::SetBendingStiffness(float value) {
    PhysicsLock lock(PhysicsMutex());
    params_[2] = value;
    if (cloth_ != nullptr)
        cloth_->setBendingStiffness(value);
}

void ClothNx::SetStretchingStiffness(float value) {
    PhysicsLock lock(PhysicsMutex());
    params_[3] = value;
    if (cloth_ != nullptr)
        cloth_->setStretchingStiffness(value);
}

void ClothNx::SetDampingCoefficient(float value) {
    PhysicsLock lock(PhysicsMutex());
    params_[4] = value;
    if (cloth_ != nullptr)
        cloth_->setDampingCoefficient(value);
}

void ClothNx::SetFriction(float value) {
    PhysicsLock lock(PhysicsMutex());
    params_[5] = value;
    if (cloth_ != nullptr)
        cloth_->setFriction(value);
}

}  // namespace Zel
