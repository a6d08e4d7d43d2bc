#include "demo/DemoDataTree.h"

#include <fstream>

#include "fixtures/ConfigFixtures.h"
#include "fixtures/EffectFixtures.h"
#include "fixtures/ImageFixtures.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/Recipes.h"

namespace ZelDemo {
namespace fs = std::filesystem;
using namespace ZelFixtures;
using namespace ZelModelGen;

namespace {

bool Save(const fs::path& path, const void* bytes, std::size_t size, std::string* error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (out)
        return true;
    if (error)
        *error = "cannot write " + path.string();
    return false;
}

bool SaveText(const fs::path& path, const std::string& text, std::string* error) {
    return Save(path, text.data(), text.size(), error);
}

MaterialPass BasePass() {
    MaterialPass pass;
    pass.colours = {{"Ambient", "0.3 0.3 0.3"}, {"Diffuse", "1 1 1"}, {"Specular", "0 0 0"}};
    return pass;
}

std::vector<LibMaterial> DemoMaterials(const DataTreeNames& names) {
    LibMaterial textured;
    textured.name = names.texturedMaterial;
    MaterialPass texturedPass = BasePass();
    texturedPass.hasTextures = true;
    texturedPass.textures = {
        TextureEntry{"textures/checker.png", "Diffuse", "Wrap", "Bilinear", {}, {}}};
    textured.passes = {texturedPass};

    LibMaterial lit;
    lit.name = names.litMaterial;
    MaterialPass litPass = BasePass();
    litPass.hasLighting = true;
    litPass.lighting = "1";
    litPass.layout = "POSITION NORMAL TEXCOORD0";
    lit.passes = {litPass};

    LibMaterial blended;
    blended.name = names.blendedMaterial;
    MaterialPass blendedPass = BasePass();
    blendedPass.colours.push_back({"Alpha", "0.5"});
    blendedPass.renderState = {
        XmlElementSpec{"Blend", {{"Use", "1"}, {"Src", "SrcAlpha"}, {"Dst", "InvSrcAlpha"}}, {}},
        XmlElementSpec{"Depth", {{"Use", "1"}, {"Write", "0"}}, {}}};
    blended.passes = {blendedPass};
    return {textured, lit, blended};
}

// One cube model of the material, centred at the origin (the host places it).
GeometryDesc CubeModel(const std::string& material, float halfSize) {
    GeometryDesc g;
    MeshDesc mesh = MakeCubeMesh(2, {0, 0, 0}, halfSize, material);
    mesh.name = "Cube";
    g.parts.push_back(mesh);
    g.extraWords.push_back(0);
    g.scales.push_back({1, 1, 1});
    g.translations.push_back({0, 0, 0});
    g.rotations.push_back({0, 0, 0, 1});
    return g;
}

// The ground: a wide slab whose top face lies at y = 0.
GeometryDesc GroundModel(const std::string& material) {
    GeometryDesc g = CubeModel(material, 1.0f);
    MeshDesc& mesh = std::get<MeshDesc>(g.parts[0]);
    mesh.name = "Ground";
    for (Vec3& p : mesh.positions) {
        p.x *= 20.0f;
        p.z *= 20.0f;
        p.y = p.y * 0.25f - 0.25f;
    }
    return g;
}

}  // namespace

const DataTreeNames& DemoNames() {
    static const DataTreeNames names = [] {
        DataTreeNames n;
        n.models = {"models/textured_cube.dm3", "models/lit_cube.dm3", "models/glass_cube.dm3",
                    "models/ground.dm3"};
        return n;
    }();
    return names;
}

fs::path WorkingDirectoryOf(const fs::path& root) {
    return root / "bin";
}

bool WriteDataTree(const fs::path& root, std::string* error) {
    const DataTreeNames& names = DemoNames();
    const fs::path data = root / "data";
    const fs::path resources = root / "resources";
    for (const auto& [name, text] : EffectIncludeFiles())
        if (!SaveText(data / "include" / name, text, error))
            return false;
    if (!SaveText(data / "Materials" / "demo.xml", WriteMaterialLibrary(DemoMaterials(names)),
                  error))
        return false;

    const Bytes checker = WritePng(PngFromRgba(MakePatternImage(64, 64, 7), false));
    if (!Save(resources / "textures" / "checker.png", checker.data(), checker.size(), error))
        return false;

    const GeometryDesc models[] = {
        CubeModel(names.texturedMaterial, 1.0f), CubeModel(names.litMaterial, 1.0f),
        CubeModel(names.blendedMaterial, 1.25f), GroundModel(names.litMaterial)};
    for (std::size_t i = 0; i < names.models.size(); ++i) {
        const WrittenFile file = WriteGeometryFile(models[i]);
        if (!Save(resources / names.models[i], file.bytes.data(), file.bytes.size(), error))
            return false;
    }

    const fs::path bin = WorkingDirectoryOf(root);
    return SaveText(bin / "EngineConfig.txt",
                    WriteCommandScript({"update scene on", "draw actor on"}), error);
}

}  // namespace ZelDemo
