#include "demo/DemoDataTree.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "fixtures/ConfigFixtures.h"
#include "fixtures/HwCapFixtures.h"
#include "fixtures/EffectFixtures.h"
#include "fixtures/ImageFixtures.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "modelgen/ActorRecipe.h"
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

// A square image of rings round its middle: rings of colour a and b alternating every ringWidth
// pixels out to the edge, where the alpha falls to 0; outside the circle fully transparent.
RgbaImage RingImage(std::uint32_t size, const std::uint8_t a[4], const std::uint8_t b[4],
                    float ringWidth) {
    RgbaImage image;
    image.width = image.height = size;
    image.rgba.resize(std::size_t(size) * size * 4);
    const float half = float(size) * 0.5f;
    for (std::uint32_t y = 0; y < size; ++y)
        for (std::uint32_t x = 0; x < size; ++x) {
            const float dx = float(x) + 0.5f - half, dy = float(y) + 0.5f - half;
            const float r = std::sqrt(dx * dx + dy * dy) / half;
            const std::uint8_t* c = (int(r * half / ringWidth) % 2) ? b : a;
            std::uint8_t* p = image.rgba.data() + (std::size_t(y) * size + x) * 4;
            std::copy(c, c + 3, p);
            const float fade = std::clamp((1.0f - r) * 4.0f, 0.0f, 1.0f);
            p[3] = static_cast<std::uint8_t>(std::lround(float(c[3]) * fade));
        }
    return image;
}

// A square image of two colours in 8-pixel checks (RGBA each).
RgbaImage CheckerImage(std::uint32_t size, const std::uint8_t a[4], const std::uint8_t b[4]) {
    RgbaImage image;
    image.width = image.height = size;
    image.rgba.resize(std::size_t(size) * size * 4);
    for (std::uint32_t y = 0; y < size; ++y)
        for (std::uint32_t x = 0; x < size; ++x) {
            const std::uint8_t* c = ((x / 8 + y / 8) % 2) ? b : a;
            std::copy(c, c + 4, image.rgba.begin() + (std::size_t(y) * size + x) * 4);
        }
    return image;
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
        TextureEntry{"../resources/textures/checker.png", "Diffuse", "Wrap", "Bilinear", {}, {}}};
    // Opaque, but with the over-blend's factors named: the library fogs only a pass whose
    // factors are those.
    texturedPass.renderState = {XmlElementSpec{
        "Blend", {{"Use", "0"}, {"Src", "SrcAlpha"}, {"Dst", "InvSrcAlpha"}}, {}}};
    textured.passes = {texturedPass};

    LibMaterial blended;
    blended.name = names.blendedMaterial;
    // The blend takes its alpha from the texture: a half-transparent pale blue glass.
    MaterialPass blendedPass = BasePass();
    blendedPass.hasTextures = true;
    blendedPass.textures = {
        TextureEntry{"../resources/textures/glass.png", "Diffuse", "Wrap", "Bilinear", {}, {}}};
    blendedPass.renderState = {
        XmlElementSpec{"Blend", {{"Use", "1"}, {"Src", "SrcAlpha"}, {"Dst", "InvSrcAlpha"}}, {}},
        XmlElementSpec{"Depth", {{"Use", "1"}, {"Write", "0"}}, {}}};
    blended.passes = {blendedPass};
    // The textured material with an animated stage: the checks turn round the middle of each face
    // at four radians a second of scene time, so that even the short run's few frames see them
    // turn (mode 2 turns, wave kind 0 is a ramp: frequency 1, amplitude 4, phase and base 0,
    // about u = 0.5; v's centre stays at its 0.5).
    LibMaterial turning = textured;
    turning.name = names.turningMaterial;
    turning.passes[0].textures[0].tcMods = {LegacyTcMod{"2 0 1 4 0 0 0.5", {}}};
    // No effect files: an empty effect path makes each material's program from its passes.
    for (LibMaterial* material : {&textured, &blended, &turning}) material->effectPath = "";
    return {textured, blended, turning};
}

// How an unlit material lays its texture over what lies behind.
enum class Blend { kNone, kOver, kAdd };

// A material of the legacy dialect without lighting, drawing its one texture as it is: it gives
// its own light, so no scene light darkens or adds to it. A blended one takes its alpha from the
// texture (an added one also tints by the vertex colours and only lightens what lies behind).
LegacyShader UnlitShader(const std::string& name, const std::string& texture, Blend blend) {
    LegacyShader shader;
    shader.name = name;
    shader.shaderType = "unlit";
    LegacyStage stage;
    stage.textures = {LegacyTexture{texture, {}, {}}};
    LegacyPass pass;
    pass.attributes = {{"USE_TEXCOORD", "yes"}};
    if (blend == Blend::kOver)
        pass.attributes.emplace_back("BLEND", BlendLine(1, "SrcAlpha", "InvSrcAlpha"));
    if (blend == Blend::kAdd) {
        pass.attributes.emplace_back("USE_COLOR", "yes");
        pass.attributes.emplace_back("BLEND", BlendLine(1, "SrcAlpha", "One"));
    }
    pass.stages = {stage};
    shader.passes = {pass};
    return shader;
}

// The lit materials in the dialect whose render environment asks for the scene's lights (the
// cubes' casts shadows, the ground's receives them: its name holds "floor"), and the unlit ones
// in the same dialect: the sky (seen from inside, and this dialect culls no face unless asked;
// it casts nothing, so the ball round the scene leaves the shadow map to the cubes), the
// billboards' sun, the decal's target mark and the particles' spark.
LegacyLibrary LitLibrary(const DataTreeNames& names) {
    LegacyLibrary library;
    for (const auto& [name, env] : {std::pair{names.litMaterial, "light shadowmap"},
                                    std::pair{names.floorMaterial, "light"}}) {
        LegacyShader lit;
        lit.name = name;
        lit.renderEnv = env;
        lit.shaderType = "light";
        lit.passes = {LegacyPass{}};
        library.shaders.push_back(lit);
    }
    library.shaders.push_back(
        UnlitShader(names.skyMaterial, "../resources/textures/sky.png", Blend::kNone));
    library.shaders.push_back(
        UnlitShader(names.boardMaterial, "../resources/textures/sun.png", Blend::kOver));
    library.shaders.push_back(
        UnlitShader(names.decalMaterial, "../resources/textures/target.png", Blend::kOver));
    library.shaders.push_back(
        UnlitShader(names.particleMaterial, "../resources/textures/spark.png", Blend::kAdd));
    return library;
}

// The material libraries every model names, as the library opens them from the working
// directory.
const char* const kLibrariesFromWorkingDirectory[] = {"../data/Materials/demo.xml",
                                                      "../data/Materials/lit.xml"};

// One cube model of the material, centred at the origin (the host places it).
GeometryDesc CubeModel(const std::string& material, float halfSize) {
    GeometryDesc g;
    g.materialFiles.assign(std::begin(kLibrariesFromWorkingDirectory),
                           std::end(kLibrariesFromWorkingDirectory));
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

// The sky ball: a finely cut cube pushed out onto a sphere round the scene. Its texture runs from
// the zenith (top row) down to the horizon and below; across, it is laid on from the side, which
// leaves no seam where the texture would wrap.
GeometryDesc SkyBallModel(const std::string& material, float radius) {
    GeometryDesc g = CubeModel(material, 1.0f);
    MeshDesc& mesh = std::get<MeshDesc>(g.parts[0]);
    mesh = MakeCubeMesh(8, {0, 0, 0}, 1.0f, material);
    mesh.name = "Sky";
    mesh.uv0.clear();
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        Vec3& p = mesh.positions[i];
        const float length = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
        const Vec3 d{p.x / length, p.y / length, p.z / length};
        p = {d.x * radius, d.y * radius, d.z * radius};
        // Seen from inside, the light falls on the inner face.
        mesh.normals[i] = {-d.x, -d.y, -d.z};
        const float elevation = std::acos(std::clamp(d.y, -1.0f, 1.0f)) / 3.14159265f;
        mesh.uv0.push_back({0.5f + 0.5f * d.x, elevation});
    }
    return g;
}

// The recipes the tree holds, each under resources/<folder>/.
const std::pair<const char*, const char*> kRecipeFolders[] = {
    {"level", "level"}, {"skinned", "skinned"}, {"actor", "actor"}};

// The files of the actor recipe's action library: its list, the figures and their trees, and the
// actions.
bool IsActionLibraryFile(const std::string& name) {
    auto endsWith = [&](const std::string& tail) {
        return name.size() >= tail.size() &&
               name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
    };
    return name == "actions.xml" || endsWith(".fig") || endsWith(".fig.xml") || endsWith(".ac6");
}

// The level's two tile materials are this and a digit.
const char* const kLevelTileMaterial = "grid_floor";

}  // namespace

const DataTreeNames& DemoNames() {
    static const DataTreeNames names = [] {
        DataTreeNames n;
        n.models = {"models/textured_cube.dm3", "models/lit_cube.dm3", "models/glass_cube.dm3",
                    "models/ground.dm3"};
        n.sky = "models/sky.dm3";
        return n;
    }();
    return names;
}

std::string HostModelName(const std::string& model) {
    return "../resources/" + model;
}

fs::path WorkingDirectoryOf(const fs::path& root) {
    return root / "bin";
}

fs::path EngineDataDir() {
    return fs::path(ZEL_ENGINE_DATA_DIR);
}

bool CopyEngineData(const fs::path& root, std::string* error, bool bothSpellings) {
    for (const char* folder : {"data", "Data"}) {
        if (folder[0] == 'D' && !bothSpellings)
            break;
        std::error_code failure;
        fs::create_directories(root / folder, failure);
        fs::copy(EngineDataDir(), root / folder,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing, failure);
        if (failure) {
            if (error)
                *error = "cannot copy the engine data into " + (root / folder).string() + ": " +
                         failure.message();
            return false;
        }
    }
    return true;
}

bool LinkCapitalisedData(const fs::path& root, std::string* error) {
    const fs::path capital = root / "Data";
    std::error_code failure;
    // On a case-insensitive file system the two spellings already name one folder.
    if (fs::exists(fs::symlink_status(capital, failure)))
        return true;
    fs::create_directory_symlink("data", capital, failure);
    if (failure) {
        if (error)
            *error = "cannot link " + capital.string() + " to data: " + failure.message();
        return false;
    }
    return true;
}

bool WriteDataTree(const fs::path& root, std::string* error) {
    const DataTreeNames& names = DemoNames();
    const fs::path data = root / "data";
    const fs::path resources = root / "resources";
    if (!CopyEngineData(root, error) || !LinkCapitalisedData(root, error))
        return false;
    for (const auto& [name, text] : EffectIncludeFiles())
        if (!SaveText(data / "include" / name, text, error))
            return false;
    if (!SaveText(data / "Materials" / "demo.xml", WriteMaterialLibrary(DemoMaterials(names)),
                  error) ||
        !SaveText(data / "Materials" / "lit.xml", WriteLegacyLibrary(LitLibrary(names)), error))
        return false;

    const std::uint8_t orange[4] = {240, 140, 40, 255}, cream[4] = {250, 240, 220, 255};
    const std::uint8_t paleBlue[4] = {150, 200, 255, 128}, lighter[4] = {200, 230, 255, 128};
    const Bytes checker = WritePng(PngFromRgba(CheckerImage(64, orange, cream), true));
    const Bytes glass = WritePng(PngFromRgba(CheckerImage(64, paleBlue, lighter), true));
    const Bytes skyImage = WritePng(PngFromRgba(MakeSkyImage(128, 64), false));
    const std::uint8_t stone[4] = {150, 145, 135, 255}, darkStone[4] = {110, 105, 100, 255};
    const Bytes wall = WritePng(PngFromRgba(CheckerImage(64, stone, darkStone), false));
    const std::uint8_t sunCore[4] = {255, 230, 120, 255}, sunRing[4] = {255, 160, 60, 200};
    const Bytes sun = WritePng(PngFromRgba(RingImage(64, sunCore, sunRing, 6.0f), true));
    const std::uint8_t red[4] = {220, 40, 40, 230}, white[4] = {245, 245, 245, 200};
    const Bytes target = WritePng(PngFromRgba(RingImage(64, red, white, 5.0f), true));
    // A soft white dot: one ring colour, its alpha falling off towards the edge.
    const std::uint8_t spark[4] = {255, 255, 255, 255};
    const Bytes sparkImage = WritePng(PngFromRgba(RingImage(32, spark, spark, 4.0f), true));
    const std::uint8_t sand[4] = {210, 190, 150, 255}, slate[4] = {90, 110, 120, 255};
    const Bytes floor = WritePng(PngFromRgba(CheckerImage(64, sand, slate), false));
    if (!Save(resources / "textures" / "checker.png", checker.data(), checker.size(), error) ||
        !Save(resources / "textures" / "glass.png", glass.data(), glass.size(), error) ||
        !Save(resources / "textures" / "sky.png", skyImage.data(), skyImage.size(), error) ||
        !Save(resources / "textures" / "wall.png", wall.data(), wall.size(), error) ||
        !Save(resources / "textures" / "floor.png", floor.data(), floor.size(), error) ||
        !Save(resources / "textures" / "sun.png", sun.data(), sun.size(), error) ||
        !Save(resources / "textures" / "target.png", target.data(), target.size(), error) ||
        !Save(resources / "textures" / "spark.png", sparkImage.data(), sparkImage.size(), error))
        return false;

    const GeometryDesc models[] = {
        CubeModel(names.texturedMaterial, 1.0f), CubeModel(names.litMaterial, 1.0f),
        CubeModel(names.blendedMaterial, 0.75f), GroundModel(names.floorMaterial)};
    for (std::size_t i = 0; i < names.models.size(); ++i) {
        const WrittenFile file = WriteGeometryFile(models[i]);
        if (!Save(resources / names.models[i], file.bytes.data(), file.bytes.size(), error))
            return false;
    }
    // The sky: a ball round the whole scene, inside the camera's far plane.
    const WrittenFile sky = WriteGeometryFile(SkyBallModel(names.skyMaterial, 60.0f));
    if (!Save(resources / names.sky, sky.bytes.data(), sky.bytes.size(), error))
        return false;

    // The level, the skinned model and the actors, each in a folder of its own as the recipes
    // write them.
    const fs::path bin = WorkingDirectoryOf(root);
    for (const auto& [recipe, folder] : kRecipeFolders) {
        RecipeOptions options;
        options.tiles = 4;
        // The actors stand as figures in clothes, part 5 with a skirt beside it.
        if (std::string(recipe) == "actor")
            options.actorLook = ActorLook::Figure;
        if (std::string(recipe) == "level") {
            // The level: a floor of 8 x 8 tiles of 3 m round the scene, just above the ground
            // slab, walled in, with a wall across its far half; every wall is an occluder.
            options.tiles = 8;
            options.tileSize = 3.0f;
            options.levelOrigin = {-12.0f, 0.02f, -12.0f};
            options.levelWalls = true;
            options.wallHeight = 2.0f;
            // The tiles receive the shadows: a receiving material has "floor" in its name.
            options.levelTileMaterial = kLevelTileMaterial;
        }
        for (const RecipeFile& f : MakeRecipe(recipe, options)) {
            // The action library names its trees, figures and actions from the working
            // directory.
            const fs::path place = IsActionLibraryFile(f.name) ? bin : resources / folder;
            if (!Save(place / f.name, f.file.bytes.data(), f.file.bytes.size(), error))
                return false;
        }
    }
    // The level's two tile materials and its wall material, in the library its description
    // names: the textured material with a floor texture, the walls with a stone one.
    LibMaterial tile = DemoMaterials(names).front();
    std::vector<LibMaterial> tiles;
    const std::string tileName = kLevelTileMaterial;
    for (const std::string& name : {tileName + "0", tileName + "1", std::string("grid_wall")}) {
        tile.name = name;
        tiles.push_back(tile);
    }
    // The grid's tiles wind towards -y, and the walls are seen from both sides: the level's
    // materials cull no face. They keep the textured material's blend factors, so that the fog
    // fades the level with the distance as it does the cubes.
    for (LibMaterial& material : tiles)
        material.passes[0].renderState.push_back(
            XmlElementSpec{"Culling", {{"Face", "None"}}, {}});
    for (LibMaterial& material : tiles)
        material.passes[0].textures[0].path = "../resources/textures/floor.png";
    tiles.back().passes[0].textures[0].path = "../resources/textures/wall.png";
    if (!SaveText(resources / "level" / "grid_mat.xml", WriteMaterialLibrary(tiles), error))
        return false;
    // The template actors of snapshots in bare skin, where the library looks for them.
    RecipeOptions figure;
    figure.actorLook = ActorLook::Figure;
    for (const RecipeFile& f : ActorTemplateFiles(figure))
        if (!Save(resources / f.name, f.file.bytes.data(), f.file.bytes.size(), error))
            return false;

    const std::string hwcap = WriteHwCapList(
        {HwCapVendor{"Soft", {HwCapSeries{"Raster", {HwCapInfo{"Software", "", "1"}}}}}});
    // The host pumps the loading thread until its list is empty, without waiting between pumps.
    return SaveText(bin / "config" / "hwcap.xml", hwcap, error) &&
           SaveText(bin / "multithread.ini", WriteMultithreadIni(0, 0, 0), error) &&
           SaveText(bin / "EngineConfig.txt",
                    WriteCommandScript({"update scene on", "draw actor on", "draw shadow on"}),
                    error);
}

}  // namespace ZelDemo
