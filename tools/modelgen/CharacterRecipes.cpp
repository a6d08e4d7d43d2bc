// The character recipes: a small skeleton, a skinned model with an action, a body part, a morph
// model and a cloth piece.
#include <algorithm>
#include <stdexcept>

#include "fixtures/ByteWriter.h"
#include "modelgen/AseFile.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/ModelMath.h"
#include "modelgen/Recipes.h"

namespace ZelModelGen {

namespace {

constexpr float kFramesPerSecond = 30;
constexpr int kTicksPerFrame = 160;
constexpr std::uint32_t kWalkFrames = 31;  // frames 0..30 of a one-second action

// Column-vector form (translation in column 3), as skeleton matrices are.
Matrix4 ColumnTranslation(Vec3 t) {
    return Transpose(TranslationMatrix(t));
}

struct BoneLayout {
    const char* name;
    std::int32_t parent;
    Vec3 world;  // bind position
};

const BoneLayout kBones[3] = {
    {"Bip01", -1, {0, 0, 1}},
    {"Bip01 Spine", 0, {0, 0, 1.5f}},
    {"Bip01 L Foot", 0, {0.2f, 0, 0.1f}},
};

Vec3 LocalOf(std::size_t b) {
    const BoneLayout& bone = kBones[b];
    return bone.parent < 0 ? bone.world : Minus(bone.world, kBones[bone.parent].world);
}

// The walk: each bone moves up by 0.1 x its index over the second and turns about z by 0, 0.5
// and 0 radians at 0, 0.5 and 1 second.
const float kTurnTimes[3] = {0, 0.5f, 1};
const float kTurnAngles[3] = {0, 0.5f, 0};

}  // namespace

MeshDesc MakeGridMesh(std::uint32_t n, float size, const std::string& material) {
    MeshDesc mesh;
    mesh.material = material;
    for (std::uint32_t y = 0; y <= n; ++y)
        for (std::uint32_t x = 0; x <= n; ++x) {
            float fx = float(x) / float(n), fy = float(y) / float(n);
            mesh.positions.push_back({fx * size, fy * size, 0});
            mesh.normals.push_back({0, 0, 1});
            mesh.uv0.push_back({fx, fy});
        }
    for (std::uint32_t y = 0; y < n; ++y)
        for (std::uint32_t x = 0; x < n; ++x) {
            std::uint32_t v00 = y * (n + 1) + x;
            mesh.indices.insert(mesh.indices.end(),
                                {v00, v00 + 1, v00 + n + 2, v00, v00 + n + 2, v00 + n + 1});
        }
    std::uint32_t count = Count32(mesh.indices.size());
    mesh.groups.push_back(TriangleListGroup(0, count));
    std::uint32_t last = n * (n + 1);
    mesh.lodIndices = {0, n, last + n, 0, last + n, last};
    mesh.lodGroups.push_back(TriangleListGroup(count, 6));
    return mesh;
}

namespace {

SkinDesc SkinOfModel() {
    SkinDesc skin;
    skin.mesh = MakeCubeMesh(1, {0, 0, 1.25f}, 0.25f, "skin_mat");
    for (Vec3 p : skin.mesh.positions) {
        BlendRecord b;
        if (p.z >= 1.25f) {
            b.count = 1;
            b.bones[0] = 1;
            b.weights[0] = 1;
        } else {
            b.count = 2;
            b.bones[0] = 0;
            b.bones[1] = 2;
            b.weights[0] = 0.5f;
            b.weights[1] = 0.5f;
        }
        skin.blend.push_back(b);
    }
    // The palette lists the bones as the records name them, all four slots of each record in
    // vertex order (unused slots name bone 0): the order a palette built from the records has.
    for (const BlendRecord& b : skin.blend)
        for (std::uint32_t bone : b.bones)
            if (std::find(skin.palette.begin(), skin.palette.end(), bone) == skin.palette.end())
                skin.palette.push_back(bone);
    return skin;
}

}  // namespace

SkeletonDesc SmallSkeleton() {
    SkeletonDesc s;
    s.rootBoneIndex = 0;
    s.leftFootId = 2;
    s.rightFootId = -1;
    for (std::size_t b = 0; b < 3; ++b) {
        BoneDesc bone;
        bone.id = static_cast<std::int32_t>(b);
        bone.parentId = kBones[b].parent;
        bone.name = kBones[b].name;
        bone.matrix2 = ColumnTranslation(kBones[b].world);
        bone.matrix1 = ColumnTranslation(Minus({0, 0, 0}, kBones[b].world));
        bone.matrix3 = ColumnTranslation(LocalOf(b));
        bone.vector1 = LocalOf(b);
        bone.vector2 = {0, 0, 0, 1};
        bone.vector3 = kBones[b].world;
        s.bones.push_back(bone);
    }
    return s;
}

ActionDesc WalkAction() {
    ActionDesc a;
    a.name = "walk";
    a.fileName = "skinned_walk.at6";
    a.length = 1;
    a.resourceWord = 11;
    for (std::uint32_t b = 0; b < 3; ++b) {
        a.boneIndices.push_back(b);
        AnimTrackDesc t;
        t.boneIndex = b;
        t.frameCount = kWalkFrames;
        t.value0 = 1 / kFramesPerSecond;  // the frame interval in seconds
        t.value1 = 1;                     // the track's length in seconds
        Vec3 local = LocalOf(b);
        t.keys.positions = {{local, 0}, {Plus(local, {0, 0, 0.1f * float(b)}), 1}};
        for (int k = 0; k < 3; ++k)
            t.keys.rotations.push_back(
                {QuaternionFromAxisAngle({0, 0, 1}, kTurnAngles[k]), kTurnTimes[k]});
        for (std::uint32_t f = 0; f < kWalkFrames; ++f) {
            float time = float(f) / kFramesPerSecond;
            t.keys.positionFrames.push_back(f + 1 < kWalkFrames ? 0 : 1);
            t.keys.rotationFrames.push_back(time < 0.5f ? 0 : (f + 1 < kWalkFrames ? 1 : 2));
        }
        a.tracks.push_back(t);
    }
    return a;
}

PlainActionDesc PlainActionOf(const ActionDesc& action) {
    PlainActionDesc plain;
    plain.length = action.length;
    plain.boneIndices = action.boneIndices;
    plain.tracks = action.tracks;
    return plain;
}

SkinnedGeometryDesc SkinnedModel() {
    SkinnedGeometryDesc model;
    model.resourceWord = 9;
    model.geometry.parts.push_back(SkinOfModel());
    model.geometry.materialFiles.push_back("skinned_mat.xml");
    model.skeleton = SmallSkeleton();
    model.actions.push_back(WalkAction());
    return model;
}

AseSceneDesc SkeletonAseScene(const SkeletonDesc& skeleton) {
    AseSceneDesc scene;
    scene.scene = AseSceneInfo{"skeleton.max", 0, 30, 30, kTicksPerFrame};
    for (const BoneDesc& bone : skeleton.bones) {
        AseObjectDesc o;
        o.helper = true;
        o.helperClass = "Dummy";
        o.name = bone.name;
        if (bone.parentId >= 0)
            for (const BoneDesc& parent : skeleton.bones)
                if (parent.id == bone.parentId) {
                    o.parent = parent.name;
                    break;
                }
        // Node matrices are in row-vector form: the bind matrix transposed.
        o.node.matrix = Transpose(bone.matrix2);
        o.node.translation = {bone.matrix2.At(0, 3), bone.matrix2.At(1, 3), bone.matrix2.At(2, 3)};
        scene.objects.push_back(o);
    }
    return scene;
}

AseSceneDesc SkinAseScene(const SkinnedGeometryDesc& model) {
    AseSceneDesc scene;
    scene.scene = AseSceneInfo{"skin.max", 0, 30, 30, kTicksPerFrame};
    for (std::size_t i = 0; i < model.geometry.parts.size(); ++i) {
        const auto* skin = std::get_if<SkinDesc>(&model.geometry.parts[i]);
        if (!skin)
            continue;
        AseMaterialDesc material;
        material.name = skin->mesh.material;
        scene.materials.push_back(material);
        AseStripSetDesc set = AseStripSetFromMesh(skin->mesh, 0);
        for (const BlendRecord& b : skin->blend) {
            std::vector<AseBoneWeight> weights;
            for (std::int32_t k = 0; k < b.count && k < 4; ++k) {
                std::string bone = "bone" + std::to_string(b.bones[k]);
                if (model.skeleton && b.bones[k] < model.skeleton->bones.size())
                    bone = model.skeleton->bones[b.bones[k]].name;
                weights.push_back({bone, b.weights[k]});
            }
            set.weights.push_back(weights);
        }
        AseObjectDesc o;
        o.name = "Skin" + std::to_string(i);
        o.strips = AseStripsDesc{};
        o.strips->sets.push_back(set);
        o.materialRef = static_cast<int>(scene.materials.size() - 1);
        scene.objects.push_back(o);
    }
    return scene;
}

AseSceneDesc ActionAseScene(const SkeletonDesc& skeleton, const ActionDesc& action) {
    AseSceneDesc scene = SkeletonAseScene(skeleton);
    scene.scene->fileName = action.name + ".max";
    scene.scene->lastFrame = static_cast<int>(action.length * kFramesPerSecond);
    const float ticksPerSecond = kFramesPerSecond * kTicksPerFrame;
    for (const AnimTrackDesc& track : action.tracks) {
        if (track.boneIndex >= scene.objects.size())
            continue;
        AseAnimationDesc anim;
        anim.positionController = AseController::Linear;
        anim.rotationController = AseController::Linear;
        for (const PositionKey& k : track.keys.positions)
            anim.positions.push_back({static_cast<int>(k.time * ticksPerSecond), k.value});
        // The rotations were made from turns about z; the ASE keys give those turns again.
        for (int k = 0; k < 3 && k < static_cast<int>(track.keys.rotations.size()); ++k)
            anim.rotations.push_back(
                {static_cast<int>(kTurnTimes[k] * ticksPerSecond), {0, 0, 1}, kTurnAngles[k]});
        scene.objects[track.boneIndex].animation = anim;
    }
    return scene;
}

BodyPartDesc BodyPartModel() {
    BodyPartDesc part;
    part.resourceWord = 5;
    part.setting1 = 3;
    part.setting2 = 0x123;
    part.setting3 = 5;
    BodyPartSkinDesc skin;
    skin.name = "body";
    skin.skin.geometry.parts.push_back(SkinOfModel());
    skin.skin.geometry.materialFiles.push_back("part_mat.xml");
    part.skins.push_back(skin);
    BodyTextureDesc texture;
    texture.name = "body_tex";
    texture.slot = 1;
    texture.fileName = "body.bmp";
    texture.image = TinyBmp();
    texture.resourceWord = 3;
    part.textures.push_back(texture);
    SelectorDesc selector;
    selector.words[0] = 1;
    selector.words[1] = 2;
    selector.words[2] = 3;
    selector.words[3] = 4;
    selector.skinName = "body";
    selector.materialName = "body_mat";
    part.selectors.push_back(selector);
    part.defaultMesh = "body";
    part.defaultTexture = "body_tex";
    return part;
}

MorphGeometryDesc MorphModelOf(const std::vector<float>& keyTimes, std::uint32_t cells,
                               bool blend) {
    MorphGeometryDesc m;
    m.morphValue = keyTimes.empty() ? 0.0f : keyTimes.back();
    m.morphFlag = 1;
    m.geometry.materialFiles.push_back("morph_mat.xml");
    MorphMeshDesc mesh;
    mesh.morphWord = 1;
    mesh.mesh = MakeGridMesh(cells, 1, "morph_mat");
    for (std::size_t k = 0; k < keyTimes.size(); ++k) {
        MorphKey key;
        key.value = keyTimes[k];
        key.flag = blend ? 1 : 0;
        key.target.mesh = MakeGridMesh(cells, 1.0f + 0.5f * float(k), "morph_mat");
        mesh.keys.push_back(key);
    }
    m.morphMeshes.push_back(mesh);
    return m;
}

MorphGeometryDesc MorphModel() {
    MorphGeometryDesc m = MorphModelOf({0.0f, 1.0f}, 1, true);
    m.morphValue = 0.5f;
    return m;
}

AseSceneDesc MorphAseScene(std::uint32_t cells) {
    AseSceneDesc scene;
    // Frames 0, 30 and 60 of 160 ticks at 30 a second: keys at 0, 1 and 2 seconds.
    scene.scene = AseSceneInfo{"flag.max", 0, 60, 30, 160};
    AseMaterialDesc material;
    material.name = "flag_mat";
    scene.materials.push_back(material);
    AseObjectDesc object;
    object.name = "Flag01";
    object.materialRef = 0;
    for (std::uint32_t f = 0; f < 3; ++f) {
        const MeshDesc grid = MakeGridMesh(cells, 1.0f + 0.5f * float(f), "flag_mat");
        AseMeshDesc frame;
        frame.timeValue = int(f) * 30 * 160;
        frame.vertices = grid.positions;
        for (std::size_t i = 0; i + 2 < grid.indices.size(); i += 3)
            frame.faces.push_back({grid.indices[i], grid.indices[i + 1], grid.indices[i + 2]});
        object.morphFrames.push_back(frame);
        AseStripsDesc strips;
        strips.sets.push_back(AseStripSetFromMesh(grid, 0));
        // The last frame loses a triangle: it cannot blend from the frame before.
        if (f == 2)
            strips.sets[0].strips.pop_back();
        object.morphStrips.push_back(strips);
    }
    scene.objects.push_back(object);
    return scene;
}

WrittenFile AnmConfigFile(const std::string& bone) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Bone name=\"" + bone + "\"/>\n";
    WrittenFile file;
    file.bytes.assign(text.begin(), text.end());
    file.sections.push_back({"Bone", SectionKind::Block, 0, 0, 0, 0});
    return file;
}

ClothGeometryDesc ClothModel() {
    ClothGeometryDesc c;
    c.resourceWord = 13;
    c.flagWord = 0x10;
    ClothMeshDesc cloth;
    cloth.params = {1, 2, 3, 4, 5, 6};
    cloth.sortKey = 7;
    cloth.mesh = MakeGridMesh(2, 1, "skirt_mat");
    ClothSubPart sub;
    sub.kind = 0;
    sub.mesh = MakeGridMesh(1, 1, "skirt_mat");
    cloth.subParts.push_back(sub);
    std::array<std::uint8_t, 152> record{};
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<std::uint8_t>(i);
    cloth.records.push_back(record);
    cloth.pointsA = cloth.mesh.positions;
    cloth.pointsB = {{0, 0, 0}, {1, 0, 0}};
    cloth.indicesA = cloth.mesh.indices;
    cloth.indicesB = cloth.mesh.indices;
    c.geometry.parts.push_back(cloth);
    c.geometry.materialFiles.push_back("skirt_mat.xml");
    BoundDesc sphere;
    sphere.kind = 0;
    sphere.shapeWord = 1;
    sphere.radius = 0.5f;
    sphere.name = "Bip01 Spine";
    BoundDesc capsule;
    capsule.kind = 1;
    capsule.shapeWord = 2;
    capsule.radius = 0.2f;
    capsule.height = 1;
    capsule.name = "Bip01 L Foot";
    c.bounds = {sphere, capsule};
    c.points = {{0, 0, 1}, {1, 0, 1}};
    return c;
}

AseSceneDesc ClothAseScene() {
    AseSceneDesc scene;
    scene.scene = AseSceneInfo{};
    AseMaterialDesc material;
    material.name = "skirt_mat";
    scene.materials.push_back(material);

    MeshDesc grid = MakeGridMesh(1, 1, "skirt_mat");
    grid.colours = {{0.1f, 0, 0, 1}, {0.2f, 0, 0, 1}, {0.3f, 0, 0, 1}, {0.4f, 0, 0, 1}};
    AseObjectDesc cloth;
    cloth.name = "ClothMesh_12";
    cloth.mesh = AseMeshFromMesh(grid);
    cloth.mesh->vertices.push_back({1 + 2e-5f, 1, 0});  // welds with vertex 3
    cloth.mesh->vertices.push_back({1 + 3e-5f, 0, 0});  // stays apart from vertex 1
    cloth.mesh->faces.push_back({0, 5, 4, 1, 0});
    cloth.strips = AseStripsDesc{};
    cloth.strips->sets.push_back(AseStripSetFromMesh(grid));
    cloth.materialRef = 0;
    scene.objects.push_back(cloth);

    AseObjectDesc box;
    box.name = "BoxCloth_1";
    box.mesh = AseMeshDesc{};
    box.mesh->vertices = {{0.5f, 0.5f, 0.5f}, {0.001f, 0, 0}, {-0.5f, 0.5f, 0.5f}};
    box.mesh->faces.push_back({0, 1, 2, 1, 0});
    scene.objects.push_back(box);

    AseObjectDesc spine;
    spine.helper = true;
    spine.name = "Bip01 Spine";
    spine.node.translation = {0, 0, 1.5f};
    scene.objects.push_back(spine);

    AseObjectDesc sphere;
    sphere.name = "Bound_1_Sphere";
    sphere.parent = "Bip01 Spine";
    sphere.node.translation = {0, 0, 2};
    sphere.mesh = AseMeshDesc{};
    sphere.mesh->vertices = {{0.5f, 0, 2}, {0, 0.5f, 2}, {0, 0, 2.5f}};
    sphere.mesh->faces.push_back({0, 1, 2, 1, 0});
    scene.objects.push_back(sphere);
    return scene;
}

AseSceneDesc ClothSheetAseScene(std::uint32_t cells) {
    AseSceneDesc scene;
    scene.scene = AseSceneInfo{};
    AseMaterialDesc material;
    material.name = "cape_mat";
    scene.materials.push_back(material);

    // The grid turned into a sheet behind the spine: row 0 along the back at the spine's height,
    // the other rows reaching out behind it.
    MeshDesc sheet = MakeGridMesh(cells, 1, "cape_mat");
    for (Vec3& p : sheet.positions) p = {-0.5f + p.x, -0.2f - p.y, 1.5f};
    for (std::size_t v = 0; v < sheet.positions.size(); ++v)
        sheet.colours.push_back({v <= cells ? 0.0f : 1.0f, 0, 0, 1});
    AseObjectDesc cloth;
    cloth.name = "ClothMesh_1";
    cloth.mesh = AseMeshFromMesh(sheet);
    cloth.strips = AseStripsDesc{};
    cloth.strips->sets.push_back(AseStripSetFromMesh(sheet));
    cloth.strips->sets[0].weights.assign(sheet.positions.size(), {{"Bip01 Spine", 1.0f}});
    cloth.materialRef = 0;
    scene.objects.push_back(cloth);

    // Boxes at both ends and the middle of row 0 pin the sheet there.
    for (std::uint32_t i : {0u, cells / 2, cells}) {
        const Vec3 at = sheet.positions[i];
        AseObjectDesc box;
        box.name = "BoxCloth_" + std::to_string(i);
        box.node.translation = at;
        box.mesh = AseMeshDesc{};
        box.mesh->vertices = {at, Plus(at, {0.1f, 0, 0}), Plus(at, {0, 0, 0.1f})};
        box.mesh->faces.push_back({0, 1, 2, 1, 0});
        scene.objects.push_back(box);
    }
    return scene;
}

ClothXmlDesc ClothXml() {
    ClothXmlDesc d;
    d.meshFile = "skirt.ase";
    d.shader = "skirt_mat";
    d.params = {{"DAMPING", "0.3"}, {"WEIGHTSCALE", "2"}};
    return d;
}

std::vector<std::uint8_t> TinyBmp() {
    ZelFixtures::ByteWriter w;
    w.Text("BM").U32(70).U16(0).U16(0).U32(54);
    w.U32(40).I32(2).I32(2).U16(1).U16(24).U32(0).U32(16).I32(2835).I32(2835).U32(0).U32(0);
    // Two rows of two blue, green, red pixels, each row padded to four bytes.
    w.U8(255).U8(0).U8(0).U8(0).U8(255).U8(0).U8(0).U8(0);
    w.U8(0).U8(0).U8(255).U8(255).U8(255).U8(255).U8(0).U8(0);
    return w.Data();
}

}  // namespace ZelModelGen
