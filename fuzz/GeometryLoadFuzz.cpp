// libFuzzer target over the geometry loads on a software render device, so that a mesh with
// indices goes on to its index buffer and its parts. The first input byte picks the load (low
// two bits) and its conditions (bit 6: a device without 32-bit indices; bit 7: the fixed-function
// scene, which packs vertex colours):
//   0  a whole ".dm3" loaded into a Geometry
//   1  a whole ".dm2" loaded into a Geometry
//   2  a level: the rest is split (4-byte length, then the parts) into the level description
//      ("lvl/level.xml") and the level mesh file ("lvl/grid.mesh"), loaded as a StaticGeometry
//      (description, mesh blocks, level meshes, triangle gathering, occluders)
//   3  the same loaded as a SimpStaticGeometry
// Every file is served from the virtual file system's memory kind.
//
//   GeometryLoadFuzz --write-seeds=DIR   writes the seed corpus (made by the model fixture writer)
//   GeometryLoadFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <filesystem>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "Core/DeviceCaps.h"
#include "Core/XMLManager.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/IndexData.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/SimpStaticGeometry.h"
#include "Entity/Geometry/StaticGeometry.h"
#include "Entity/Geometry/VertexData.h"
#include "Entity/Scene/SceneManager.h"
#include "Render/HardwareBufferManager.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzSeeds.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/Dm2File.h"
#include "modelgen/LevelMeshFile.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"

namespace {

enum Mode : std::uint8_t { kDm3, kDm2, kLevel, kSimpleLevel, kModeCount };
constexpr std::uint8_t kSixteenBitIndices = 0x40;
constexpr std::uint8_t kFixedFunction = 0x80;

void WriteSeeds(const std::filesystem::path& dir) {
    using namespace ZelModelGen;
    RecipeOptions small;
    small.wide = false;
    const GeometryDesc cubes = CubeGeometry(small);
    const auto dm3 = WriteGeometryFile(cubes).bytes;
    ZelFuzz::SaveSeed(dir, "cubes_dm3", ZelFuzz::WithSelector(kDm3, {dm3.begin(), dm3.end()}));
    ZelFuzz::SaveSeed(dir, "cubes_dm3_packed",
                      ZelFuzz::WithSelector(kDm3 | kFixedFunction | kSixteenBitIndices,
                                            {dm3.begin(), dm3.end()}));
    const auto dm2 = WriteDm2File(cubes).bytes;
    ZelFuzz::SaveSeed(dir, "cubes_dm2", ZelFuzz::WithSelector(kDm2, {dm2.begin(), dm2.end()}));

    LevelXmlDesc xml;
    xml.meshFile = "grid.mesh";
    xml.materialFile = "grid_mat.xml";
    const std::string description = WriteLevelXmlFile(xml).Text();
    const std::string grid = WriteLevelMeshFile(LevelGrid(RecipeOptions())).Text();
    ZelFuzz::SaveSeed(dir, "level", ZelFuzz::JoinParts(kLevel, description, grid));
    ZelFuzz::SaveSeed(dir, "level_packed",
                      ZelFuzz::JoinParts(kLevel | kFixedFunction, description, grid));
    ZelFuzz::SaveSeed(dir, "level_simple", ZelFuzz::JoinParts(kSimpleLevel, description, grid));
    xml.form = LevelXmlDesc::Form::Entity;
    ZelFuzz::SaveSeed(dir, "level_entity",
                      ZelFuzz::JoinParts(kLevel, WriteLevelXmlFile(xml).Text(), grid));
}

// Reads what the load left: every mesh's counts, vertex components and index buffer.
void Inspect(Zel::Geometry& geometry) {
    volatile std::uint64_t sum = geometry.GetSizeField();
    for (std::uint32_t i = 0; i < geometry.GetMeshCount(); ++i) {
        Zel::Mesh* mesh = geometry.GetMesh(i);
        if (!mesh)
            continue;
        sum = sum + mesh->GetFaceCount() + mesh->GetVertexCount();
        if (Zel::IndexData* indices = mesh->GetIndexData())
            sum = sum + (indices->GetBuffer() != nullptr);
    }
}

template <class Level>
void LoadLevel(const ZelFuzz::TwoParts& parts) {
    ZelFuzz::MountedFile description("lvl/level.xml", parts.first);
    ZelFuzz::MountedFile mesh("lvl/grid.mesh", parts.second);
    {
        Level level(nullptr, "lvl/level.xml", "Geometry", 0);
        level.Load("lvl/level.xml");
        Inspect(level);
        if constexpr (std::is_same_v<Level, Zel::StaticGeometry>) {
            for (std::uint32_t face : {0u, 1u, 7u, 0xFFFFFFFFu}) level.FindMeshOfTriangle(face);
            for (std::uint32_t i = 0; i < level.GetMeshCount(); ++i) {
                level.SetMeshDrawCount(i, 1);
                level.RebuildVisibleIndices(i);
            }
        }
    }
    ZelFuzz::QuietGlobals()->GetXMLManager()->RemoveAll();
}

void LoadModel(const char* name, const std::uint8_t* data, std::size_t size) {
    ZelFuzz::MountedFile file(name, data, size);
    Zel::Geometry geometry(nullptr, name, "Geometry", 0);
    geometry.Load(name);
    Inspect(geometry);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::QuietGlobals()->GetHardwareBufferManager()->SetRenderDevice(ZelFuzz::SoftwareDevice());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 0xFFFFFFFFu)
        return 0;
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    const std::uint8_t selector = data[0];
    ++data;
    --size;
    std::uint32_t& features = g->GetDeviceCaps()->featureFlags;
    const std::uint32_t savedFeatures = features;
    if (selector & kSixteenBitIndices)
        features &= ~std::uint32_t(Zel::DEVICE_INDEX_32);
    g->GetSceneManager()->SetDX7Mode((selector & kFixedFunction) != 0);
    switch ((selector & 0x3F) % kModeCount) {
        case kDm3:
            LoadModel("fuzz.dm3", data, size);
            break;
        case kDm2:
            LoadModel("fuzz.dm2", data, size);
            break;
        case kLevel:
            LoadLevel<Zel::StaticGeometry>(ZelFuzz::SplitInput(data, size));
            break;
        default:
            LoadLevel<Zel::SimpStaticGeometry>(ZelFuzz::SplitInput(data, size));
            break;
    }
    features = savedFeatures;
    g->GetSceneManager()->SetDX7Mode(false);
    return 0;
}
