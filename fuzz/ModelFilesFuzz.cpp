// libFuzzer target over the chunk-stream readers of a mesh chunk (LOD strips, vertex buffer and
// pools, index buffer, with and without a LOD companion, and the mesh count checks) and over the
// text and XML model descriptions. The first input byte picks the reader:
//   0  a mesh chunk (tag 4 with its strips, vertex buffer and pools, index buffer)
//   1  the same with a LOD companion: bytes 1-4 give the main part's length, the rest is the
//      companion
//   2  ".dml" text    3  ".chr" text    4  an XML description (entity, skinned and level forms)
//   5  a geometry chunk's record, lists and, when it has no parts or tracks, its material files
//   6  a whole ".dm3" loaded into a Geometry (parts into meshes, material files)
//   7  a whole ".dm2" loaded into a Geometry
//   8  a whole ".ch3" loaded into a GeometrySkin (skin parts, skeleton, actions)
//   9  a plain ".at6" action file      10 a skin chunk      11 a skeleton chunk
//   12 an action chunk into an action resource              13 a bound chunk
//   14 an ASE scene as skeleton, then as action and skin meshes against that skeleton
//   15 a whole ".bp3" body part (skins, embedded body textures, selectors), its rules matched
//   16 a whole ".an3" morph geometry (morph meshes and their keys)
//   17 a whole binary cloth file (cloth mesh data, bounds, points)
//   18 an ASE scene built as cloth meshes (welding, weights, attachments, spheres)
// Modes 6, 7 and 8 serve the file from the virtual file system's memory kind. The quiet Globals
// have no render device, so no hardware index buffer can be made: a mesh with indices stops there
// (after its vertices were filled), a mesh without them loads whole. GeometryLoadFuzz loads the
// same files on a software device, where meshes with indices go on. The skeletons and actions a
// run makes are removed after it, so every input starts from empty managers.
//
//   ModelFilesFuzz --write-seeds=DIR   writes the seed corpus (made by the model fixture writer)
//   ModelFilesFuzz [libFuzzer flags] CORPUS...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Core/IZelFileStream.h"
#include "Core/StreamFactory.h"
#include "Core/TiXmlDocument.h"
#include "Core/ChunkStream.h"
#include "Core/Globals.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/ClothMeshData.h"
#include "Entity/Geometry/DeformedMesh.h"
#include "Entity/Geometry/Geometry.h"
#include "Entity/Geometry/GeometryBodyPart.h"
#include "Entity/Geometry/GeometryCloth.h"
#include "Entity/Geometry/GeometryDeformed.h"
#include "Entity/Image/Image.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/IOActionBin.h"
#include "Entity/Geometry/IOSkinBin.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/Skin.h"
#include "Math/BoundBase.h"
#include "Entity/Geometry/GeometryDescription.h"
#include "Entity/Geometry/IOGeometryBin.h"
#include "Entity/Geometry/IOMeshBin.h"
#include "Entity/Geometry/LodCompanion.h"
#include "Entity/Geometry/ModelDescriptionParser.h"
#include "Entity/Geometry/SkinDescription.h"
#include "Entity/Geometry/StaticGeometryDescription.h"
#include "Platform/Vfs/Vfs.h"
#include "fuzz/FuzzEngine.h"
#include "fuzz/FuzzSeeds.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/DescriptionFiles.h"
#include "modelgen/Dm2File.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"

namespace {

enum Mode : std::uint8_t {
    kMesh,
    kMeshWithCompanion,
    kDml,
    kChr,
    kXml,
    kGeometry,
    kGeometryFile,
    kDm2File,
    kSkinnedFile,
    kPlainAction,
    kSkinChunk,
    kSkeletonChunk,
    kActionChunk,
    kBoundChunk,
    kAseSkeleton,
    kBodyPartFile,
    kMorphFile,
    kClothFile,
    kClothAse,
    kModeCount
};

struct StreamRelease {
    void operator()(Zel::IZelStream* s) const { s->Release(); }
};
using StreamPtr = std::unique_ptr<Zel::IZelStream, StreamRelease>;

StreamPtr StreamOf(const char* name, const std::uint8_t* data, std::size_t size) {
    Zel::IZelFileStream* s = Zel::CreateMemoryFileStream(name, static_cast<std::uint32_t>(size));
    if (s && size)
        std::memcpy(s->GetData(), data, size);
    return StreamPtr(s);
}

std::uint32_t ElementSize(std::uint32_t type) {
    return ZelModelGen::ElementTypeSize(type);
}

void ReadMesh(Zel::IZelStream* stream) {
    Zel::MeshChunk mesh;
    const bool ok = Zel::IOMeshBin::ReadChunk(mesh, stream, &ElementSize);
    Zel::FinishChunkRead(stream, ok);
    // Every byte the readers handed out must be readable.
    volatile std::uint64_t sum = 0;
    for (const Zel::VertexPoolRecord& pool : mesh.pools)
        for (std::uint8_t b : pool.data) sum = sum + b;
    for (std::uint32_t index : mesh.indexBuffer.indices) sum = sum + index;
    for (const Zel::LodStripRecord& group : mesh.groups)
        for (const Zel::LodStripRecord::Entry& e : group.entries) sum = sum + e[4];
}

void ReadGeometry(Zel::IZelStream* stream) {
    Zel::GeometryChunkRecord geometry;
    bool ok = Zel::IOGeometryBin::ReadRecord(geometry, stream);
    std::vector<std::string> materials;
    if (ok && geometry.partCount == 0 && geometry.animationCount == 0)
        ok = Zel::IOGeometryBin::ReadMaterialFiles(geometry.materialFileCount, stream, "d",
                                                   materials);
    Zel::FinishChunkRead(stream, ok);
}

// Serves the bytes as `name` and loads a Geometry from it by the name's kind.
void LoadGeometryFile(const char* name, const std::uint8_t* data, std::size_t size) {
    VFS::MountMemoryFile(name, data, size);
    {
        Zel::Geometry geometry(nullptr, name, "Geometry", 0);
        geometry.Load(name);
        volatile std::uint64_t sum = geometry.GetSizeField();
        for (std::uint32_t i = 0; i < geometry.GetMeshCount(); ++i)
            sum = sum + (geometry.GetMesh(i) != nullptr);
    }
    VFS::UnmountMemoryFile(name);
}

// Forgets every skeleton and action resource a run made.
void ClearCharacterManagers() {
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    g->GetActionManager()->RemoveAll();
    g->GetSkeletonManager()->RemoveAll();
}

void LoadSkinnedFile(const std::uint8_t* data, std::size_t size) {
    {
        ZelFuzz::MountedFile file("fuzz.ch3", data, size);
        Zel::GeometrySkin geometry(nullptr, "fuzz.ch3", "Geometry", 0);
        geometry.Load("fuzz.ch3");
        volatile std::uint64_t sum = geometry.GetSizeField();
        for (std::uint32_t i = 0; i < geometry.GetMeshCount(); ++i)
            if (auto* skin = dynamic_cast<Zel::Skin*>(geometry.GetMesh(i)))
                sum = sum + skin->GetPaletteCount() + skin->GetBlendRecords().size();
        std::string name;
        for (std::uint32_t i = 0; geometry.GetAnimationName(i, name); ++i) sum = sum + name.size();
    }
    ClearCharacterManagers();
}

// The character files: each is served from memory and loaded into its geometry class; what the
// load leaves is walked so that every kept pointer and count is touched.
void LoadCharacterFile(Mode mode, const std::uint8_t* data, std::size_t size) {
    {
        volatile std::uint64_t sum = 0;
        if (mode == kBodyPartFile) {
            ZelFuzz::MountedFile file("fuzz.bp3", data, size);
            Zel::GeometryBodyPart part(nullptr, "fuzz.bp3", "Geometry", 0);
            part.Load("fuzz.bp3");
            std::vector<const Zel::Geometry*> worn(Zel::GeometryBodyPart::kSlotCount, &part);
            Zel::GeometrySkin* skin = nullptr;
            Zel::Image* image = nullptr;
            part.MatchPartRule(worn, skin, image);
            sum = sum + (skin ? skin->GetMeshCount() : 0) + (image ? image->GetSize() : 0);
            part.UnloadImages();
            for (const auto& [name, kept] : part.GetImages())
                sum = sum + (part.FindImage(name) != nullptr);
        } else if (mode == kMorphFile) {
            ZelFuzz::MountedFile file("fuzz.an3", data, size);
            Zel::GeometryDeformed morph(nullptr, "fuzz.an3", "Geometry", 0);
            morph.Load("fuzz.an3");
            for (std::uint32_t i = 0; i < morph.GetMorphTargetCount(); ++i)
                for (const auto& key : morph.GetMorphTarget(i)->GetKeys())
                    sum = sum + key->mesh->GetVertexCount();
        } else if (mode == kClothFile) {
            ZelFuzz::MountedFile file("fuzz_cloth.bp3", data, size);
            Zel::GeometryCloth cloth(nullptr, "fuzz_cloth.bp3", "Geometry", 0);
            cloth.Load("fuzz_cloth.bp3");
            for (std::uint32_t i = 0; i < cloth.GetMeshCount(); ++i)
                if (auto* piece = dynamic_cast<Zel::ClothMeshData*>(cloth.GetMesh(i)))
                    for (std::uint32_t v = 0; v < piece->GetRenderVertexCount(); ++v)
                        sum = sum + piece->GetPhysicsIndex(v) + piece->IsPinned(v);
        } else {
            ZelFuzz::MountedFile file("fuzz.ase", data, size);
            Zel::GeometryCloth cloth(nullptr, "fuzz.xml", "Geometry", 0);
            cloth.LoadClothMesh("fuzz.ase", 1.0f);
            sum = sum + cloth.GetAttachmentPoints().size() + cloth.GetBoneBounds().size();
        }
    }
    ClearCharacterManagers();
}

void ReadChunks(Mode mode, Zel::IZelStream* stream) {
    bool ok = false;
    switch (mode) {
        case kPlainAction: {
            Zel::ActionResource resource(nullptr, "fuzz.at6", "ActionResource", 0);
            ok = Zel::IOActionBin::ReadAt6(resource, stream, 0);
            break;
        }
        case kSkinChunk: {
            Zel::Skin skin(nullptr, "fuzz");
            ok = Zel::IOSkinBin::Read(skin, stream);
            break;
        }
        case kSkeletonChunk: {
            Zel::Skeleton skeleton(nullptr, "fuzz", "SkeletonResource", 0);
            ok = Zel::IOSkeletonBin::Read(skeleton, stream);
            skeleton.ReleaseBones();
            break;
        }
        case kActionChunk: {
            Zel::ActionResource resource(nullptr, "fuzz.ac3", "ActionResource", 0);
            std::string name, file;
            ok = Zel::IOActionBin::ReadActionResource(resource, name, file, stream);
            break;
        }
        default: {
            Zel::BoundBase* shape = nullptr;
            ok = Zel::IOBoundBin::Read(shape, stream);
            if (shape)
                shape->Recycle();
            break;
        }
    }
    Zel::FinishChunkRead(stream, ok);
}

// The scene as a skeleton; when it makes one, the same scene as an action and as skin meshes.
void BuildFromAse(const std::uint8_t* data, std::size_t size) {
    Zel::Globals* g = ZelFuzz::QuietGlobals();
    {
        ZelFuzz::MountedFile file("fuzz.ase", data, size);
        Zel::Skeleton* skeleton = g->GetSkeletonManager()->GetOrLoad("fuzz.ase");
        if (skeleton) {
            auto* resource =
                static_cast<Zel::ActionResource*>(g->GetActionManager()->Create("fuzz_walk.ase"));
            if (resource)
                g->GetMeshSerializer()->LoadActionFromAse(*resource, "fuzz.ase", "fuzz.ase");
            Zel::GeometrySkin geometry(nullptr, "fuzz.chr", "Geometry", 0);
            skeleton->AddRef();
            geometry.SetSkeleton(skeleton);
            g->GetMeshSerializer()->LoadSkinMeshesFromAse(geometry, "fuzz.ase");
            if (resource)
                g->GetMeshSerializer()->LoadSkinActionFromAse(*resource, geometry, "fuzz.ase");
            g->GetSkeletonManager()->ReleaseShared(skeleton);
        }
    }
    ClearCharacterManagers();
}

void ReadXml(std::string_view text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    Zel::TiXmlDocument document;
    document.Parse(buffer.data());
    Zel::GeometryDescription plain;
    Zel::ReadEntityDocument(document, "d", plain);
    Zel::SkinDescription skin;
    Zel::ReadSkinEntityDocument(document, "d", skin);
    Zel::StaticGeometryDescription level;
    Zel::ReadStaticDocument(document, "", level);
}

std::vector<std::uint8_t> WithMode(Mode mode, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> out{mode};
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

ZelModelGen::WrittenFile MeshChunkBytes(const ZelModelGen::MeshDesc& mesh) {
    const ZelModelGen::FaultPlan none;
    ZelModelGen::ChunkStreamWriter w(none);
    ZelModelGen::WriteMeshChunk(w, mesh, "mesh");
    return w.Finish();
}

void WriteSeeds(const std::filesystem::path& dir) {
    using namespace ZelModelGen;
    MeshDesc cube = MakeCubeMesh(1, Vec3{0, 0, 0}, 1.0f, "stone");
    cube.packedColours = true;
    const MeshDesc strip = MakeStripMesh();
    ZelFuzz::SaveSeed(dir, "mesh_cube", WithMode(kMesh, MeshChunkBytes(cube).bytes));
    ZelFuzz::SaveSeed(dir, "mesh_strip", WithMode(kMesh, MeshChunkBytes(strip).bytes));

    const std::vector<std::uint8_t> main = MeshChunkBytes(cube).bytes;
    const std::vector<std::uint8_t> lod = WriteLodCompanion({&cube}).bytes;
    std::vector<std::uint8_t> both{kMeshWithCompanion};
    const std::uint32_t length = static_cast<std::uint32_t>(main.size());
    for (int i = 0; i < 4; ++i) both.push_back(std::uint8_t(length >> (8 * i)));
    both.insert(both.end(), main.begin(), main.end());
    both.insert(both.end(), lod.begin(), lod.end());
    ZelFuzz::SaveSeed(dir, "mesh_companion", both);

    GeometryDesc lists;
    lists.extraWords = {1, 2};
    lists.scales = {Vec3{1, 2, 3}};
    lists.rotations = {Vec4{0, 0, 0, 1}};
    lists.materialFiles = {"a.xml", "../b.xml"};
    ZelFuzz::SaveSeed(dir, "geometry", WithMode(kGeometry, WriteGeometryFile(lists).bytes));
    // Whole models: two small cubes (a mesh without indices loads whole), and the ".dm2" form.
    RecipeOptions small;
    small.wide = false;
    GeometryDesc cubes = CubeGeometry(small);
    std::get<MeshDesc>(cubes.parts[1]).writeIndexBuffer = false;
    ZelFuzz::SaveSeed(dir, "model_dm3", WithMode(kGeometryFile, WriteGeometryFile(cubes).bytes));
    ZelFuzz::SaveSeed(dir, "model_dm2", WithMode(kDm2File, WriteDm2File(cubes).bytes));

    DmlDesc dml{"cube.ase", {"cube.xml", "../shared/lib.xml"}, {"a note"}, {"[SHADER] # off"}};
    ZelFuzz::SaveSeed(dir, "dml", WithMode(kDml, WriteDmlFile(dml).bytes));
    ChrDesc chr{"s.ase", "k.ase", {"m.mtl"}, {{"walk", "w.ase"}, {"run", "r.ase"}}, {"c"}, {}};
    ZelFuzz::SaveSeed(dir, "chr", WithMode(kChr, WriteChrFile(chr).bytes));
    EntityXmlDesc skin{"k.ase", "m.xml", "s.ase", true, {{"walk", "w.ase"}}};
    ZelFuzz::SaveSeed(dir, "xml_skin", WithMode(kXml, WriteEntityXmlFile(skin).bytes));
    LevelXmlDesc level{LevelXmlDesc::Form::Scene, "grid.mesh", "grid.xml"};
    ZelFuzz::SaveSeed(dir, "xml_level", WithMode(kXml, WriteLevelXmlFile(level).bytes));

    // The skinned recipe: its ".ch3", its plain action, its ASE scenes, and its chunks one by one.
    for (const RecipeFile& f : MakeRecipe("skinned")) {
        const std::string& n = f.name;
        const Mode mode = n.ends_with(".ch3")   ? kSkinnedFile
                          : n.ends_with(".at6") ? kPlainAction
                          : n.ends_with(".ase") ? kAseSkeleton
                                                : kChr;
        ZelFuzz::SaveSeed(dir, "skinned_" + n, WithMode(mode, f.file.bytes));
    }
    const SkinnedGeometryDesc model = SkinnedModel();
    const auto chunk = [&](const char* name, Mode mode, const auto& write) {
        const FaultPlan none;
        ChunkStreamWriter w(none);
        write(w);
        ZelFuzz::SaveSeed(dir, name, WithMode(mode, w.Finish().bytes));
    };
    chunk("skinned_skin", kSkinChunk, [&](ChunkStreamWriter& w) {
        WriteSkinChunk(w, std::get<SkinDesc>(model.geometry.parts[0]), "skin");
    });
    chunk("skinned_skeleton", kSkeletonChunk,
          [&](ChunkStreamWriter& w) { WriteSkeletonChunk(w, *model.skeleton, "skeleton"); });
    chunk("skinned_action", kActionChunk,
          [&](ChunkStreamWriter& w) { WriteActionChunk(w, model.actions[0], "action"); });
    // The character recipes: body part, morph model and cloth (binary file and ASE scene).
    for (const char* recipe : {"bodypart", "morph", "cloth"}) {
        for (const RecipeFile& f : MakeRecipe(recipe)) {
            const std::string& n = f.name;
            Mode mode = kModeCount;
            if (n.ends_with(".an3"))
                mode = kMorphFile;
            else if (n.ends_with(".ase"))
                mode = kClothAse;
            else if (n == "skirt.bp3")
                mode = kClothFile;
            else if (n.ends_with(".bp3"))
                mode = kBodyPartFile;
            if (mode != kModeCount)
                ZelFuzz::SaveSeed(dir, std::string(recipe) + "_" + n, WithMode(mode, f.file.bytes));
        }
    }
    for (std::uint32_t kind : {0u, 1u}) {
        BoundDesc bound;
        bound.kind = kind;
        bound.radius = 0.5f;
        bound.height = 1.0f;
        bound.name = "shape";
        chunk(kind ? "bound_capsule" : "bound_sphere", kBoundChunk,
              [&](ChunkStreamWriter& w) { WriteBoundChunk(w, bound, "bound"); });
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ZelFuzz::WriteSeedsWhenAsked(argc, argv, &WriteSeeds);
    ZelFuzz::QuietGlobals();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 0xFFFFFFFFu)
        return 0;
    const std::uint8_t mode = data[0] % kModeCount;
    ++data;
    --size;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    switch (mode) {
        case kMesh: {
            StreamPtr stream = StreamOf("fuzz.bp3", data, size);
            ReadMesh(stream.get());
            break;
        }
        case kMeshWithCompanion: {
            if (size < 4)
                return 0;
            std::uint32_t length;
            std::memcpy(&length, data, 4);
            const std::size_t mainSize = std::min<std::size_t>(length, size - 4);
            StreamPtr stream = StreamOf("fuzz.bp3", data + 4, mainSize);
            StreamPtr lod = StreamOf("fuzz_lod.lod", data + 4 + mainSize, size - 4 - mainSize);
            Zel::LodCompanion companion("fuzz_lod.lod", lod.get());
            ReadMesh(stream.get());
            break;
        }
        case kGeometry: {
            StreamPtr stream = StreamOf("fuzz.dm3", data, size);
            ReadGeometry(stream.get());
            break;
        }
        case kGeometryFile:
            LoadGeometryFile("fuzz.dm3", data, size);
            break;
        case kDm2File:
            LoadGeometryFile("fuzz.dm2", data, size);
            break;
        case kDml: {
            Zel::GeometryDescription d;
            Zel::ParseDmlText(text, "d", d);
            break;
        }
        case kChr: {
            Zel::SkinDescription d;
            Zel::ParseChrText(text, "d", d);
            break;
        }
        case kSkinnedFile:
            LoadSkinnedFile(data, size);
            break;
        case kPlainAction:
        case kSkinChunk:
        case kSkeletonChunk:
        case kActionChunk:
        case kBoundChunk: {
            StreamPtr stream = StreamOf("fuzz.ch3", data, size);
            ReadChunks(static_cast<Mode>(mode), stream.get());
            break;
        }
        case kAseSkeleton:
            BuildFromAse(data, size);
            break;
        case kBodyPartFile:
        case kMorphFile:
        case kClothFile:
        case kClothAse:
            LoadCharacterFile(static_cast<Mode>(mode), data, size);
            break;
        default:
            ReadXml(text);
            break;
    }
    return 0;
}
