// One frame of character animation on a 70-bone biped, next to two anchors in the same run:
//   EngineFrame     every track's cursor steps to the frame (one compressed frame decoded per
//                   track), the two cached frames are blended at mid-frame (lerp, normalised
//                   quaternion lerp) into the bone states, and the bone tree is evaluated.
//   ReferenceFrame  the plain way, written here from the maths alone: uncompressed keys found by
//                   binary search, the same blend, and parent-first 4x4 products.
//   DecodeFrame     the decoding alone: one frame of every track.
//   ReadFloor       reading the compressed file's bytes once (the bandwidth floor), per frame.
// Goal: EngineFrame within 1.0x ReferenceFrame per bone; the ratio of DecodeFrame to the floor is
// printed. Before measuring, both sides play the whole action and must agree on every bone's
// model matrix. Measure in a Release build.
//
// Run: build/<dir>/bench/AnimationBench [--benchmark_repetitions=N]. The engine's log goes to a
// temporary directory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Core/Globals.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Character/CDecompress.h"
#include "Entity/Character/CompressedTrackCursor.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "bench/BipedNodes.h"
#include "modelgen/BipedRecipe.h"
#include "modelgen/CompressedActionFile.h"

namespace {

namespace mg = ZelModelGen;

constexpr std::uint32_t kFrames = 300;
constexpr float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Blends two poses at u: positions linearly, rotations by normalised lerp on the near hemisphere.
void Blend(const float* p0, const float* p1, const float* q0, const float* q1, float u, float* p,
           float* q) {
    if (p) {
        for (int k = 0; k < 3; ++k) p[k] = p0[k] + u * (p1[k] - p0[k]);
    }
    if (q) {
        const float dot = q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3];
        const float s = dot < 0 ? -u : u;
        float n = 0;
        for (int k = 0; k < 4; ++k) {
            q[k] = (1 - u) * q0[k] + s * q1[k];
            n += q[k] * q[k];
        }
        const float inv = 1.0f / std::sqrt(n);
        for (int k = 0; k < 4; ++k) q[k] *= inv;
    }
}

// The shared input: the biped, its action written compressed, and Globals in a temporary
// directory.
class World {
public:
    World() {
        dir_ = std::filesystem::temp_directory_path() / "zel_bench_animation";
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        Zel::Globals* g = Zel::Globals::GetSingleton();
        biped = mg::BipedSkeleton();
        skeleton = ZelBench::LoadBipedSkeleton(*g->GetSkeletonManager(), biped);
        action = mg::SyntheticCompressedAction(static_cast<std::uint32_t>(biped.size()), kFrames);
        // Bones that do not move keep their bind positions on both sides.
        for (mg::CompressedTrackDesc& t : action.tracks) {
            if (t.positions.empty())
                t.constantPosition.reset();
        }
        file = mg::WriteCompressedActionFile(action).bytes;
    }
    ~World() {
        if (skeleton)
            Zel::Globals::GetSingleton()->GetSkeletonManager()->ReleaseShared(skeleton);
        Zel::Globals::DeleteSingleton();
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    std::vector<mg::BipedBone> biped;
    Zel::Skeleton* skeleton = nullptr;
    mg::CompressedActionDesc action;
    std::vector<std::uint8_t> file;

private:
    std::filesystem::path dir_, previous_;
};

World& TheWorld() {
    static World world;
    return world;
}

class EngineSide {
public:
    explicit EngineSide(World& w)
        : skeleton_(*w.skeleton), set_(*Zel::Globals::GetSingleton()->GetBoneStatePool()) {
        codec_.SetBuffer(w.file.data(), w.file.size());
        float length;
        std::uint32_t count;
        std::vector<std::int32_t> bones;
        ok_ = codec_.ReadHeader(skeleton_.GetBoneCount(), length, count, bones) ==
              Zel::CodecFault::None;
        set_.Rebuild(skeleton_);
        for (std::uint32_t i = 0; ok_ && i < count; ++i) {
            Zel::TrackDescriptor d;
            codec_.GetTrackDescriptor(i, d);
            Zel::BoneState& s = *set_.GetBoneState(static_cast<std::uint32_t>(bones[i]));
            s.flags |= Zel::BoneState::kNeeded;
            d.ConstantPositionFor(skeleton_.GetBone(static_cast<std::uint32_t>(bones[i])),
                                  s.translation);
            if (!d.AnimatesRotation())
                std::memcpy(s.rotation, d.constantRotation, sizeof(s.rotation));
            if (d.frameCount != 0) {
                cursors_.emplace_back(&codec_, i);
                tracks_.push_back({&s, d.AnimatesPosition(), d.AnimatesRotation()});
            }
        }
    }
    bool Ok() const { return ok_; }

    // Decodes frame f of every track (and f + 1 for the second slot).
    void Decode(std::uint32_t f) { Zel::CompressedTrackCursor::MoveTo(cursors_, f); }
    // The pose at the middle of frame f, evaluated.
    void Frame(std::uint32_t f) {
        Zel::CompressedTrackCursor::MoveTo(cursors_, f);
        for (std::size_t i = 0; i < tracks_.size(); ++i) {
            const Track& t = tracks_[i];
            const Zel::CompressedTrackCursor& c = cursors_[i];
            Blend(c.GetPosition(0), c.GetPosition(1), c.GetRotation(0), c.GetRotation(1), 0.5f,
                  t.moves ? t.state->translation : nullptr, t.turns ? t.state->rotation : nullptr);
        }
        set_.EvaluateBoneTree(skeleton_, kIdentity, false);
    }
    const float* Model(std::uint32_t bone) const { return set_.GetBoneState(bone)->modelMatrix; }

private:
    struct Track {
        Zel::BoneState* state;
        bool moves, turns;
    };
    Zel::Skeleton& skeleton_;
    Zel::BoneStateSet set_;
    Zel::CDecompress codec_;
    // One cursor per track, kept together so that they move in one call.
    std::vector<Zel::CompressedTrackCursor> cursors_;
    std::vector<Track> tracks_;
    bool ok_ = false;
};

// The plain way: every key stored, found by binary search, matrices multiplied parent first.
class ReferenceSide {
public:
    // Keys are the engine's decoded frames, so that both sides animate the same data.
    explicit ReferenceSide(World& w) {
        Zel::CDecompress codec;
        codec.SetBuffer(w.file.data(), w.file.size());
        float length;
        std::uint32_t count;
        std::vector<std::int32_t> boneOf;
        codec.ReadHeader(512, length, count, boneOf);
        bones_.resize(w.biped.size());
        for (std::size_t i = 0; i < w.biped.size(); ++i) {
            const mg::BipedBone& b = w.biped[i];
            Bone& r = bones_[i];
            r.parent = -1;
            float base[3] = {0, 0, 0};
            for (std::size_t j = 0; j < i; ++j) {
                if (w.biped[j].name == b.parent) {
                    r.parent = static_cast<int>(j);
                    base[0] = w.biped[j].position.x, base[1] = w.biped[j].position.y,
                    base[2] = w.biped[j].position.z;
                }
            }
            std::memcpy(r.inverseBind, kIdentity, sizeof(r.inverseBind));
            r.inverseBind[3] = -b.position.x, r.inverseBind[7] = -b.position.y,
            r.inverseBind[11] = -b.position.z;
            r.bindPosition = {b.position.x - base[0], b.position.y - base[1],
                              b.position.z - base[2]};
        }
        for (std::uint32_t t = 0; t < count; ++t) {
            Bone& r = bones_[static_cast<std::size_t>(boneOf[t])];
            Zel::TrackDescriptor d;
            codec.GetTrackDescriptor(t, d);
            Zel::CompressedTrackCursor cursor(&codec, t);
            const std::uint32_t keys = std::max<std::uint32_t>(d.frameCount, 1);
            for (std::uint32_t k = 0; k < keys; ++k) {
                float p[3], q[4];
                std::memcpy(p, r.bindPosition.data(), sizeof(p));
                std::memcpy(q, d.constantRotation, sizeof(q));
                if (d.frameCount)
                    codec.DecodeFrame(cursor, k, p, q);
                r.times.push_back(static_cast<float>(k) * d.frameInterval);
                r.positions.insert(r.positions.end(), p, p + 3);
                r.rotations.insert(r.rotations.end(), q, q + 4);
            }
        }
    }

    void Frame(float time) {
        for (Bone& b : bones_) {
            const std::size_t n = b.times.size();
            std::size_t k = static_cast<std::size_t>(
                std::upper_bound(b.times.begin(), b.times.end(), time) - b.times.begin());
            k = k == 0 ? 0 : k - 1;
            const std::size_t next = std::min(k + 1, n - 1);
            const float span = b.times[next] - b.times[k];
            const float u = span > 0 ? (time - b.times[k]) / span : 0.0f;
            float p[3], q[4];
            Blend(&b.positions[3 * k], &b.positions[3 * next], &b.rotations[4 * k],
                  &b.rotations[4 * next], u, p, q);
            float local[16];
            const float x = q[0], y = q[1], z = q[2], w = q[3];
            const float rows[12] = {
                1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),     p[0],
                2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),     p[1],
                2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y), p[2]};
            std::memcpy(local, rows, sizeof(rows));
            local[12] = local[13] = local[14] = 0, local[15] = 1;
            const float* parent = b.parent < 0 ? kIdentity : bones_[b.parent].model;
            Multiply(parent, local, b.model);
            Multiply(b.model, b.inverseBind, b.skin);
        }
    }
    const float* Model(std::uint32_t bone) const { return bones_[bone].model; }

private:
    struct Bone {
        int parent;
        std::array<float, 3> bindPosition;
        std::vector<float> times, positions, rotations;
        float inverseBind[16];
        float model[16];
        float skin[16];
    };
    static void Multiply(const float* a, const float* b, float* out) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                out[4 * r + c] = a[4 * r] * b[c] + a[4 * r + 1] * b[4 + c] +
                                 a[4 * r + 2] * b[8 + c] + a[4 * r + 3] * b[12 + c];
    }
    std::vector<Bone> bones_;
};

float Interval() {
    return TheWorld().action.tracks[0].frameInterval;
}

// Plays frames 0 to N-2 over and over (each needs a next frame to blend with), one per iteration;
// `play` makes frame f and answers an element of the last bone's model matrix.
template <class Play>
void PlayFrames(benchmark::State& state, Play play) {
    std::uint32_t f = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(play(f));
        f = f + 2 < kFrames ? f + 1 : 0;
    }
    state.counters["s_per_bone"] =
        benchmark::Counter(70.0 * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void EngineFrame(benchmark::State& state) {
    EngineSide engine(TheWorld());
    PlayFrames(state, [&](std::uint32_t f) {
        engine.Frame(f);
        return engine.Model(69)[3];
    });
}

void ReferenceFrame(benchmark::State& state) {
    ReferenceSide reference(TheWorld());
    const float interval = Interval();
    PlayFrames(state, [&](std::uint32_t f) {
        reference.Frame((static_cast<float>(f) + 0.5f) * interval);
        return reference.Model(69)[3];
    });
}

void DecodeFrame(benchmark::State& state) {
    EngineSide engine(TheWorld());
    std::uint32_t f = 0;
    for (auto _ : state) {
        engine.Decode(f);
        f = f + 2 < kFrames ? f + 1 : 0;
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void ReadFloor(benchmark::State& state) {
    const std::vector<std::uint8_t>& file = TheWorld().file;
    for (auto _ : state) {
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i + 8 <= file.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, file.data() + i, 8);
            sum += word;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["frames_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
}

BENCHMARK(EngineFrame);
BENCHMARK(ReferenceFrame);
BENCHMARK(DecodeFrame);
BENCHMARK(ReadFloor);

// Both sides over the whole action; the largest difference of any model matrix element.
float MaxDifference() {
    EngineSide engine(TheWorld());
    ReferenceSide reference(TheWorld());
    if (!engine.Ok())
        return INFINITY;
    float worst = 0;
    for (std::uint32_t f = 0; f + 1 < kFrames; ++f) {
        engine.Frame(f);
        reference.Frame((static_cast<float>(f) + 0.5f) * Interval());
        for (std::uint32_t b = 0; b < 70; ++b)
            for (int k = 0; k < 16; ++k)
                worst = std::max(worst, std::fabs(engine.Model(b)[k] - reference.Model(b)[k]));
    }
    return worst;
}

// Keeps the mean real time per iteration of every run, for the ratios printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "mean")
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!TheWorld().skeleton) {
        std::fprintf(stderr, "the biped skeleton did not build\n");
        return 1;
    }
    const float difference = MaxDifference();
    std::printf("engine and reference model matrices differ by at most %g\n", difference);
    if (!(difference < 1e-4f)) {
        std::fprintf(stderr, "the two sides disagree\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    if (t.count("EngineFrame") && t.count("ReferenceFrame"))
        std::printf("EngineFrame / ReferenceFrame per bone: %.3fx (goal at most 1.0x)\n",
                    t["EngineFrame"] / t["ReferenceFrame"]);
    if (t.count("DecodeFrame") && t.count("ReadFloor"))
        std::printf("DecodeFrame / ReadFloor per frame: %.1fx\n",
                    t["DecodeFrame"] / (t["ReadFloor"] / kFrames));
    benchmark::Shutdown();
    return 0;
}
