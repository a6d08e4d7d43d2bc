#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Core/CResource.h"
#include "Core/CResourceGroupManager.h"
#include "Core/CResourceManager.h"
#include "Core/IResList_Impl.h"
#include "Core/IResVisitor.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace {

using Zel::CResource;
using Zel::CResourceManager;

// A resource whose load succeeds unless its name contains "bad", and whose size is given.
class TestResource : public CResource {
public:
    TestResource(CResourceManager* manager, std::string_view name, std::uint32_t handle,
                 std::uint32_t size)
        : CResource(manager, name, "Test", handle), bytes_(size) {}

    std::uint32_t GetSize() override { return bytes_; }
    bool LoadImpl() override {
        ++loads;
        return GetLoadPath().find("bad") == std::string::npos;
    }
    void UnloadImpl() override { ++unloads; }

    int loads = 0;
    int unloads = 0;

private:
    std::uint32_t bytes_;
};

class TestManager : public CResourceManager {
public:
    TestManager() { RegisterType("Test"); }
    ~TestManager() override { UnregisterType(); }

    // Sizes: 100 bytes, or as many as the source says when it is a number.
    CResource* CreateImpl(std::string_view name, std::string_view source) override {
        ++made;
        std::uint32_t size = 100;
        if (!source.empty() && source.find_first_not_of("0123456789") == std::string::npos)
            size = static_cast<std::uint32_t>(std::stoul(std::string(source)));
        return new TestResource(this, name, NextHandle(), size);
    }

    int made = 0;
};

TestResource* Loaded(TestManager& manager, const char* name) {
    return static_cast<TestResource*>(manager.Load(name));
}

TEST(CResource, LoadSequenceAndFlags) {
    TestResource resource(nullptr, "Dir/A.TGA", 7, 64);
    EXPECT_EQ(resource.GetName(), "dir\\a.tga");
    EXPECT_EQ(resource.GetFlags(), CResource::kConstructed);
    EXPECT_EQ(resource.GetRefCount(), 1);

    // Without a manager nothing is told; a loaded resource ignores further loads.
    resource.Load("first/bad.tga");
    EXPECT_EQ(resource.GetFlags(), CResource::kConstructed | CResource::kLoaded);
    EXPECT_EQ(resource.GetSizeField(), 64u);
    resource.Load("second.tga");
    resource.Reload();
    EXPECT_EQ(resource.GetLoadPath(), "first/bad.tga");
    EXPECT_EQ(resource.loads, 1);

    resource.Unload();
    EXPECT_FALSE(resource.IsLoaded());
    EXPECT_EQ(resource.GetSizeField(), 0u);
    resource.Unload();
    EXPECT_EQ(resource.unloads, 1);
    resource.Reload();  // from the stored path
    EXPECT_EQ(resource.loads, 2);
    EXPECT_FALSE(resource.IsLoadSucceeded());
    EXPECT_EQ(resource.GetRefCount(), 1);

    // The stream load of the base cannot load, and says so through the flags.
    TestResource streamed(nullptr, "s", 0, 8);
    streamed.Load("s", nullptr);
    EXPECT_TRUE(streamed.IsLoaded());
    EXPECT_FALSE(streamed.IsLoadSucceeded());
    EXPECT_EQ(streamed.loads, 0);
    streamed.SetResourceWord(0xABCD);
    EXPECT_EQ(streamed.GetResourceWord(), 0xABCDu);
}

TEST(CResourceManager, CollectGetByNameAndPurgeRestoreAReferencedResource) {
    TestManager manager;
    TestResource* kept = Loaded(manager, "Kept.dds");
    TestResource* dropped = Loaded(manager, "dropped.dds");
    TestResource* held = Loaded(manager, "held.dds");
    held->AddRef();
    EXPECT_EQ(manager.GetActiveCount(), 3u);
    EXPECT_EQ(manager.GetActiveBytes(), 300u);

    manager.Collect();
    EXPECT_EQ(manager.GetActiveCount(), 1u);
    EXPECT_EQ(manager.GetGarbageCount(), 2u);
    EXPECT_EQ(manager.GetActiveBytes(), 100u);
    EXPECT_EQ(manager.GetGarbageBytes(), 200u);
    EXPECT_TRUE(kept->IsInGarbage());
    EXPECT_TRUE(kept->IsLoaded());

    // Asked for again: found in the garbage list, referenced, taken back by Purge.
    EXPECT_EQ(manager.GetByName("kept.DDS"), kept);
    EXPECT_EQ(manager.Load("KEPT.dds"), kept);
    EXPECT_EQ(manager.made, 3);
    kept->AddRef();
    EXPECT_EQ(manager.GetByHandle(dropped->GetHandle()), dropped);
    manager.Purge();
    EXPECT_EQ(manager.GetGarbageCount(), 0u);
    EXPECT_EQ(manager.GetActiveCount(), 2u);
    EXPECT_FALSE(kept->IsInGarbage());
    EXPECT_EQ(manager.FindActiveByName("kept.dds"), kept);
    EXPECT_EQ(manager.FindActiveByHandle(kept->GetHandle()), kept);
    EXPECT_EQ(manager.GetByName("dropped.dds"), nullptr);  // deleted
    EXPECT_EQ(manager.GetActiveBytes(), 200u);
    EXPECT_EQ(manager.GetGarbageBytes(), 0u);
    EXPECT_EQ(manager.GetTotalBytes(), 200u);

    // Remove refuses a referenced resource and takes one held by the manager alone.
    EXPECT_FALSE(manager.Remove(held));
    held->DecRef();
    EXPECT_TRUE(manager.Remove(held));
    EXPECT_EQ(manager.GetActiveCount(), 1u);
    EXPECT_EQ(manager.GetActiveBytes(), 100u);
    kept->DecRef();
}

TEST(CResourceManager, UnloadGarbageUnloadsInPlaceAndAReloadCountsOnce) {
    TestManager manager;
    TestResource* resource = Loaded(manager, "a.dds");
    manager.Collect();
    manager.UnloadGarbage();
    EXPECT_EQ(manager.GetGarbageCount(), 1u);
    EXPECT_FALSE(resource->IsLoaded());
    EXPECT_EQ(manager.GetGarbageBytes(), 0u);

    // Loaded again from the garbage list, then referenced and taken back: counted once.
    manager.Load("a.dds");
    resource->AddRef();
    EXPECT_EQ(manager.GetGarbageBytes(), 100u);
    manager.UnloadGarbage();
    EXPECT_EQ(manager.GetGarbageCount(), 0u);
    EXPECT_EQ(manager.GetActiveBytes(), 100u);
    EXPECT_EQ(manager.GetGarbageBytes(), 0u);
    resource->DecRef();
}

TEST(CResourceManager, AddLogsATakenNameAndKeepsTheHandleMap) {
    TestManager manager;
    CResource* first = manager.Create("same.xml");
    ZelTest::LogCapture log;
    auto* second = new TestResource(&manager, "SAME.xml", manager.NextHandle(), 1);
    manager.Add(second);
    EXPECT_EQ(log.Count("Add Resource To HashMap Failed! Res Name: same.xml"), 1);
    EXPECT_EQ(manager.GetByHandle(second->GetHandle()), nullptr);
    EXPECT_EQ(manager.GetByName("same.xml"), first);
    delete second;
}

TEST(CResourceManager, UniqueNameIndicesAndListenerSlots) {
    TestManager manager;
    EXPECT_EQ(manager.GetUniqueNameIndex(""), -1);
    EXPECT_EQ(manager.GetUniqueNameIndex("a"), 0);
    manager.Create("a");
    manager.Create("a_1");
    EXPECT_EQ(manager.GetUniqueNameIndex("a"), 2);

    static std::vector<std::string> told;
    told.clear();
    auto listener = [](const char* name, DWORD) { told.push_back(std::string("+") + name); };
    auto other = [](const char* name, DWORD) { told.push_back(std::string("*") + name); };
    auto removed = [](const char* name, DWORD) { told.push_back(std::string("-") + name); };
    EXPECT_EQ(manager.AddCreateListener(listener), 0u);
    EXPECT_EQ(manager.AddCreateListener(other), 1u);
    manager.RemoveCreateListener(0);
    manager.RemoveCreateListener(9);  // nothing
    EXPECT_EQ(manager.AddCreateListener(listener), 0u);
    EXPECT_EQ(manager.AddRemoveListener(removed), 0u);
    manager.Create("b");
    manager.Collect();
    EXPECT_EQ(told, (std::vector<std::string>{"+b", "*b", "-a", "-a_1", "-b"}));
}

TEST(CResourceManager, RemoveAllDeletesReferencedResources) {
    TestManager manager;
    Loaded(manager, "a")->AddRef();
    Loaded(manager, "b");
    manager.Collect();
    manager.RemoveAll();
    EXPECT_EQ(manager.GetTotalCount(), 0u);
    EXPECT_EQ(manager.GetTotalBytes(), 0u);
}

TEST(CResourceManager, CollectTimesItselfFromZero) {
    TestManager manager;
    // A stopwatch that was never reset would measure from an arbitrary origin.
    EXPECT_LT(manager.Collect(), 1000u);
    EXPECT_LT(manager.Purge(), 1000u);
}

TEST(CResourceManager, TwoThreadsCreatingOneNameGetOneResource) {
    for (int round = 0; round < 50; ++round) {
        TestManager manager;
        CResource* seen[2] = {};
        std::thread a([&] { seen[0] = manager.Create("shared"); });
        std::thread b([&] { seen[1] = manager.Create("SHARED"); });
        a.join();
        b.join();
        ASSERT_EQ(seen[0], seen[1]);
        ASSERT_EQ(manager.made, 1);
        ASSERT_EQ(manager.GetActiveCount(), 1u);
    }
}

TEST(CResourceManager, SharedReferencesAreReplacedAndTheLastOneRemovesTheResource) {
    class SharingManager : public TestManager {
    public:
        void OnLastSharedRelease(CResource* resource) override { forgotten = resource->GetName(); }
        std::string forgotten;
    } manager;
    CResource* skeleton = manager.Create("boy.fig");
    manager.Create("girl.fig");
    TestResource* field = nullptr;
    manager.ReplaceShared(field, "BOY.fig");
    EXPECT_EQ(field, skeleton);
    EXPECT_EQ(skeleton->GetRefCount(), 2);
    manager.ReplaceShared(field, "girl.fig");  // boy.fig's last shared reference goes
    EXPECT_EQ(manager.forgotten, "boy.fig");
    EXPECT_EQ(manager.GetByName("boy.fig"), nullptr);
    EXPECT_EQ(field->GetName(), "girl.fig");
    manager.ReplaceShared(field, "");
    EXPECT_EQ(field, nullptr);
    manager.ReplaceShared(field, "none.fig");
    EXPECT_EQ(field, nullptr);
}

TEST(CResourceManager, ListsVisitorsAndTheGroupRegistry) {
    TestManager manager;
    Loaded(manager, "a")->AddRef();
    Loaded(manager, "b");
    manager.Collect();

    Zel::IResList_Impl* active = manager.GetActiveList();
    ASSERT_EQ(active->GetCount(), 1u);
    EXPECT_STREQ(active->GetAt(0)->GetName(), "a");
    EXPECT_EQ(active->GetAt(0)->GetRefCount(), 2);
    EXPECT_EQ(active->GetAt(1), nullptr);
    Zel::IResList_Impl* garbage = manager.GetGarbageList();
    ASSERT_EQ(garbage->GetCount(), 1u);
    EXPECT_EQ(garbage->GetAt(0)->GetSize(), 100u);

    struct Visitor : Zel::IResVisitor {
        void VisitActive(const char* name, std::int32_t ref) override {
            seen += std::string("A:") + name + std::to_string(ref) + " ";
        }
        void VisitGarbage(const char* name, std::int32_t ref) override {
            seen += std::string("G:") + name + std::to_string(ref) + " ";
        }
        std::string seen;
    } visitor;
    manager.Enumerate(&visitor);
    EXPECT_EQ(visitor.seen, "A:a2 G:b1 ");

    Zel::CResourceGroupManager registry;
    CResource* a = manager.GetByName("a");
    CResource* b = manager.GetByName("b");
    registry.AddResource(a);
    registry.AddResource(b);
    ASSERT_NE(registry.GetGroup("Test"), nullptr);
    registry.RemoveResource(a);
    EXPECT_EQ(registry.GetGroup("Test")->GetResources().size(), 1u);
    registry.RemoveManagerResources(&manager);
    EXPECT_TRUE(registry.GetGroup("Test")->GetResources().empty());
    a->DecRef();
}

TEST(CResourceManager, ReportListsBothListsWithTheirFootprints) {
    TestManager manager;
    manager.Load("big", "2048");
    manager.GetByName("big")->AddRef();
    manager.Load("small", "10");
    manager.Collect();
    const std::string expected =
        "********************************************************************\n"
        "Active : 1, Garbage : 1\n"
        "Active List : \n"
        "0 : Ref=2 ,2048 Byte, big\n"
        "Total Active Footprint : 2048 Byte,2 KB\n"
        "=======================================================================\n"
        "Garbage List : \n"
        "0 : Ref=1 ,10 Byte, small\n"
        "Total Garbage Footprint : 10 Byte,0 KB\n"
        "********************************************************************\n";
    std::string text = "before\n";
    manager.DumpToString(text);
    EXPECT_EQ(text, "before\n" + expected);
    std::ostringstream stream;
    manager.DumpToStream(stream);
    EXPECT_EQ(stream.str(), expected);

    ZelTest::TempDir dir;
    const std::string path = (dir.Path() / "report.txt").string();
    manager.DumpToFile(path.c_str());
    manager.DumpToFile(nullptr);
    std::ifstream in(path);
    std::stringstream file;
    file << in.rdbuf();
    EXPECT_NE(file.str().find("Test : Ref=2, 2048 Byte, big\n"), std::string::npos);
    EXPECT_NE(file.str().find("Test : Ref=1, 10 Byte, small\n"), std::string::npos);
    manager.GetByName("big")->DecRef();
}

TEST(CResourceManager, LoadDirectoryCountsTheSuccessfulLoads) {
    ZelTest::TempDir dir;
    dir.Write("one.xml", "");
    dir.Write("two.xml", "");
    dir.Write("bad.xml", "");
    dir.Write("sub/three.txt", "");
    TestManager manager;
    const std::string root = dir.Path().string() + "/";
    EXPECT_EQ(manager.LoadDirectory(root, true), 3u);  // bad.xml fails
    EXPECT_EQ(manager.GetActiveCount(), 4u);
    TestManager filtered;
    EXPECT_EQ(filtered.LoadDirectoryFiltered(root, ".xml", false), 2u);

    TestManager based;
    based.SetBasePath(root);
    CResource* resource = based.LoadFromBasePath("one.xml");
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(resource->GetLoadPath(), root + "one.xml");
}

}  // namespace
