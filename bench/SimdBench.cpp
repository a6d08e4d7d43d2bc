// The SIMD processors against their anchors, in the same iterations in alternating order: every
// element-wise operation of the SSE2 variant against the portable one at 4 Ki floats (in cache)
// and 1 Mi floats (from memory), MulAdd and MulSub against a plain single-precision loop as well
// (the portable bodies keep wider intermediates, so they are not what a plain loop costs), and
// the memory copy and fill bodies against memcpy and memset at 64 MiB and above the last-level
// cache. The counters give the medians, the ratio (anchor time over own time: above 1 the
// processor is faster) and how far the outputs of both sides differ.
//
// Run: build/rel/bench/SimdBench [--benchmark_filter=...] [--benchmark_repetitions=N].
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Math/ZelSIMD3DNow.h"
#include "Math/ZelSIMDGeneric.h"
#include "Math/ZelSIMDMMX.h"
#include "Math/ZelSIMDSSE2.h"
#include "PairedTiming.h"

namespace {

using Zel::SIMDVec3;
using Zel::SIMDVec4;
using Zel::ZelSIMDProcessor;

const Zel::ZelSIMD_Generic g_generic;
const Zel::ZelSIMD_MMX g_mmx;
const Zel::ZelSIMD_3DNow g_3dnow;
const Zel::ZelSIMD_SSE2 g_sse2;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

template <class T>
std::unique_ptr<T[], FreeDeleter> Aligned(size_t count) {
    return std::unique_ptr<T[], FreeDeleter>(
        static_cast<T*>(std::aligned_alloc(64, (count * sizeof(T) + 63) / 64 * 64)));
}

// Inputs and outputs for n elements; record operations read n records of up to four floats.
struct Arrays {
    explicit Arrays(int n)
        : a(Aligned<float>(4 * size_t(n))),
          b(Aligned<float>(4 * size_t(n))),
          dst(Aligned<float>(4 * size_t(n))),
          bytes(Aligned<uint8_t>(size_t(n))) {
        for (std::size_t i = 0; i < 4 * size_t(n); ++i) {
            a[i] = 1.0f + float(i % 977) / 977.0f;
            b[i] = 2.0f - float(i % 613) / 613.0f;
            dst[i] = float(i % 101) * 0.01f;
        }
        std::fill_n(bytes.get(), n, uint8_t{0});
    }
    const SIMDVec3* A3() const { return reinterpret_cast<const SIMDVec3*>(a.get()); }
    const SIMDVec3* B3() const { return reinterpret_cast<const SIMDVec3*>(b.get()); }
    const SIMDVec4* A4() const { return reinterpret_cast<const SIMDVec4*>(a.get()); }

    std::unique_ptr<float[], FreeDeleter> a, b, dst;
    std::unique_ptr<uint8_t[], FreeDeleter> bytes;
};

// One operation over n elements; answers a value from its output for the checksum.
using ElementOp = std::function<float(const ZelSIMDProcessor&, Arrays&, int)>;

struct NamedOp {
    const char* name;
    ElementOp run;
};

const SIMDVec3 kV3{0.5f, -1.5f, 2.0f};
const SIMDVec4 kV4{0.5f, -1.5f, 2.0f, 0.25f};

float Last(const Arrays& x, int n) {
    return x.dst[n - 1] + x.dst[n / 2];
}

float LastByte(const Arrays& x, int n) {
    return float(x.bytes[n - 1] + x.bytes[n / 3]);
}

const std::vector<NamedOp>& ElementOps() {
    static const std::vector<NamedOp> ops = {
        {"Add",
         [](auto& p, Arrays& x, int n) {
             p.Add(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"AddScalar",
         [](auto& p, Arrays& x, int n) {
             p.AddScalar(x.dst.get(), 1.5f, x.a.get(), n);
             return Last(x, n);
         }},
        {"Sub",
         [](auto& p, Arrays& x, int n) {
             p.Sub(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"ScalarSub",
         [](auto& p, Arrays& x, int n) {
             p.ScalarSub(x.dst.get(), 1.5f, x.a.get(), n);
             return Last(x, n);
         }},
        {"Mul",
         [](auto& p, Arrays& x, int n) {
             p.Mul(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"MulScalar",
         [](auto& p, Arrays& x, int n) {
             p.MulScalar(x.dst.get(), 1.5f, x.a.get(), n);
             return Last(x, n);
         }},
        {"Div",
         [](auto& p, Arrays& x, int n) {
             p.Div(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"ScalarDiv",
         [](auto& p, Arrays& x, int n) {
             p.ScalarDiv(x.dst.get(), 1.5f, x.a.get(), n);
             return Last(x, n);
         }},
        {"MulAdd",
         [](auto& p, Arrays& x, int n) {
             p.MulAdd(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"MulAddScalar",
         [](auto& p, Arrays& x, int n) {
             p.MulAddScalar(x.dst.get(), 1.5f, x.a.get(), n);
             return Last(x, n);
         }},
        {"MulSub",
         [](auto& p, Arrays& x, int n) {
             p.MulSub(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"MulSubScalar",
         [](auto& p, Arrays& x, int n) {
             p.MulSubScalar(x.dst.get(), 1.5f, x.a.get(), n);
             return Last(x, n);
         }},
        {"DotArrays",
         [](auto& p, Arrays& x, int n) {
             float d;
             p.DotArrays(&d, x.a.get(), x.b.get(), n);
             return d;
         }},
        {"DotPairs3",
         [](auto& p, Arrays& x, int n) {
             p.DotPairs3(x.dst.get(), x.A3(), x.B3(), n);
             return Last(x, n);
         }},
        {"DotConst4",
         [](auto& p, Arrays& x, int n) {
             p.DotConst4(x.dst.get(), &kV4, x.A4(), n);
             return Last(x, n);
         }},
        {"PlaneDistances",
         [](auto& p, Arrays& x, int n) {
             p.PlaneDistances(x.dst.get(), &kV4, x.A3(), n);
             return Last(x, n);
         }},
        {"PointPlaneDistances",
         [](auto& p, Arrays& x, int n) {
             p.PointPlaneDistances(x.dst.get(), &kV3, x.A4(), n);
             return Last(x, n);
         }},
        {"DotConst3",
         [](auto& p, Arrays& x, int n) {
             p.DotConst3(x.dst.get(), &kV3, x.A3(), n);
             return Last(x, n);
         }},
        {"CmpGreaterBit",
         [](auto& p, Arrays& x, int n) {
             p.CmpGreaterBit(x.bytes.get(), 2, x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"CmpGreater",
         [](auto& p, Arrays& x, int n) {
             p.CmpGreater(x.bytes.get(), x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"CmpGreaterEqualBit",
         [](auto& p, Arrays& x, int n) {
             p.CmpGreaterEqualBit(x.bytes.get(), 2, x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"CmpGreaterEqual",
         [](auto& p, Arrays& x, int n) {
             p.CmpGreaterEqual(x.bytes.get(), x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"CmpLessBit",
         [](auto& p, Arrays& x, int n) {
             p.CmpLessBit(x.bytes.get(), 2, x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"CmpLess",
         [](auto& p, Arrays& x, int n) {
             p.CmpLess(x.bytes.get(), x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"CmpLessEqualBit",
         [](auto& p, Arrays& x, int n) {
             p.CmpLessEqualBit(x.bytes.get(), 2, x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"CmpLessEqual",
         [](auto& p, Arrays& x, int n) {
             p.CmpLessEqual(x.bytes.get(), x.a.get(), 1.5f, n);
             return LastByte(x, n);
         }},
        {"MinMax3",
         [](auto& p, Arrays& x, int n) {
             SIMDVec3 lo, hi;
             p.MinMax3(&lo, &hi, x.A3(), n);
             return lo.x + hi.z;
         }},
        {"MinMax2",
         [](auto& p, Arrays& x, int n) {
             float lo[2], hi[2];
             p.MinMax2(lo, hi, x.a.get(), n);
             return lo[0] + hi[1];
         }},
        {"MinMax",
         [](auto& p, Arrays& x, int n) {
             float lo, hi;
             p.MinMax(&lo, &hi, x.a.get(), n);
             return lo + hi;
         }},
        {"Clamp",
         [](auto& p, Arrays& x, int n) {
             p.Clamp(x.dst.get(), x.a.get(), 1.2f, 1.8f, n);
             return Last(x, n);
         }},
        {"ClampMin",
         [](auto& p, Arrays& x, int n) {
             p.ClampMin(x.dst.get(), x.a.get(), 1.2f, n);
             return Last(x, n);
         }},
        {"ClampMax",
         [](auto& p, Arrays& x, int n) {
             p.ClampMax(x.dst.get(), x.a.get(), 1.8f, n);
             return Last(x, n);
         }},
        {"ZeroAligned",
         [](auto& p, Arrays& x, int n) {
             p.ZeroAligned(x.dst.get(), n);
             return Last(x, n);
         }},
        {"NegateAligned",
         [](auto& p, Arrays& x, int n) {
             p.NegateAligned(x.dst.get(), n);
             return Last(x, n);
         }},
        {"CopyAligned",
         [](auto& p, Arrays& x, int n) {
             p.CopyAligned(x.dst.get(), x.a.get(), n);
             return Last(x, n);
         }},
        {"AddAligned",
         [](auto& p, Arrays& x, int n) {
             p.AddAligned(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"SubAligned",
         [](auto& p, Arrays& x, int n) {
             p.SubAligned(x.dst.get(), x.a.get(), x.b.get(), n);
             return Last(x, n);
         }},
        {"MulScalarAligned",
         [](auto& p, Arrays& x, int n) {
             p.MulScalarAligned(x.dst.get(), x.a.get(), 1.5f, n);
             return Last(x, n);
         }},
        {"AddInPlaceAligned",
         [](auto& p, Arrays& x, int n) {
             p.AddInPlaceAligned(x.dst.get(), x.a.get(), n);
             return Last(x, n);
         }},
        {"SubInPlaceAligned",
         [](auto& p, Arrays& x, int n) {
             p.SubInPlaceAligned(x.dst.get(), x.a.get(), n);
             return Last(x, n);
         }},
        // -1 keeps the magnitudes where they are however often it runs.
        {"MulScalarInPlaceAligned",
         [](auto& p, Arrays& x, int n) {
             p.MulScalarInPlaceAligned(x.dst.get(), -1.0f, n);
             return Last(x, n);
         }},
    };
    return ops;
}

// A plain single-precision loop, what a caller would write without the processors.
class PlainLoops : public Zel::ZelSIMD_Generic {
public:
    void MulAdd(float* dst, const float* a, const float* b, int count) const override {
        for (int i = 0; i < count; ++i) dst[i] = dst[i] + a[i] * b[i];
    }
    void MulSub(float* dst, const float* a, const float* b, int count) const override {
        for (int i = 0; i < count; ++i) dst[i] = dst[i] - a[i] * b[i];
    }
};
const PlainLoops g_plain;

// Runs op on fresh arrays with each processor; answers the largest difference of the float
// outputs relative to their size, plus the number of differing bytes.
double OutputDifference(const ZelSIMDProcessor& p, const ZelSIMDProcessor& q, const ElementOp& op,
                        int n) {
    Arrays x(n), y(n);
    const float rx = op(p, x, n), ry = op(q, y, n);
    double worst = std::fabs(double(rx) - ry) / std::max(1.0, std::fabs(double(rx)));
    for (int i = 0; i < 4 * n; ++i)
        worst = std::max(worst, std::fabs(double(x.dst[i]) - y.dst[i]) /
                                    std::max(1.0, std::fabs(double(x.dst[i]))));
    for (int i = 0; i < n; ++i) worst += x.bytes[i] != y.bytes[i] ? 1.0 : 0.0;
    return worst;
}

// Repetitions per timed slice, so that a slice lasts well above the clock's resolution.
int Repeats(int n) {
    return std::max(1, (1 << 18) / n);
}

void RunElementOp(benchmark::State& state, const ZelSIMDProcessor* own,
                  const ZelSIMDProcessor* anchor, const ElementOp* op) {
    const int n = static_cast<int>(state.range(0));
    const int repeats = Repeats(n);
    Arrays mine(n), theirs(n);
    double checksum = 0.0;
    BenchPair::Times times;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                for (int r = 0; r < repeats; ++r) checksum += (*op)(*own, mine, n);
                benchmark::ClobberMemory();
            },
            [&] {
                for (int r = 0; r < repeats; ++r) checksum += (*op)(*anchor, theirs, n);
                benchmark::ClobberMemory();
            });
    }
    benchmark::DoNotOptimize(checksum);
    times.Report(state);
    state.counters["diff"] = OutputDifference(*own, *anchor, *op, n);
    state.SetItemsProcessed(state.iterations() * n * repeats);
}

// What the processors name the last-level cache; 8 MiB when the system does not say.
long LastLevelCache() {
    long bytes = 0;
#ifdef _SC_LEVEL3_CACHE_SIZE
    bytes = sysconf(_SC_LEVEL3_CACHE_SIZE);
#endif
    return bytes > 0 ? bytes : 8l << 20;
}

// 64 MiB, and a quarter more than the last-level cache (at most 1 GiB).
int BlockBytes(int which) {
    if (which == 0)
        return 64 << 20;
    return static_cast<int>(std::min<long>(LastLevelCache() / 4 * 5, 1l << 30) & ~4095l);
}

using CopyFn = std::function<void(void*, const void*, int)>;
using FillFn = std::function<void(void*, int, int)>;

void RunCopy(benchmark::State& state, const CopyFn& copy) {
    const int bytes = BlockBytes(static_cast<int>(state.range(0)));
    auto src = Aligned<unsigned char>(bytes);
    auto dst = Aligned<unsigned char>(bytes);
    auto ref = Aligned<unsigned char>(bytes);
    for (int i = 0; i < bytes; ++i) src[i] = static_cast<unsigned char>(i * 31);
    std::memset(dst.get(), 0, bytes);
    std::memset(ref.get(), 0, bytes);
    BenchPair::Times times;
    for (auto _ : state) {
        times.Run(
            state,
            [&] {
                copy(dst.get(), src.get(), bytes);
                benchmark::ClobberMemory();
            },
            [&] {
                std::memcpy(ref.get(), src.get(), size_t(bytes));
                benchmark::ClobberMemory();
            });
    }
    times.Report(state, "memcpy_ms");
    state.counters["MiB"] = bytes >> 20;
    state.counters["diff"] = std::memcmp(dst.get(), ref.get(), size_t(bytes)) != 0;
    state.SetBytesProcessed(state.iterations() * int64_t(bytes));
}

void RunFill(benchmark::State& state, const FillFn& fill) {
    const int bytes = BlockBytes(static_cast<int>(state.range(0)));
    auto dst = Aligned<unsigned char>(bytes);
    auto ref = Aligned<unsigned char>(bytes);
    std::memset(dst.get(), 0, bytes);
    std::memset(ref.get(), 0, bytes);
    int value = 0;
    BenchPair::Times times;
    for (auto _ : state) {
        ++value;
        times.Run(
            state,
            [&] {
                fill(dst.get(), value, bytes);
                benchmark::ClobberMemory();
            },
            [&] {
                std::memset(ref.get(), value & 0xFF, size_t(bytes));
                benchmark::ClobberMemory();
            });
    }
    times.Report(state, "memset_ms");
    state.counters["MiB"] = bytes >> 20;
    state.counters["diff"] = std::memcmp(dst.get(), ref.get(), size_t(bytes)) != 0;
    state.SetBytesProcessed(state.iterations() * int64_t(bytes));
}

void RegisterAll() {
    for (const NamedOp& op : ElementOps()) {
        const std::string name(op.name);
        benchmark::RegisterBenchmark((name + "/SSE2_vs_generic").c_str(), RunElementOp, &g_sse2,
                                     &g_generic, &op.run)
            ->Arg(4 << 10)
            ->Arg(1 << 20)
            ->UseManualTime();
        if (name == "MulAdd" || name == "MulSub")
            benchmark::RegisterBenchmark((name + "/SSE2_vs_plain_loop").c_str(), RunElementOp,
                                         &g_sse2, &g_plain, &op.run)
                ->Arg(4 << 10)
                ->Arg(1 << 20)
                ->UseManualTime();
    }

    const std::pair<const char*, CopyFn> copies[] = {
        {"Copy/MMX_vs_memcpy", [](void* d, const void* s, int n) { g_mmx.CopyMemory(d, s, n); }},
        {"Copy/3DNow_vs_memcpy",
         [](void* d, const void* s, int n) { g_3dnow.CopyMemory(d, s, n); }},
    };
    for (const auto& [name, copy] : copies)
        benchmark::RegisterBenchmark(name, [fn = copy](benchmark::State& s) { RunCopy(s, fn); })
            ->ArgName("above_llc")
            ->Arg(0)
            ->Arg(1)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();

    benchmark::RegisterBenchmark(
        "Fill/MMX_vs_memset",
        [](benchmark::State& s) {
            RunFill(s, [](void* d, int v, int n) { g_mmx.FillMemory(d, v, n); });
        })
        ->ArgName("above_llc")
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
