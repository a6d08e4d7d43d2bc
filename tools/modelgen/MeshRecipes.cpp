// The static-model recipes: cubes, the strip ribbon and the level grid.
#include "modelgen/AseFile.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/ModelMath.h"
#include "modelgen/Recipes.h"

#include <cmath>

namespace ZelModelGen {

namespace {

struct Side {
    Vec3 normal, u, v;  // u x v = normal, so the triangles wind the same way on every side
};

const Side kSides[6] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
};

const Vec4 kSideColours[6] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1},
                              {1, 1, 0, 1}, {1, 0, 1, 1}, {0, 1, 1, 1}};

Vec3 Along(Vec3 base, Vec3 dir, float t) {
    return {base.x + dir.x * t, base.y + dir.y * t, base.z + dir.z * t};
}

void Quad(std::vector<std::uint32_t>& out, std::uint32_t v00, std::uint32_t v10, std::uint32_t v01,
          std::uint32_t v11) {
    out.insert(out.end(), {v00, v10, v11, v00, v11, v01});
}

}  // namespace

MeshDesc MakeCubeMesh(std::uint32_t s, Vec3 centre, float half, const std::string& material) {
    if (s == 0)
        s = 1;
    MeshDesc mesh;
    mesh.material = material;
    std::vector<std::uint32_t> coarse;
    for (int k = 0; k < 6; ++k) {
        const Side& side = kSides[k];
        std::uint32_t base = mesh.VertexCount();
        for (std::uint32_t b = 0; b <= s; ++b)
            for (std::uint32_t a = 0; a <= s; ++a) {
                float fa = float(a) / float(s), fb = float(b) / float(s);
                Vec3 p = Along(centre, side.normal, half);
                p = Along(p, side.u, half * (2 * fa - 1));
                p = Along(p, side.v, half * (2 * fb - 1));
                mesh.positions.push_back(p);
                mesh.normals.push_back(side.normal);
                mesh.uv0.push_back({fa, fb});
                mesh.colours.push_back(kSideColours[k]);
            }
        for (std::uint32_t b = 0; b < s; ++b)
            for (std::uint32_t a = 0; a < s; ++a) {
                std::uint32_t v00 = base + b * (s + 1) + a;
                Quad(mesh.indices, v00, v00 + 1, v00 + s + 1, v00 + s + 2);
            }
        Quad(coarse, base, base + s, base + s * (s + 1), base + s * (s + 1) + s);
    }
    std::uint32_t count = Count32(mesh.indices.size());
    mesh.groups.push_back(TriangleListGroup(0, count));
    mesh.groups.push_back(TriangleListGroup(0, count / 6 * 3));
    mesh.lodIndices = coarse;
    mesh.lodGroups.push_back(TriangleListGroup(count, Count32(coarse.size())));
    return mesh;
}

std::uint32_t WideCubeSubdivisions() {
    std::uint32_t s = 1;
    while (6ull * (s + 1) * (s + 1) <= 65536) ++s;
    return s;
}

GeometryDesc CubeGeometry(const RecipeOptions& options) {
    GeometryDesc g;
    g.resourceWord = 7;
    g.headerWords = {1, 2, 3, 4, 5, 0, 0, 0, 0, 0};
    g.matrices.push_back(TranslationMatrix({0, 1, 0}));
    g.materialFiles.push_back("cube_mat.xml");
    std::uint32_t n = options.meshCount == 0 ? 1 : options.meshCount;
    for (std::uint32_t i = 0; i < n; ++i) {
        bool wide = options.wide && i + 1 == n;
        std::uint32_t s =
            wide ? std::max(options.subdivisions, WideCubeSubdivisions()) : options.subdivisions;
        Vec3 centre{3.0f * float(i), 0, 0};
        MeshDesc mesh = MakeCubeMesh(s, centre, 1, "cube_mat" + std::to_string(i));
        mesh.name = "Cube" + std::to_string(i);
        mesh.groupWord = i;
        g.parts.push_back(mesh);
        g.extraWords.push_back(i);
        g.scales.push_back({1, 1, 1});
        g.translations.push_back(centre);
        g.rotations.push_back({0, 0, 0, 1});
    }
    return g;
}

AseSceneDesc CubeAseScene(const GeometryDesc& cube) {
    AseSceneDesc scene;
    scene.scene = AseSceneInfo{"cube.max", 0, 100, 30, 160};
    for (std::size_t i = 0; i < cube.parts.size(); ++i) {
        const MeshDesc& mesh = MainMeshOf(cube.parts[i]);
        if (mesh.VertexCount() > 65536)
            continue;
        AseMaterialDesc material;
        material.name = mesh.material;
        AseMapDesc map;
        map.bitmap = "cube" + std::to_string(i) + ".dds";
        material.maps.push_back(map);
        AseObjectDesc object;
        object.name = mesh.name;
        object.node.translation = i < cube.translations.size() ? cube.translations[i] : Vec3{};
        object.mesh = AseMeshFromMesh(mesh, 0);
        object.materialRef = static_cast<int>(scene.materials.size());
        scene.materials.push_back(material);
        scene.objects.push_back(object);
    }
    return scene;
}

MeshDesc MakeStripMesh() {
    MeshDesc mesh;
    mesh.material = "ribbon_mat";
    for (std::uint32_t i = 0; i < 6; ++i) {
        float x = float(i / 2), y = float(i % 2);
        mesh.positions.push_back({x, y, 0});
        mesh.normals.push_back({0, 0, 1});
        mesh.uv0.push_back({x / 2, y});
        mesh.colours.push_back({1, 1, 1, 1});
    }
    mesh.indices = {0, 1, 2, 3, 4, 5};
    mesh.faceCount = 4;  // a strip of six indices draws four triangles
    LodGroup full;
    full.entries.push_back({4, 6, 6, 0, 0});
    full.primitiveCount = 4;
    LodGroup half;
    half.entries.push_back({4, 4, 4, 0, 0});
    half.primitiveCount = 2;
    mesh.groups = {full, half};
    return mesh;
}

AseSceneDesc StripAseScene(const MeshDesc& ribbon) {
    AseSceneDesc scene;
    scene.scene = AseSceneInfo{"strip.max", 0, 100, 30, 160};
    AseMaterialDesc material;
    material.name = "ribbon";
    material.className = "Multi/Sub-Object";
    AseMaterialDesc sub0, sub1;
    sub0.name = "ribbon_mat";
    sub1.name = "ribbon_lod_mat";
    material.subMaterials = {sub0, sub1};
    scene.materials.push_back(material);

    // Set 0: the ribbon's strip plus a strip whose first triangle is degenerate, and one
    // LEVELOFDETAIL level. Set 1: a main strip and one SUBMAT_STRIPS_LOD list.
    AseStripSetDesc set0 = AseStripSetFromMesh(ribbon, 0);
    set0.strips.push_back({1, {0, 0, 1, 2}});
    AseLodDesc lod;
    lod.depth = 0.5f;
    lod.faceCount = 3;
    lod.strip = {0, 1, 2, 3};
    lod.triangles = {0, 1, 2};
    set0.lods.push_back(lod);
    AseStripSetDesc set1 = AseStripSetFromMesh(ribbon, 1);
    set1.strips = {{1, {0, 1, 2, 3}}};
    set1.stripLods = {{{1, {0, 1, 2}}}};

    AseObjectDesc object;
    object.name = "Ribbon01";
    object.strips = AseStripsDesc{};
    object.strips->sets = {set0, set1};
    object.materialRef = 0;
    scene.objects.push_back(object);
    return scene;
}

namespace {

// A vertical wall from a to b (on the ground) of the given height, seen from both sides: the
// level draws it whichever way the camera faces it. Its occluder is the same quad.
MeshDesc LevelWall(Vec3 a, Vec3 b, float height, float tileSize, OccluderDesc& occluder) {
    MeshDesc wall;
    wall.material = "grid_wall";
    const Vec3 up{0, height, 0};
    const Vec3 corners[4] = {a, b, Plus(a, up), Plus(b, up)};
    const float dx = b.x - a.x, dz = b.z - a.z;
    const float length = std::sqrt(dx * dx + dz * dz);
    const Vec3 normal{-dz / length, 0, dx / length};
    const float uRepeat = length / tileSize, vRepeat = height / tileSize;
    for (int side = 0; side < 2; ++side) {
        const float sign = side == 0 ? 1.0f : -1.0f;
        const std::uint32_t base = wall.VertexCount();
        for (int k = 0; k < 4; ++k) {
            wall.positions.push_back(corners[k]);
            wall.normals.push_back({normal.x * sign, 0, normal.z * sign});
            wall.uv0.push_back({float(k % 2) * uRepeat, float(1 - k / 2) * vRepeat});
            wall.uv1.push_back({float(k % 2), float(k / 2)});
            wall.colours.push_back({1, 1, 1, 1});
        }
        if (side == 0)
            Quad(wall.indices, base, base + 1, base + 2, base + 3);
        else
            Quad(wall.indices, base + 1, base, base + 3, base + 2);
        wall.faceVectors.push_back({normal.x * sign, 0, normal.z * sign});
        wall.faceVectors.push_back({normal.x * sign, 0, normal.z * sign});
    }
    // Going round the quad the corners come c0, c2, c3, c1.
    occluder.corners[0] = corners[0];
    occluder.corners[1] = corners[1];
    occluder.corners[2] = corners[2];
    occluder.corners[3] = corners[3];
    occluder.p = {(a.x + b.x) * 0.5f, height * 0.5f + a.y, (a.z + b.z) * 0.5f};
    occluder.q = normal;
    return wall;
}

}  // namespace

LevelMeshDesc LevelGrid(const RecipeOptions& options) {
    LevelMeshDesc level;
    level.fileName = "grid.mesh";
    level.sceneName = "grid";
    level.skipBlocks = 1;
    std::uint32_t tiles = options.tiles == 0 ? 1 : options.tiles;
    // Each tile is one mesh of cells x cells squares.
    const std::uint32_t cells = options.subdivisions == 0 ? 1 : options.subdivisions;
    const float step = 1.0f / float(cells);
    for (std::uint32_t ty = 0; ty < tiles; ++ty)
        for (std::uint32_t tx = 0; tx < tiles; ++tx) {
            MeshDesc tile;
            tile.material = options.levelTileMaterial + std::to_string((tx + ty) % 2);
            for (std::uint32_t j = 0; j <= cells; ++j)
                for (std::uint32_t i = 0; i <= cells; ++i) {
                    const float u = float(i) * step, w = float(j) * step;
                    tile.positions.push_back(Plus(options.levelOrigin,
                                                  {(float(tx) + u) * options.tileSize, 0,
                                                   (float(ty) + w) * options.tileSize}));
                    tile.normals.push_back({0, 1, 0});
                    tile.uv0.push_back({u, 0.75f - 0.5f * w});
                    tile.uv1.push_back({u * 0.5f, w * 0.5f});
                    tile.colours.push_back({i == 0 && j == 0 ? 1.0f : 0.0f,
                                            i == cells && j == 0 ? 1.0f : 0.0f,
                                            i == 0 && j == cells ? 1.0f : 0.0f, 1});
                }
            for (std::uint32_t j = 0; j < cells; ++j)
                for (std::uint32_t i = 0; i < cells; ++i) {
                    const std::uint32_t v00 = j * (cells + 1) + i;
                    Quad(tile.indices, v00, v00 + 1, v00 + cells + 1, v00 + cells + 2);
                    tile.faceVectors.push_back({0, 1, 0});
                    tile.faceVectors.push_back({0, 1, 0});
                }
            level.meshes.push_back(tile);
        }
    float edge = float(tiles);
    level.points = {{0, 0, 0}, {edge, 0, 0}, {0, 0, edge}, {edge, 0, edge}};
    level.indexWords = {0, 1, 2};
    if (!options.levelWalls) {
        // One quad whose winding the reader turns round, and one it keeps.
        level.occluders.push_back(
            {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, 0}, {1, 1, 0}});
        level.occluders.push_back(
            {{{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}}, {0, 0, 1}, {1, 1, 1}});
        return level;
    }
    const float side = edge * options.tileSize;
    const Vec3 o = options.levelOrigin;
    const Vec3 round[4] = {o, Plus(o, {side, 0, 0}), Plus(o, {side, 0, side}),
                           Plus(o, {0, 0, side})};
    // The four walls round the level, then a shorter one across its far half.
    std::vector<std::pair<Vec3, Vec3>> walls;
    for (int k = 0; k < 4; ++k) walls.emplace_back(round[k], round[(k + 1) % 4]);
    walls.emplace_back(Plus(o, {side * 0.3f, 0, side * 0.2f}), Plus(o, {side * 0.55f, 0, side * 0.2f}));
    for (const auto& [a, b] : walls) {
        OccluderDesc occluder;
        level.meshes.push_back(LevelWall(a, b, options.wallHeight, options.tileSize, occluder));
        level.occluders.push_back(occluder);
    }
    return level;
}

}  // namespace ZelModelGen
