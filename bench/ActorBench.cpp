// Actors updated frame by frame, next to a plain reference in the same run: 100 actors of the
// actor recipe's 70-bone biped play its walk on channel 0 with foot locking on and one pinch
// slider moving the spine, for 300 frames.
//   Actors     Actor::Update: channels, sampling, pinch around the bone-tree evaluation, root
//              placement with the foot-lock decisions, bounds.
//   Reference  written here from the maths alone: a channel of its own per actor playing the same
//              action, each bone's sampled pose (the spine moved by the slider's delta) composed
//              parent-first into model matrices, the root on the left foot.
// Reported in microseconds per actor per frame; before measuring, both sides play every frame and
// must agree on every bone's model position and on the root point. Measure in a Release build.
//
// Run: build/<dir>/bench/ActorBench [--benchmark_repetitions=N]. The engine's log and the recipe
// files go to a temporary directory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Core/GlobalConfigManager.h"
#include "Core/Globals.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/Actor.h"
#include "Entity/Character/ActorFootLock.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/PinchState.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "PairedTiming.h"
#include "modelgen/ActorRecipe.h"

namespace {

namespace mg = ZelModelGen;

constexpr int kActors = 100;
constexpr int kFrames = 300;
constexpr float kDt = 1.0f / 60.0f;
constexpr float kSlider = 0.5f;
constexpr float kSpineMax = 0.4f;  // the spine's x delta at slider +1

class World {
public:
    World() {
        dir_ = std::filesystem::temp_directory_path() / "zel_bench_actors";
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        for (const mg::RecipeFile& f : mg::MakeRecipe("actor")) f.file.Save(f.name);
        std::ofstream("f_pinch.xml") << "<pinchfiles><file>ops.xml</file></pinchfiles>";
        std::ofstream("ops.xml") << "<PINCHOPS><pinchop id=\"STATURE_HEIGHT\"><bone name=\"Bip01 "
                                    "Spine\"><property>localPos.x</property><min>-0.2</min><max>"
                                 << kSpineMax << "</max></bone></pinchop></PINCHOPS>";
        Zel::Globals* g = Zel::Globals::GetSingleton();
        Zel::GlobalConfigManager& config = *g->GetConfigManager();
        config.SetUseActionLib(true);
        for (std::uint32_t s :
             {Zel::Actor::kRunUpdateSwitch, Zel::Actor::kUpdateActorSwitch,
              Zel::Actor::kUpdateActionsSwitch, Zel::AnimationTrack::kUpdateTrackAnimationsSwitch})
            config.SetValue(s, 1);
        ready = g->GetActionManager()->LoadActionTree("actions.xml") &&
                Zel::PinchState::LoadPinchConfig(false, "f_pinch.xml");
        Zel::FootLockParams::Global().enabled = true;
    }
    ~World() {
        Zel::Globals::DeleteSingleton();
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    bool ready = false;

private:
    std::filesystem::path dir_, previous_;
};

World& TheWorld() {
    static World world;
    return world;
}

Zel::Actor* StartActor() {
    Zel::Actor* a = Zel::Globals::GetSingleton()->GetActorFactory()->Acquire();
    a->GetSkeleton();
    Zel::AnimationChannel& channel = *a->GetChannel(0);
    channel.SetBlendInTime(0.0f);
    channel.PlayAction("walk", true, 0);
    a->SetPinchValue(0, kSlider);
    return a;
}

void Release(std::vector<Zel::Actor*>& actors) {
    for (Zel::Actor* a : actors) Zel::Globals::GetSingleton()->GetActorFactory()->Release(a);
    actors.clear();
}

// Row-major, column vectors: m = T(p) R(q).
void LocalMatrix(const float* p, const float* q, float* m) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    const float r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                        2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                        2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c) m[4 * row + c] = r[3 * row + c];
        m[4 * row + 3] = p[row];
    }
    m[12] = m[13] = m[14] = 0;
    m[15] = 1;
}

void Multiply(const float* a, const float* b, float* out) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a[4 * r + k] * b[4 * k + c];
            out[4 * r + c] = s;
        }
}

// The reference: its own channel on the actor's actions, composed by hand.
class Reference {
public:
    explicit Reference(Zel::Actor& actor) : skeleton_(*actor.GetSkeleton()) {
        channel_.SetOwner(&actor);
        channel_.SetBlendInTime(0.0f);
        channel_.PlayAction("walk", true, 0);
        model_.resize(16 * skeleton_.GetBoneCount());
        spine_ = skeleton_.GetBoneIndex("Bip01 Spine");
    }

    void Frame() {
        channel_.Update(kDt);
        // The biped lists parents before their children.
        for (std::uint32_t i = 0; i < skeleton_.GetBoneCount(); ++i) {
            float p[3], q[4], local[16];
            channel_.SampleBone(i, p, q);
            if (static_cast<std::int32_t>(i) == spine_)
                p[0] += kSlider * kSpineMax;
            LocalMatrix(p, q, local);
            const Zel::Bone* bone = skeleton_.GetBone(i);
            if (bone->GetParent())
                Multiply(&model_[16 * bone->GetParentIndex()], local, &model_[16 * i]);
            else
                std::copy_n(local, 16, &model_[16 * i]);
        }
        const std::int32_t left = skeleton_.GetFootBone(0);
        for (int k = 0; k < 3; ++k) root_[k] = model_[16 * left + 4 * k + 3];
    }

    const float* Model(std::uint32_t i) const { return &model_[16 * i]; }
    const float* Root() const { return root_; }

private:
    const Zel::Skeleton& skeleton_;
    Zel::AnimationChannel channel_;
    std::vector<float> model_;
    std::int32_t spine_ = -1;
    float root_[3] = {};
};

// Both sides over every frame of one actor: the largest difference of a bone position or of the
// root point; travel is how far the root point went from where it stood after the first frame.
float MaxDifference(float& travel) {
    std::vector<Zel::Actor*> actors{StartActor()};
    Reference reference(*actors[0]);
    float worst = 0;
    float first[3] = {};
    travel = 0;
    for (int f = 0; f < kFrames; ++f) {
        actors[0]->Update(nullptr, kDt, 0);
        reference.Frame();
        const float* root = actors[0]->GetRootPoint();
        if (f == 0)
            std::copy_n(root, 3, first);
        travel = std::max(travel, std::hypot(root[0] - first[0], root[1] - first[1]));
        for (std::uint32_t i = 0; i < actors[0]->GetBoneStateCount(); ++i)
            for (int k = 0; k < 3; ++k)
                worst =
                    std::max(worst, std::fabs(actors[0]->GetBoneState(i)->modelMatrix[4 * k + 3] -
                                              reference.Model(i)[4 * k + 3]));
        for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::fabs(actors[0]->GetRootPoint()[k] - reference.Root()[k]));
    }
    Release(actors);
    return worst;
}

void ActorsVsReference(benchmark::State& state) {
    BenchPair::Times times;
    for (auto _ : state) {
        std::vector<Zel::Actor*> actors;
        std::vector<std::unique_ptr<Reference>> references;
        for (int i = 0; i < kActors; ++i) {
            actors.push_back(StartActor());
            references.push_back(std::make_unique<Reference>(*actors.back()));
        }
        times.Run(
            state,
            [&] {
                for (int k = 0; k < kFrames; ++k)
                    for (Zel::Actor* a : actors) a->Update(nullptr, kDt, 0);
                benchmark::DoNotOptimize(actors.back()->GetRootPoint()[0]);
            },
            [&] {
                for (int k = 0; k < kFrames; ++k)
                    for (auto& r : references) r->Frame();
                benchmark::DoNotOptimize(references.back()->Root()[0]);
            });
        references.clear();
        Release(actors);
    }
    const double perActorFrame = 1e6 / (kActors * kFrames);
    state.counters["actor_us_per_actor_frame"] = BenchPair::Median(times.own) * perActorFrame;
    state.counters["reference_us_per_actor_frame"] =
        BenchPair::Median(times.anchor) * perActorFrame;
    const double anchor = BenchPair::Median(times.anchor);
    const double ratio = anchor > 0 ? BenchPair::Median(times.own) / anchor : 0;
    state.counters["ratio"] = ratio;
    std::printf("Actors / Reference: %.3fx\n", ratio);
}
BENCHMARK(ActorsVsReference)->UseManualTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!TheWorld().ready) {
        std::fprintf(stderr, "the actor recipe's actions or the pinch file did not load\n");
        return 1;
    }
    float travel = 0;
    const float difference = MaxDifference(travel);
    std::printf("actor and reference poses differ by at most %g; the root travelled %g\n",
                difference, travel);
    if (!(difference < 1e-4f) || !(travel > 0.5f)) {
        std::fprintf(stderr, "the actors and the reference disagree\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
