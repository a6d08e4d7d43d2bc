// libFuzzer target over the ".dm2" mesh body: the input is one mesh chunk (u32 tag, u32 size,
// the record of `size` bytes, then the render groups, vertex block and index block), as the
// geometry reader hands it to the mesh. Records larger than 512 bytes are refused as the geometry
// reader refuses them.
//
//   Dm2MeshBodyFuzz --write-seeds=DIR   writes the seed corpus
//   Dm2MeshBodyFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Core/IZelFileStream.h"
#include "Core/LogDispatch.h"
#include "Entity/Geometry/Mesh.h"
#include "fuzz/FuzzSeeds.h"
#include "modelgen/Dm2File.h"
#include "modelgen/GeometryDescription.h"
#include "modelgen/Recipes.h"

namespace {

constexpr std::uint32_t kMaxRecord = 512;

void WriteSeeds(const std::filesystem::path& dir) {
    namespace mg = ZelModelGen;
    mg::RecipeOptions options;
    options.meshCount = 1;
    options.wide = false;
    const mg::GeometryDesc cube = mg::CubeGeometry(options);
    const mg::GeometryDesc strip = [] {
        mg::GeometryDesc g;
        g.parts.push_back(mg::MakeStripMesh());
        return g;
    }();
    int n = 0;
    for (const mg::GeometryDesc* g : {&cube, &strip}) {
        const mg::WrittenFile file = mg::WriteDm2File(*g);
        const std::size_t at = file.Offset("mesh0");
        const std::size_t end = file.Find("mesh1") ? file.Offset("mesh1") : file.bytes.size();
        ZelFuzz::SaveSeed(
            dir, "mesh" + std::to_string(n++),
            std::vector<std::uint8_t>(file.bytes.begin() + at, file.bytes.begin() + end));
    }
}

void Quiet(int, const char*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    Zel::SetLogHandler(&Quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 8 || size > 0xFFFFFFFFu)
        return 0;
    std::uint32_t recordSize;
    std::memcpy(&recordSize, data + 4, 4);
    if (recordSize > kMaxRecord || recordSize > size - 8)
        return 0;
    Zel::IZelFileStream* stream =
        new Zel::IZelFileStream("fuzz.dm2", static_cast<std::uint32_t>(size));
    std::memcpy(stream->GetData(), data, size);
    stream->Seek(8 + recordSize, Zel::STREAM_SEEK_SET);
    {
        Zel::Mesh mesh(nullptr, true, true);
        // Without a device the index buffer cannot be made, so the read answers false after
        // filling the mesh; the analyses run over whatever it holds.
        mesh.ReadBinaryV2(data + 8, recordSize, *stream);
        mesh.BuildTangents();
        mesh.BuildOpenEdgeVertices();
    }
    stream->Release();
    return 0;
}
