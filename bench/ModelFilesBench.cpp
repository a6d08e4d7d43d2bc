// Loading a generated ".dm3" of about 50 MB from the page cache, next to the physical limit on the
// same file in the same run: one plain read() into a buffer that is allocated once and reused.
// ChunkRead runs the mesh chunk readers alone (the file opened as the geometry load opens it);
// GeometryLoad the whole geometry load (the geometry chunk into a Geometry, its mesh's vertex
// components and 32-bit hardware index buffer on the software device). The mesh is a subdivided
// cube with positions, normals, texture coordinates, packed colours and 32-bit indices.
//
// Each iteration times the plain read and the load back to back (their order alternating), so a
// busy machine slows both alike; a row prints the medians of both, their ratio and whether the
// load produced the bytes the plain read holds at the places the file stores them (every pool's
// elements and the indices), and the plain read the file as written.
// Memory: "warm" keeps freed memory in the process (malloc never maps nor trims), so a load
// reuses pages it touched before, as a level that loads model after model does; "fresh" maps
// every large block anew, so each load pays its page faults. Goals, warm memory: ChunkRead within
// 2x the plain read, GeometryLoad within 3x.
//
// Run: build/<dir>/bench/ModelFilesBench [--benchmark_repetitions=N]. The files are written to the
// temporary directory and removed at the end; the engine's log goes to a temporary directory.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Core/ChunkStream.h"
#include "Core/DeviceCaps.h"
#include "Core/Globals.h"
#include "Core/IZelStream.h"
#include "Core/StreamFactory.h"
#include "bench/AnchorRatio.h"
#include "bench/SoftwareEngine.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexData.h"
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

// A file written to the temporary directory, with the bytes and sections it was written with.
struct BenchFile {
    std::string path;
    ZelModelGen::WrittenFile written;
};

// The files written so far, removed at the end.
std::vector<std::string>& WrittenPaths() {
    static std::vector<std::string> paths;
    return paths;
}

BenchFile SaveBenchFile(const char* name, ZelModelGen::WrittenFile file) {
    BenchFile out{(std::filesystem::temp_directory_path() / name).string(), std::move(file)};
    WrittenPaths().push_back(out.path);
    if (!out.written.Save(out.path))
        std::fprintf(stderr, "cannot write %s\n", out.path.c_str());
    return out;
}

// The mesh chunk alone.
const BenchFile& MeshFile() {
    static const BenchFile file = [] {
        const ZelModelGen::FaultPlan none;
        ZelModelGen::ChunkStreamWriter w(none);
        ZelModelGen::WriteMeshChunk(w, BenchMesh(), "mesh");
        return SaveBenchFile("zel_bench_mesh.dm3", w.Finish());
    }();
    return file;
}

// A geometry chunk holding the same mesh.
const BenchFile& GeometryFile() {
    static const BenchFile file = [] {
        ZelModelGen::GeometryDesc geometry;
        geometry.parts.push_back(BenchMesh());
        geometry.materialFiles = {"stone.xml"};
        return SaveBenchFile("zel_bench_geometry.dm3", ZelModelGen::WriteGeometryFile(geometry));
    }();
    return file;
}

enum class Memory { kWarm, kFresh };

// Sets how malloc serves and returns large blocks (see the top of the file).
void UseMemory(Memory memory) {
    if (memory == Memory::kWarm) {
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, -1);
    } else {
        mallopt(M_MMAP_MAX, 65536);
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    }
}

// The anchor: the whole file by read() into a buffer touched once and reused.
class PlainRead {
public:
    explicit PlainRead(std::size_t size) : buffer_(size, 1) {}
    bool Run(const std::string& path) {
        const int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0)
            return false;
        std::size_t done = 0;
        while (done < buffer_.size()) {
            const ssize_t n = read(fd, buffer_.data() + done, buffer_.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        close(fd);
        return done == buffer_.size();
    }
    const std::vector<std::uint8_t>& Bytes() const { return buffer_; }

private:
    std::vector<std::uint8_t> buffer_;
};

// A run of bytes a load produced.
struct Span {
    const void* data;
    std::size_t size;
};

// Whether the spans (the pools in file order, then the indices) are the bytes `file` holds at the
// places the file was written with them.
bool SameAsFile(const std::vector<std::uint8_t>& file, const ZelModelGen::WrittenFile& written,
                const std::vector<Span>& spans) {
    std::vector<std::size_t> offsets;
    for (const ZelModelGen::Section& section : written.sections)
        if (section.path.ends_with("#elements"))
            offsets.push_back(section.offset);
    for (const ZelModelGen::Section& section : written.sections)
        if (section.path.ends_with("#indices"))
            offsets.push_back(section.offset);
    if (offsets.size() != spans.size())
        return false;
    for (std::size_t i = 0; i < spans.size(); ++i)
        if (offsets[i] + spans[i].size > file.size() ||
            std::memcmp(file.data() + offsets[i], spans[i].data, spans[i].size) != 0)
            return false;
    return true;
}

// Times `load` (which answers an owner of what it produced, or null on failure) against the plain
// read of the same file, iteration by iteration; the last load's output is checked against the
// plain read's bytes with `spansOf`.
template <class Load, class SpansOf>
void AgainstPlainRead(benchmark::State& state, const BenchFile& file, Memory memory, Load load,
                      SpansOf spansOf) {
    using Clock = std::chrono::steady_clock;
    PlainRead plain(file.written.bytes.size());
    UseMemory(memory);
    auto output = load();  // the first load (untimed) warms what the warm mode reuses
    std::vector<double> anchorTimes, loadTimes;
    bool ok = output != nullptr && plain.Run(file.path);
    for (auto _ : state) {
        if (!ok)
            break;
        output.reset();
        const bool anchorFirst = loadTimes.size() % 2 == 0;
        if (anchorFirst) {
            const auto t0 = Clock::now();
            ok = plain.Run(file.path);
            anchorTimes.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        }
        const auto t0 = Clock::now();
        output = load();
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        loadTimes.push_back(seconds);
        ok = ok && output != nullptr;
        if (!anchorFirst) {
            const auto t1 = Clock::now();
            ok = plain.Run(file.path) && ok;
            anchorTimes.push_back(std::chrono::duration<double>(Clock::now() - t1).count());
        }
        state.SetIterationTime(seconds);
    }
    const bool same = ok && plain.Bytes() == file.written.bytes &&
                      SameAsFile(plain.Bytes(), file.written, spansOf(*output));
    output.reset();
    UseMemory(Memory::kFresh);
    if (!ok) {
        state.SkipWithError("the load or the plain read failed");
        return;
    }
    if (!same) {
        state.SkipWithError("the load and the plain read disagree");
        return;
    }
    ZelBench::ReportAgainstAnchor(state, "plain_read", anchorTimes, "load", loadTimes);
    state.SetBytesProcessed(std::int64_t(state.iterations()) *
                            std::int64_t(file.written.bytes.size()));
}

std::uint32_t ElementSize(std::uint32_t type) {
    return ZelModelGen::ElementTypeSize(type);
}

// The mesh chunk readers on the stream the geometry load reads from.
void ChunkRead(benchmark::State& state, Memory memory) {
    const BenchFile& file = MeshFile();
    const auto load = [&]() -> std::unique_ptr<Zel::MeshChunk> {
        Zel::IZelStream* stream = Zel::OpenFileStream(file.path);
        if (!stream)
            return nullptr;
        auto mesh = std::make_unique<Zel::MeshChunk>();
        const bool ok =
            Zel::FinishChunkRead(stream, Zel::IOMeshBin::ReadChunk(*mesh, stream, &ElementSize));
        stream->Release();
        return ok ? std::move(mesh) : nullptr;
    };
    const auto spans = [](const Zel::MeshChunk& mesh) {
        std::vector<Span> out;
        for (const Zel::VertexPoolRecord& pool : mesh.pools)
            out.push_back({pool.data.data(), pool.data.size()});
        out.push_back({mesh.indexBuffer.indices.data(), 4 * mesh.indexBuffer.indices.size()});
        return out;
    };
    AgainstPlainRead(state, file, memory, load, spans);
}

void GeometryLoad(benchmark::State& state, Memory memory) {
    const BenchFile& file = GeometryFile();
    ZelBench::SoftwareEngine engine("zel_bench_modelfiles");
    const auto load = [&]() -> std::unique_ptr<Zel::Geometry> {
        auto geometry = std::make_unique<Zel::Geometry>(nullptr, "bench", "Geometry", 0);
        geometry->Load(file.path);
        if (!geometry->IsLoadSucceeded() || !geometry->GetMesh(0))
            return nullptr;
        return geometry;
    };
    const auto spans = [](const Zel::Geometry& geometry) {
        std::vector<Span> out;
        const Zel::Mesh& mesh = *geometry.GetMesh(0);
        for (const auto& component : mesh.GetVertexData()->GetComponents())
            out.push_back({component->GetData(), component->GetDataSize()});
        const Zel::IndexData& index = *mesh.GetIndexData();
        out.push_back({index.GetIndices(), 4 * std::size_t(index.GetArraySize())});
        return out;
    };
    AgainstPlainRead(state, file, memory, load, spans);
}

BENCHMARK_CAPTURE(ChunkRead, warm, Memory::kWarm)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GeometryLoad, warm, Memory::kWarm)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ChunkRead, fresh, Memory::kFresh)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GeometryLoad, fresh, Memory::kFresh)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    for (const std::string& path : WrittenPaths()) std::filesystem::remove(path, ignored);
    return 0;
}
