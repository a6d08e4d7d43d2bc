// Loading a generated ".dm3" of about 50 MB from the page cache, next to reading the same file
// into memory in the same run: the chunk readers alone (ChunkRead) and the whole geometry load
// (GeometryLoad: the geometry chunk into a Geometry, its mesh's vertex components and 32-bit
// hardware index buffer on the software device). The mesh is a subdivided cube with positions,
// normals, texture coordinates and packed colours and 32-bit indices. Goal: each load (file read
// included) within 3x the plain read, measured in a Release build. Each run folds a checksum of
// what was read into its counters.
//
// Run: build/<dir>/bench/ModelFilesBench [--benchmark_repetitions=N]. The file is written to the
// temporary directory and removed at the end; the engine's log goes to a temporary directory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Scene/SceneManager.h"
#include "Platform/D3D9/D3D9Module.h"
#include "Platform/Win32/Win32.h"
#include "Platform/Win32/Win32Window.h"
#include "Render/DisplaySettings.h"
#include "Render/HardwareBufferManager.h"
#include "Render/d3d9/RenderDeviceD3D9.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"

namespace {

constexpr std::uint32_t kSubdivisions = 372;  // about 50 MB

ZelModelGen::MeshDesc BenchMesh() {
    ZelModelGen::MeshDesc mesh =
        ZelModelGen::MakeCubeMesh(kSubdivisions, ZelModelGen::Vec3{0, 0, 0}, 1.0f, "stone");
    mesh.packedColours = true;
    return mesh;
}

std::string SaveBenchFile(const char* name, const ZelModelGen::WrittenFile& file) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    if (!file.Save(path))
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return path;
}

// The mesh chunk alone.
const std::string& MeshFile() {
    static const std::string path = [] {
        const ZelModelGen::FaultPlan none;
        ZelModelGen::ChunkStreamWriter w(none);
        ZelModelGen::WriteMeshChunk(w, BenchMesh(), "mesh");
        return SaveBenchFile("zel_bench_mesh.dm3", w.Finish());
    }();
    return path;
}

// A geometry chunk holding the same mesh.
const std::string& GeometryFile() {
    static const std::string path = [] {
        ZelModelGen::GeometryDesc geometry;
        geometry.parts.push_back(BenchMesh());
        geometry.materialFiles = {"stone.xml"};
        return SaveBenchFile("zel_bench_geometry.dm3", ZelModelGen::WriteGeometryFile(geometry));
    }();
    return path;
}

// Globals with a software device behind its buffer manager, asking for 32-bit index buffers,
// in a temporary working directory (the engine writes its log there).
class Engine {
public:
    Engine() {
        dir_ = std::filesystem::temp_directory_path() / "zel_bench_modelfiles";
        std::filesystem::create_directories(dir_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        D3D9Module::Install();
        Zel::Globals* g = Zel::Globals::GetSingleton();
        window_ = Win32Window::Create(64, 48);
        Zel::DisplaySettings settings;
        settings.window = window_;
        settings.width = 64;
        settings.height = 48;
        if (!device_.Init(settings))
            std::fprintf(stderr, "the software device did not start\n");
        g->GetHardwareBufferManager()->SetRenderDevice(&device_);
        g->GetSceneManager()->SetDX7Mode(false);
        g->GetDeviceCaps()->featureFlags |= Zel::DEVICE_INDEX_32;
    }
    ~Engine() {
        Zel::Globals::DeleteSingleton();
        DestroyWindow(window_);
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

private:
    std::filesystem::path dir_, previous_;
    HWND window_ = nullptr;
    Zel::RenderDeviceD3D9 device_;
};

std::uint32_t ElementSize(std::uint32_t type) {
    return ZelModelGen::ElementTypeSize(type);
}

// Reads the file into memory each iteration and hands it to `use`, which answers a checksum
// term, or 0 with an error text when it fails.
template <class Use>
void ReadEach(benchmark::State& state, const std::string& path, Use use) {
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
    ReadEach(state, MeshFile(), [](Zel::IZelFileStream* s, const char*&) -> std::uint64_t {
        return s->GetData()[s->GetSize() / 2];
    });
}

void ChunkRead(benchmark::State& state) {
    ReadEach(state, MeshFile(), [](Zel::IZelFileStream* s, const char*& error) -> std::uint64_t {
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

// The file read stays in the timing (as in the other two), through the geometry's own road.
void GeometryLoad(benchmark::State& state) {
    const std::string& path = GeometryFile();
    Engine engine;
    std::uint64_t sum = 0, bytes = 0;
    for (auto _ : state) {
        Zel::Geometry geometry(nullptr, "bench", "Geometry", 0);
        geometry.Load(path);
        const Zel::Mesh* mesh = geometry.GetMesh(0);
        if (!geometry.IsLoadSucceeded() || !mesh) {
            state.SkipWithError("the geometry did not load");
            return;
        }
        const Zel::IndexData& index = *mesh->GetIndexData();
        sum += index.GetIndices()[index.GetArraySize() / 2] + geometry.GetSizeField();
        bytes += std::filesystem::file_size(path);
    }
    state.counters["checksum"] = double(sum % 1000003);
    state.SetBytesProcessed(std::int64_t(bytes));
}

BENCHMARK(FileRead)->Unit(benchmark::kMillisecond);
BENCHMARK(ChunkRead)->Unit(benchmark::kMillisecond);
BENCHMARK(GeometryLoad)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove(MeshFile(), ignored);
    std::filesystem::remove(GeometryFile(), ignored);
    return 0;
}
