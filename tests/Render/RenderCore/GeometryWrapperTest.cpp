// The host's geometry wrappers: one mesh wrapper per mesh, matrix slots that refuse what lies
// outside the table, the wrapper class by geometry class, and the shared actions of a skinned
// geometry loaded directly and through the loading task.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "Core/QueueMode.h"
#include "Core/threadio.h"
#include "Core/threadmng.h"
#include "Entity/Character/Skeleton.h"
#include "Interface/ISkeleton.h"
#include "Render/RenderCore/GeometryWrappers.h"
#include "Thread/GeometrySkin_LoadActionTask.h"
#include "support/LogCapture.h"
#include "tests/Entity/Character/ActionFixture.h"

namespace ZelTest {
namespace {

class GeometryWrapperTest : public ActionTest {};

TEST_F(GeometryWrapperTest, AMeshIsTheSameWrapperEachTimeAndNullPastTheEndOrWhenRemoved) {
    Zel::Geometry geometry(nullptr, "meshes", "", 0);
    geometry.AddMesh();
    Zel::Mesh* removed = geometry.AddMesh();
    geometry.AddMesh();
    geometry.RemoveMesh(removed);
    ZelI::IGeometry* host = geometry.GetInterface();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->GetMeshCount(), 3u);

    ZelI::IMesh* first = host->GetMesh(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(host->GetMesh(0), first);
    EXPECT_EQ(Zel::UnwrapInterface<Zel::Mesh>(first), geometry.GetMesh(0));
    EXPECT_NE(host->GetMesh(2), nullptr);
    EXPECT_NE(host->GetMesh(2), first);
    EXPECT_EQ(host->GetMesh(1), nullptr);
    EXPECT_EQ(host->GetMesh(3), nullptr);

    // A released mesh wrapper lets the mesh be; asking again binds a wrapper anew.
    first->Release();
    EXPECT_EQ(geometry.GetMeshCount(), 3u);
    ZelI::IMesh* again = host->GetMesh(0);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->IsValid());
}

TEST_F(GeometryWrapperTest, MatrixSlotsOutsideTheTableChangeNothing) {
    Zel::Geometry geometry(nullptr, "slots", "", 0);
    std::array<Zel::Matrix4, Zel::Geometry::kMatrixSlots> table{};
    geometry.SetMatrixTable(table, 3);
    ZelI::IGeometry* host = geometry.GetInterface();
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->GetMatrixSlotCount(), 3u);

    float matrix[16] = {};
    matrix[3] = 7.0f;
    struct Case {
        std::int32_t slot;
        bool written;
    };
    const Case cases[] = {{-1, false}, {3, false}, {16, false}, {2, true}, {0, true}};
    for (const Case& c : cases) {
        geometry.SetMatrixTable(table, 3);
        host->SetMatrixSlot(c.slot, matrix);
        for (std::uint32_t i = 0; i < 3; ++i) {
            const bool expected = c.written && i == static_cast<std::uint32_t>(c.slot);
            EXPECT_EQ(geometry.GetMatrixSlot(i).m[3], expected ? 7.0f : 0.0f)
                << "slot " << c.slot << ", read " << i;
        }
    }
    host->SetMatrixSlot(0, nullptr);  // no matrix: nothing, no read
}

TEST_F(GeometryWrapperTest, EachGeometryClassGetsItsOwnWrapperAndLosesItWithTheGeometry) {
    auto plain = std::make_unique<Zel::Geometry>(nullptr, "plain", "", 0);
    Zel::GeometrySkin skin(nullptr, "skin", "", 0);
    Zel::GeometryActor actor(nullptr, "actor", "", 0);

    ZelI::IGeometry* plainHost = plain->GetInterface();
    ASSERT_NE(plainHost, nullptr);
    EXPECT_EQ(dynamic_cast<ZelI::IGeometrySkin*>(plainHost), nullptr);
    EXPECT_EQ(plainHost->GetKindWord(), 0u);
    auto* skinHost = dynamic_cast<ZelI::IGeometrySkin*>(skin.GetInterface());
    ASSERT_NE(skinHost, nullptr);
    EXPECT_EQ(dynamic_cast<ZelI::IGeometryActor*>(skinHost), nullptr);
    EXPECT_EQ(skinHost->GetKindWord(), 4u);
    auto* actorHost = dynamic_cast<ZelI::IGeometryActor*>(actor.GetInterface());
    ASSERT_NE(actorHost, nullptr);
    EXPECT_EQ(actorHost->GetBodyPartMeshCount(), 0u);
    std::uint32_t slot = 99;
    EXPECT_STREQ(actorHost->GetBodyPartMesh(0, &slot), "invalid name");
    EXPECT_EQ(slot, 0u);

    // Without a skeleton the skinned rows find nothing.
    EXPECT_EQ(skinHost->GetSkeletonResource(), nullptr);
    EXPECT_EQ(skinHost->GetMatrixSlotCount(), 0u);
    EXPECT_FALSE(skinHost->LoadSharedActions("set", "walk.ac6"));

    // The geometry going away unbinds its wrapper: the host's later calls reach nothing.
    plain.reset();
    EXPECT_FALSE(plainHost->IsValid());
    EXPECT_EQ(plainHost->GetMeshCount(), 0u);
    EXPECT_EQ(plainHost->GetMesh(0), nullptr);
    plainHost->SetMatrixSlot(0, nullptr);
}

class SkinSharedActionTest : public ActionTest {
protected:
    void SetUp() override {
        ASSERT_NE(Small(), nullptr);
        // The skin takes over a reference of its own.
        skin_.SetSkeleton(Manager().GetOrLoad("small.fig"));
        host_ = dynamic_cast<ZelI::IGeometrySkin*>(skin_.GetInterface());
        ASSERT_NE(host_, nullptr);
        WriteFile("skin_walk.ac6", mg::WriteCompressedActionFile(SmallAction(5, 1.0f)).bytes);
        WriteFile("skin_run.ac6", mg::WriteCompressedActionFile(SmallAction(9, 2.0f)).bytes);
        worker_ = Zel::threadmng::GetInstance()->GetOrCreateThread(0);
        ASSERT_NE(worker_, nullptr);
        ASSERT_EQ(worker_->Start(nullptr), 0);
    }
    void TearDown() override { Zel::SetQueueMode(0); }

    Zel::GeometrySkin skin_{nullptr, "skin", "", 0};
    ZelI::IGeometrySkin* host_ = nullptr;
    Zel::threadio* worker_ = nullptr;
};

TEST_F(SkinSharedActionTest, DirectAndQueuedLoadsFillTheSkeletonsSharedSet) {
    EXPECT_EQ(host_->GetMatrixSlotCount(), 5u);  // the skeleton's bones
    ASSERT_NE(host_->GetSkeletonResource(), nullptr);
    EXPECT_EQ(host_->GetSkeletonResource(), skin_.GetSkeleton()->GetInterface());

    ASSERT_TRUE(host_->LoadSharedActions("Walks", "skin_walk.ac6"));
    EXPECT_TRUE(host_->HasSharedAction("skin_walk.ac6"));
    ZelI::IAction* walk = host_->GetAnimationByName("skin_walk.ac6");
    ASSERT_NE(walk, nullptr);
    EXPECT_EQ(host_->GetAnimationByName("skin_walk.ac6"), walk);

    Zel::SetQueueMode(1);
    ASSERT_TRUE(host_->LoadSharedActions("runs", "skin_run.ac6"));
    EXPECT_TRUE(host_->HasSharedAction("skin_run.ac6"));
    EXPECT_NE(host_->GetAnimationByName("skin_run.ac6"), nullptr);
    // A file that does not read fails the task, and the queued call answers false.
    {
        LogCapture log;
        EXPECT_FALSE(host_->LoadSharedActions("runs", "missing.ac6"));
    }
    EXPECT_FALSE(host_->HasSharedAction("missing.ac6"));
}

TEST_F(SkinSharedActionTest, QueuedLoadsRefuseWhatTheirRecordCannotHold) {
    const std::string set127(127, 's'), set128(128, 's');
    const std::string file256(256, 'f');
    struct Case {
        const char* set;
        const char* file;
        bool queued;
    };
    const Case cases[] = {
        {"set", "skin_walk.ac6", true},
        {set127.c_str(), "skin_walk.ac6", true},
        {set128.c_str(), "skin_walk.ac6", false},
        {"set", file256.c_str(), false},
        {"", "skin_walk.ac6", false},
        {nullptr, "skin_walk.ac6", false},
        {"set", "", false},
        {"set", nullptr, false},
    };
    for (const Case& c : cases) {
        LogCapture log;
        const std::uint32_t active = worker_->GetActiveCount();
        const std::uint32_t id = host_->LoadSharedActionsAsyn(c.set, c.file, 0);
        EXPECT_EQ(id != 0, c.queued) << (c.set ? std::string(c.set).size() : 0);
        if (id != 0)
            EXPECT_EQ(worker_->SyncTask(id), 0);
        else
            EXPECT_EQ(worker_->GetActiveCount(), active);
    }
}

TEST_F(SkinSharedActionTest, TheTaskWithoutAGeometryFailsAndTouchesNothing) {
    Zel::GeometrySkinActionRecord record;
    std::strcpy(record.setName, "set");
    std::strcpy(record.file, "skin_walk.ac6");
    LogCapture log;
    const std::uint32_t id =
        worker_->CreateTask(Zel::GeometrySkin_LoadActionTask::kType, &record, 0);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker_->SyncTask(id), Zel::GeometrySkin_LoadActionTask::kFailure);
    EXPECT_FALSE(host_->HasSharedAction("skin_walk.ac6"));
}

}  // namespace
}  // namespace ZelTest
