// Characters playing actions through animation channels, next to a plain reference in the same
// run: 100 owners of a 70-bone biped, each with two channels (one plays an action, the other
// plays it a second ahead and cross-fades from it into a second action), advanced and sampled
// bone by bone for 600 frames and blended half and half.
//   Channels   AnimationChannel::Update, then SampleBone per bone and channel.
//   Reference  written here from the maths alone: each action sampled per bone at each time it
//              plays with a cursor of the owner's (the same interpolation and bone rule),
//              blended by the cross-fade weight, no state machine.
// Goal: Channels within 1.3x Reference, in microseconds per owner per frame. Before measuring,
// both sides play all 600 frames and must agree on every bone. Measure in a Release build.
//
// Run: build/<dir>/bench/ChannelBench [--benchmark_repetitions=N]. The engine's log goes to a
// temporary directory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Core/Factory.h"
#include "Core/Globals.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActionOwner.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/AnimationChannel.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/CDecompress.h"
#include "Entity/Character/CompressedTrackCursor.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Math/Quaternion.h"
#include "PairedTiming.h"
#include "bench/BipedNodes.h"
#include "modelgen/BipedRecipe.h"
#include "modelgen/CompressedActionFile.h"

namespace {

namespace mg = ZelModelGen;

constexpr int kOwners = 100;
constexpr int kFrames = 600;
constexpr float kDt = 1.0f / 60.0f;
constexpr std::uint32_t kActionFrames = 700;
constexpr float kCrossFadeTime = 30.0f;
// The second channel plays the first action a second ahead of the first channel.
constexpr float kSecondStart = 1.0f;

struct Pose {
    std::vector<float> positions, rotations;
    explicit Pose(std::size_t bones) : positions(3 * bones), rotations(4 * bones) {}
};

// Half of each channel's pose.
void LayerBlend(const float* p0, const float* q0, const float* p1, const float* q1, float* p,
                float* q) {
    for (int k = 0; k < 3; ++k) p[k] = 0.5f * p0[k] + 0.5f * p1[k];
    Zel::Quaternion::Slerp(q, q0, q1, 0.5f);
}

class World {
public:
    World() {
        dir_ = std::filesystem::temp_directory_path() / "zel_bench_channels";
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        Zel::Globals* g = Zel::Globals::GetSingleton();
        const std::vector<mg::BipedBone> biped = mg::BipedSkeleton();
        skeleton = ZelBench::LoadBipedSkeleton(*g->GetSkeletonManager(), biped);
        if (!skeleton)
            return;
        bones = skeleton->GetBoneCount();
        for (int i = 0; i < 2; ++i) {
            mg::CompressedActionDesc desc = mg::SyntheticCompressedAction(
                bones, kActionFrames, static_cast<std::uint32_t>(i + 1));
            const std::vector<std::uint8_t> bytes = mg::WriteCompressedActionFile(desc).bytes;
            const std::string name = i == 0 ? "a.ac6" : "b.ac6";
            std::FILE* f = std::fopen(name.c_str(), "wb");
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
            actions[i] = g->GetActionFactory()->Acquire();
            actions[i]->SetName(i == 0 ? "a" : "b");
            if (!g->GetActionManager()->LoadActionResource(*actions[i], skeleton, name))
                actions[i] = nullptr;
        }
    }
    ~World() {
        Zel::Globals* g = Zel::Globals::GetSingleton();
        for (Zel::Action* a : actions) {
            if (a)
                g->GetActionFactory()->Release(a);
        }
        if (skeleton)
            g->GetSkeletonManager()->ReleaseShared(skeleton);
        Zel::Globals::DeleteSingleton();
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    Zel::Skeleton* skeleton = nullptr;
    std::uint32_t bones = 0;
    Zel::Action* actions[2] = {nullptr, nullptr};

private:
    std::filesystem::path dir_, previous_;
};

World& TheWorld() {
    static World world;
    return world;
}

class Owner : public Zel::ActionOwner {
public:
    Owner() {
        for (Zel::AnimationChannel& c : channels) {
            c.SetOwner(this);
            c.SetBlendInTime(0.0f);
        }
    }
    void Start() {
        channels[0].PlayAction("a", true, 0);
        channels[1].SetCrossFadeTime(kCrossFadeTime);
        channels[1].PlayAction("a", true, 0);
        channels[1].SetPlayTime(kSecondStart);
        channels[1].SetNextAction("b", true, 0);
    }
    // One frame: both channels advance, every bone is sampled from both and blended.
    void Frame(Pose& out) {
        channels[0].Update(kDt);
        channels[1].Update(kDt);
        float p0[3], q0[4], p1[3], q1[4];
        const std::uint32_t bones = TheWorld().bones;
        for (std::uint32_t i = 0; i < bones; ++i) {
            channels[0].SampleBone(i, p0, q0);
            channels[1].SampleBone(i, p1, q1);
            LayerBlend(p0, q0, p1, q1, &out.positions[3 * i], &out.rotations[4 * i]);
        }
    }

    Zel::Action* FindAction(std::string_view name) override {
        return TheWorld().actions[name == "a" ? 0 : 1];
    }
    Zel::Action* FindTreeAction(std::string_view name) override { return FindAction(name); }
    Zel::Skeleton* GetSkeleton() override { return TheWorld().skeleton; }
    std::uint8_t GetFigure() const override { return 0; }
    bool IsNewActor() const override { return false; }

    Zel::AnimationChannel channels[2];
};

// The plain way: per owner a cursor per track of each action and the play time.
class Reference {
public:
    explicit Reference(const std::vector<float>& fadeWeights) : weights_(fadeWeights) {
        const World& w = TheWorld();
        for (int a = 0; a < 2; ++a)
            decoder_[a] = w.actions[a]->GetResource()->GetTrack(0)->GetDecoder();
        // The first action at two times, the second at one.
        const int actionOf[3] = {0, 0, 1};
        for (int c = 0; c < 3; ++c) {
            cursors_[c].resize(w.bones);
            for (std::uint32_t i = 0; i < w.bones; ++i)
                cursors_[c][i].Bind(decoder_[actionOf[c]], i);
        }
    }

    void Frame(int frame, Pose& out) {
        const World& w = TheWorld();
        const float t0 = time_[0] + kDt, t1 = time_[1] + kDt;
        time_[0] += kDt;
        time_[1] += kDt;
        const float f = weights_[static_cast<std::size_t>(frame)];
        float p0[3], q0[4], pa[3], qa[4], pb[3], qb[4], p1[3], q1[4];
        for (std::uint32_t i = 0; i < w.bones; ++i) {
            Sample(0, 0, i, t0, p0, q0);
            Sample(0, 1, i, t1, pa, qa);
            Sample(1, 2, i, 0.0f, pb, qb);
            for (int k = 0; k < 3; ++k) p1[k] = f * pa[k] + (1.0f - f) * pb[k];
            Zel::Quaternion::Slerp(q1, qa, qb, 1.0f - f);
            LayerBlend(p0, q0, p1, q1, &out.positions[3 * i], &out.rotations[4 * i]);
        }
    }

private:
    // Track i of action a (which drives bone i) at t with cursor set c, with the bone rule.
    void Sample(int a, int c, std::uint32_t i, float t, float* p, float* q) {
        const Zel::Bone* bone = TheWorld().skeleton->GetBone(i);
        const Zel::TrackDescriptor& d = *decoder_[a]->FindTrackDescriptor(i);
        d.ConstantPositionFor(bone, p);
        std::copy(d.constantRotation, d.constantRotation + 4, q);
        const bool constant = !d.AnimatesPosition() && !d.AnimatesRotation();
        if (!constant) {
            const std::uint32_t frame =
                static_cast<std::uint32_t>(static_cast<double>(t) / d.frameInterval) % d.frameCount;
            Zel::CompressedTrackCursor& cursor = cursors_[c][i];
            cursor.MoveTo(frame);
            const bool last = frame + 1 >= d.frameCount;
            const float start = static_cast<float>(frame) * d.frameInterval;
            const float u = std::clamp((t - start) / (start + d.frameInterval - start), 0.0f, 1.0f);
            if (d.AnimatesPosition()) {
                for (int k = 0; k < 3; ++k)
                    p[k] =
                        last ? cursor.GetPosition(0)[k]
                             : (1.0f - u) * cursor.GetPosition(0)[k] + u * cursor.GetPosition(1)[k];
            }
            if (d.AnimatesRotation()) {
                if (last)
                    std::copy(cursor.GetRotation(0), cursor.GetRotation(0) + 4, q);
                else
                    Zel::Quaternion::Slerp(q, cursor.GetRotation(0), cursor.GetRotation(1), u);
            }
        }
        if (bone && bone->GetParent() && !bone->IsHeadFlagged()) {
            std::copy(bone->GetLocalPosition(), bone->GetLocalPosition() + 3, p);
            if (constant)
                std::copy(bone->GetLocalRotation(), bone->GetLocalRotation() + 4, q);
        }
    }

    const std::vector<float>& weights_;
    const Zel::CDecompress* decoder_[2] = {nullptr, nullptr};
    std::vector<Zel::CompressedTrackCursor> cursors_[3];
    float time_[2] = {0.0f, kSecondStart};
};

// The cross-fade weight after each frame, from one channel's countdown: data for the reference.
std::vector<float> FadeWeights() {
    Owner o;
    o.Start();
    std::vector<float> weights;
    for (int k = 0; k < kFrames; ++k) {
        o.channels[1].Update(kDt);
        weights.push_back(
            std::clamp(o.channels[1].GetCrossFadeCountdown() / kCrossFadeTime, 0.0f, 1.0f));
    }
    return weights;
}

const std::vector<float>& Weights() {
    static const std::vector<float> weights = FadeWeights();
    return weights;
}

// Plays every frame for one owner on both sides; the largest difference of any component.
float MaxDifference() {
    Owner o;
    o.Start();
    Reference r(Weights());
    Pose a(TheWorld().bones), b(TheWorld().bones);
    float worst = 0.0f;
    for (int k = 0; k < kFrames; ++k) {
        o.Frame(a);
        r.Frame(k, b);
        for (std::size_t j = 0; j < a.positions.size(); ++j)
            worst = std::max(worst, std::fabs(a.positions[j] - b.positions[j]));
        for (std::size_t j = 0; j < a.rotations.size(); ++j)
            worst = std::max(worst, std::fabs(a.rotations[j] - b.rotations[j]));
    }
    return worst;
}

void ChannelsVsReference(benchmark::State& state) {
    BenchPair::Times times;
    Pose out(TheWorld().bones);
    for (auto _ : state) {
        std::vector<std::unique_ptr<Owner>> owners;
        std::vector<std::unique_ptr<Reference>> references;
        for (int i = 0; i < kOwners; ++i) {
            owners.push_back(std::make_unique<Owner>());
            owners.back()->Start();
            references.push_back(std::make_unique<Reference>(Weights()));
        }
        times.Run(
            state,
            [&] {
                for (int k = 0; k < kFrames; ++k)
                    for (auto& o : owners) o->Frame(out);
                benchmark::DoNotOptimize(out.positions.data());
            },
            [&] {
                for (int k = 0; k < kFrames; ++k)
                    for (auto& r : references) r->Frame(k, out);
                benchmark::DoNotOptimize(out.positions.data());
            });
    }
    const double perOwnerFrame = 1e6 / (kOwners * kFrames);
    state.counters["channels_us_per_owner_frame"] = BenchPair::Median(times.own) * perOwnerFrame;
    state.counters["reference_us_per_owner_frame"] =
        BenchPair::Median(times.anchor) * perOwnerFrame;
    const double anchor = BenchPair::Median(times.anchor);
    state.counters["ratio"] = anchor > 0 ? BenchPair::Median(times.own) / anchor : 0;
    std::printf("Channels / Reference: %.3fx (goal at most 1.3x)\n",
                anchor > 0 ? BenchPair::Median(times.own) / anchor : 0.0);
}
BENCHMARK(ChannelsVsReference)->UseManualTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    World& w = TheWorld();
    if (!w.skeleton || !w.actions[0] || !w.actions[1]) {
        std::fprintf(stderr, "the biped or its actions did not load\n");
        return 1;
    }
    const float difference = MaxDifference();
    std::printf("channels and reference poses differ by at most %g\n", difference);
    if (!(difference < 1e-4f)) {
        std::fprintf(stderr, "the two sides disagree\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
