#include "modelgen/ActorRecipe.h"

#include <cmath>

#include "fixtures/MaterialXmlFixtures.h"
#include "modelgen/ActorFigure.h"
#include "modelgen/AseFile.h"
#include "modelgen/BipedRecipe.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/ModelMath.h"

namespace ZelModelGen {

namespace {

constexpr std::uint32_t kActionFrames = 31;  // frames 0..30 of a one-second action
constexpr float kFrameInterval = 1.0f / 30.0f;
constexpr float kPi = 3.14159265f;

// The bone each part's skin follows, by slot.
const char* const kPartBones[kActorPartCount] = {"Bip01 Head",   "Bip01 Neck",   "Bip01 Head",
                                                 "Bip01 Spine1", "Bip01 Pelvis", "Bip01 L Hand",
                                                 "Bip01 L Calf", "Bip01 L Foot", "Bip01 R Foot"};

Vec3 PositionOf(const std::string& name) {
    for (const BipedBone& b : BipedSkeleton())
        if (b.name == name)
            return b.position;
    return {};
}

Vec3 LocalOf(const BipedBone& bone) {
    if (bone.parent.empty())
        return bone.position;
    const Vec3 parent = PositionOf(bone.parent);
    return {bone.position.x - parent.x, bone.position.y - parent.y, bone.position.z - parent.z};
}

// A track of the bone holding its bind position, or moved by offset(t) when given.
template <class Offset>
CompressedTrackDesc MovingTrack(const std::string& bone, Offset offset) {
    const std::vector<BipedBone> biped = BipedSkeleton();
    CompressedTrackDesc t;
    t.boneIndex = static_cast<std::uint32_t>(ActorBoneIndex(bone));
    t.frameInterval = kFrameInterval;
    Vec3 local;
    for (const BipedBone& b : biped)
        if (b.name == bone)
            local = LocalOf(b);
    for (std::uint32_t f = 0; f < kActionFrames; ++f) {
        const Vec3 d = offset(static_cast<float>(f) * kFrameInterval);
        t.positions.push_back({local.x + d.x, local.y + d.y, local.z + d.z});
        t.rotations.push_back({0, 0, 0, 1});
    }
    return t;
}

std::string FigureTree(const std::string& figure) {
    return "<DANCE><FigNode RootFigFileName=\"" + figure +
           "\"/><ActionNode><Item id=\"idle\" file=\"idle.ac6\"/>"
           "<Item id=\"walk\" file=\"walk.ac6\"/></ActionNode></DANCE>\n";
}

CompressedActionDesc OneSecondAction() {
    CompressedActionDesc a;
    a.length = 1.0f;
    a.frameCount = kActionFrames;
    return a;
}

// Part n's cube of half-size 0.05 round its bone, every vertex bound whole to the bone.
SkinDesc CubeSkin(std::uint32_t n) {
    SkinDesc skin;
    const std::uint32_t bone = static_cast<std::uint32_t>(ActorBoneIndex(ActorPartBone(n)));
    skin.mesh = MakeCubeMesh(1, PositionOf(ActorPartBone(n)), 0.05f, std::to_string(n));
    for (std::size_t v = 0; v < skin.mesh.positions.size(); ++v) {
        BlendRecord b;
        b.count = 1;
        b.bones[0] = bone;
        b.weights[0] = 1;
        skin.blend.push_back(b);
    }
    skin.palette = {bone};
    return skin;
}

WrittenFile TextFile(const std::string& text) {
    WrittenFile f;
    f.bytes.assign(text.begin(), text.end());
    return f;
}

}  // namespace

std::int32_t ActorBoneIndex(const std::string& name) {
    const std::vector<BipedBone> biped = BipedSkeleton();
    for (std::size_t i = 0; i < biped.size(); ++i)
        if (biped[i].name == name)
            return static_cast<std::int32_t>(i);
    return -1;
}

std::string ActorPartBone(std::uint32_t n) {
    return n < kActorPartCount ? kPartBones[n] : "";
}

SkeletonDesc ActorSkeleton() {
    const std::vector<BipedBone> biped = BipedSkeleton();
    SkeletonDesc s;
    s.rootBoneIndex = 0;
    s.leftFootId = ActorBoneIndex("Bip01 L Foot");
    s.rightFootId = ActorBoneIndex("Bip01 R Foot");
    for (std::size_t b = 0; b < biped.size(); ++b) {
        BoneDesc bone;
        bone.id = static_cast<std::int32_t>(b);
        bone.parentId = biped[b].parent.empty() ? -1 : ActorBoneIndex(biped[b].parent);
        bone.name = biped[b].name;
        const Vec3 world = biped[b].position;
        bone.matrix2 = Transpose(TranslationMatrix(world));
        bone.matrix1 = Transpose(TranslationMatrix({-world.x, -world.y, -world.z}));
        bone.matrix3 = Transpose(TranslationMatrix(LocalOf(biped[b])));
        bone.vector1 = LocalOf(biped[b]);
        bone.vector2 = {0, 0, 0, 1};
        bone.vector3 = world;
        s.bones.push_back(bone);
    }
    return s;
}

BodyPartDesc ActorBodyPart(std::uint32_t n, std::uint32_t figureKind, ActorLook look,
                           bool dressed) {
    const std::string id = std::to_string(n);
    BodyPartDesc part;
    part.resourceWord = 5;
    part.setting1 = 0;
    part.setting2 = static_cast<std::uint16_t>(100 + n);
    part.setting3 = figureKind;

    const bool figure = look == ActorLook::Figure && n < kActorPartCount;
    SkinDesc skin = figure ? ActorFigureSkin(n) : CubeSkin(n);
    BodyPartSkinDesc named;
    named.name = "part" + id;
    named.skin.geometry.parts.push_back(skin);
    part.skins.push_back(named);

    BodyTextureDesc texture;
    texture.name = "part" + id + "_tex";
    texture.slot = n;
    texture.fileName = "part" + id + ".bmp";
    texture.image = figure ? ActorFigureTexture(n, dressed) : TinyBmp();
    texture.resourceWord = 3;
    part.textures.push_back(texture);

    if (n == 3 || n == 4) {
        // The upper and the lower body choose their skins by each other.
        const std::uint32_t other = n == 3 ? 4 : 3;
        SelectorDesc selector;
        selector.words[0] = other;
        selector.words[1] = 100 + other;
        selector.words[2] = 18;
        selector.words[3] = 21;
        selector.skinName = named.name;
        selector.materialName = texture.name;
        part.selectors.push_back(selector);
    }
    part.defaultMesh = named.name;
    part.defaultTexture = texture.name;
    return part;
}

std::string ActorPartDescription(const std::string& partBase, std::uint32_t n) {
    ZelFixtures::MaterialPass pass;
    pass.colours = {{"Diffuse", ZelFixtures::FormatFloat(ActorPartRed(n)) + " 1 1"}};
    ZelFixtures::LibMaterial material;
    material.name = partBase + "_0";
    material.passes = {pass};
    return ZelFixtures::WriteMaterialLibrary({material});
}

std::vector<RecipeFile> ActorBp5Files() {
    std::vector<RecipeFile> files;
    for (std::uint32_t n = 0; n < kActorPartCount; ++n) {
        const std::string base = "newbpoutput/part" + std::to_string(n);
        files.push_back({base + ".bp5", WriteBodyPartFile(ActorBodyPart(n))});
        files.push_back(
            {base + ".xml", TextFile(ActorPartDescription("part" + std::to_string(n), n))});
    }
    // The cloth recipe's piece as the companion of part kActorBp5ClothPart, naming the part's
    // description as its material file.
    ClothGeometryDesc cloth = ClothModel();
    cloth.geometry.materialFiles = {"part" + std::to_string(kActorBp5ClothPart) + ".xml"};
    files.push_back({"newbpoutput/part" + std::to_string(kActorBp5ClothPart) + "_cloth.bp5",
                     WriteClothGeometryFile(cloth)});
    return files;
}

std::vector<RecipeFile> ActorTemplateFiles(const RecipeOptions& o) {
    const std::string folder = "media/shaders/role/output/";
    const WrittenFile figure = WriteAseFile(SkeletonAseScene(ActorSkeleton()), o.text);
    std::vector<RecipeFile> files = {{folder + "dress.xml", TextFile("actor\n")},
                                     {folder + "boy_fig.fig", figure},
                                     {folder + "girl_fig.fig", figure}};
    for (const char* set : {"1", "0"})
        for (std::uint32_t n = 0; n < kActorPartCount; ++n) {
            const char* item = n == 1 || n == 2 ? "001001" : "000000";
            files.push_back({folder + "1" + set + std::to_string(n) + item + ".BP3",
                             WriteBodyPartFile(ActorBodyPart(n, 0, o.actorLook, false))});
        }
    return files;
}

CompressedActionDesc ActorIdleAction() {
    CompressedActionDesc a = OneSecondAction();
    a.tracks.push_back(MovingTrack("Bip01", [](float) { return Vec3{}; }));
    return a;
}

CompressedActionDesc ActorWalkAction() {
    CompressedActionDesc a = OneSecondAction();
    a.tracks.push_back(MovingTrack("Bip01", [](float t) { return Vec3{0, -t, 0}; }));
    // The foot bones hang below the calves with their local offset along -z of the parent.
    a.tracks.push_back(MovingTrack("Bip01 L Foot", [](float t) {
        return Vec3{0, 0, t < 0.5f ? 0.2f * std::sin(kPi * t / 0.5f) : 0.0f};
    }));
    a.tracks.push_back(MovingTrack("Bip01 R Foot", [](float t) {
        return Vec3{0, 0, t >= 0.5f ? 0.2f * std::sin(kPi * (t - 0.5f) / 0.5f) : 0.0f};
    }));
    return a;
}

std::vector<RecipeFile> ActorRecipeFiles(const RecipeOptions& o) {
    const WrittenFile figure = WriteAseFile(SkeletonAseScene(ActorSkeleton()), o.text);
    std::vector<RecipeFile> files = {
        {"actor.act", TextFile("actor\n")}, {"boy_fig.fig", figure},
        {"girl_fig.fig", figure},           {"boy_NF_8_fig.fig", figure},
        {"girl_NF_8_fig.fig", figure},      {"new_boy_fig.fig", figure},
        {"new_girl_fig.fig", figure},
    };
    for (std::uint32_t n = 0; n < kActorPartCount; ++n) {
        const std::string base = "part" + std::to_string(n);
        const WrittenFile part = WriteBodyPartFile(ActorBodyPart(n, 0, o.actorLook));
        files.push_back({base + ".bp3", part});
        files.push_back({base + ".bp4", part});
        files.push_back({base + ".xml", TextFile(ActorPartDescription(base, n))});
    }
    files.push_back({"face8.bp3", WriteBodyPartFile(ActorBodyPart(2, 8, o.actorLook))});
    if (o.actorLook == ActorLook::Figure)
        files.push_back({"part5_cloth.bp3", WriteClothGeometryFile(ActorFigureSkirt())});
    files.push_back({"idle.ac6", WriteCompressedActionFile(ActorIdleAction())});
    files.push_back({"walk.ac6", WriteCompressedActionFile(ActorWalkAction())});
    std::string list = "<DANCE>";
    for (const char* figureName : {"boy_fig.fig", "girl_fig.fig", "boy_NF_8_fig.fig",
                                   "girl_NF_8_fig.fig", "new_boy_fig.fig", "new_girl_fig.fig"}) {
        const std::string tree = std::string(figureName) + ".xml";
        list += "<XMLNode file=\"" + tree + "\"/>";
        files.push_back({tree, TextFile(FigureTree(figureName))});
    }
    files.push_back({"actions.xml", TextFile(list + "</DANCE>\n")});
    return files;
}

}  // namespace ZelModelGen
