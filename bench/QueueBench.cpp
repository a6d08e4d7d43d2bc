// The render queue next to a brute-force batcher, and the transparent group's sort next to a
// plain sort, on the same pieces in the same iterations.
//
// Queueing: 5,000 sub-entities (1,000 entities of five pieces) of 50 two-pass materials, each
// queued unlit and once per light for 4 lights, then every list walked and the queue emptied.
// The anchor files the same (group, slot, light, pass, piece) records into one vector, sorts it
// by the first four (stable, so each list keeps queue order) and walks the runs: what a queue
// without per-slot, per-light, per-pass batches must do each frame. Both sides fold every list
// (its key and its pieces in order) into a digest, which must agree.
//
// Transparent order: 10,000 blended pieces at scattered depths, boxes refreshed and sorted far to
// near along the camera by the group, next to computing the same depths and std::stable_sort.
// Both orders must be equal.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "PairedTiming.h"
#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Camera.h"
#include "Entity/Scene/Entity.h"
#include "Entity/Scene/Light.h"
#include "Entity/Scene/RenderQueue.h"
#include "Entity/Scene/RenderableGroup.h"
#include "Entity/Scene/SceneManager.h"
#include "Entity/Scene/SubEntity.h"
#include "Math/AABB.h"
#include "tests/Entity/Material/MaterialFakes.h"

namespace {

using namespace Zel;

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

// One list: its key, then its pieces in order. Lists are summed, so their order does not count.
std::uint64_t ListDigest(std::uint32_t group, std::int32_t slot, const Light* light,
                         const Pass* pass, const Renderable* const* pieces, std::size_t count) {
    std::uint64_t h =
        Mix(Mix(Mix(group, std::uint64_t(slot)), reinterpret_cast<std::uintptr_t>(light)),
            reinterpret_cast<std::uintptr_t>(pass));
    for (std::size_t i = 0; i < count; ++i) h = Mix(h, reinterpret_cast<std::uintptr_t>(pieces[i]));
    return h;
}

// The scene both benchmarks draw from.
struct Scene {
    Globals* globals = Globals::GetSingleton();
    SceneManager& scene = *globals->GetSceneManager();
    // A program that is loaded and draws nothing: the queue only asks whether it is ready.
    ZelTest::FakeProgram program{nullptr, "ready", 0};
    std::vector<std::unique_ptr<Material>> materials;
    std::vector<std::unique_ptr<Mesh>> meshes;
    std::vector<Entity*> entities;
    std::vector<Light*> lights;

    Scene(std::uint32_t entityCount, std::uint32_t piecesPerEntity, std::uint32_t materialCount,
          std::uint32_t passCount, bool blended, std::uint32_t lightCount) {
        program.SetLoadSucceeded(true);
        for (std::uint32_t m = 0; m < materialCount; ++m) {
            char name[16];
            std::snprintf(name, sizeof name, "m%u", m);
            auto material = std::make_unique<Material>(nullptr, name, "Material", 0);
            for (std::uint32_t p = 0; p < passCount; ++p) {
                Pass* pass = material->CreatePass(p);
                if (blended)
                    pass->renderState.flags |= RSF_ALPHA_BLEND;
            }
            material->flags = MF_LIT;
            material->firstSettingWord = 4 + m % 4;  // per-light slots 4..7
            material->techniqueCode = m % 4;         // unlit slots 0..3
            material->SetProgram(&program);
            materials.push_back(std::move(material));
        }
        for (std::uint32_t l = 0; l < lightCount; ++l) lights.push_back(scene.CreateLight(1));
        std::mt19937 random(11);
        std::uniform_real_distribution<float> place(-500.0f, 500.0f);
        Factory<SubEntity>* pieces = globals->GetSubEntityFactory();
        std::uint32_t next = 0;
        for (std::uint32_t e = 0; e < entityCount; ++e) {
            Entity* entity = scene.CreateEntity();
            const float position[3] = {place(random), place(random), place(random)};
            entity->SetPosition(position);
            for (std::uint32_t p = 0; p < piecesPerEntity; ++p) {
                auto mesh = std::make_unique<Mesh>(nullptr, true, true);
                mesh->GetIndexData()->SetIndexCount(3);
                SubEntity* piece = pieces->Acquire();
                piece->SetOwner(entity);
                piece->SetMesh(mesh.get());
                piece->SetMaterial(materials[next++ % materialCount].get());
                entity->AppendSubEntity(piece);
                meshes.push_back(std::move(mesh));
            }
            entities.push_back(entity);
        }
    }
    ~Scene() {
        scene.GetRenderQueue()->ClearAll();
        scene.ReleaseAllEntities();
        scene.DestroyAllLights();
        meshes.clear();
        materials.clear();
    }
};

// Every list of the queue's solid groups, walked.
std::uint64_t WalkQueue(const RenderQueue& queue) {
    std::uint64_t digest = 0;
    for (std::uint32_t id = 0; id < RENDER_GROUP_COUNT; ++id) {
        const auto* group = dynamic_cast<const RenderableGroupSolid*>(queue.FindGroup(id));
        if (!group)
            continue;
        group->ForEachList([&](std::int32_t slot, const Light* light, const RenderableList& list) {
            digest += ListDigest(id, slot, light, list.pass, list.renderables.data(),
                                 list.renderables.size());
        });
    }
    return digest;
}

struct Record {
    std::uint32_t group;
    std::int32_t slot;
    const Light* light;
    const Pass* pass;
    const Renderable* piece;
};

// The brute-force batcher: every pass of every queued piece as a record, sorted into runs. It
// asks each piece what the queue asks (visible owner, index data, material, ready program, a
// visible light) so that both sides do the same per-piece work and differ only in the batching.
std::uint64_t BruteForce(const Scene& s, std::vector<Record>& records,
                         std::vector<const Renderable*>& run) {
    records.clear();
    const auto file = [&](const Entity& entity, const Light* light) {
        if (!entity.IsVisible() || (light && !light->IsVisible()))
            return;
        for (SubEntity* piece : entity.GetSubEntities()) {
            Material* material = piece->HasIndexData() ? piece->GetMaterial() : nullptr;
            if (!material || !material->IsProgramReady())
                continue;
            const std::uint32_t group =
                light ? RENDER_GROUP_ENTITY_PER_LIGHT : RENDER_GROUP_ENTITY_UNLIT;
            const std::uint32_t slot =
                light ? material->GetPerLightSlot() : material->GetUnlitSlot();
            for (const Pass* pass : material->GetPasses())
                records.push_back({group, std::int32_t(slot), light, pass, piece});
        }
    };
    for (const Entity* entity : s.entities) file(*entity, nullptr);
    for (const Light* light : s.lights)
        for (const Entity* entity : s.entities) file(*entity, light);
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return std::tie(a.group, a.slot, a.light, a.pass) <
               std::tie(b.group, b.slot, b.light, b.pass);
    });
    std::uint64_t digest = 0;
    for (std::size_t i = 0; i < records.size();) {
        const Record& first = records[i];
        run.clear();
        std::size_t j = i;
        for (; j < records.size() && records[j].group == first.group &&
               records[j].slot == first.slot && records[j].light == first.light &&
               records[j].pass == first.pass;
             ++j)
            run.push_back(records[j].piece);
        digest +=
            ListDigest(first.group, first.slot, first.light, first.pass, run.data(), run.size());
        i = j;
    }
    return digest;
}

void BM_QueueAndWalk(benchmark::State& state) {
    Scene s(1000, 5, 50, 2, false, 4);
    RenderQueue& queue = *s.scene.GetRenderQueue();
    std::vector<Record> records;
    std::vector<const Renderable*> run;
    std::uint64_t own = 0, anchor = 0;
    BenchPair::Times times;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                for (Entity* entity : s.entities)
                    entity->AddSubEntitiesToQueue(&queue, nullptr, nullptr);
                for (Light* light : s.lights)
                    for (Entity* entity : s.entities)
                        entity->AddSubEntitiesForLight(&queue, light, nullptr);
                own = WalkQueue(queue);
                queue.ClearAll();
            },
            [&] { anchor = BruteForce(s, records, run); });
        if (own != anchor) {
            state.SkipWithError("the queue's lists differ from the brute-force batches");
            return;
        }
    }
    benchmark::DoNotOptimize(own);
    // ratio = brute-force time over the queue's: above 1 the queue is faster.
    times.Report(state, "sort_batch_ms");
    state.counters["same_output"] = 1;
}
BENCHMARK(BM_QueueAndWalk)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_TransparentSort(benchmark::State& state) {
    Scene s(10000, 1, 8, 1, true, 0);
    Camera* camera = s.scene.CreateCamera();
    RenderQueue& queue = *s.scene.GetRenderQueue();
    auto& group =
        *dynamic_cast<RenderableGroupTransparent*>(queue.GetGroup(RENDER_GROUP_ENTITY_TRANSPARENT));
    struct Keyed {
        float depth;
        Renderable* piece;
    };
    std::vector<Keyed> keyed;
    std::vector<Renderable*> pieces, ownOrder, anchorOrder;
    for (Entity* entity : s.entities) pieces.push_back(entity->GetSubEntity(0));
    BenchPair::Times times;
    for (auto _ : state) {
        for (Entity* entity : s.entities) entity->AddSubEntitiesToQueue(&queue, nullptr, nullptr);
        times.Run(
            state, [&] { group.SortAndPair(camera); },
            [&] {
                const float* p = camera->GetWorldPosition();
                const float* d = camera->GetDirection();
                keyed.clear();
                for (Renderable* piece : pieces) {
                    float c[3];
                    piece->GetBoundingBox().GetCenter(c);
                    const float along =
                        d[0] * (c[0] - p[0]) + d[1] * (c[1] - p[1]) + d[2] * (c[2] - p[2]);
                    keyed.push_back({std::fabs(float(piece->GetSortKey()) * along), piece});
                }
                std::stable_sort(keyed.begin(), keyed.end(),
                                 [](const Keyed& a, const Keyed& b) { return a.depth > b.depth; });
            });
        ownOrder.clear();
        for (const auto& entry : group.GetEntries()) ownOrder.push_back(entry.renderable);
        anchorOrder.clear();
        for (const Keyed& k : keyed) anchorOrder.push_back(k.piece);
        queue.ClearAll();
        if (ownOrder != anchorOrder) {
            state.SkipWithError("the group's order differs from the plain sort");
            return;
        }
    }
    times.Report(state, "stable_sort_ms");
    state.counters["same_output"] = 1;
    s.scene.DestroyCamera(camera);
}
BENCHMARK(BM_TransparentSort)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
