// The SIMD processors against each other: every element-wise operation of the SSE2 variant and
// of the portable one at 4 Ki floats (in cache) and 1 Mi floats (from memory), and the memory
// copy and fill bodies against memcpy and memset at 64 MiB. Each benchmark folds a checksum of
// its output into its counters so the work cannot be optimised away. On a busy machine, run with
// --benchmark_repetitions=N and read the "min" rows.
#include <benchmark/benchmark.h>

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
        for (int i = 0; i < 4 * n; ++i) {
            a[i] = 1.0f + float(i % 977) / 977.0f;
            b[i] = 2.0f - float(i % 613) / 613.0f;
            dst[i] = float(i % 101) * 0.01f;
        }
        std::memset(bytes.get(), 0, size_t(n));
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

void RunElementOp(benchmark::State& state, const ZelSIMDProcessor* p, const ElementOp* op) {
    const int n = static_cast<int>(state.range(0));
    Arrays arrays(n);
    double checksum = 0.0;
    for (auto _ : state) {
        checksum += (*op)(*p, arrays, n);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(checksum);
    state.counters["checksum"] = checksum;
    state.SetItemsProcessed(state.iterations() * n);
}

constexpr int kBlockBytes = 64 << 20;

void RunCopy(benchmark::State& state, const std::function<void(void*, const void*, int)>& copy) {
    auto src = Aligned<unsigned char>(kBlockBytes);
    auto dst = Aligned<unsigned char>(kBlockBytes);
    for (int i = 0; i < kBlockBytes; ++i) src[i] = static_cast<unsigned char>(i * 31);
    std::memset(dst.get(), 0, kBlockBytes);
    double checksum = 0.0;
    for (auto _ : state) {
        copy(dst.get(), src.get(), kBlockBytes);
        benchmark::ClobberMemory();
        checksum += dst[kBlockBytes - 1] + dst[kBlockBytes / 3];
    }
    state.counters["checksum"] = checksum;
    state.SetBytesProcessed(state.iterations() * int64_t(kBlockBytes));
}

void RunFill(benchmark::State& state, const std::function<void(void*, int, int)>& fill) {
    auto dst = Aligned<unsigned char>(kBlockBytes);
    std::memset(dst.get(), 0, kBlockBytes);
    double checksum = 0.0;
    int value = 0;
    for (auto _ : state) {
        fill(dst.get(), ++value, kBlockBytes);
        benchmark::ClobberMemory();
        checksum += dst[kBlockBytes - 1] + dst[kBlockBytes / 3];
    }
    state.counters["checksum"] = checksum;
    state.SetBytesProcessed(state.iterations() * int64_t(kBlockBytes));
}

// With --benchmark_repetitions, the fastest run is the one least disturbed by the rest of the
// machine.
double Fastest(const std::vector<double>& runs) {
    double best = runs.empty() ? 0.0 : runs[0];
    for (double r : runs) best = r < best ? r : best;
    return best;
}

void RegisterAll() {
    const std::pair<const char*, const ZelSIMDProcessor*> variants[] = {{"generic", &g_generic},
                                                                        {"SSE2", &g_sse2}};
    for (const NamedOp& op : ElementOps())
        for (const auto& [name, p] : variants)
            benchmark::RegisterBenchmark((std::string(op.name) + "/" + name).c_str(), RunElementOp,
                                         p, &op.run)
                ->Arg(4 << 10)
                ->Arg(1 << 20)
                ->ComputeStatistics("min", Fastest);

    using CopyFn = std::function<void(void*, const void*, int)>;
    const std::pair<const char*, CopyFn> copies[] = {
        {"Copy64MiB/memcpy", [](void* d, const void* s, int n) { std::memcpy(d, s, size_t(n)); }},
        {"Copy64MiB/MMX", [](void* d, const void* s, int n) { g_mmx.CopyMemory(d, s, n); }},
        {"Copy64MiB/3DNow", [](void* d, const void* s, int n) { g_3dnow.CopyMemory(d, s, n); }},
    };
    for (const auto& [name, copy] : copies)
        benchmark::RegisterBenchmark(name, [fn = copy](benchmark::State& s) { RunCopy(s, fn); })
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", Fastest);

    using FillFn = std::function<void(void*, int, int)>;
    const std::pair<const char*, FillFn> fills[] = {
        {"Fill64MiB/memset", [](void* d, int v, int n) { std::memset(d, v & 0xFF, size_t(n)); }},
        {"Fill64MiB/MMX", [](void* d, int v, int n) { g_mmx.FillMemory(d, v, n); }},
    };
    for (const auto& [name, fill] : fills)
        benchmark::RegisterBenchmark(name, [fn = fill](benchmark::State& s) { RunFill(s, fn); })
            ->Unit(benchmark::kMillisecond)
            ->ComputeStatistics("min", Fastest);
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
