// One 1/60 s step of a hanging cloth of 1,764 particles and 500 boxes falling onto a ground
// plane, through the engine's physics scene (step, then every body read back, as the host's
// physics step does) next to the same world built and stepped by Bullet directly. Both sides
// advance in lock-step; at the end every box and every cloth particle must stand at the same place
// on both sides.
#include <benchmark/benchmark.h>

#include <BulletSoftBody/btSoftBody.h>
#include <BulletSoftBody/btSoftBodyRigidBodyCollisionConfiguration.h>
#include <BulletSoftBody/btSoftRigidDynamicsWorld.h>
#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

#include "AnchorRatio.h"
#include "Math/MathUtil.h"
#include "Physics/ClothNx.h"
#include "Physics/PhysicsSdk.h"
#include "Physics/PhysicsWorld.h"
#include "Physics/SceneNx.h"

namespace {

using namespace Zel;

constexpr int kBoxes = 500;
constexpr float kHalf = 0.1f;
constexpr float kCell = 0.05f;
constexpr float kClothSize = 2.02f;  // 41 quads of 0.05: 42 x 42 particles
constexpr int kClothSide = 42;
const btVector3 kClothAt(-20, 0, 3);
constexpr float kStep = 1.0f / 60.0f;

btVector3 BoxAt(int i) {
    return btVector3(0.5f * static_cast<float>(i % 20), 0.5f * static_cast<float>(i / 20),
                     1.0f + 0.01f * static_cast<float>(i % 7));
}

PhxBodyDesc Desc(std::int32_t kind, float a, float b, float c, float d, const btVector3& at) {
    PhxBodyDesc desc = {};
    desc.dimensions[0] = a;
    desc.dimensions[1] = b;
    desc.dimensions[2] = c;
    desc.dimensions[3] = d;
    std::copy(IdentityMatrix(), IdentityMatrix() + 16, desc.pose);
    desc.pose[3] = at.x();
    desc.pose[7] = at.y();
    desc.pose[11] = at.z();
    desc.shapeKind = kind;
    return desc;
}

// ---- The engine's side
// ---------------------------------------------------------------------------

struct EngineScene {
    PhysicsWorld world;
    SceneNx* scene = nullptr;
    std::vector<PhxEntity*> boxes;
    ClothNx* cloth = nullptr;

    bool Build() {
        if (!LoadPhysicsSDK())
            return false;
        scene = static_cast<SceneNx*>(world.GetScene());
        // Every group meets every other, as in the plain world.
        for (int i = 0; i < PhxScene::kGroupCount; ++i)
            for (int j = 0; j < PhxScene::kGroupCount; ++j) scene->SetGroupCollision(i, j, true);
        const PhxBodyDesc ground = Desc(PHX_SHAPE_PLANE, 0, 0, 1, 0, btVector3(0, 0, 0));
        if (scene->CreateEntity(&ground) == nullptr)
            return false;
        for (int i = 0; i < kBoxes; ++i) {
            const PhxBodyDesc box = Desc(PHX_SHAPE_BOX, kHalf, kHalf, kHalf, 0, BoxAt(i));
            boxes.push_back(scene->CreateEntity(&box));
            if (boxes.back() == nullptr)
                return false;
        }
        const PhxBodyDesc grid = Desc(PHX_SHAPE_CLOTH, kClothSize, kClothSize, kCell, 0, kClothAt);
        cloth = static_cast<ClothNx*>(scene->CreateEntity(&grid));
        if (cloth == nullptr || cloth->GetVertexCount() != kClothSide * kClothSide)
            return false;
        for (int corner : {0, kClothSide - 1}) {
            const float* p = static_cast<const float*>(cloth->GetVertexBuffer()) + 8 * corner;
            const float at[3] = {p[0], p[1], p[2]};
            cloth->AttachVertexToGlobalPosition(corner, at);
        }
        return true;
    }
    void Step() {
        scene->Step(kStep);
        scene->UpdateEntities();
    }
    ~EngineScene() { world.Shutdown(); }
};

// ---- Bullet by itself
// ----------------------------------------------------------------------------

struct PlainScene {
    btSoftBodyRigidBodyCollisionConfiguration config;
    btCollisionDispatcher dispatcher{&config};
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btSoftRigidDynamicsWorld world{&dispatcher, &broadphase, &solver, &config};
    std::vector<std::unique_ptr<btCollisionShape>> shapes;
    std::vector<std::unique_ptr<btRigidBody>> bodies;
    std::unique_ptr<btSoftBody> cloth;

    btRigidBody* AddBody(btCollisionShape* shape, float mass, const btVector3& at) {
        shapes.emplace_back(shape);
        btVector3 inertia(0, 0, 0);
        if (mass > 0)
            shape->calculateLocalInertia(mass, inertia);
        btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape, inertia);
        info.m_startWorldTransform = btTransform(btMatrix3x3::getIdentity(), at);
        info.m_friction = 0.2f;
        info.m_restitution = 0.5f;
        bodies.push_back(std::make_unique<btRigidBody>(info));
        world.addRigidBody(bodies.back().get());
        return bodies.back().get();
    }

    void Build() {
        btSoftBodyWorldInfo& info = world.getWorldInfo();
        info.m_sparsesdf.Initialize();
        info.m_dispatcher = &dispatcher;
        info.m_broadphase = &broadphase;
        world.setGravity(btVector3(0, 0, -30));
        info.m_gravity = btVector3(0, 0, -30);
        AddBody(new btStaticPlaneShape(btVector3(0, 0, 1), 0), 0, btVector3(0, 0, 0));
        for (int i = 0; i < kBoxes; ++i) {
            AddBody(new btBoxShape(btVector3(kHalf, kHalf, kHalf)), 8 * kHalf * kHalf * kHalf,
                    BoxAt(i));
        }
        // The sheet from the particles' own positions: rows along -Z, columns along -X, the
        // quads' diagonals alternating; a third of each triangle's area goes to each corner.
        const int n = kClothSide * kClothSide;
        const btTransform at(btMatrix3x3::getIdentity(), kClothAt);
        std::vector<btVector3> x;
        for (int v = 0; v < kClothSide; ++v)
            for (int u = 0; u < kClothSide; ++u)
                x.push_back(at * btVector3(-static_cast<float>(u) * kCell, 0,
                                           -static_cast<float>(v) * kCell));
        std::vector<int> tris;
        for (int v = 0; v + 1 < kClothSide; ++v) {
            for (int u = 0; u + 1 < kClothSide; ++u) {
                const int i = v * kClothSide + u, w = kClothSide;
                const int quad[2][6] = {{i, i + w, i + w + 1, i, i + w + 1, i + 1},
                                        {i, i + w, i + 1, i + 1, i + w, i + w + 1}};
                tris.insert(tris.end(), quad[(u + v) % 2], quad[(u + v) % 2] + 6);
            }
        }
        std::vector<btScalar> m(n, 0);
        for (std::size_t t = 0; t < tris.size(); t += 3) {
            const btScalar area =
                0.5f * (x[tris[t + 1]] - x[tris[t]]).cross(x[tris[t + 2]] - x[tris[t]]).length();
            for (int k = 0; k < 3; ++k) m[tris[t + k]] += area * 1.0f / 3;
        }
        cloth = std::make_unique<btSoftBody>(&info, n, x.data(), m.data());
        std::set<std::pair<int, int>> links;
        for (std::size_t t = 0; t < tris.size(); t += 3) {
            for (int k = 0; k < 3; ++k) {
                const int a = tris[t + k], b = tris[t + (k + 1) % 3];
                if (links.insert({std::min(a, b), std::max(a, b)}).second)
                    cloth->appendLink(a, b, cloth->m_materials[0]);
            }
            cloth->appendFace(tris[t], tris[t + 1], tris[t + 2]);
        }
        btSoftBody::Material* bend = cloth->appendMaterial();
        bend->m_kLST = 1;
        cloth->generateBendingConstraints(2, bend);
        cloth->m_cfg.piterations = 5;
        cloth->m_cfg.kDP = 1;
        cloth->m_cfg.kDF = 1;
        cloth->getCollisionShape()->setMargin(1);
        world.addSoftBody(cloth.get());
        for (int corner : {0, kClothSide - 1}) cloth->setMass(corner, 0);
    }
    void Step() { world.stepSimulation(kStep, 8, kStep); }
    ~PlainScene() {
        world.removeSoftBody(cloth.get());
        for (auto& b : bodies) world.removeRigidBody(b.get());
    }
};

template <class F>
double Seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Largest distance between the two sides' boxes and cloth particles.
float Difference(const EngineScene& engine, const PlainScene& plain) {
    float worst = 0;
    for (int i = 0; i < kBoxes; ++i) {
        const float* p = engine.boxes[i]->GetPosition();
        const btVector3 q = plain.bodies[i + 1]->getWorldTransform().getOrigin();
        worst = std::max(worst, (btVector3(p[0], p[1], p[2]) - q).length());
    }
    const auto* v = static_cast<const float*>(engine.cloth->GetVertexBuffer());
    for (int i = 0; i < kClothSide * kClothSide; ++i) {
        const btVector3 q = plain.cloth->m_nodes[i].m_x;
        worst = std::max(worst, (btVector3(v[8 * i], v[8 * i + 1], v[8 * i + 2]) - q).length());
    }
    return worst;
}

void BM_ClothAndBoxesStep(benchmark::State& state) {
    EngineScene engine;
    PlainScene plain;
    if (!engine.Build()) {
        state.SkipWithError("the engine's scene could not be built");
        return;
    }
    plain.Build();
    std::vector<double> own, anchor;
    for (auto _ : state) {
        // Alternate which side goes first, so a busy machine disturbs both alike.
        if (own.size() % 2) {
            anchor.push_back(Seconds([&] { plain.Step(); }));
            own.push_back(Seconds([&] { engine.Step(); }));
        } else {
            own.push_back(Seconds([&] { engine.Step(); }));
            anchor.push_back(Seconds([&] { plain.Step(); }));
        }
        state.SetIterationTime(own.back());
    }
    const float worst = Difference(engine, plain);
    state.counters["max_difference"] = worst;
    if (!(worst < 1e-4f)) {
        state.SkipWithError("the two worlds drifted apart");
        return;
    }
    ZelBench::ReportAgainstAnchor(state, "bullet", anchor, "engine", own);
}
BENCHMARK(BM_ClothAndBoxesStep)->UseManualTime()->Iterations(240)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
