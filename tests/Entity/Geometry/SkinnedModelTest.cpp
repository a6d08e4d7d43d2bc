// Skinned models through the geometry manager: the ".ch3" with its skin, skeleton and action, CPU
// skinning of the loaded skin, reloading while the skeleton is shared, the plain ".at6" action,
// the ".chr" built from ASE scenes against the binary model of the same content, the finger rule
// of ASE actions, and the faults the readers refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <variant>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Action.h"
#include "Entity/Character/ActionManager.h"
#include "Entity/Character/ActionResource.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStatePool.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Character/Skeleton.h"
#include "Entity/Character/SkeletonManager.h"
#include "Entity/Geometry/AnimationTrack.h"
#include "Entity/Geometry/Ase/AseObject.h"
#include "Entity/Geometry/Ase/AseReader.h"
#include "Entity/Geometry/Ase/AseScene.h"
#include "Entity/Geometry/Ase/AseMaterial.h"
#include "Entity/Geometry/GeometryKind.h"
#include "Entity/Geometry/GeometryManager.h"
#include "Entity/Geometry/GeometrySkin.h"
#include "Entity/Geometry/IOSkinBin.h"
#include "Core/ChunkStream.h"
#include "Math/BoundCapsule.h"
#include "Math/BoundSphere.h"
#include "tests/Entity/Geometry/ChunkStreamFixture.h"
#include "Entity/Geometry/MeshSerializer.h"
#include "Entity/Geometry/Skin.h"
#include "Entity/Geometry/VertexComponentDataPool.h"
#include "Entity/Geometry/VertexBufferByFormat.h"
#include "Entity/Geometry/VertexData.h"
#include "Math/MathUtil.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/RenderCodes.h"
#include "Render/VertexBufferBinding.h"
#include "modelgen/AseFile.h"
#include "modelgen/ChunkStreamWriter.h"
#include "modelgen/ChunkWriters.h"
#include "modelgen/ModelFiles.h"
#include "modelgen/ModelMath.h"
#include "modelgen/Recipes.h"
#include "support/LogCapture.h"
#include "tests/Entity/Geometry/GeometryFixture.h"

namespace {

using namespace Zel;
namespace mg = ZelModelGen;

// The skinned recipe cut to a palette of two bones and an action of two tracks: the upper
// vertices follow bone 2 alone, the lower ones bones 0 and 2 by halves.
mg::SkinnedGeometryDesc TwoBoneModel() {
    mg::SkinnedGeometryDesc model = mg::SkinnedModel();
    auto& skin = std::get<mg::SkinDesc>(model.geometry.parts[0]);
    for (mg::BlendRecord& b : skin.blend)
        if (b.count == 1)
            b.bones[0] = 2;
    skin.palette = {0, 2};
    model.actions[0].tracks.resize(2);
    model.actions[0].boneIndices.resize(2);
    model.skeleton->words[0] = 1;  // the head bone
    model.skeleton->words[1] = 0;  // the spine bone
    return model;
}

class SkinnedModelTest : public ZelTest::GeometryTest {
protected:
    void SetUp() override {
        ZelTest::GeometryTest::SetUp();
        Manager().SetBasePath("");
    }

    void TearDown() override {
        // The bone states go back to their pool before the globals go.
        states_.reset();
        ZelTest::GeometryTest::TearDown();
    }

    GeometryManager& Manager() { return *G()->GetGeometryManager(); }
    SkeletonManager& Skeletons() { return *G()->GetSkeletonManager(); }

    // The two-bone model loaded from its ".ch3", and bone states for its skeleton in states_;
    // its skin, or null when it did not load.
    Skin* LoadTwoBoneSkin() {
        if (!mg::WriteSkinnedGeometryFile(TwoBoneModel()).Save("d/two.ch3"))
            return nullptr;
        GeometrySkin* geometry = Load("d/two.ch3");
        if (!geometry || !geometry->IsLoadSucceeded())
            return nullptr;
        states_ = std::make_unique<BoneStateSet>(*G()->GetBoneStatePool());
        states_->Rebuild(*geometry->GetSkeleton());
        return SkinOf(*geometry);
    }

    std::unique_ptr<BoneStateSet> states_;

    GeometrySkin* Load(const std::string& path) {
        return dynamic_cast<GeometrySkin*>(Manager().GetOrLoad(path, path));
    }

    static Skin* SkinOf(const GeometrySkin& geometry) {
        return dynamic_cast<Skin*>(geometry.GetMesh(0));
    }

    static void SaveRecipe(const std::string& folder) {
        for (const mg::RecipeFile& f : mg::MakeRecipe("skinned")) {
            ASSERT_TRUE(f.file.Save(folder + "/" + f.name));
        }
    }
};

TEST_F(SkinnedModelTest, Ch3LoadsSkinSkeletonAndAction) {
    const mg::SkinnedGeometryDesc model = TwoBoneModel();
    ASSERT_TRUE(mg::WriteSkinnedGeometryFile(model).Save("d/two.ch3"));
    GeometrySkin* geometry = Load("d/two.ch3");
    ASSERT_NE(geometry, nullptr);
    ASSERT_TRUE(geometry->IsLoadSucceeded());
    EXPECT_EQ(geometry->GetKind(), 4u);
    EXPECT_EQ(geometry->GetResourceWord(), 9u);

    const Skin* skin = SkinOf(*geometry);
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->GetMeshType(), 1u);
    EXPECT_EQ(skin->GetPaletteCount(), 2u);
    EXPECT_EQ(skin->GetPalette()[1], 2u);
    const auto& want = std::get<mg::SkinDesc>(model.geometry.parts[0]).blend;
    ASSERT_EQ(skin->GetBlendRecords().size(), want.size());
    for (std::size_t v = 0; v < want.size(); ++v) {
        const SkinBlendRecord& got = skin->GetBlendRecords()[v];
        EXPECT_EQ(got.count, want[v].count) << v;
        EXPECT_EQ(std::vector<std::uint32_t>(got.bones, got.bones + 4),
                  std::vector<std::uint32_t>(want[v].bones, want[v].bones + 4));
        EXPECT_EQ(got.weights[0], want[v].weights[0]);
    }
    EXPECT_NE(skin->GetVertexData()->FindComponent(VF_BLEND_INDICES), nullptr);

    const Skeleton* skeleton = geometry->GetSkeleton();
    ASSERT_NE(skeleton, nullptr);
    ASSERT_EQ(skeleton->GetBoneCount(), 3u);
    EXPECT_EQ(skeleton->GetRootBone(), skeleton->GetBone(0));
    EXPECT_STREQ(skeleton->GetBone(2)->GetName(), "Bip01 L Foot");
    EXPECT_EQ(skeleton->GetBone(2)->GetParent(), skeleton->GetBone(0));
    EXPECT_EQ(skeleton->GetFootBone(0), 2);
    EXPECT_EQ(skeleton->GetHeadBone(), 1);
    EXPECT_EQ(skeleton->GetSpineBone(), 0);
    EXPECT_FLOAT_EQ(skeleton->GetBone(1)->GetBindMatrix()[11], 1.5f) << "translation in column 3";

    Action* walk = geometry->GetAnimationByName("walk");
    ASSERT_NE(walk, nullptr);
    EXPECT_EQ(geometry->GetAnimationByIndex(0), walk);
    const ActionResource* resource = walk->GetResource();
    ASSERT_NE(resource, nullptr);
    EXPECT_NE(resource->GetName().find("skinned_walk.at6"), std::string::npos);
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_EQ(resource->GetTrackCount(), 2u);
    EXPECT_EQ(resource->GetBoneId(1), 1);
    EXPECT_EQ(resource->GetSkeleton(), skeleton);
    const AnimationTrack* track = resource->GetTrack(1);
    EXPECT_EQ(track->GetRotationKeyCount(), 3u);
    EXPECT_EQ(track->Rotations().frameKeys.back(), 2);
    EXPECT_FLOAT_EQ(track->GetLength(), 1.0f);
    EXPECT_TRUE(track->KeepsPosition());
}

TEST_F(SkinnedModelTest, SkinVerticesPosesTheLoadedSkin) {
    const mg::SkinnedGeometryDesc model = TwoBoneModel();
    Skin* loaded = LoadTwoBoneSkin();
    ASSERT_NE(loaded, nullptr);
    Skin& skin = *loaded;
    BoneStateSet& states = *states_;
    // Bone 0 moves by +1 in x; bone 2 doubles x, lifts z by 3 and has h = 2, which halves all.
    float* m0 = states.GetBoneState(0)->skinMatrix;
    float* m2 = states.GetBoneState(2)->skinMatrix;
    m0[3] = 1.0f;
    m2[0] = 2.0f;
    m2[11] = 3.0f;
    m2[15] = 2.0f;
    float final[16];
    std::memcpy(final, IdentityMatrix(), sizeof final);
    final[11] = 10.0f;

    // The specular colour sits between the normal and the texture coordinates.
    const std::uint32_t flags = VF_POSITION | VF_NORMAL | VF_SPECULAR | VF_TEXCOORD0;
    constexpr std::uint32_t kStride = 36, kTexcoord = 28;
    const auto& desc = std::get<mg::SkinDesc>(model.geometry.parts[0]);
    const std::size_t n = desc.mesh.positions.size();
    std::vector<std::uint8_t> out(n * kStride, 0xEE);
    EXPECT_EQ(skin.SkinVertices(out.data(), states, flags, kStride, final, 0), n);
    for (std::size_t v = 0; v < n; ++v) {
        const mg::Vec3 p = desc.mesh.positions[v];
        const mg::Vec3 boneTwo = {p.x, p.y / 2, (p.z + 3) / 2};
        const mg::Vec3 want =
            desc.blend[v].count == 1
                ? boneTwo
                : mg::Vec3{(p.x + 1 + boneTwo.x) / 2, (p.y + boneTwo.y) / 2, (p.z + boneTwo.z) / 2};
        float got[3], normal[3], uv[2];
        std::memcpy(got, &out[v * kStride], 12);
        std::memcpy(normal, &out[v * kStride + 12], 12);
        std::memcpy(uv, &out[v * kStride + kTexcoord], 8);
        EXPECT_NEAR(got[0], want.x, 1e-5f) << v;
        EXPECT_NEAR(got[1], want.y, 1e-5f) << v;
        EXPECT_NEAR(got[2], want.z + 10, 1e-5f) << v;
        EXPECT_EQ(uv[0], desc.mesh.uv0[v].x) << v;
        EXPECT_EQ(uv[1], desc.mesh.uv0[v].y) << v;
        // Bone 2 doubles x of the normal, bone 0 leaves it: the weighted sum, not renormalised.
        const mg::Vec3 nrm = desc.mesh.normals[v];
        const float k = desc.blend[v].count == 1 ? 2.0f : 1.5f;
        EXPECT_NEAR(normal[0], k * nrm.x, 1e-5f) << v;
        EXPECT_NEAR(normal[1], nrm.y, 1e-5f) << v;
        EXPECT_NEAR(normal[2], nrm.z, 1e-5f) << v;
    }
}

TEST_F(SkinnedModelTest, FixedFunctionPassesSkinIntoTheirVertexBuffer) {
    Scene().SetDX7Mode(true);
    Skin* loaded = LoadTwoBoneSkin();
    ASSERT_NE(loaded, nullptr);
    Skin& skin = *loaded;
    BoneStateSet& states = *states_;
    for (std::uint32_t b = 0; b < 3; ++b) states.GetBoneState(b)->skinMatrix[7] = 2.0f;
    const std::uint32_t flags = VF_POSITION | VF_NORMAL | VF_TEXCOORD0;
    ASSERT_TRUE(skin.SkinIntoVertexBuffer(states, flags, 0));
    VertexBufferByFormat* format = skin.GetVertexData()->GetBufferByFormat(flags, false);
    ASSERT_EQ(format->GetStride(), 32u);
    HardwareVertexBuffer& buffer = *format->GetBinding()->GetSlot(0).buffer;
    const std::vector<float> written = ReadBack<float>(buffer, 0, 8 * skin.GetVertexCount());
    const float* positions = skin.GetVertexData()->FindComponent(VF_POSITION)->GetFloats();
    const float* uvs = skin.GetVertexData()->FindComponent(VF_TEXCOORD0)->GetFloats();
    for (std::uint32_t v = 0; v < skin.GetVertexCount(); ++v) {
        EXPECT_FLOAT_EQ(written[8 * v + 1], positions[3 * v + 1] + 2.0f) << v;
        EXPECT_FLOAT_EQ(written[8 * v + 6], uvs[2 * v]) << v;
    }
    EXPECT_GT(skin.GetBoneBatch(1).count, 0u) << "the fixed-function path has its batches";

    G()->GetConfigManager()->SetValue(Skin::kSkinningSwitch, 0);
    EXPECT_FALSE(skin.SkinIntoVertexBuffer(states, flags, 0));
}

TEST_F(SkinnedModelTest, ScreenBoundsFollowThePose) {
    Skin* loaded = LoadTwoBoneSkin();
    ASSERT_NE(loaded, nullptr);
    Skin& skin = *loaded;
    BoneStateSet& states = *states_;
    for (std::uint32_t b = 0; b < 3; ++b) states.GetBoneState(b)->skinMatrix[11] = 1.0f;
    // A clip matrix that halves everything through w.
    float clip[16];
    std::memcpy(clip, IdentityMatrix(), sizeof clip);
    clip[15] = 2.0f;
    skin.ProjectToScreenBound(clip, states);
    ASSERT_FALSE(skin.GetProjectedBounds().IsEmpty());
    EXPECT_FLOAT_EQ(skin.GetProjectedBounds().GetMax()[2], (1.5f + 1.0f) / 2);
    EXPECT_FLOAT_EQ(skin.GetProjectedBounds().GetMin()[2], (1.0f + 1.0f) / 2);
    EXPECT_FLOAT_EQ(skin.GetProjectedBounds().GetMax()[0], 0.25f / 2);
}

TEST_F(SkinnedModelTest, BonesPastTheModelPoseWithTheIdentityLoggedOnce) {
    Skin* loaded = LoadTwoBoneSkin();
    ASSERT_NE(loaded, nullptr);
    Skin& skin = *loaded;
    BoneStateSet& states = *states_;
    for (SkinBlendRecord& r : skin.GetBlendRecords()) {
        r.count = 1;
        r.bones[0] = 7;
        r.weights[0] = 1.0f;
    }
    std::vector<float> out(4 * skin.GetVertexCount());
    ZelTest::LogCapture log;
    skin.SkinVertices(out.data(), states, VF_POSITION, 16, IdentityMatrix(), 0);
    skin.SkinVertices(out.data(), states, VF_POSITION, 16, IdentityMatrix(), 0);
    // The shader path takes the same matrices per palette slot.
    states.GetBoneState(2)->skinMatrix[3] = 5.0f;
    skin.SetPalette(2, {2, 9});
    std::vector<float> matrices;
    EXPECT_EQ(skin.CollectPaletteMatrices(states, matrices), 2u);
    ASSERT_EQ(matrices.size(), 32u);
    EXPECT_EQ(matrices[3], 5.0f);
    EXPECT_EQ(std::vector<float>(matrices.begin() + 16, matrices.end()),
              std::vector<float>(IdentityMatrix(), IdentityMatrix() + 16));
    EXPECT_EQ(log.Count("names bone 7, but the model has 3 bone states"), 1);
    EXPECT_EQ(log.Count("bone states"), 1) << "once per skin";
    const float* positions = skin.GetVertexData()->FindComponent(VF_POSITION)->GetFloats();
    EXPECT_EQ(out[4 * 5 + 2], positions[3 * 5 + 2]);
}

TEST_F(SkinnedModelTest, ReloadWhileTheSkeletonIsHeldStillLoads) {
    ASSERT_TRUE(mg::WriteSkinnedGeometryFile(TwoBoneModel()).Save("d/two.ch3"));
    GeometrySkin* first = Load("d/two.ch3");
    ASSERT_TRUE(first && first->IsLoadSucceeded());
    Skeleton* held = first->GetSkeleton();
    held->AddRef();
    Manager().RemoveAll();

    GeometrySkin* second = Load("d/two.ch3");
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->IsLoadSucceeded());
    EXPECT_EQ(second->GetSkeleton(), held) << "the skeleton is shared";
    EXPECT_NE(second->GetAnimationByName("walk"), nullptr)
        << "the actions after the skeleton are read from their own place";
    Skeletons().ReleaseShared(held);
}

TEST_F(SkinnedModelTest, PlainActionFileReadsLikeTheActionChunk) {
    SaveRecipe("d");
    GeometrySkin* geometry = Load("d/skinned.ch3");
    ASSERT_TRUE(geometry && geometry->IsLoadSucceeded());
    const ActionResource& chunk = *geometry->GetAnimationByName("walk")->GetResource();

    ActionManager& actions = *G()->GetActionManager();
    auto* plain = static_cast<ActionResource*>(actions.Create("d/skinned_walk_copy.at6"));
    ASSERT_NE(plain, nullptr);
    ASSERT_TRUE(mg::MakeRecipe("skinned")[1].file.Save("d/skinned_walk_copy.at6"));
    plain->Load("d/skinned_walk_copy.at6");
    ASSERT_TRUE(plain->IsLoadSucceeded());
    EXPECT_FLOAT_EQ(plain->GetLength(), chunk.GetLength());
    ASSERT_EQ(plain->GetTrackCount(), chunk.GetTrackCount());
    for (std::uint32_t i = 0; i < chunk.GetTrackCount(); ++i) {
        const AnimationTrack& a = *plain->GetTrack(i);
        const AnimationTrack& b = *chunk.GetTrack(i);
        EXPECT_EQ(plain->GetBoneId(i), chunk.GetBoneId(i));
        EXPECT_EQ(a.GetFrameCount(), b.GetFrameCount());
        EXPECT_FLOAT_EQ(a.GetFrameInterval(), b.GetFrameInterval());
        EXPECT_EQ(a.Positions().frameKeys, b.Positions().frameKeys);
        EXPECT_EQ(a.Rotations().frameKeys, b.Rotations().frameKeys);
        ASSERT_EQ(a.GetRotationKeyCount(), b.GetRotationKeyCount());
        EXPECT_EQ(a.Rotations().keys[1].z, b.Rotations().keys[1].z);
        EXPECT_EQ(a.Positions().keys[1].time, b.Positions().keys[1].time);
    }
}

// Component data of a semantic as floats (element size / 4 per vertex).
std::vector<float> ComponentFloats(const Skin& skin, std::uint32_t semantic) {
    const VertexComponentDataPool* c = skin.GetVertexData()->FindComponent(semantic);
    if (!c || !c->GetData())
        return {};
    return std::vector<float>(c->GetFloats(), c->GetFloats() + c->GetDataSize() / 4);
}

TEST_F(SkinnedModelTest, ChrBuiltFromAseEqualsTheBinaryModel) {
    SaveRecipe("d");
    GeometrySkin* text = Load("d/skinned.chr");
    GeometrySkin* binary = Load("d/skinned.ch3");
    ASSERT_TRUE(text && text->IsLoadSucceeded());
    ASSERT_TRUE(binary && binary->IsLoadSucceeded());

    const Skeleton& a = *text->GetSkeleton();
    const Skeleton& b = *binary->GetSkeleton();
    ASSERT_EQ(a.GetBoneCount(), b.GetBoneCount());
    EXPECT_EQ(a.GetRootIndex(), b.GetRootIndex());
    EXPECT_EQ(a.GetFootBone(0), b.GetFootBone(0));
    for (std::uint32_t i = 0; i < a.GetBoneCount(); ++i) {
        SCOPED_TRACE(b.GetBone(i)->GetName());
        EXPECT_STREQ(a.GetBone(i)->GetName(), b.GetBone(i)->GetName());
        EXPECT_EQ(a.GetBone(i)->GetParentIndex(), b.GetBone(i)->GetParentIndex());
        for (int k = 0; k < 16; ++k) {
            EXPECT_NEAR(a.GetBone(i)->GetBindMatrix()[k], b.GetBone(i)->GetBindMatrix()[k], 1e-5f);
            EXPECT_NEAR(a.GetBone(i)->GetInverseBindMatrix()[k],
                        b.GetBone(i)->GetInverseBindMatrix()[k], 1e-5f);
            EXPECT_NEAR(a.GetBone(i)->GetParentRelativeMatrix()[k],
                        b.GetBone(i)->GetParentRelativeMatrix()[k], 1e-5f);
        }
    }

    ASSERT_EQ(text->GetMeshCount(), 1u);
    const Skin& x = *SkinOf(*text);
    const Skin& y = *SkinOf(*binary);
    EXPECT_EQ(x.GetMaterialName(), y.GetMaterialName());
    EXPECT_EQ(x.GetPaletteCount(), y.GetPaletteCount());
    EXPECT_EQ(x.GetPalette(), y.GetPalette());
    ASSERT_EQ(x.GetBlendRecords().size(), y.GetBlendRecords().size());
    for (std::size_t v = 0; v < x.GetBlendRecords().size(); ++v) {
        const SkinBlendRecord& p = x.GetBlendRecords()[v];
        const SkinBlendRecord& q = y.GetBlendRecords()[v];
        EXPECT_EQ(p.count, q.count) << v;
        for (int k = 0; k < p.count; ++k) {
            EXPECT_EQ(p.bones[k], q.bones[k]) << v;
            EXPECT_NEAR(p.weights[k], q.weights[k], 1e-5f) << v;
        }
    }
    for (std::uint32_t semantic :
         {VF_POSITION, VF_NORMAL, VF_TEXCOORD0, VF_BLEND_WEIGHTS, VF_BLEND_INDICES}) {
        const std::vector<float> p = ComponentFloats(x, semantic), q = ComponentFloats(y, semantic);
        ASSERT_EQ(p.size(), q.size()) << semantic;
        ASSERT_FALSE(p.empty()) << semantic;
        for (std::size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(p[i], q[i], 1e-5f) << semantic;
    }

    Action* walk = text->GetAnimationByName("walk");
    ASSERT_NE(walk, nullptr);
    ASSERT_NE(walk->GetResource(), nullptr);
    EXPECT_EQ(walk->GetResource()->GetTrackCount(), 3u);
    EXPECT_NEAR(walk->GetResource()->GetLength(), 1.0f, 1e-5f);
}

TEST_F(SkinnedModelTest, ClothSkinsTakeBlendRecordsWithoutComponents) {
    SaveRecipe("d");
    GeometrySkin* binary = Load("d/skinned.ch3");
    ASSERT_TRUE(binary && binary->IsLoadSucceeded());
    Skeleton* skeleton = Skeletons().GetOrLoad("d/skinned_skeleton.ase");
    ASSERT_NE(skeleton, nullptr);
    std::unique_ptr<AseScene> scene = LoadAseScene("d/skinned_skin.ase", 1.0f, true);
    ASSERT_TRUE(scene && !scene->objects.empty());
    std::vector<std::unique_ptr<Mesh>> meshes;
    EXPECT_EQ(G()->GetMeshSerializer()->BuildClothSkinMeshes(*scene->objects[0], scene->materials,
                                                             skeleton->GetName(), meshes),
              1u);
    ASSERT_EQ(meshes.size(), 1u);
    const auto* cloth = dynamic_cast<const Skin*>(meshes[0].get());
    ASSERT_NE(cloth, nullptr);
    const Skin& want = *SkinOf(*binary);
    EXPECT_EQ(cloth->GetMaterialName(), want.GetMaterialName());
    EXPECT_EQ(cloth->GetPalette(), want.GetPalette());
    ASSERT_EQ(cloth->GetBlendRecords().size(), want.GetBlendRecords().size());
    for (std::size_t v = 0; v < want.GetBlendRecords().size(); ++v) {
        EXPECT_EQ(cloth->GetBlendRecords()[v].count, want.GetBlendRecords()[v].count) << v;
        EXPECT_EQ(cloth->GetBlendRecords()[v].bones[0], want.GetBlendRecords()[v].bones[0]) << v;
    }
    EXPECT_EQ(cloth->GetVertexData()->FindComponent(VF_BLEND_INDICES), nullptr);
    FreeAseScene(std::move(scene));
    Skeletons().ReleaseShared(skeleton);
}

// Two hands under the root, each with its root finger and a second finger, and a bone without
// animation.
mg::AseSceneDesc HandScene() {
    mg::AseSceneDesc scene;
    scene.scene = mg::AseSceneInfo{"hands.max", 0, 30, 30, 160};
    const auto add = [&](const char* name, const char* parent, bool rotationKeys) {
        mg::AseObjectDesc o;
        o.helper = true;
        o.helperClass = "Dummy";
        o.name = name;
        o.parent = parent;
        if (rotationKeys) {
            mg::AseAnimationDesc anim;
            anim.rotationController = mg::AseController::Linear;
            anim.rotations = {{0, {0, 0, 1}, 0.0f}, {4800, {0, 0, 1}, 0.5f}};
            o.animation = anim;
        }
        scene.objects.push_back(o);
    };
    add("Bip01", "", true);
    add("Bip01 L Hand", "Bip01", true);
    add("Bip01 L Finger0", "Bip01 L Hand", true);
    add("Bip01 L Finger01", "Bip01 L Finger0", true);
    add("Bip01 L Finger02", "Bip01 L Finger01", false);
    add("Bip01 R Finger0", "Bip01", true);
    add("Bip01 R Finger01", "Bip01 R Finger0", true);
    add("Bip01 Spine", "Bip01", false);
    add("Not A Bone", "Bip01", true);
    add("Bip01 Spine", "Bip01", true);  // a second object of one bone
    return scene;
}

TEST_F(SkinnedModelTest, AseActionsFollowTheFingerRule) {
    ASSERT_TRUE(mg::WriteAseFile(HandScene()).Save("d/hands.ase"));
    mg::AseSceneDesc skeletonScene = HandScene();
    skeletonScene.objects.resize(8);
    ASSERT_TRUE(mg::WriteAseFile(skeletonScene).Save("d/hands_skeleton.ase"));
    Skeleton* skeleton = Skeletons().GetOrLoad("d/hands_skeleton.ase");
    ASSERT_NE(skeleton, nullptr);
    ASSERT_EQ(skeleton->GetBoneCount(), 8u);

    auto* resource = static_cast<ActionResource*>(G()->GetActionManager()->Create("d/hands.ase"));
    ASSERT_NE(resource, nullptr);
    ASSERT_TRUE(
        G()->GetMeshSerializer()->LoadActionFromAse(*resource, skeleton->GetName(), "d/hands.ase"));
    std::vector<std::string> driven;
    for (std::uint32_t i = 0; i < resource->GetTrackCount(); ++i)
        driven.push_back(skeleton->GetBone(resource->GetBoneId(i))->GetName());
    // Root fingers never get a track, fingers only with rotation keys; other bones always (a
    // static one without animation); an object that names no bone never, nor a second object of
    // a bone that has its track.
    EXPECT_EQ(driven, (std::vector<std::string>{"Bip01", "Bip01 L Hand", "Bip01 L Finger01",
                                                "Bip01 R Finger01", "Bip01 Spine"}));
    EXPECT_NEAR(resource->GetLength(), 1.0f, 1e-5f);
    EXPECT_FALSE(G()->GetMeshSerializer()->LoadActionFromAse(*resource, skeleton->GetName(),
                                                             "d/missing.ase"));
    EXPECT_EQ(resource->GetTrackCount(), 5u) << "an unreadable file leaves the resource alone";

    // The action loaders take the same road for an ASE action file.
    ASSERT_TRUE(mg::WriteAseFile(HandScene()).Save("d/hands_walk.ase"));
    Action* action = G()->GetActionFactory()->Acquire();
    ASSERT_TRUE(G()->GetActionManager()->LoadActionResource(*action, skeleton, "d/hands_walk.ase"));
    EXPECT_EQ(action->GetResource()->GetTrackCount(), 5u);
    G()->GetActionFactory()->Release(action);
    Skeletons().ReleaseShared(skeleton);
}

TEST_F(SkinnedModelTest, AseSkeletonsNeedObjectsAndARoot) {
    mg::AseSceneDesc twoRoots = HandScene();
    twoRoots.objects.resize(2);
    twoRoots.objects[1].parent.clear();
    mg::AseSceneDesc empty = HandScene();
    empty.objects.clear();
    ASSERT_TRUE(mg::WriteAseFile(twoRoots).Save("d/two_roots.ase"));
    ASSERT_TRUE(mg::WriteAseFile(empty).Save("d/empty.ase"));
    struct Case {
        const char* path;
        int result;
        const char* logged;
    };
    const Case cases[] = {
        {"d/missing.ase", -1, nullptr},
        {"d/empty.ase", -2, "Error LoadSkeleton d/empty.ase Failed,geo num=0"},
        {"d/two_roots.ase", -3, "Error MakeSkeleton"},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        Skeleton skeleton(nullptr, c.path, "SkeletonResource", 0);
        EXPECT_EQ(G()->GetMeshSerializer()->LoadSkeleton(skeleton, c.path), c.result) << c.path;
        if (c.logged) {
            EXPECT_EQ(log.Count(c.logged), 1) << c.path;
        }
        EXPECT_EQ(Skeletons().GetOrLoad(c.path), nullptr) << c.path;
    }
}

TEST_F(SkinnedModelTest, TheLoadRoadFollowsTheNameAndThePreference) {
    SaveRecipe("d");
    ASSERT_TRUE(mg::MakeRecipe("skinned")[0].file.Save("d/only.ch3"));
    GlobalConfigManager& config = *G()->GetConfigManager();
    struct Case {
        const char* path;
        bool preferBinary;
        bool loads;
        bool fromBinary;  // the resource word of the ".ch3" was read
    };
    const Case cases[] = {
        {"d/skinned.chr", false, true, false},  {"d/skinned.chr", true, true, true},
        {"d/only.chr", true, true, true},       {"d/only.chr", false, false, false},
        {"d/skinned.ac3", false, false, false}, {"d/skinned.ch3", false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + (c.preferBinary ? " preferring binary" : ""));
        Manager().RemoveAll();
        config.SetPreferBinaryFiles(c.preferBinary);
        // The skinned class by kind: the manager alone would give ".ac3" to the actor class.
        auto* geometry = dynamic_cast<GeometrySkin*>(
            Manager().GetOrLoadByKind(c.path, c.path, GEOMETRY_KIND_CHR));
        ASSERT_NE(geometry, nullptr);
        EXPECT_EQ(geometry->IsLoadSucceeded(), c.loads);
        EXPECT_EQ(geometry->GetResourceWord() == 9u, c.fromBinary);
        EXPECT_EQ(geometry->GetMeshCount(), c.loads ? 1u : 0u);
        EXPECT_EQ(geometry->GetLoadPath(), c.path) << "the load path is restored";
    }
    config.SetPreferBinaryFiles(false);
}

TEST_F(SkinnedModelTest, ReaderFaultsFailTheLoad) {
    const mg::SkinnedGeometryDesc model = TwoBoneModel();
    const std::string keys = "skinnedGeometry/action0/track1/keys";
    struct Case {
        const char* what;
        mg::FaultPlan faults;
        const char* logged;
    };
    const Case cases[] = {
        {"a palette of 61 bones",
         mg::FaultPlan().Field("skinnedGeometry/geometry/part0", "paletteCount", 61),
         "palette of 61 bones"},
        {"blend records cut short",
         mg::FaultPlan().TruncateAtSection("skinnedGeometry/geometry/part0#blend", 36 * 3),
         "blend records run past the end"},
        {"a bone its own parent",
         mg::FaultPlan().Field("skinnedGeometry/skeleton/bone1", "parentId", 1), "refused"},
        {"a root past the bones",
         mg::FaultPlan().Field("skinnedGeometry/skeleton", "rootBoneIndex", 3), "refused"},
        {"a frame naming a missing key", mg::FaultPlan().Element(keys + "#rotationFrames", 4, 3),
         "frame 4 of the rotation table names key 3 of 3"},
        {"a frame below -1", mg::FaultPlan().Element(keys + "#positionFrames", 0, 0xFFFFFFFE),
         "names key -2"},
        {"keys past the end", mg::FaultPlan().Field(keys, "rotationCount", 1000000),
         "run past the end"},
        {"a track chunk of another tag", mg::FaultPlan().Tag("skinnedGeometry/action0/track0", 8),
         "IOAnimationBin::Read读取到错误的Tag"},
    };
    for (const Case& c : cases) {
        ZelTest::LogCapture log;
        ASSERT_TRUE(mg::WriteSkinnedGeometryFile(model, c.faults).Save("d/bad.ch3")) << c.what;
        Manager().RemoveAll();
        GeometrySkin* geometry = Load("d/bad.ch3");
        ASSERT_NE(geometry, nullptr) << c.what;
        EXPECT_FALSE(geometry->IsLoadSucceeded()) << c.what;
        EXPECT_EQ(geometry->GetMeshCount(), 0u) << c.what;
        EXPECT_EQ(geometry->GetSkeleton(), nullptr) << c.what;
        EXPECT_EQ(geometry->GetAnimationByIndex(0), nullptr) << c.what;
        EXPECT_GE(log.Count(c.logged), 1) << c.what;
    }
}

TEST_F(SkinnedModelTest, BoundChunksGiveTheirShapes) {
    struct Case {
        std::uint32_t kind;
        bool ok;
    };
    for (const Case c : {Case{0, true}, Case{1, true}, Case{2, false}}) {
        mg::BoundDesc desc;
        desc.kind = c.kind;
        desc.radius = 0.5f;
        desc.height = 2.0f;
        desc.shapeWord = 7;
        desc.name = "shape";
        desc.local.m[3] = 4.0f;
        mg::FaultPlan none;
        mg::ChunkStreamWriter writer(none);
        mg::WriteBoundChunk(writer, desc, "bound");
        const mg::WrittenFile file = writer.Finish();
        ZelTest::StreamPtr stream = ZelTest::MemoryStream(file.bytes, "bound");
        BoundBase* shape = reinterpret_cast<BoundBase*>(1);
        EXPECT_EQ(IOBoundBin::Read(shape, stream.get()), c.ok) << c.kind;
        if (!c.ok) {
            EXPECT_EQ(shape, nullptr);
            continue;
        }
        ASSERT_NE(shape, nullptr);
        EXPECT_EQ(shape->GetKind(), static_cast<int>(c.kind));
        EXPECT_EQ(shape->GetIdentifier(), 7u);
        EXPECT_EQ(shape->GetLocalTransform()[3], 4.0f);
        EXPECT_EQ(shape->GetName(), "shape");
        if (c.kind == 1) {
            EXPECT_EQ(static_cast<BoundCapsule*>(shape)->GetHeight(), 2.0f);
        }
        EXPECT_EQ(BytesLeft(stream.get()), 0u);
        shape->Recycle();
    }
}

}  // namespace
