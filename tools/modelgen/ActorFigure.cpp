#include "modelgen/ActorFigure.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "fixtures/ImageFixtures.h"
#include "modelgen/ActorRecipe.h"
#include "modelgen/ModelMath.h"

namespace ZelModelGen {

namespace {

constexpr float kPi = 3.14159265f;

// A rectangle of texture space or of a part image's visible block: left, top, right, bottom.
struct UvRect {
    float s0 = 0, t0 = 0, s1 = 1, t1 = 1;
};

// The block of the body texture where part n's image shows, in texture coordinates. The atlas
// rectangles of the second table, less what later parts cover; an image's last row lands on its
// rectangle's top row and the atlas's first row on the texture's last, so the image shows upright.
UvRect TextureBlock(std::uint32_t n) {
    struct Block {
        float x, y, w, h;  // atlas fractions, y from the atlas's first row
    };
    static constexpr Block kBlocks[kActorPartCount] = {
        {0, 0.5f, 0.5f, 0.5f},   {0, 0.5f, 0.5f, 0.5f},     {0, 0.5f, 0.5f, 0.5f},
        {0, 0.25f, 0.5f, 0.25f}, {0.5f, 0.5f, 0.5f, 0.5f},  {0, 0, 0.375f, 0.25f},
        {0.5f, 0.25f, 0.5f, 0.25f}, {0.375f, 0, 0.25f, 0.25f}, {0.625f, 0, 0.375f, 0.25f}};
    const Block& b = kBlocks[n];
    // Kept off the block's edges so filtering never reaches a neighbour's texels.
    const float insetS = 0.04f * b.w, insetT = 0.04f * b.h;
    return {b.x + insetS, 1.0f - b.y - b.h + insetT, b.x + b.w - insetS, 1.0f - b.y - insetT};
}

// The share of part n's image width that shows in its block (the rest is cut off by the
// rectangle table or covered by a later part).
float VisibleWidth(std::uint32_t n) {
    switch (n) {
        case 5:
        case 8:
            return 0.75f;
        case 7:
            return 0.5f;
        default:
            return 1.0f;
    }
}

// Faces of a box, each seen from outside: front (-y), back (+y), the figure's right (-x), its left
// (+x), top (+z), bottom (-z). Right x up = the outward normal, as the cube meshes wind.
struct Face {
    Vec3 normal, right, up;
};
constexpr Face kFaces[6] = {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},  {{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},
                            {{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                            {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},   {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}}};

// A box of the figure: where it stands, the bones its top and bottom corners follow, and the
// block of its part's image each face shows (fractions of the visible block).
struct FigureBox {
    Vec3 centre, half;
    const char* topBone;
    const char* bottomBone;
    UvRect faces[6];
};

// The quarters of part 2's image.
constexpr UvRect kFaceQuarter{0, 0, 0.5f, 0.5f};
constexpr UvRect kHairQuarter{0.5f, 0, 1, 0.5f};
constexpr UvRect kSkinQuarter{0, 0.5f, 0.5f, 1};
constexpr UvRect kSleeveQuarter{0.5f, 0.5f, 1, 1};
constexpr UvRect kWhole{0, 0, 1, 1};
// Parts 3 and 4: the front shows the left half of the image, the other faces the right half.
constexpr UvRect kFrontHalf{0, 0, 0.5f, 1};
constexpr UvRect kBackHalf{0.5f, 0, 1, 1};
// Part 4's image: the hips in its top half, the skirt's cloth in its bottom half.
constexpr UvRect kHipsFront{0, 0, 0.5f, 0.5f};
constexpr UvRect kHipsBack{0.5f, 0, 1, 0.5f};
constexpr UvRect kSkirtCloth{0, 0.5f, 1, 1};

FigureBox Uniform(Vec3 centre, Vec3 half, const char* bone, UvRect all) {
    return {centre, half, bone, bone, {all, all, all, all, all, all}};
}

// A box whose front shows one block of the image and every other face another.
FigureBox Trunk(Vec3 centre, Vec3 half, const char* bone, UvRect front, UvRect rest) {
    return {centre, half, bone, bone, {front, rest, rest, rest, rest, rest}};
}

Vec3 Mirrored(Vec3 v) {
    return {-v.x, v.y, v.z};
}

std::vector<FigureBox> PartBoxes(std::uint32_t n) {
    switch (n) {
        case 0:
            return {{{0, 0, 1.71f},
                     {0.085f, 0.1f, 0.11f},
                     "Bip01 Head",
                     "Bip01 Head",
                     {kFaceQuarter, kHairQuarter, kSkinQuarter, kSkinQuarter, kHairQuarter,
                      kSkinQuarter}}};
        case 1: {
            FigureBox arm = Uniform({0.21f, 0.01f, 1.24f}, {0.045f, 0.05f, 0.27f},
                                    "Bip01 L UpperArm", kSleeveQuarter);
            FigureBox right = arm;
            right.centre = Mirrored(arm.centre);
            right.topBone = right.bottomBone = "Bip01 R UpperArm";
            return {Uniform({0, 0.01f, 1.56f}, {0.045f, 0.045f, 0.05f}, "Bip01 Neck", kSkinQuarter),
                    arm, right};
        }
        case 2:
            return {Uniform({0, 0.015f, 1.81f}, {0.095f, 0.11f, 0.035f}, "Bip01 Head",
                            kHairQuarter),
                    Uniform({0, 0.085f, 1.7f}, {0.09f, 0.03f, 0.09f}, "Bip01 Head", kHairQuarter)};
        case 3:
            return {Trunk({0, 0.01f, 1.3f}, {0.16f, 0.09f, 0.22f}, "Bip01 Spine1", kFrontHalf,
                          kBackHalf)};
        case 4:
            return {Trunk({0, 0.01f, 1.0f}, {0.155f, 0.085f, 0.09f}, "Bip01 Pelvis", kHipsFront,
                          kHipsBack)};
        case 5: {
            FigureBox hand =
                Uniform({0.21f, 0, 0.92f}, {0.035f, 0.04f, 0.06f}, "Bip01 L Hand", kWhole);
            FigureBox right = hand;
            right.centre = Mirrored(hand.centre);
            right.topBone = right.bottomBone = "Bip01 R Hand";
            return {hand, right};
        }
        case 6: {
            FigureBox leg = Uniform({0.085f, 0.01f, 0.52f}, {0.065f, 0.07f, 0.4f},
                                    "Bip01 L Thigh", kWhole);
            leg.bottomBone = "Bip01 L Foot";
            FigureBox right = leg;
            right.centre = Mirrored(leg.centre);
            right.topBone = "Bip01 R Thigh";
            right.bottomBone = "Bip01 R Foot";
            return {leg, right};
        }
        case 7:
            return {Uniform({0.085f, -0.03f, 0.06f}, {0.06f, 0.11f, 0.06f}, "Bip01 L Foot", kWhole)};
        case 8:
            return {
                Uniform({-0.085f, -0.03f, 0.06f}, {0.06f, 0.11f, 0.06f}, "Bip01 R Foot", kWhole)};
        default:
            return {};
    }
}

// Texture coordinates of a point (s, t) of part n's visible block.
Vec2 BlockUv(std::uint32_t n, float s, float t) {
    const UvRect block = TextureBlock(n);
    return {block.s0 + s * (block.s1 - block.s0), block.t0 + t * (block.t1 - block.t0)};
}

std::uint32_t Index(std::size_t count) {
    return static_cast<std::uint32_t>(count);
}

// The bone's index in the palette, appended when new.
std::uint32_t PaletteBone(SkinDesc& skin, const char* name) {
    const std::uint32_t bone = static_cast<std::uint32_t>(ActorBoneIndex(name));
    if (std::find(skin.palette.begin(), skin.palette.end(), bone) == skin.palette.end())
        skin.palette.push_back(bone);
    return bone;
}

void AddVertex(SkinDesc& skin, Vec3 position, Vec3 normal, Vec2 uv, std::uint32_t bone) {
    skin.mesh.positions.push_back(position);
    skin.mesh.normals.push_back(normal);
    skin.mesh.uv0.push_back(uv);
    skin.mesh.colours.push_back({1, 1, 1, 1});
    BlendRecord record;
    record.count = 1;
    record.bones[0] = bone;
    record.weights[0] = 1;
    skin.blend.push_back(record);
}

void AddQuad(MeshDesc& mesh, std::uint32_t base) {
    mesh.indices.insert(mesh.indices.end(), {base, base + 1, base + 3, base, base + 3, base + 2});
}

void AddBox(SkinDesc& skin, std::uint32_t part, const FigureBox& box) {
    const std::uint32_t top = PaletteBone(skin, box.topBone);
    const std::uint32_t bottom = PaletteBone(skin, box.bottomBone);
    for (int k = 0; k < 6; ++k) {
        const Face& face = kFaces[k];
        const UvRect& r = box.faces[k];
        const std::uint32_t base = skin.mesh.VertexCount();
        // Corners in the order (left, bottom), (right, bottom), (left, top), (right, top).
        for (int corner = 0; corner < 4; ++corner) {
            const float a = corner & 1 ? 1.0f : -1.0f, b = corner & 2 ? 1.0f : -1.0f;
            Vec3 p = box.centre;
            for (const auto& [dir, sign] : {std::pair{face.normal, 1.0f}, std::pair{face.right, a},
                                            std::pair{face.up, b}}) {
                p.x += dir.x * box.half.x * sign;
                p.y += dir.y * box.half.y * sign;
                p.z += dir.z * box.half.z * sign;
            }
            const float s = a > 0 ? r.s1 : r.s0, t = b > 0 ? r.t0 : r.t1;
            AddVertex(skin, p, face.normal, BlockUv(part, s, t), p.z > box.centre.z ? top : bottom);
        }
        AddQuad(skin.mesh, base);
    }
}

// Mesh groups as the cube meshes have them: every triangle, and the same again for the
// companion's coarse level.
void FinishGroups(MeshDesc& mesh) {
    const std::uint32_t count = Index(mesh.indices.size());
    mesh.groups.push_back(TriangleListGroup(0, count));
    mesh.groups.push_back(TriangleListGroup(0, count));
    mesh.lodIndices = mesh.indices;
    mesh.lodGroups.push_back(TriangleListGroup(count, count));
}

struct Rgb {
    std::uint8_t r, g, b;
};

constexpr Rgb kSkin{kFigureSkin[0], kFigureSkin[1], kFigureSkin[2]};
constexpr Rgb kHair{70, 45, 25};
constexpr Rgb kHairStrand{48, 30, 16};
constexpr Rgb kEye{35, 30, 40};
constexpr Rgb kMouth{170, 60, 60};
constexpr Rgb kNavy{30, 40, 95};
constexpr Rgb kWhite{235, 235, 228};
constexpr Rgb kDenim{50, 82, 140};
constexpr Rgb kDenimTwill{38, 64, 118};
constexpr Rgb kBelt{92, 56, 30};
constexpr Rgb kBuckle{222, 182, 64};
constexpr Rgb kTartanGreen{30, 82, 52};
constexpr Rgb kTartanRed{172, 40, 40};
constexpr Rgb kTartanYellow{222, 200, 80};
constexpr Rgb kSkirtRed{178, 36, 52};
constexpr Rgb kSkirtPleat{120, 20, 36};
constexpr Rgb kLeather{100, 60, 30};
constexpr Rgb kSole{235, 230, 220};

bool Inside(float v, float lo, float hi) {
    return v >= lo && v < hi;
}

Rgb FacePixel(float s, float t) {
    if (t < 0.22f)
        return kHair;
    if (Inside(t, 0.42f, 0.54f) && (Inside(s, 0.22f, 0.38f) || Inside(s, 0.62f, 0.78f)))
        return kEye;
    if (Inside(t, 0.72f, 0.8f) && Inside(s, 0.36f, 0.64f))
        return kMouth;
    return kSkin;
}

Rgb Stripes(float t, int bands) {
    return static_cast<int>(t * float(bands)) % 2 == 0 ? kNavy : kWhite;
}

// Part 2: face, hair, bare skin and sleeves, a quarter each.
Rgb HeadPixel(float s, float t) {
    const float qs = std::fmod(s * 2, 1.0f), qt = std::fmod(t * 2, 1.0f);
    if (t < 0.5f)
        return s < 0.5f ? FacePixel(qs, qt)
                        : (static_cast<int>(qs * 16) % 3 == 0 ? kHairStrand : kHair);
    if (s < 0.5f)
        return kSkin;
    return qt < 0.65f ? Stripes(qt, 8) : kSkin;
}

// Part 3: the striped shirt, a bare neckline on the front half.
Rgb ShirtPixel(float s, float t) {
    if (s < 0.5f && t < 0.14f && std::abs(s - 0.25f) < 0.1f - t * 0.5f)
        return kSkin;
    return Stripes(t, 12);
}

// Part 4: denim hips under a belt with a buckle on the front, the skirt's pleats below.
Rgb HipsPixel(float s, float t, int x, int y) {
    if (t >= 0.5f)
        return static_cast<int>(s * 24) % 2 == 0 ? kSkirtRed : kSkirtPleat;
    if (t < 0.12f)
        return s < 0.5f && std::abs(s - 0.25f) < 0.04f ? kBuckle : kBelt;
    return (x + y) % 4 == 0 ? kDenimTwill : kDenim;
}

Rgb TartanPixel(float s, float t) {
    const bool across = static_cast<int>(s * 16) % 4 == 0, down = static_cast<int>(t * 16) % 4 == 0;
    if (across && down)
        return kTartanYellow;
    return across || down ? kTartanRed : kTartanGreen;
}

// Parts 7 and 8: leather with white laces over the instep and a white sole.
Rgb ShoePixel(float s, float t) {
    if (t > 0.8f)
        return kSole;
    if (t < 0.5f && std::abs(s - 0.5f) < 0.15f && static_cast<int>(t * 12) % 2 == 0)
        return kWhite;
    return kLeather;
}

Rgb DressedPixel(std::uint32_t n, float s, float t, int x, int y) {
    switch (n) {
        case 3:
            return ShirtPixel(s, t);
        case 4:
            return HipsPixel(s, t, x, y);
        case 5:
            return t < 0.15f ? kBuckle : kSkin;  // a bracelet at the wrist
        case 6:
            return TartanPixel(s, t);
        case 7:
        case 8:
            return ShoePixel(s, t);
        default:
            return HeadPixel(s, t);
    }
}

}  // namespace

SkinDesc ActorFigureSkin(std::uint32_t n) {
    SkinDesc skin;
    skin.mesh.material = std::to_string(n);
    for (const FigureBox& box : PartBoxes(n)) AddBox(skin, n, box);
    FinishGroups(skin.mesh);
    return skin;
}

std::vector<std::uint8_t> ActorFigureTexture(std::uint32_t n, bool dressed) {
    constexpr std::uint32_t kSide = 64;
    ZelFixtures::RgbaImage image;
    image.width = image.height = kSide;
    image.rgba.reserve(std::size_t(kSide) * kSide * 4);
    const float visible = VisibleWidth(n);
    for (std::uint32_t y = 0; y < kSide; ++y)
        for (std::uint32_t x = 0; x < kSide; ++x) {
            const float s = std::min(1.0f, (float(x) + 0.5f) / float(kSide) / visible);
            const float t = (float(y) + 0.5f) / float(kSide);
            const Rgb c = dressed ? DressedPixel(n, s, t, int(x), int(y)) : kSkin;
            image.rgba.insert(image.rgba.end(), {c.r, c.g, c.b, 255});
        }
    return ZelFixtures::WriteBmpTrueColour(image, 24, false);
}

ClothGeometryDesc ActorFigureSkirt() {
    constexpr std::uint32_t kSides = 12;
    constexpr float kWaist = 1.04f, kHem = 0.6f, kWaistRadius = 0.17f, kHemRadius = 0.27f;
    constexpr float kHemSway = 0.1f;
    SkinDesc skin;
    const std::uint32_t pelvis = PaletteBone(skin, "Bip01 Pelvis");
    // A ring of quads round the hips, the seam at the back; both rings carry every column so the
    // texture wraps once round the skirt.
    for (std::uint32_t i = 0; i <= kSides; ++i) {
        const float angle = 2 * kPi * float(i) / float(kSides);
        const float c = std::sin(angle), d = -std::cos(angle);  // i = 0 at the back (+y)
        const Vec3 normal = Normalised({c, -d, 0.25f});
        const float s = float(i) / float(kSides);
        AddVertex(skin, {kWaistRadius * c, 0.01f - kWaistRadius * d, kWaist}, normal,
                  BlockUv(4, kSkirtCloth.s0 + s * (kSkirtCloth.s1 - kSkirtCloth.s0), kSkirtCloth.t0),
                  pelvis);
        AddVertex(skin, {kHemRadius * c, 0.01f - kHemRadius * d, kHem}, normal,
                  BlockUv(4, kSkirtCloth.s0 + s * (kSkirtCloth.s1 - kSkirtCloth.s0), kSkirtCloth.t1),
                  pelvis);
    }
    // The first colour channel is how far a vertex follows its simulated particle rather than
    // the skin: the waist not at all, the hem a little, so the skirt stays on and only sways.
    for (std::size_t v = 0; v < skin.mesh.colours.size(); ++v)
        skin.mesh.colours[v].x = v % 2 == 0 ? 0.0f : kHemSway;
    for (std::uint32_t i = 0; i < kSides; ++i) {
        const std::uint32_t waist = 2 * i, hem = waist + 1;
        skin.mesh.indices.insert(skin.mesh.indices.end(),
                                 {hem + 2, hem, waist, hem + 2, waist, waist + 2});
    }
    skin.mesh.material = "skirt_mat";
    FinishGroups(skin.mesh);

    ClothGeometryDesc cloth;
    cloth.resourceWord = 13;
    cloth.flagWord = 0x10;  // the actor builds pieces only for a marked cloth geometry
    ClothMeshDesc piece;
    piece.params = {0.5f, 0.02f, 1, 0.5f, 1, 0.01f};
    piece.mesh = skin.mesh;
    ClothSubPart sub;
    sub.kind = 1;
    sub.skin = skin;
    piece.subParts.push_back(sub);
    piece.pointsA = skin.mesh.positions;
    piece.indicesA = skin.mesh.indices;
    cloth.geometry.parts.push_back(piece);
    return cloth;
}

}  // namespace ZelModelGen
