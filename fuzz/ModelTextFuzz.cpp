// libFuzzer target over the ASE text scene reader and the binary level mesh reader: every input
// goes through both (the scene read once in world space and once moved into object space, the
// level mesh with and without its occluders). The world-space scene is then built into a
// geometry as a ".dml" model would be, and every object on its own (its meshes, strip sets and
// animation track): without Globals no index buffer can be made, so a mesh build stops after
// its vertices and indices, which is why each object and strip set is also built separately.
//
//   ModelTextFuzz --write-seeds=DIR   writes the seed corpus (the ASE and level mesh files of the
//                                     model writer's recipes, with CR LF and LF line ends)
//   ModelTextFuzz [libFuzzer flags] CORPUS...
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/LevelMeshReader.h"
#include "Entity/Geometry/Mesh.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "fuzz/FuzzSeeds.h"
#include "modelgen/Recipes.h"

namespace {

void WriteSeeds(const std::filesystem::path& dir) {
    for (bool lf : {false, true}) {
        ZelModelGen::RecipeOptions options;
        options.wide = false;
        options.text.crlf = !lf;
        for (const std::string& recipe : ZelModelGen::RecipeNames()) {
            for (const ZelModelGen::RecipeFile& f : ZelModelGen::MakeRecipe(recipe, options)) {
                const std::string ext = std::filesystem::path(f.name).extension().string();
                if (ext == ".ase" || (ext == ".mesh" && !lf))
                    ZelFuzz::SaveSeed(dir, (lf ? "lf_" : "") + recipe + "_" + f.name, f.file.bytes);
            }
        }
    }
}

void ReadLevel(const std::uint8_t* data, std::size_t size, bool occluders) {
    Zel::IZelFileStream* stream = Zel::CreateMemoryFileStream("fuzz.mesh", std::uint32_t(size));
    if (!stream)
        return;
    if (size)
        std::memcpy(stream->GetData(), data, size);
    Zel::LevelMeshData level;
    Zel::ReadLevelMesh(*stream, level, occluders);
    stream->Release();
}

void BuildScene(Zel::AseScene& scene) {
    Zel::MeshSerializer serializer;
    Zel::Geometry whole(nullptr, "fuzz.dml", "Geometry", 0);
    serializer.BuildGeometryFromAseScene(whole, scene, "fuzz.ase");
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const Zel::AseObject& object = *scene.objects[i];
        const auto index = static_cast<std::uint32_t>(i);
        for (bool toLocal : {false, true}) {
            Zel::Geometry one(nullptr, "fuzz.dml", "Geometry", 0);
            serializer.BuildMeshesFromAseObject(object, scene.materials, one, toLocal, nullptr,
                                                index);
            if (!object.strips)
                continue;
            for (const auto& set : object.strips->sets) {
                Zel::Mesh mesh(nullptr, true, true);
                serializer.BuildStripSetMesh(mesh, *set, 0, object, toLocal);
            }
        }
        Zel::AnimationTrack track(nullptr, "fuzz.ase.animation", "Animation", 0);
        serializer.BuildTrackFromAseObject(track, object, true);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool world : {true, false}) {
        std::unique_ptr<Zel::AseScene> scene = Zel::ParseAseScene(text, 1.5f, world, "fuzz.ase");
        for (const auto& object : scene->objects)
            if (object->name)
                Zel::FindAseObject(*scene, *object->name);
        for (const auto& material : scene->materials) Zel::FindSubMaterial(material.get(), 1);
        if (world)
            BuildScene(*scene);
        Zel::FreeAseScene(std::move(scene));
    }
    ReadLevel(data, size, true);
    ReadLevel(data, size, false);
    return 0;
}
