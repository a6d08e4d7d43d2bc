#include <gtest/gtest.h>

#include "Core/ActorIdCounter.h"
#include "Core/ClassIds.h"
#include "Core/Object.h"
#include "Core/RefCountedObj.h"
#include "Core/SharedPtr.h"

namespace {

struct SkeletonModelStub : Zel::Object {
    ZEL_CLASS_ID(SkeletonModel)
};
// Registers nothing of its own: answers the pair of the class it derives from.
struct DeformedSkeletonModelStub : SkeletonModelStub {};

struct Resource : Zel::RefCountedObj {};

TEST(ClassIds, FixedIdsAnswerTheirRegisteredNames) {
    const struct {
        std::uint32_t id;
        const char* name;
    } cases[] = {{0, "ZelXMLResource"},
                 {27, "ZelGeometryBodyPart"},
                 {60, "ZelSkeletonModel"},
                 {75, "Zel::IGlobalConfigImpl"},
                 {79, "ZelSceneNx"}};
    for (const auto& c : cases) EXPECT_STREQ(Zel::GetRegisteredClassName(c.id), c.name) << c.id;
    EXPECT_EQ(Zel::GetRegisteredClassName(Zel::ClassId::Count), nullptr);
}

TEST(Object, SerialIdsAreUniqueAndClassIdsFollowTheRegisteredClass) {
    Zel::Object plain;
    SkeletonModelStub a;
    DeformedSkeletonModelStub b;
    EXPECT_EQ(plain.GetClassId(), Zel::ClassId::Object);
    EXPECT_STREQ(plain.GetClassName(), "ZelObject");
    EXPECT_EQ(a.GetSerialId(), plain.GetSerialId() + 1);
    EXPECT_EQ(b.GetSerialId(), a.GetSerialId() + 1);
    const Zel::Object& asBase = b;
    EXPECT_EQ(asBase.GetClassId(), Zel::ClassId::SkeletonModel);
    EXPECT_STREQ(asBase.GetClassName(), "ZelSkeletonModel");
}

TEST(SharedPtr, CountsFollowHoldersAndTheLastDropLeavesTheObjectAlive) {
    Resource r, other;  // each starts at 1: the owner's reference
    {
        Zel::SharedPtr<Resource> p(&r);
        EXPECT_EQ(r.GetRefCount(), 2);
        Zel::SharedPtr<Resource> q = p;
        EXPECT_EQ(r.GetRefCount(), 3);
        q = p;  // same pointee: nothing changes
        EXPECT_EQ(r.GetRefCount(), 3);
        q = Zel::SharedPtr<Resource>(&other);
        EXPECT_EQ(r.GetRefCount(), 2);
        EXPECT_EQ(other.GetRefCount(), 2);
    }
    EXPECT_EQ(r.GetRefCount(), 1);
    EXPECT_EQ(r.DecRef(), 0);  // the owner lets go; nothing is deleted
    EXPECT_EQ(r.GetRefCount(), 0);
}

TEST(ActorIdCounter, FirstActorGetsZero) {
    Zel::ActorIdCounter ids;
    EXPECT_EQ(ids.Current(), -1);
    EXPECT_EQ(ids.Next(), 0);
    EXPECT_EQ(ids.Next(), 1);
}

}  // namespace
