#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Core/GlobalConfigManager.h"
#include "Entity/Character/Bone.h"
#include "Entity/Character/BoneState.h"
#include "Entity/Character/BoneStatePool.h"
#include "Entity/Character/BoneStateSet.h"
#include "Entity/Character/CharacterFixture.h"

namespace {

using Zel::Bone;
using Zel::BoneState;
using Zel::BoneStateSet;
using Zel::Skeleton;
using M4 = std::vector<float>;

// The naive side: general 4x4 products and the rotation matrix written out, recursing through the
// bone links as the tree is described, with no shared code.
M4 Mul(const M4& a, const M4& b) {
    M4 out(16, 0.0f);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            for (int k = 0; k < 4; ++k) out[4 * r + c] += a[4 * r + k] * b[4 * k + c];
    return out;
}

M4 Copy(const float* m) {
    return M4(m, m + 16);
}

M4 Pose(const float* q, const float* t, const float* s) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    const float r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
                        2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
                        2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
    M4 m(16, 0.0f);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m[4 * i + j] = r[3 * i + j] * s[j];
        m[4 * i + 3] = t[i];
    }
    m[15] = 1;
    return m;
}

void Point(const float* m, const float* p, float* out) {
    float v[4];
    for (int r = 0; r < 4; ++r)
        v[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3];
    for (int i = 0; i < 3; ++i) out[i] = v[3] == 0 ? 0 : (v[3] == 1 ? v[i] : v[i] / v[3]);
}

struct Reference {
    const Skeleton& skeleton;
    BoneStateSet& set;
    std::vector<M4> model, skin;

    BoneState& T(const Bone* b) {
        return *set.GetBoneState(static_cast<std::uint32_t>(b->GetIndex()));
    }

    void Bone_(const Bone* b, const M4& p, bool scale) {
        BoneState& t = T(b);
        if (!t.IsNeeded())
            return;
        float tr[3] = {t.translation[0], t.translation[1], t.translation[2]};
        if (scale) {
            const Bone* by = b;
            if (b->GetParent() && !b->IsHeadFlagged()) {
                by = b->GetParent();
                std::string pelvis;
                if (Skeleton::MapSpineToPelvis(b->GetName(), pelvis) && skeleton.FindBone(pelvis))
                    by = skeleton.FindBone(pelvis);
            }
            Point(T(by).scaleMatrix, t.translation, tr);
        }
        const float one[3] = {1, 1, 1};
        const M4 local = Pose(t.rotation, tr, one);
        M4 m = b->IsHeadFlagged() && b->GetParent()
                   ? Mul(Mul(p, Copy(T(b->GetParent()).scaleMatrix)), local)
                   : Mul(p, local);
        const std::size_t i = static_cast<std::size_t>(b->GetIndex());
        model[i] = m;
        skin[i] = scale ? Mul(Mul(m, Copy(t.scaleMatrix)), Copy(b->GetInverseBindMatrix()))
                        : Mul(m, Copy(b->GetInverseBindMatrix()));
        for (const Bone* c : b->GetChildren()) {
            if (b->IsHeadFlagged())
                Face(c, m);
            else
                Bone_(c, m, scale);
        }
    }
    void Face(const Bone* b, const M4& p) {
        BoneState& t = T(b);
        if (!t.IsNeeded())
            return;
        const float s[3] = {t.scaleMatrix[0], t.scaleMatrix[5], t.scaleMatrix[10]};
        const M4 m = Mul(p, Pose(t.rotation, t.translation, s));
        const std::size_t i = static_cast<std::size_t>(b->GetIndex());
        model[i] = m;
        skin[i] = Mul(m, Copy(b->GetInverseBindMatrix()));
        for (const Bone* c : b->GetChildren()) Face(c, m);
    }
};

class BoneStateSetTest : public ZelTest::CharacterTest {
protected:
    void SetUp() override {
        skeleton_ = Biped();
        ASSERT_NE(skeleton_, nullptr);
        skeleton_->SetFootBone(0, skeleton_->GetBoneIndex("Bip01 L Foot"));
        skeleton_->SetFootBone(1, skeleton_->GetBoneIndex("Bip01 R Foot"));
        set_.Rebuild(*skeleton_);
    }

    std::uint32_t Index(const char* name) {
        return static_cast<std::uint32_t>(skeleton_->GetBoneIndex(name));
    }
    BoneState& State(const char* name) { return *set_.GetBoneState(Index(name)); }

    void MarkAll() {
        for (std::uint32_t i = 0; i < set_.GetCount(); ++i)
            set_.GetBoneState(i)->flags |= BoneState::kNeeded;
    }

    // Random local rotations and translations; random affine scale matrices when asked.
    void RandomPose(std::mt19937& rng, bool scales) {
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        std::uniform_real_distribution<float> s(0.5f, 2.0f);
        for (std::uint32_t i = 0; i < set_.GetCount(); ++i) {
            BoneState& t = *set_.GetBoneState(i);
            float q[4] = {u(rng), u(rng), u(rng), u(rng)};
            const float n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
            for (int k = 0; k < 4; ++k) t.rotation[k] = q[k] / n;
            for (int k = 0; k < 3; ++k) t.translation[k] = 0.3f * u(rng);
            if (scales) {
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 4; ++c)
                        t.scaleMatrix[4 * r + c] = r == c ? s(rng) : 0.1f * u(rng);
            }
        }
    }

    std::vector<M4> Models() {
        std::vector<M4> out;
        for (std::uint32_t i = 0; i < set_.GetCount(); ++i)
            out.push_back(Copy(set_.GetBoneState(i)->modelMatrix));
        return out;
    }

    Skeleton* skeleton_ = nullptr;
    BoneStateSet set_{*G()->GetBoneStatePool()};
};

void ExpectNear(const M4& want, const float* got, float tolerance, const std::string& what) {
    for (int k = 0; k < 16; ++k)
        ASSERT_NEAR(want[k], got[k], tolerance) << what << " element " << k;
}

TEST_F(BoneStateSetTest, RebuildTakesTheBindPoseAndNeedsOnlyTheFirstBone) {
    ASSERT_EQ(set_.GetCount(), 70u);
    for (std::uint32_t i = 0; i < set_.GetCount(); ++i) {
        const BoneState& t = *set_.GetBoneState(i);
        const Bone& b = *skeleton_->GetBone(i);
        EXPECT_EQ(t.boneIndex, static_cast<std::int32_t>(i));
        EXPECT_EQ(std::memcmp(t.translation, b.GetLocalPosition(), 12), 0);
        EXPECT_EQ(t.IsNeeded(), i == 0);
    }
    EXPECT_EQ(set_.GetBoneState(70), nullptr);
    // States go back to the pool and come out again for the next rebuild.
    Zel::BoneStatePool& pool = *G()->GetBoneStatePool();
    const std::uint32_t created = pool.GetCreatedCount();
    set_.Rebuild(*skeleton_);
    set_.Rebuild(*skeleton_);
    EXPECT_EQ(pool.GetCreatedCount(), created);
    pool.Release(nullptr);
    EXPECT_EQ(pool.GetFreeCount(), 0u);
}

TEST_F(BoneStateSetTest, EvaluationMatchesTheNaiveTreeOnRandomPoses) {
    std::mt19937 rng(26);
    for (bool scale : {false, true}) {
        for (int round = 0; round < 5; ++round) {
            SCOPED_TRACE("scale " + std::to_string(scale) + " round " + std::to_string(round));
            MarkAll();
            RandomPose(rng, true);
            float parent[16] = {0, -1, 0, 2, 1, 0, 0, -1, 0, 0, 1, 0.5f, 0, 0, 0, 1};
            ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, parent, scale));
            Reference ref{*skeleton_, set_, std::vector<M4>(70), std::vector<M4>(70)};
            ref.Bone_(skeleton_->GetRootBone(), Copy(parent), scale);
            for (std::uint32_t i = 0; i < 70; ++i) {
                const std::string name = skeleton_->GetBone(i)->GetName();
                ExpectNear(ref.model[i], set_.GetBoneState(i)->modelMatrix, 1e-5f, name);
                ExpectNear(ref.skin[i], set_.GetBoneState(i)->skinMatrix, 1e-5f, name);
            }
        }
    }
}

TEST_F(BoneStateSetTest, ScaleMatricesActOnTheFaceAlwaysAndElsewhereOnlyWithBoneScale) {
    MarkAll();
    float unit[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, unit, false));
    const std::vector<M4> plain = Models();
    BoneState& pelvis = State("Bip01 Pelvis");
    for (int k : {0, 5, 10}) {
        pelvis.scaleMatrix[k] = 2.0f;
        State("Bip01 Head").scaleMatrix[k] = 2.0f;
    }
    State("Bip01 Chin").scaleMatrix[0] = 3.0f;
    ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, unit, false));
    // Off: the pelvis scale changes nothing; a direct child of the head is placed with the head's
    // scale, and a face bone below it adds its own.
    EXPECT_EQ(Models()[Index("Bip01 Spine")], plain[Index("Bip01 Spine")]);
    EXPECT_EQ(Models()[Index("Bip01 L Thigh")], plain[Index("Bip01 L Thigh")]);
    EXPECT_EQ(Models()[Index("Bip01 Head")], plain[Index("Bip01 Head")]);
    EXPECT_FLOAT_EQ(State("Bip01 Jaw").modelMatrix[0], 2.0f);
    EXPECT_FLOAT_EQ(State("Bip01 Jaw").modelMatrix[7] - State("Bip01 Head").modelMatrix[7],
                    2.0f * (plain[Index("Bip01 Jaw")][7] - plain[Index("Bip01 Head")][7]));
    EXPECT_FLOAT_EQ(State("Bip01 Chin").modelMatrix[0], 6.0f);
    EXPECT_FLOAT_EQ(State("Bip01 Chin").modelMatrix[5], 2.0f);
    // On: the spine's offset from the pelvis doubles.
    ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, unit, true));
    const float* spine = State("Bip01 Spine").modelMatrix;
    const float* pelvisModel = State("Bip01 Pelvis").modelMatrix;
    const float* plainSpine = plain[Index("Bip01 Spine")].data();
    const float* plainPelvis = plain[Index("Bip01 Pelvis")].data();
    for (int k : {3, 7, 11})
        EXPECT_NEAR(spine[k] - pelvisModel[k], 2.0f * (plainSpine[k] - plainPelvis[k]), 1e-6f);
}

TEST_F(BoneStateSetTest, BonesThatAreNotNeededKeepTheirMatricesWithTheirSubtree) {
    std::mt19937 rng(7);
    MarkAll();
    float unit[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    RandomPose(rng, false);
    ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, unit, false));
    const std::vector<M4> before = Models();
    State("Bip01 L Clavicle").flags = 0;
    RandomPose(rng, false);
    ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, unit, false));
    const std::vector<M4> after = Models();
    for (std::uint32_t i = 0; i < 70; ++i) {
        const Bone* b = skeleton_->GetBone(i);
        bool underClavicle = false;
        for (const Bone* a = b; a; a = a->GetParent())
            underClavicle |= std::string(a->GetName()) == "Bip01 L Clavicle";
        EXPECT_EQ(after[i] == before[i], underClavicle) << b->GetName();
    }
}

TEST_F(BoneStateSetTest, NothingChangesWhileTheUpdateSwitchIsOff) {
    std::mt19937 rng(3);
    MarkAll();
    RandomPose(rng, true);
    const std::vector<M4> before = Models();
    G()->GetConfigManager()->SetValue(BoneStateSet::kUpdateBoneMatricesSwitch, 0);
    float unit[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_FALSE(set_.EvaluateBoneTree(*skeleton_, unit, true));
    EXPECT_EQ(Models(), before);
}

TEST_F(BoneStateSetTest, WorldMatricesAreMadeOncePerFrameExceptRootAndFeet) {
    std::mt19937 rng(11);
    float unit[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float world[16] = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1};
    const std::uint32_t hand = Index("Bip01 R Hand");
    const std::uint32_t foot = Index("Bip01 L Foot");
    // Asking for a bone that is not needed marks it and its ancestors.
    EXPECT_FALSE(set_.GetBoneState(hand)->IsNeeded());
    set_.GetBoneWorldMatrix(*skeleton_, hand, 5, world);
    for (const Bone* b = skeleton_->GetBone(hand); b; b = b->GetParent())
        EXPECT_TRUE(State(b->GetName()).IsNeeded()) << b->GetName();
    EXPECT_FALSE(State("Bip01 L Hand").IsNeeded());
    MarkAll();
    RandomPose(rng, false);
    ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, unit, false));
    auto worldOf = [&](std::uint32_t n, std::uint32_t frame) {
        return Copy(set_.GetBoneWorldMatrix(*skeleton_, n, frame, world));
    };
    const M4 handAt6 = worldOf(hand, 6);
    ExpectNear(Mul(Copy(world), Copy(set_.GetBoneState(hand)->modelMatrix)), handAt6.data(), 1e-6f,
               "hand");
    worldOf(foot, 6);
    worldOf(0, 6);
    RandomPose(rng, false);
    ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, unit, false));
    EXPECT_EQ(worldOf(hand, 6), handAt6);
    for (std::uint32_t n : {0u, foot}) {
        ExpectNear(Mul(Copy(world), Copy(set_.GetBoneState(n)->modelMatrix)), worldOf(n, 6).data(),
                   1e-6f, "refreshed");
    }
    EXPECT_NE(worldOf(hand, 7), handAt6);
    const float* outside = set_.GetBoneWorldMatrix(*skeleton_, 71, 7, world);
    EXPECT_EQ(Copy(outside), Copy(unit));
}

TEST_F(BoneStateSetTest, ABoneNoEvaluationReachedIsEvaluatedWhenAskedFor) {
    const float world[16] = {1, 0, 0, 10, 0, 1, 0, 20, 0, 0, 1, 30, 0, 0, 0, 1};
    const float unit[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float turned[16] = {0, -1, 0, 2, 1, 0, 0, -1, 0, 0, 1, 0.5f, 0, 0, 0, 1};
    const struct {
        const char* what;
        bool evaluatedBefore;  // a tree evaluation ran (only the root needed) before the request
        const float* parent;   // the parent matrix the request must follow
        bool scale;
    } cases[] = {
        {"no evaluation since the rebuild", false, unit, false},
        {"after an evaluation without bone scale", true, turned, false},
        {"after an evaluation with bone scale", true, turned, true},
    };
    std::mt19937 rng(5);
    const std::uint32_t hand = Index("Bip01 R Hand");
    const std::uint32_t other = Index("Bip01 L Hand");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        set_.Rebuild(*skeleton_);
        RandomPose(rng, true);
        if (c.evaluatedBefore) {
            ASSERT_TRUE(set_.EvaluateBoneTree(*skeleton_, c.parent, c.scale));
        }
        const M4 untouched = Copy(set_.GetBoneState(other)->modelMatrix);
        const M4 got = Copy(set_.GetBoneWorldMatrix(*skeleton_, hand, 5, world));
        // The naive tree over the bones now needed: the hand's path.
        Reference ref{*skeleton_, set_, std::vector<M4>(70), std::vector<M4>(70)};
        ref.Bone_(skeleton_->GetRootBone(), Copy(c.parent), c.scale);
        ExpectNear(Mul(Copy(world), ref.model[hand]), got.data(), 1e-5f, "hand");
        ExpectNear(ref.skin[hand], set_.GetBoneState(hand)->skinMatrix, 1e-5f, "hand skin");
        EXPECT_EQ(Copy(set_.GetBoneState(other)->modelMatrix), untouched);  // not asked for
    }
    // With the update switch off nothing is evaluated, on request or otherwise.
    set_.Rebuild(*skeleton_);
    RandomPose(rng, false);
    const std::vector<M4> before = Models();
    G()->GetConfigManager()->SetValue(BoneStateSet::kUpdateBoneMatricesSwitch, 0);
    set_.GetBoneWorldMatrix(*skeleton_, hand, 5, world);
    EXPECT_EQ(Models(), before);
    G()->GetConfigManager()->SetValue(BoneStateSet::kUpdateBoneMatricesSwitch, 1);
}

TEST_F(BoneStateSetTest, MeshPalettesMarkTheirBonesAndAncestors) {
    const std::vector<std::int32_t> palette = {static_cast<std::int32_t>(Index("Bip01 L Toe0")), 70,
                                               -1, 500};
    set_.MarkMeshBonesDirty(*skeleton_, palette);
    std::vector<std::string> needed;
    for (std::uint32_t i = 0; i < 70; ++i) {
        if (set_.GetBoneState(i)->IsNeeded())
            needed.push_back(skeleton_->GetBone(i)->GetName());
    }
    EXPECT_EQ(needed, (std::vector<std::string>{"Bip01", "Bip01 Pelvis", "Bip01 L Thigh",
                                                "Bip01 L Calf", "Bip01 L Foot", "Bip01 L Toe0"}));
    // Scale matrices go back to identity.
    State("Bip01 Pelvis").scaleMatrix[0] = 4;
    set_.ResetBoneMatrices();
    EXPECT_EQ(State("Bip01 Pelvis").scaleMatrix[0], 1.0f);
}

}  // namespace
