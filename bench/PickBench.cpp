// Picking next to brute force on the same rays. The level: 10,000 random rays against 200,000
// level triangles through the level octree, next to testing every triangle in both windings.
// Entities: 1,000 picks over 100 entities of 500 triangles each, placed and turned at random,
// through the selection pass (box test, then the entity's triangle octree in its local space),
// next to testing every triangle of every entity carried to world space; once with static meshes
// and once with skinned ones, whose posed positions both sides take from the skin each pick.
// Every ray's answer (hit or not, and the distance) must agree between the two sides.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/EntityOctreeNode.h"
#include "Entity/Scene/OctreeNode.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SelectFrustum.h"
#include "Entity/Scene/SubEntity.h"
#include "Math/MathUtil.h"
#include "Render/RenderCodes.h"
#include "Render/RenderSystem.h"
#include "PairedTiming.h"
#include "BipedNodes.h"
#include "modelgen/BipedRecipe.h"

namespace {

using namespace Zel;

float Distance(const float* a, const float* b) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return std::sqrt(Dot3(d, d));
}

// Random small triangles in a box of the given half sizes.
void Soup(std::uint32_t count, const float* half, std::uint32_t seed, std::vector<float>& positions,
          std::vector<std::uint32_t>& indices) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f), corner(-0.8f, 0.8f);
    for (std::uint32_t t = 0; t < count; ++t) {
        const float c[3] = {u(rng) * half[0], u(rng) * half[1], u(rng) * half[2]};
        for (int k = 0; k < 3; ++k) {
            for (int a = 0; a < 3; ++a) positions.push_back(c[a] + corner(rng));
            indices.push_back(3 * t + k);
        }
    }
}

std::vector<Ray> RandomRays(std::uint32_t count, float radius, float aim, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<Ray> rays;
    for (std::uint32_t i = 0; i < count; ++i) {
        float origin[3] = {u(rng), u(rng), u(rng)};
        NormalizeVector3(origin);
        float direction[3];
        for (int a = 0; a < 3; ++a) {
            origin[a] *= radius;
            direction[a] = u(rng) * aim - origin[a];
        }
        rays.emplace_back(origin, direction);
    }
    return rays;
}

// The nearest hit among the triangles in the windings given; -1 without one.
float Nearest(const Ray& ray, const float* positions, const std::uint32_t* indices,
              std::size_t triangles, bool bothWindings) {
    float best = -1.0f;
    Triangle t;
    for (std::size_t i = 0; i < triangles; ++i) {
        const std::uint32_t* v = indices + 3 * i;
        for (int winding = 0; winding < (bothWindings ? 2 : 1); ++winding) {
            std::memcpy(t.p0, positions + 3 * v[winding ? 2 : 0], 12);
            std::memcpy(t.p1, positions + 3 * v[1], 12);
            std::memcpy(t.p2, positions + 3 * v[winding ? 0 : 2], 12);
            float point[3];
            if (t.IntersectRay(ray, point)) {
                const float d = Distance(point, ray.origin);
                if (best < 0.0f || d < best)
                    best = d;
            }
        }
    }
    return best;
}

// Gives the entity one piece of the mesh and a random turn and place within 100 of the origin.
void PlaceAtRandom(Entity& entity, Mesh& mesh, std::uniform_real_distribution<float>& u,
                   std::mt19937& rng) {
    SubEntity* piece = Globals::GetSingleton()->GetSubEntityFactory()->Acquire();
    piece->SetOwner(&entity);
    piece->SetMesh(&mesh);
    entity.AppendSubEntity(piece);
    float axis[3] = {u(rng), u(rng), u(rng)};
    NormalizeVector3(axis);
    const float angle = 3.0f * u(rng), s = std::sin(angle / 2);
    const float q[4] = {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(angle / 2)};
    const float p[3] = {100 * u(rng), 100 * u(rng), 100 * u(rng)};
    entity.SetPosition(p);
    entity.SetOrientation(q);
    entity.GetWorldMatrix();
    entity.UpdatePlacement();
}

bool Agree(float a, float b) {
    return (a < 0.0f) == (b < 0.0f) && (a < 0.0f || std::fabs(a - b) <= 1e-3f * (1.0f + a));
}

// Whether every ray's answer agrees; the first that does not is printed.
bool AllAgree(const std::vector<float>& own, const std::vector<float>& anchor) {
    for (std::size_t i = 0; i < own.size(); ++i)
        if (!Agree(own[i], anchor[i])) {
            std::fprintf(stderr, "ray %zu: %g against %g\n", i, own[i], anchor[i]);
            return false;
        }
    return true;
}

// The counters of a run whose two sides agreed.
void Report(benchmark::State& state, const std::vector<float>& own, BenchPair::Times& times) {
    std::size_t hits = 0;
    for (float d : own) hits += d >= 0.0f;
    state.counters["hits"] = double(hits);
    times.Report(state, "brute_force_ms");
    state.counters["same_output"] = 1;
}

void BM_LevelRays(benchmark::State& state) {
    std::vector<float> positions;
    std::vector<std::uint32_t> indices;
    const float half[3] = {400.0f, 400.0f, 40.0f};
    Soup(200000, half, 3, positions, indices);
    StaticGeometry geometry(nullptr, "bench", "", 0);
    OctreeData data;
    data.vertexCount = static_cast<std::uint32_t>(positions.size() / 3);
    data.triangleCount = static_cast<std::uint32_t>(indices.size() / 3);
    data.positions = positions.data();
    data.triangles = indices.data();
    data.geometry = &geometry;
    OctreeNode root;
    root.Build(data);
    root.FinishBuild();
    const std::vector<Ray> rays = RandomRays(10000, 600.0f, 300.0f, 5);
    std::vector<float> own(rays.size()), anchor(rays.size());
    BenchPair::Times times;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                for (std::size_t i = 0; i < rays.size(); ++i) {
                    Triangle t;
                    float point[3];
                    own[i] =
                        root.RayPick(rays[i], t, point) ? Distance(point, rays[i].origin) : -1.0f;
                }
            },
            [&] {
                for (std::size_t i = 0; i < rays.size(); ++i)
                    anchor[i] = Nearest(rays[i], positions.data(), indices.data(),
                                        indices.size() / 3, true);
            });
        if (!AllAgree(own, anchor)) {
            state.SkipWithError("the octree's answer differs from brute force");
            return;
        }
    }
    Report(state, own, times);
}
BENCHMARK(BM_LevelRays)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// 100 entities of one shared mesh kind each, and the world-space copy brute force reads.
struct EntityScene {
    Globals* globals = Globals::GetSingleton();
    SceneManager& scene = *globals->GetSceneManager();
    RenderSystem maths{nullptr};
    std::vector<std::unique_ptr<Mesh>> meshes;
    std::vector<Entity*> entities;
    std::vector<float> local;  // the mesh's positions (static scenes)
    std::vector<std::uint32_t> indices;

    ~EntityScene() {
        for (Entity* e : entities) e->ReleasePickOctree();
        scene.ReleaseAllEntities();
        meshes.clear();
    }

    // Entity i holding one piece of mesh, placed at random in a 200-unit cube.
    void AddEntities(const std::vector<Mesh*>& pieceMeshes) {
        std::mt19937 rng(17);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (Mesh* mesh : pieceMeshes) {
            Entity* entity = scene.CreateEntity();
            PlaceAtRandom(*entity, *mesh, u, rng);
            entities.push_back(entity);
        }
    }

    // The camera on the ray: its viewport centre's pick ray is the ray (to rounding).
    void LookAlong(const Ray& ray) {
        const float target[3] = {ray.origin[0] + ray.direction[0], ray.origin[1] + ray.direction[1],
                                 ray.origin[2] + ray.direction[2]};
        const float up0[3] = {0, 1, 0}, up1[3] = {1, 0, 0};
        float view[16], projection[16];
        maths.MakeLookAtMatrix(ray.origin, target, std::fabs(ray.direction[1]) > 0.9f ? up1 : up0,
                               view);
        maths.MakePerspectiveMatrix(45.0f, 800.0f / 600.0f, 0.01f, 1e6f, projection);
        scene.SetViewMatrix(view);
        scene.SetProjectionMatrix(projection);
    }

    // The rays the selection pass derives from those cameras: brute force takes the same ones.
    std::vector<Ray> SelectionRays(SelectFrustum& select, const std::vector<Ray>& rays) {
        std::vector<Ray> out;
        for (const Ray& ray : rays) {
            LookAlong(ray);
            select.BeginSelection(400, 300, 400, 300, true);
            out.push_back(select.GetWorldRay());
            select.EndSelection(nullptr, 0);
        }
        return out;
    }

    // Ray mode through the viewport centre of a camera on the ray; the nearest entity's
    // distance, or -1.
    float Pick(SelectFrustum& select, const Ray& ray) {
        LookAlong(ray);
        select.BeginSelection(400, 300, 400, 300, true);
        for (std::uint32_t i = 0; i < entities.size(); ++i) select.TestObject(entities[i], i);
        const float nearest = select.GetResultList().empty() ? -1.0f : select.GetNearest();
        select.EndSelection(nullptr, 0);
        return nearest;
    }
};

// world = every entity's positions carried through its world matrix.
void ToWorld(const EntityScene& s, const std::vector<const float*>& localPerEntity,
             std::uint32_t vertexCount, std::vector<float>& world) {
    world.resize(s.entities.size() * vertexCount * 3);
    for (std::size_t e = 0; e < s.entities.size(); ++e) {
        const float* m = s.entities[e]->GetWorldMatrix();
        const float* p = localPerEntity[e];
        float* out = world.data() + e * vertexCount * 3;
        for (std::uint32_t v = 0; v < vertexCount; ++v, p += 3, out += 3)
            for (int r = 0; r < 3; ++r)
                out[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
    }
}

float NearestOverEntities(const std::vector<float>& world, const std::vector<std::uint32_t>& idx,
                          std::uint32_t vertexCount, std::size_t entityCount, const Ray& ray) {
    float best = -1.0f;
    for (std::size_t e = 0; e < entityCount; ++e) {
        const float d =
            Nearest(ray, world.data() + e * vertexCount * 3, idx.data(), idx.size() / 3, false);
        if (d >= 0.0f && (best < 0.0f || d < best))
            best = d;
    }
    return best;
}

void BM_EntityPicksStatic(benchmark::State& state) {
    EntityScene s;
    const float half[3] = {6.0f, 6.0f, 6.0f};
    Soup(500, half, 9, s.local, s.indices);
    const auto vertexCount = static_cast<std::uint32_t>(s.local.size() / 3);
    std::vector<Mesh*> pieces;
    auto mesh = std::make_unique<Mesh>(nullptr, true, true);
    VertexData& data = *mesh->GetVertexData();
    data.SetVertexCount(vertexCount);
    VertexComponentDataPool* position = data.AddComponent(VF_POSITION, VET_FLOAT3, vertexCount);
    std::memcpy(position->GetData(), s.local.data(), s.local.size() * 4);
    mesh->GetIndexData()->AllocateIndices(static_cast<std::uint32_t>(s.indices.size()));
    std::copy(s.indices.begin(), s.indices.end(), mesh->GetIndexData()->GetIndices());
    for (float* p = s.local.data(); p < s.local.data() + s.local.size(); p += 3)
        mesh->GetBoundsForUpdate().MergePoint(p);
    for (int i = 0; i < 100; ++i) pieces.push_back(mesh.get());
    s.meshes.push_back(std::move(mesh));
    s.AddEntities(pieces);
    std::vector<float> world;
    ToWorld(s, std::vector<const float*>(100, s.local.data()), vertexCount, world);

    const std::vector<Ray> rays = RandomRays(1000, 250.0f, 100.0f, 21);
    std::vector<float> own(rays.size()), anchor(rays.size());
    SelectFrustum select(&s.scene);
    const std::vector<Ray> picked = s.SelectionRays(select, rays);
    BenchPair::Times times;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                for (std::size_t i = 0; i < rays.size(); ++i) own[i] = s.Pick(select, rays[i]);
            },
            [&] {
                for (std::size_t i = 0; i < rays.size(); ++i)
                    anchor[i] = NearestOverEntities(world, s.indices, vertexCount, 100, picked[i]);
            });
        if (!AllAgree(own, anchor)) {
            state.SkipWithError("a pick differs from brute force");
            return;
        }
    }
    Report(state, own, times);
}
BENCHMARK(BM_EntityPicksStatic)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// An entity whose skinned pieces pose with bone states of its own.
class SkinnedEntity : public Entity {
public:
    const BoneStateSet* GetBoneStates() const override { return states.get(); }
    std::unique_ptr<BoneStateSet> states;
};

void BM_EntityPicksSkinned(benchmark::State& state) {
    // The biped's skeleton; the skin is the soup, its vertices spread over the first bones.
    Globals* globals = Globals::GetSingleton();
    Skeleton* biped =
        ZelBench::LoadBipedSkeleton(*globals->GetSkeletonManager(), ZelModelGen::BipedSkeleton());
    if (!biped) {
        state.SkipWithError("the biped skeleton was refused");
        return;
    }
    const Skeleton& skeleton = *biped;

    EntityScene s;
    const float half[3] = {6.0f, 6.0f, 6.0f};
    Soup(500, half, 9, s.local, s.indices);
    const auto vertexCount = static_cast<std::uint32_t>(s.local.size() / 3);
    auto skin = std::make_unique<Skin>(nullptr, "soup");
    skin->SetVertexCount(vertexCount);
    skin->GetVertexData()->SetVertexCount(vertexCount);
    VertexComponentDataPool* position =
        skin->GetVertexData()->AddComponent(VF_POSITION, VET_FLOAT3, vertexCount);
    std::memcpy(position->GetData(), s.local.data(), s.local.size() * 4);
    skin->GetIndexData()->AllocateIndices(static_cast<std::uint32_t>(s.indices.size()));
    std::copy(s.indices.begin(), s.indices.end(), skin->GetIndexData()->GetIndices());
    std::vector<SkinBlendRecord> blend(vertexCount);
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        blend[v].count = 1;
        blend[v].bones[0] = (v / 3) % 3;
        blend[v].weights[0] = 1.0f;
    }
    skin->GetBlendRecords() = blend;
    // The bounds hold every pose: the bones move the soup by at most 2 on each axis.
    for (float* p = s.local.data(); p < s.local.data() + s.local.size(); p += 3) {
        const float lo[3] = {p[0] - 2, p[1] - 2, p[2] - 2}, hi[3] = {p[0] + 2, p[1] + 2, p[2] + 2};
        skin->GetBoundsForUpdate().MergePoint(lo);
        skin->GetBoundsForUpdate().MergePoint(hi);
    }
    std::mt19937 rng(23);
    std::uniform_real_distribution<float> move(-2.0f, 2.0f);
    std::vector<std::unique_ptr<SkinnedEntity>> owned;
    for (int i = 0; i < 100; ++i) {
        auto entity = std::make_unique<SkinnedEntity>();
        entity->states = std::make_unique<BoneStateSet>(*globals->GetBoneStatePool());
        entity->states->Rebuild(skeleton);
        for (std::uint32_t b = 0; b < entity->states->GetCount(); ++b)
            for (int r = 0; r < 3; ++r)
                entity->states->GetBoneState(b)->skinMatrix[4 * r + 3] = move(rng);
        owned.push_back(std::move(entity));
    }
    // Placed as the static scene places its entities (same seed).
    {
        std::mt19937 place(17);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        for (auto& entity : owned) {
            PlaceAtRandom(*entity, *skin, u, place);
            s.entities.push_back(entity.get());
        }
    }

    const std::vector<Ray> rays = RandomRays(1000, 250.0f, 100.0f, 21);
    std::vector<float> own(rays.size()), anchor(rays.size());
    std::vector<std::vector<float>> posedPerEntity(owned.size());
    std::vector<float> world;
    SelectFrustum select(&s.scene);
    const std::vector<Ray> picked = s.SelectionRays(select, rays);
    BenchPair::Times times;
    bool agree = true;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                for (std::size_t i = 0; i < rays.size(); ++i) own[i] = s.Pick(select, rays[i]);
            },
            [&] {
                for (std::size_t i = 0; i < rays.size(); ++i) {
                    std::vector<const float*> perEntity;
                    for (std::size_t e = 0; e < owned.size(); ++e) {
                        posedPerEntity[e].resize(vertexCount * 3);
                        skin->RemapBlendData(posedPerEntity[e].data(), *owned[e]->states,
                                             VF_POSITION, 12, IdentityMatrix(), 0);
                        perEntity.push_back(posedPerEntity[e].data());
                    }
                    ToWorld(s, perEntity, vertexCount, world);
                    anchor[i] =
                        NearestOverEntities(world, s.indices, vertexCount, owned.size(), picked[i]);
                }
            });
        agree = AllAgree(own, anchor);
        if (!agree)
            break;
    }
    if (agree) {
        Report(state, own, times);
    } else {
        state.SkipWithError("a skinned pick differs from brute force");
    }
    for (auto& entity : owned) {
        entity->ReleasePickOctree();
        entity->RemoveAllSubEntities();
    }
    s.entities.clear();
    owned.clear();
    globals->GetSkeletonManager()->ReleaseShared(biped);
}
BENCHMARK(BM_EntityPicksSkinned)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
