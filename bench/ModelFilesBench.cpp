// Reading a generated mesh chunk of about 50 MB from the page cache with the chunk readers, next
// to reading the same file into memory in the same run. The mesh is a subdivided cube with
// positions, normals, texture coordinates and packed colours and 32-bit indices. Goal: the chunk
// read (file read included) within 3x the plain read. Each run folds a checksum of what was read
// into its counters.
//
// Run: build/<dir>/bench/ModelFilesBench [--benchmark_repetitions=N]. The file is written to the
// temporary directory and removed at the end.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/IOMeshBin.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/Recipes.h"

namespace {

constexpr std::uint32_t kSubdivisions = 372;  // about 50 MB

const std::string& MeshFile() {
    static const std::string path = [] {
        using namespace ZelModelGen;
        MeshDesc mesh = MakeCubeMesh(kSubdivisions, Vec3{0, 0, 0}, 1.0f, "stone");
        mesh.packedColours = true;
        const FaultPlan none;
        ChunkStreamWriter w(none);
        WriteMeshChunk(w, mesh, "mesh");
        const std::string file =
            (std::filesystem::temp_directory_path() / "zel_bench_mesh.dm3").string();
        if (!w.Finish().Save(file))
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return file;
    }();
    return path;
}

std::uint32_t ElementSize(std::uint32_t type) {
    return ZelModelGen::ElementTypeSize(type);
}

// Reads the file into memory each iteration and hands it to `use`, which answers a checksum
// term, or 0 with an error text when it fails.
template <class Use>
void ReadEach(benchmark::State& state, Use use) {
    const std::string& path = MeshFile();
    std::uint64_t sum = 0, bytes = 0;
    for (auto _ : state) {
        Zel::IZelFileStream* s = Zel::LoadFileToMemoryStream(path);
        const char* error = s ? nullptr : "cannot read the mesh file";
        if (s) {
            sum += use(s, error);
            bytes += s->GetSize();
            s->Release();
        }
        if (error) {
            state.SkipWithError(error);
            return;
        }
    }
    state.counters["checksum"] = double(sum % 1000003);
    state.SetBytesProcessed(std::int64_t(bytes));
}

void FileRead(benchmark::State& state) {
    ReadEach(state, [](Zel::IZelFileStream* s, const char*&) -> std::uint64_t {
        return s->GetData()[s->GetSize() / 2];
    });
}

void ChunkRead(benchmark::State& state) {
    ReadEach(state, [](Zel::IZelFileStream* s, const char*& error) -> std::uint64_t {
        Zel::MeshChunk mesh;
        if (!Zel::IOMeshBin::ReadChunk(mesh, s, &ElementSize)) {
            error = "the mesh chunk did not read";
            return 0;
        }
        const std::vector<std::uint32_t>& indices = mesh.indexBuffer.indices;
        const std::vector<std::uint8_t>& last = mesh.pools.back().data;
        return indices[indices.size() / 2] + last[last.size() / 2];
    });
}

BENCHMARK(FileRead)->Unit(benchmark::kMillisecond);
BENCHMARK(ChunkRead)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove(MeshFile(), ignored);
    return 0;
}
