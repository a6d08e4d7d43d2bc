#include "Platform/Physics/NxPhysics.h"

#include <BulletSoftBody/btSoftBody.h>
#include <BulletSoftBody/btSoftBodyHelpers.h>
#include <BulletSoftBody/btSoftBodyRigidBodyCollisionConfiguration.h>
#include <BulletSoftBody/btSoftRigidDynamicsWorld.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "Platform/Win32/Win32System.h"

namespace Nx {

namespace {

constexpr int kGroupCount = 32;

NxPhysicsSDK* g_sdk = nullptr;
bool g_cookingReady = false;

btVector3 ToBt(const NxVec3& v) {
    return btVector3(v.x, v.y, v.z);
}

NxVec3 FromBt(const btVector3& v) {
    return NxVec3{static_cast<NxReal>(v.x()), static_cast<NxReal>(v.y()),
                  static_cast<NxReal>(v.z())};
}

btTransform ToBt(const NxMat34& m) {
    btMatrix3x3 basis(m.m[0][0], m.m[0][1], m.m[0][2], m.m[1][0], m.m[1][1], m.m[1][2], m.m[2][0],
                      m.m[2][1], m.m[2][2]);
    return btTransform(basis, ToBt(m.t));
}

NxMat34 FromBt(const btTransform& t) {
    NxMat34 m;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m.m[r][c] = static_cast<NxReal>(t.getBasis()[r][c]);
        }
    }
    m.t = FromBt(t.getOrigin());
    return m;
}

bool Finite(NxReal v) {
    return std::isfinite(v);
}

NxU32 PackColor(const btVector3& c) {
    auto channel = [](btScalar v) {
        return static_cast<NxU32>(std::clamp(v, btScalar(0), btScalar(1)) * 255.0f + 0.5f);
    };
    return 0xFF000000u | (channel(c.x()) << 16) | (channel(c.y()) << 8) | channel(c.z());
}

}  // namespace

// The scene's world holds these two as fields, and the world's type is named in the header: a
// type of the anonymous namespace inside it would give it an internal-linkage part.

// Collects the world's visualisation for NxScene::getDebugRenderable.
class DebugCollector : public btIDebugDraw {
public:
    void drawLine(const btVector3& from, const btVector3& to, const btVector3& color) override {
        if (out)
            out->lines.push_back({FromBt(from), FromBt(to), PackColor(color)});
    }
    void drawTriangle(const btVector3& a, const btVector3& b, const btVector3& c,
                      const btVector3& color, btScalar /*alpha*/) override {
        if (out)
            out->triangles.push_back({FromBt(a), FromBt(b), FromBt(c), PackColor(color)});
    }
    void drawContactPoint(const btVector3& point, const btVector3& /*normal*/,
                          btScalar /*distance*/, int /*lifeTime*/,
                          const btVector3& color) override {
        if (out)
            out->points.push_back({FromBt(point), PackColor(color)});
    }
    void reportErrorWarning(const char* text) override { ReportSdkError(NXE_DB_WARNING, text); }
    void draw3dText(const btVector3&, const char*) override {}
    void setDebugMode(int mode) override { mode_ = mode; }
    int getDebugMode() const override { return mode_; }

    NxDebugRenderable* out = nullptr;

private:
    int mode_ = 0;
};

// Pairs form only between groups whose table entry is set.
class GroupFilter : public btOverlapFilterCallback {
public:
    GroupFilter() {
        for (auto& row : table) {
            std::fill(std::begin(row), std::end(row), true);
        }
    }
    bool needBroadphaseCollision(btBroadphaseProxy* p0, btBroadphaseProxy* p1) const override {
        if ((p0->m_collisionFilterGroup & p1->m_collisionFilterMask) == 0 ||
            (p1->m_collisionFilterGroup & p0->m_collisionFilterMask) == 0) {
            return false;
        }
        auto* a = static_cast<const btCollisionObject*>(p0->m_clientObject);
        auto* b = static_cast<const btCollisionObject*>(p1->m_clientObject);
        return table[a->getUserIndex2() & (kGroupCount - 1)]
                    [b->getUserIndex2() & (kGroupCount - 1)];
    }
    bool table[kGroupCount][kGroupCount];
};

// ---- The world of one scene
// ----------------------------------------------------------------------

struct SceneWorld {
    btSoftBodyRigidBodyCollisionConfiguration config;
    btCollisionDispatcher dispatcher{&config};
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btSoftRigidDynamicsWorld world{&dispatcher, &broadphase, &solver, &config};
    GroupFilter filter;
    DebugCollector debugDraw;
    NxReal maxTimestep = 1.0f / 60.0f;
    int maxIter = 8;
    NxPhysicsSDK* sdk = nullptr;
    std::vector<std::unique_ptr<NxActor>> actors;
    std::vector<std::unique_ptr<NxCloth>> cloths;

    SceneWorld() {
        world.getPairCache()->setOverlapFilterCallback(&filter);
        world.setDebugDrawer(&debugDraw);
        world.getWorldInfo().m_sparsesdf.Initialize();
        world.getWorldInfo().m_dispatcher = &dispatcher;
        world.getWorldInfo().m_broadphase = &broadphase;
    }
    ~SceneWorld() {
        // Bodies leave the world before it goes.
        cloths.clear();
        actors.clear();
    }

    void Readd(btCollisionObject* object);
};

struct ActorBody {
    SceneWorld* scene = nullptr;
    std::unique_ptr<btCollisionShape> shape;
    std::unique_ptr<btRigidBody> body;
    bool dynamic = false;
    NxU32 flags = 0;
    NxReal mass = 0;
};

struct ClothBody {
    SceneWorld* scene = nullptr;
    std::unique_ptr<btSoftBody> body;
    NxMeshData receive;
    bool sleeping = false;

    void Refresh();
};

void SceneWorld::Readd(btCollisionObject* object) {
    // Pairs and filter groups are decided when a body joins the broadphase.
    if (auto* soft = btSoftBody::upcast(object)) {
        world.removeSoftBody(soft);
        world.addSoftBody(soft);
    } else if (auto* rigid = btRigidBody::upcast(object)) {
        world.removeRigidBody(rigid);
        world.addRigidBody(rigid);
    }
}

void ClothBody::Refresh() {
    btSoftBody& sb = *body;
    const int n = sb.m_nodes.size();
    const NxU32 count = std::min<NxU32>(static_cast<NxU32>(n), receive.maxVertices);
    auto* pos = static_cast<unsigned char*>(receive.verticesPosBegin);
    auto* nrm = static_cast<unsigned char*>(receive.verticesNormalBegin);
    for (NxU32 i = 0; i < count; ++i) {
        const btSoftBody::Node& node = sb.m_nodes[static_cast<int>(i)];
        if (pos != nullptr) {
            float* p = reinterpret_cast<float*>(pos + i * receive.verticesPosByteStride);
            p[0] = static_cast<float>(node.m_x.x());
            p[1] = static_cast<float>(node.m_x.y());
            p[2] = static_cast<float>(node.m_x.z());
        }
        if (nrm != nullptr) {
            float* q = reinterpret_cast<float*>(nrm + i * receive.verticesNormalByteStride);
            q[0] = static_cast<float>(node.m_n.x());
            q[1] = static_cast<float>(node.m_n.y());
            q[2] = static_cast<float>(node.m_n.z());
        }
    }
    if (receive.numVerticesPtr != nullptr)
        *receive.numVerticesPtr = count;
    NxU32 written = 0;
    if (auto* idx = static_cast<unsigned char*>(receive.indicesBegin)) {
        const btSoftBody::Node* first = &sb.m_nodes[0];
        for (int f = 0; f < sb.m_faces.size() && written + 3 <= receive.maxIndices; ++f) {
            for (int k = 0; k < 3; ++k) {
                *reinterpret_cast<NxU32*>(idx + written * receive.indicesByteStride) =
                    static_cast<NxU32>(sb.m_faces[f].m_n[k] - first);
                ++written;
            }
        }
    }
    if (receive.numIndicesPtr != nullptr)
        *receive.numIndicesPtr = written;
    if (receive.numParentIndicesPtr != nullptr)
        *receive.numParentIndicesPtr = 0;
}

// ---- Error reporting
// -----------------------------------------------------------------------------

void ReportSdkError(NxErrorCode code, const char* message) {
    if (g_sdk != nullptr && g_sdk->getOutputStream() != nullptr) {
        g_sdk->getOutputStream()->reportError(code, message, __FILE__, __LINE__);
    }
}

// ---- Shapes and actors
// ---------------------------------------------------------------------------

void NxShape::setGroup(NxU32 group) {
    group_ = group;
    if (actor_ != nullptr && actor_->body_) {
        btRigidBody* body = actor_->body_->body.get();
        body->setUserIndex2(static_cast<int>(group));
        actor_->body_->scene->Readd(body);
    }
}

NxActor::~NxActor() = default;

void NxActor::setGlobalPosition(const NxVec3& p) {
    btTransform t = body_->body->getWorldTransform();
    t.setOrigin(ToBt(p));
    setGlobalPose(FromBt(t));
}

void NxActor::setGlobalPose(const NxMat34& pose) {
    btRigidBody& b = *body_->body;
    const btTransform t = ToBt(pose);
    b.setWorldTransform(t);
    b.setInterpolationWorldTransform(t);
    if (!b.isStaticObject())
        b.activate(true);
    body_->scene->world.updateSingleAabb(&b);
}

NxMat34 NxActor::getGlobalPose() const {
    return FromBt(body_->body->getWorldTransform());
}

NxVec3 NxActor::getGlobalPosition() const {
    return FromBt(body_->body->getWorldTransform().getOrigin());
}

bool NxActor::readBodyFlag(NxU32 flag) const {
    return (body_->flags & flag) != 0;
}

namespace {

void ApplyBodyFlags(ActorBody& a) {
    if (!a.dynamic)
        return;
    btRigidBody& b = *a.body;
    SceneWorld& s = *a.scene;
    s.world.removeRigidBody(&b);
    if (a.flags & NX_BF_DISABLE_GRAVITY) {
        b.setFlags(b.getFlags() | BT_DISABLE_WORLD_GRAVITY);
        b.setGravity(btVector3(0, 0, 0));
    } else {
        b.setFlags(b.getFlags() & ~BT_DISABLE_WORLD_GRAVITY);
    }
    if (a.flags & NX_BF_KINEMATIC) {
        b.setCollisionFlags(b.getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT);
        b.setLinearVelocity(btVector3(0, 0, 0));
        b.setAngularVelocity(btVector3(0, 0, 0));
        b.forceActivationState(DISABLE_DEACTIVATION);
    } else if (b.getCollisionFlags() & btCollisionObject::CF_KINEMATIC_OBJECT) {
        b.setCollisionFlags(b.getCollisionFlags() & ~btCollisionObject::CF_KINEMATIC_OBJECT);
        b.forceActivationState(ACTIVE_TAG);
    }
    // Joining the world gives the body the world's gravity unless it is marked otherwise.
    s.world.addRigidBody(&b);
}

}  // namespace

void NxActor::raiseBodyFlag(NxU32 flag) {
    body_->flags |= flag;
    ApplyBodyFlags(*body_);
}

void NxActor::clearBodyFlag(NxU32 flag) {
    body_->flags &= ~flag;
    ApplyBodyFlags(*body_);
}

void NxActor::setMass(NxReal mass) {
    if (!body_->dynamic)
        return;
    if (!(mass > 0) || !Finite(mass)) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxActor::setMass: mass must be positive");
        return;
    }
    btVector3 inertia(0, 0, 0);
    body_->shape->calculateLocalInertia(mass, inertia);
    body_->body->setMassProps(mass, inertia);
    body_->body->updateInertiaTensor();
    body_->mass = mass;
}

NxReal NxActor::getMass() const {
    return body_->mass;
}

bool NxActor::isDynamic() const {
    return body_->dynamic;
}

void NxActor::putToSleep() {
    btRigidBody& b = *body_->body;
    if (!body_->dynamic || (body_->flags & NX_BF_KINEMATIC))
        return;
    b.setLinearVelocity(btVector3(0, 0, 0));
    b.setAngularVelocity(btVector3(0, 0, 0));
    b.setActivationState(ISLAND_SLEEPING);
}

void NxActor::wakeUp(NxReal /*wakeCounterValue*/) {
    btRigidBody& b = *body_->body;
    if (!body_->dynamic || (body_->flags & NX_BF_KINEMATIC))
        return;
    b.forceActivationState(ACTIVE_TAG);
    b.setDeactivationTime(0);
}

bool NxActor::isSleeping() const {
    return body_->dynamic && body_->body->getActivationState() == ISLAND_SLEEPING;
}

// ---- Cloth
// ---------------------------------------------------------------------------------------

NxCloth::~NxCloth() = default;

NxU32 NxCloth::getNumberOfParticles() const {
    return static_cast<NxU32>(body_->body->m_nodes.size());
}

void NxCloth::getPositions(void* buffer, NxU32 byteStride) const {
    auto* out = static_cast<unsigned char*>(buffer);
    const btSoftBody& sb = *body_->body;
    for (int i = 0; i < sb.m_nodes.size(); ++i) {
        float* p = reinterpret_cast<float*>(out + static_cast<std::size_t>(i) * byteStride);
        p[0] = static_cast<float>(sb.m_nodes[i].m_x.x());
        p[1] = static_cast<float>(sb.m_nodes[i].m_x.y());
        p[2] = static_cast<float>(sb.m_nodes[i].m_x.z());
    }
}

void NxCloth::setPositions(const void* buffer, NxU32 byteStride) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    btSoftBody& sb = *body_->body;
    for (int i = 0; i < sb.m_nodes.size(); ++i) {
        const float* p =
            reinterpret_cast<const float*>(in + static_cast<std::size_t>(i) * byteStride);
        sb.m_nodes[i].m_x = sb.m_nodes[i].m_q = btVector3(p[0], p[1], p[2]);
    }
    sb.updateBounds();
    sb.updateNormals();
    body_->Refresh();
}

void NxCloth::setVelocities(const void* buffer, NxU32 byteStride) {
    const auto* in = static_cast<const unsigned char*>(buffer);
    btSoftBody& sb = *body_->body;
    for (int i = 0; i < sb.m_nodes.size(); ++i) {
        const float* v =
            reinterpret_cast<const float*>(in + static_cast<std::size_t>(i) * byteStride);
        sb.m_nodes[i].m_v = btVector3(v[0], v[1], v[2]);
    }
}

void NxCloth::setGroup(NxU32 group) {
    body_->body->setUserIndex2(static_cast<int>(group));
    body_->scene->Readd(body_->body.get());
}

NxU32 NxCloth::getGroup() const {
    return static_cast<NxU32>(body_->body->getUserIndex2());
}

void NxCloth::putToSleep() {
    body_->sleeping = true;
    body_->body->setActivationState(ISLAND_SLEEPING);
}

void NxCloth::wakeUp(NxReal /*wakeCounterValue*/) {
    body_->sleeping = false;
    body_->body->forceActivationState(ACTIVE_TAG);
}

bool NxCloth::isSleeping() const {
    return body_->sleeping;
}

void NxCloth::attachVertexToGlobalPosition(NxU32 vertexId, const NxVec3& position) {
    btSoftBody& sb = *body_->body;
    if (vertexId >= static_cast<NxU32>(sb.m_nodes.size())) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxCloth::attachVertexToGlobalPosition: bad vertex");
        return;
    }
    btSoftBody::Node& n = sb.m_nodes[static_cast<int>(vertexId)];
    n.m_x = n.m_q = ToBt(position);
    n.m_v = btVector3(0, 0, 0);
    n.m_im = 0;
}

void NxCloth::addForceAtVertex(const NxVec3& force, NxU32 vertexId, NxForceMode /*mode*/) {
    btSoftBody& sb = *body_->body;
    if (vertexId < static_cast<NxU32>(sb.m_nodes.size())) {
        sb.addForce(ToBt(force), static_cast<int>(vertexId));
    }
}

namespace {
btScalar Unit(NxReal v) {
    return std::clamp(static_cast<btScalar>(v), btScalar(0), btScalar(1));
}
}  // namespace

void NxCloth::setThickness(NxReal thickness) {
    body_->body->getCollisionShape()->setMargin(std::max<btScalar>(thickness, 0.001f));
}

void NxCloth::setBendingStiffness(NxReal stiffness) {
    btSoftBody& sb = *body_->body;
    if (sb.m_materials.size() > 1)
        sb.m_materials[1]->m_kLST = std::max(Unit(stiffness), btScalar(0.001f));
}

void NxCloth::setStretchingStiffness(NxReal stiffness) {
    body_->body->m_materials[0]->m_kLST = std::max(Unit(stiffness), btScalar(0.001f));
}

void NxCloth::setDampingCoefficient(NxReal coefficient) {
    body_->body->m_cfg.kDP = Unit(coefficient);
}

void NxCloth::setFriction(NxReal friction) {
    body_->body->m_cfg.kDF = Unit(friction);
}

// ---- Scene
// ---------------------------------------------------------------------------------------

namespace {

// Cloth whose gravity flag is off cancels, node by node, the world gravity that the solver adds.
void CancelClothGravity(btDynamicsWorld* world, btScalar timeStep) {
    auto& soft = static_cast<btSoftRigidDynamicsWorld*>(world)->getSoftBodyArray();
    const btVector3 dv = -world->getGravity() * timeStep;
    for (int i = 0; i < soft.size(); ++i) {
        const auto* cloth = static_cast<const NxCloth*>(soft[i]->getUserPointer());
        if (cloth != nullptr && (cloth->getFlags() & NX_CLF_GRAVITY) == 0 && soft[i]->isActive()) {
            soft[i]->addVelocity(dv);
        }
    }
}

}  // namespace

NxScene::NxScene(const NxSceneDesc& desc) : world_(std::make_unique<SceneWorld>()) {
    world_->maxTimestep = desc.maxTimestep > 0 ? desc.maxTimestep : 1.0f / 60.0f;
    world_->maxIter = desc.maxIter > 0 ? static_cast<int>(desc.maxIter) : 8;
    world_->world.setInternalTickCallback(&CancelClothGravity, world_.get(), true);
    setGravity(desc.gravity);
}

NxScene::~NxScene() = default;

void NxScene::setGravity(const NxVec3& g) {
    world_->world.setGravity(ToBt(g));
    world_->world.getWorldInfo().m_gravity = ToBt(g);
}

NxVec3 NxScene::getGravity() const {
    return FromBt(world_->world.getGravity());
}

NxMaterial* NxScene::getMaterialFromIndex(NxU16 index) {
    return index == 0 ? &material0_ : nullptr;
}

NxActor* NxScene::createActor(const NxActorDesc& desc) {
    if (desc.shapes.size() != 1) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxScene::createActor: one shape expected");
        return nullptr;
    }
    const NxShapeDesc& s = desc.shapes[0];
    auto a = std::make_unique<ActorBody>();
    a->scene = world_.get();
    a->dynamic = desc.body != nullptr;
    btScalar volume = 0;
    switch (s.type) {
        case NX_SHAPE_BOX:
            if (!(s.dimensions.x > 0 && s.dimensions.y > 0 && s.dimensions.z > 0) ||
                !Finite(s.dimensions.x) || !Finite(s.dimensions.y) || !Finite(s.dimensions.z))
                break;
            a->shape = std::make_unique<btBoxShape>(ToBt(s.dimensions));
            volume = 8 * s.dimensions.x * s.dimensions.y * s.dimensions.z;
            break;
        case NX_SHAPE_SPHERE:
            if (!(s.radius > 0) || !Finite(s.radius))
                break;
            a->shape = std::make_unique<btSphereShape>(s.radius);
            volume = 4.0f / 3.0f * SIMD_PI * s.radius * s.radius * s.radius;
            break;
        case NX_SHAPE_CAPSULE:
            if (!(s.radius > 0) || !(s.height >= 0) || !Finite(s.radius) || !Finite(s.height))
                break;
            a->shape = std::make_unique<btCapsuleShape>(s.radius, s.height);
            volume = SIMD_PI * s.radius * s.radius * (s.height + 4.0f / 3.0f * s.radius);
            break;
        case NX_SHAPE_PLANE: {
            const btVector3 n = ToBt(s.normal);
            if (!(n.length2() > 0) || !Finite(s.d) || !std::isfinite(n.length2()) || a->dynamic)
                break;
            a->shape = std::make_unique<btStaticPlaneShape>(n, s.d);
            break;
        }
    }
    if (!a->shape) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxScene::createActor: invalid shape descriptor");
        return nullptr;
    }
    btScalar mass = 0;
    if (a->dynamic) {
        mass = desc.body->mass > 0 ? desc.body->mass : desc.density * volume;
        if (!(mass > 0) || !std::isfinite(mass)) {
            ReportSdkError(NXE_INVALID_PARAMETER, "NxScene::createActor: dynamic actor needs mass");
            return nullptr;
        }
    }
    btVector3 inertia(0, 0, 0);
    if (mass > 0)
        a->shape->calculateLocalInertia(mass, inertia);
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, a->shape.get(), inertia);
    info.m_startWorldTransform = ToBt(desc.globalPose);
    const NxMaterialDesc& m = material0_.getDesc();
    info.m_friction = m.dynamicFriction;
    info.m_restitution = m.restitution;
    a->body = std::make_unique<btRigidBody>(info);
    a->mass = mass;
    a->body->setUserIndex2(static_cast<int>(s.group));
    a->flags = a->dynamic ? desc.body->flags : 0;
    auto actor = std::make_unique<NxActor>();
    actor->shape_.actor_ = actor.get();
    actor->shape_.group_ = s.group;
    actor->body_ = std::move(a);
    world_->world.addRigidBody(actor->body_->body.get());
    if (actor->body_->flags != 0)
        ApplyBodyFlags(*actor->body_);
    world_->actors.push_back(std::move(actor));
    return world_->actors.back().get();
}

void NxScene::releaseActor(NxActor& actor) {
    auto& list = world_->actors;
    auto it =
        std::find_if(list.begin(), list.end(), [&](const auto& a) { return a.get() == &actor; });
    if (it == list.end())
        return;
    world_->world.removeRigidBody((*it)->body_->body.get());
    list.erase(it);
}

NxCloth* NxScene::createCloth(const NxClothDesc& desc) {
    NxClothMesh* mesh = desc.clothMesh;
    if (mesh == nullptr || mesh->getNumVertices() == 0 || mesh->getNumTriangles() == 0) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxScene::createCloth: no cloth mesh");
        return nullptr;
    }
    if (!(desc.density > 0) || !Finite(desc.density)) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxScene::createCloth: density must be positive");
        return nullptr;
    }
    const int n = static_cast<int>(mesh->getNumVertices());
    const btTransform pose = ToBt(desc.globalPose);
    std::vector<btVector3> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const float* p = &mesh->points[static_cast<std::size_t>(i) * 3];
        x[static_cast<std::size_t>(i)] = pose * btVector3(p[0], p[1], p[2]);
    }
    // An open sheet encloses no volume: each triangle's area times the density goes in thirds to
    // its corners.
    std::vector<btScalar> m(static_cast<std::size_t>(n), 0);
    const NxU32 nt = mesh->getNumTriangles();
    for (NxU32 t = 0; t < nt; ++t) {
        const NxU32* tri = &mesh->triangles[t * 3];
        const btScalar area = 0.5f * (x[tri[1]] - x[tri[0]]).cross(x[tri[2]] - x[tri[0]]).length();
        for (int k = 0; k < 3; ++k) m[tri[k]] += area * desc.density / 3;
    }
    auto c = std::make_unique<ClothBody>();
    c->scene = world_.get();
    c->body = std::make_unique<btSoftBody>(&world_->world.getWorldInfo(), n, x.data(), m.data());
    btSoftBody& sb = *c->body;
    btSoftBody::Material* stretch = sb.m_materials[0];
    stretch->m_kLST = std::max(Unit(desc.stretchingStiffness), btScalar(0.001f));
    std::set<std::pair<NxU32, NxU32>> edges;
    for (NxU32 t = 0; t < nt; ++t) {
        const NxU32* tri = &mesh->triangles[t * 3];
        for (int k = 0; k < 3; ++k) {
            const NxU32 a = tri[k];
            const NxU32 b = tri[(k + 1) % 3];
            if (edges.insert({std::min(a, b), std::max(a, b)}).second) {
                sb.appendLink(static_cast<int>(a), static_cast<int>(b), stretch);
            }
        }
        sb.appendFace(static_cast<int>(tri[0]), static_cast<int>(tri[1]), static_cast<int>(tri[2]));
    }
    btSoftBody::Material* bend = sb.appendMaterial();
    bend->m_kLST = (desc.flags & NX_CLF_BENDING)
                       ? std::max(Unit(desc.bendingStiffness), btScalar(0.001f))
                       : btScalar(0.001f);
    sb.generateBendingConstraints(2, bend);
    sb.m_cfg.piterations = static_cast<int>(std::max<NxU32>(desc.solverIterations, 1));
    sb.m_cfg.kDP = (desc.flags & NX_CLF_DAMPING) ? Unit(desc.dampingCoefficient) : 0;
    sb.m_cfg.kDF = Unit(desc.friction);
    sb.getCollisionShape()->setMargin(std::max<btScalar>(desc.thickness, 0.001f));
    sb.setUserIndex2(static_cast<int>(desc.collisionGroup));
    // Tear-able vertices are accepted and simulated as ordinary ones.
    c->receive = desc.meshData;
    auto cloth = std::make_unique<NxCloth>();
    cloth->mesh_ = mesh;
    cloth->flags_ = desc.flags;
    ++mesh->refCount;
    sb.setUserPointer(cloth.get());
    cloth->body_ = std::move(c);
    world_->world.addSoftBody(&sb);
    cloth->body_->Refresh();
    world_->cloths.push_back(std::move(cloth));
    return world_->cloths.back().get();
}

void NxScene::releaseCloth(NxCloth& cloth) {
    auto& list = world_->cloths;
    auto it =
        std::find_if(list.begin(), list.end(), [&](const auto& c) { return c.get() == &cloth; });
    if (it == list.end())
        return;
    world_->world.removeSoftBody((*it)->body_->body.get());
    --(*it)->mesh_->refCount;
    list.erase(it);
}

void NxScene::setGroupCollisionFlag(NxU32 group1, NxU32 group2, bool collide) {
    if (group1 >= kGroupCount || group2 >= kGroupCount) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxScene::setGroupCollisionFlag: group above 31");
        return;
    }
    world_->filter.table[group1][group2] = collide;
    world_->filter.table[group2][group1] = collide;
}

bool NxScene::getGroupCollisionFlag(NxU32 group1, NxU32 group2) const {
    if (group1 >= kGroupCount || group2 >= kGroupCount)
        return false;
    return world_->filter.table[group1][group2];
}

void NxScene::simulate(NxReal elapsedTime) {
    if (!(elapsedTime >= 0) || !Finite(elapsedTime)) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxScene::simulate: bad elapsed time");
        return;
    }
    world_->world.stepSimulation(elapsedTime, world_->maxIter, world_->maxTimestep);
    for (const auto& cloth : world_->cloths) {
        cloth->body_->Refresh();
    }
}

bool NxScene::fetchResults(NxU32 /*status*/, bool /*block*/, NxU32* errorState) {
    if (errorState != nullptr)
        *errorState = 0;
    return true;
}

const NxDebugRenderable* NxScene::getDebugRenderable() {
    debug_.points.clear();
    debug_.lines.clear();
    debug_.triangles.clear();
    NxPhysicsSDK* sdk = g_sdk;
    if (sdk == nullptr || !(sdk->getParameter(NX_VISUALIZATION_SCALE) > 0))
        return nullptr;
    int mode = 0;
    if (sdk->getParameter(NX_VISUALIZE_COLLISION_SHAPES) > 0)
        mode |= btIDebugDraw::DBG_DrawWireframe;
    if (sdk->getParameter(NX_VISUALIZE_COLLISION_AABBS) > 0)
        mode |= btIDebugDraw::DBG_DrawAabb;
    if (sdk->getParameter(NX_VISUALIZE_CLOTH_COLLISIONS) > 0)
        mode |= btIDebugDraw::DBG_DrawContactPoints;
    world_->debugDraw.setDebugMode(mode);
    world_->world.setDrawFlags(sdk->getParameter(NX_VISUALIZE_CLOTH_MESH) > 0 ? fDrawFlags::Faces
                                                                              : 0);
    world_->debugDraw.out = &debug_;
    world_->world.debugDrawWorld();
    world_->debugDraw.out = nullptr;
    return &debug_;
}

NxU32 NxScene::getNbActors() const {
    return static_cast<NxU32>(world_->actors.size());
}

NxU32 NxScene::getNbCloths() const {
    return static_cast<NxU32>(world_->cloths.size());
}

// ---- SDK
// -----------------------------------------------------------------------------------------

NxPhysicsSDK::~NxPhysicsSDK() {
    scenes_.clear();
    meshes_.clear();
    if (g_sdk == this)
        g_sdk = nullptr;
}

NxScene* NxPhysicsSDK::createScene(const NxSceneDesc& desc) {
    if (!(desc.maxTimestep > 0) || !Finite(desc.gravity.x) || !Finite(desc.gravity.y) ||
        !Finite(desc.gravity.z)) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxPhysicsSDK::createScene: invalid descriptor");
        return nullptr;
    }
    scenes_.push_back(std::make_unique<NxScene>(desc));
    return scenes_.back().get();
}

void NxPhysicsSDK::releaseScene(NxScene& scene) {
    auto it = std::find_if(scenes_.begin(), scenes_.end(),
                           [&](const auto& s) { return s.get() == &scene; });
    if (it != scenes_.end())
        scenes_.erase(it);
}

namespace {
constexpr NxU32 kMeshMagic = 0x4D4C434E;  // "NCLM"
constexpr NxU32 kMeshVersion = 1;
constexpr NxU32 kMaxClothVertices = 1u << 22;
}  // namespace

NxClothMesh* NxPhysicsSDK::createClothMesh(const NxStream& stream) {
    if (stream.readDword() != kMeshMagic || stream.readDword() != kMeshVersion) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxPhysicsSDK::createClothMesh: not a cooked cloth");
        return nullptr;
    }
    const NxU32 nv = stream.readDword();
    const NxU32 nt = stream.readDword();
    const NxU32 hasFlags = stream.readDword();
    if (nv == 0 || nt == 0 || nv > kMaxClothVertices || nt > 2 * kMaxClothVertices) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxPhysicsSDK::createClothMesh: bad counts");
        return nullptr;
    }
    auto mesh = std::make_unique<NxClothMesh>();
    mesh->points.resize(static_cast<std::size_t>(nv) * 3);
    mesh->triangles.resize(static_cast<std::size_t>(nt) * 3);
    stream.readBuffer(mesh->points.data(), nv * 12);
    stream.readBuffer(mesh->triangles.data(), nt * 12);
    if (hasFlags != 0) {
        mesh->vertexFlags.resize(nv);
        stream.readBuffer(mesh->vertexFlags.data(), nv * 4);
    }
    for (NxU32 index : mesh->triangles) {
        if (index >= nv) {
            ReportSdkError(NXE_INVALID_PARAMETER, "NxPhysicsSDK::createClothMesh: bad index");
            return nullptr;
        }
    }
    meshes_.push_back(std::move(mesh));
    return meshes_.back().get();
}

void NxPhysicsSDK::releaseClothMesh(NxClothMesh& mesh) {
    if (mesh.refCount != 0) {
        ReportSdkError(NXE_INVALID_OPERATION, "NxPhysicsSDK::releaseClothMesh: mesh in use");
        return;
    }
    auto it = std::find_if(meshes_.begin(), meshes_.end(),
                           [&](const auto& m) { return m.get() == &mesh; });
    if (it != meshes_.end())
        meshes_.erase(it);
}

bool NxPhysicsSDK::setParameter(NxParameter parameter, NxReal value) {
    if (parameter < 0 || parameter >= NX_PARAMS_COUNT)
        return false;
    params_[parameter] = value;
    return true;
}

NxReal NxPhysicsSDK::getParameter(NxParameter parameter) const {
    return parameter < 0 || parameter >= NX_PARAMS_COUNT ? 0.0f : params_[parameter];
}

void NxPhysicsSDK::release() {
    delete this;
}

// ---- Entry points
// --------------------------------------------------------------------------------

namespace {

class MallocAllocator : public NxUserAllocator {
public:
    void* malloc(std::size_t size) override { return std::malloc(size); }
    void free(void* memory) override { std::free(memory); }
};

}  // namespace

NxPhysicsSDK* NxCreatePhysicsSDK(NxU32 sdkVersion, NxUserAllocator* /*allocator*/,
                                 NxUserOutputStream* outputStream, const NxPhysicsSDKDesc& desc,
                                 NxSDKCreateError* errorCode) {
    NxSDKCreateError error = NXCE_NO_ERROR;
    NxPhysicsSDK* sdk = nullptr;
    if (sdkVersion != NX_PHYSICS_SDK_VERSION) {
        error = NXCE_WRONG_VERSION;
    } else if (desc.hwPageSize == 0) {
        error = NXCE_DESCRIPTOR_INVALID;
    } else if (g_sdk != nullptr) {
        error = NXCE_IN_USE_ERROR;
    } else {
        sdk = g_sdk = new NxPhysicsSDK(outputStream);
    }
    if (errorCode != nullptr)
        *errorCode = error;
    return sdk;
}

NxUserAllocator* NxGetPhysicsSDKAllocator() {
    static MallocAllocator allocator;
    return &allocator;
}

bool NxInitCooking(NxUserAllocator* /*allocator*/, NxUserOutputStream* /*outputStream*/) {
    g_cookingReady = true;
    return true;
}

void NxCloseCooking() {
    g_cookingReady = false;
}

bool NxCookClothMesh(const NxClothMeshDesc& desc, NxStream& stream) {
    if (!g_cookingReady) {
        ReportSdkError(NXE_INVALID_OPERATION, "NxCookClothMesh: cooking not initialised");
        return false;
    }
    if (desc.numVertices == 0 || desc.numTriangles == 0 || desc.points == nullptr ||
        desc.triangles == nullptr || desc.pointStrideBytes < 12 || desc.triangleStrideBytes < 12 ||
        desc.numVertices > kMaxClothVertices || desc.numTriangles > 2 * kMaxClothVertices ||
        (desc.vertexFlags != nullptr && desc.vertexFlagStrideBytes < 4)) {
        ReportSdkError(NXE_INVALID_PARAMETER, "NxCookClothMesh: invalid mesh descriptor");
        return false;
    }
    const auto* points = static_cast<const unsigned char*>(desc.points);
    const auto* tris = static_cast<const unsigned char*>(desc.triangles);
    for (NxU32 i = 0; i < desc.numVertices; ++i) {
        const float* p = reinterpret_cast<const float*>(points + i * desc.pointStrideBytes);
        if (!Finite(p[0]) || !Finite(p[1]) || !Finite(p[2])) {
            ReportSdkError(NXE_INVALID_PARAMETER, "NxCookClothMesh: point not finite");
            return false;
        }
    }
    for (NxU32 t = 0; t < desc.numTriangles; ++t) {
        const NxU32* tri = reinterpret_cast<const NxU32*>(tris + t * desc.triangleStrideBytes);
        if (tri[0] >= desc.numVertices || tri[1] >= desc.numVertices ||
            tri[2] >= desc.numVertices) {
            ReportSdkError(NXE_INVALID_PARAMETER, "NxCookClothMesh: index out of range");
            return false;
        }
    }
    stream.storeDword(kMeshMagic).storeDword(kMeshVersion);
    stream.storeDword(desc.numVertices).storeDword(desc.numTriangles);
    stream.storeDword(desc.vertexFlags != nullptr ? 1 : 0);
    for (NxU32 i = 0; i < desc.numVertices; ++i) {
        const float* p = reinterpret_cast<const float*>(points + i * desc.pointStrideBytes);
        stream.storeFloat(p[0]).storeFloat(p[1]).storeFloat(p[2]);
    }
    for (NxU32 t = 0; t < desc.numTriangles; ++t) {
        const NxU32* tri = reinterpret_cast<const NxU32*>(tris + t * desc.triangleStrideBytes);
        stream.storeDword(tri[0]).storeDword(tri[1]).storeDword(tri[2]);
    }
    if (desc.vertexFlags != nullptr) {
        const auto* flags = static_cast<const unsigned char*>(desc.vertexFlags);
        for (NxU32 i = 0; i < desc.numVertices; ++i) {
            stream.storeDword(
                *reinterpret_cast<const NxU32*>(flags + i * desc.vertexFlagStrideBytes));
        }
    }
    return true;
}

void RegisterPhysicsRuntime(const char* directory, bool present) {
    const std::string dir = directory != nullptr ? directory : ".";
    const std::string loader = dir + "/PhysXLoader.dll";
    const std::string cooking = dir + "/NxCooking.dll";
    const auto entry = [present](auto* fn) {
        return present ? reinterpret_cast<FARPROC>(fn) : nullptr;
    };
    RegisterModuleProc(loader.c_str(), "NxCreatePhysicsSDK", entry(&NxCreatePhysicsSDK));
    RegisterModuleProc(loader.c_str(), "NxGetPhysicsSDKAllocator",
                       entry(&NxGetPhysicsSDKAllocator));
    RegisterModuleProc(cooking.c_str(), "NxInitCooking", entry(&NxInitCooking));
    RegisterModuleProc(cooking.c_str(), "NxCloseCooking", entry(&NxCloseCooking));
    RegisterModuleProc(cooking.c_str(), "NxCookClothMesh", entry(&NxCookClothMesh));
}

}  // namespace Nx
