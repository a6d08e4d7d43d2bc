// The special-effect tasks on a running loading thread 0 with a host's effect manager that
// records what the library asks of it: a load serves the request's libraries, models and
// billboards and hands the effect over; a refused load hands nothing; a cancelled load unloads its
// effect through the plain unload and releases what that lists at once; the unload tasks release
// what their manager lists.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "Core/RCInterfaceCarrier.h"
#include "Entity/Material/MaterialManager.h"
#include "Entity/Scene/BillBoard.h"
#include "Entity/Scene/SceneManager.h"
#include "Interface/IModel.h"
#include "Interface/IShader.h"
#include "Interface/ISpecialEffectManager.h"
#include "Thread/CreationRecords.h"
#include "fixtures/MaterialXmlFixtures.h"
#include "tests/Render/RenderCore/HostEffectManager.h"
#include "tests/Thread/WorkerFixture.h"

namespace ZelTest {
namespace {

// A host object the effect lists for release: bound until the library detaches it.
class ListedObject final : public ZelI::IObject, public Zel::RCBinding {
public:
    int Release() override { return 0; }
    bool IsValid() override { return bound; }
    void SetImpl(void*) override {}
    void* GetImpl() override { return bound ? this : nullptr; }
    void OnOwnerGone() override { bound = false; }
    void Detach() override {
        bound = false;
        ++detached;
    }

    bool bound = true;
    int detached = 0;
};

// A host material whose references are counted.
class ListedMaterial final : public ZelI::IMaterial {
public:
    int Release() override { return 0; }
    bool IsValid() override { return true; }
    void SetImpl(void*) override {}
    void* GetImpl() override { return nullptr; }
    const char* GetName() override { return "listed"; }
    std::int32_t Reserved7() override { return 0; }
    bool Reserved8() override { return false; }
    std::int32_t Reserved9() override { return 0; }
    float Reserved10() override { return 0.0f; }
    float Reserved11() override { return 0.0f; }
    std::uint32_t GetPassCount() override { return 0; }
    std::uint32_t GetPassTextureCount(std::uint32_t) override { return 0; }
    bool HasPass(std::uint32_t) override { return false; }
    ZelI::ITexture* GetPassTexture(std::uint32_t, std::uint32_t) override { return nullptr; }
    std::uint32_t CollectTextures(ZelI::ITexture**, std::uint32_t) override { return 0; }
    void Reserved17() override {}
    std::int32_t Reserved18() override { return 0; }
    std::int32_t Reserved19() override { return 0; }
    std::int32_t Reserved20() override { return 0; }
    float Reserved21() override { return 1.0f; }
    float Reserved22() override { return 1.0f; }
    float Reserved23() override { return 0.0f; }
    std::int32_t Reserved24() override { return 0; }
    std::int32_t Reserved25() override { return 0; }
    float Reserved26() override { return 1.0f; }
    void Reserved27() override {}
    bool HasBlendedPass() override { return false; }
    bool Reserved29() override { return false; }
    void Pin() override { ++references; }
    void Unpin() override { --references; }
    std::int32_t GetRefCount() override { return references; }
    void SetPassTexture(std::uint32_t, std::uint32_t, ZelI::ITexture*) override {}
    bool LoadFromXmlText(const char*, const char*) override { return false; }

    int references = 1;
};

// The host's effect manager: a load stores the effect token and fills the request from the
// lists below; an unload lists the two objects and the material.
class RecordingEffectManager final : public HostEffectManager {
public:
    bool LoadEffect(ZelI::EffectLoadRequest* request) override {
        ++loads;
        name = request->effectName;
        if (refuse)
            return false;
        *request->effectOut = &effect;
        for (std::size_t i = 0; i < libraries.size(); ++i)
            request->materialLibraries[i] = libraries[i];
        for (std::size_t i = 0; i < models.size(); ++i)
            request->models[i] = {models[i], &modelSlots[i]};
        for (std::size_t i = 0; i < billboards.size(); ++i)
            request->billboards[i] = {&billboardSlots[i], billboards[i].name, 7,
                                      billboards[i].inUse};
        return true;
    }
    void UnloadEffect(ZelI::EffectTaskBatch* batch) override {
        ++unloads;
        FillBatch(batch);
    }
    void UnloadEffectDeeply(ZelI::EffectTaskBatch* batch) override {
        ++deepUnloads;
        FillBatch(batch);
    }
    void CompleteEffect(void* completed) override {
        if (completed == &effect)
            ++completions;
    }

    struct Billboard {
        const char* name;
        std::uint32_t inUse;
    };

    bool refuse = false;
    std::vector<const char*> libraries;
    std::vector<const char*> models;
    std::vector<Billboard> billboards;
    ZelI::IModel* modelSlots[4] = {};
    ZelI::IBillboard* billboardSlots[4] = {};
    ListedObject first;
    ListedObject second;
    ListedMaterial material;

    int effect = 0;  // its address is the effect
    std::string name;
    std::atomic<int> loads{0};
    std::atomic<int> unloads{0};
    std::atomic<int> deepUnloads{0};
    int completions = 0;

private:
    void FillBatch(ZelI::EffectTaskBatch* batch) {
        if (batch->effect != &effect)
            return;
        batch->firstRelease[0] = &first;
        batch->secondRelease[1] = &second;
        batch->materials[0] = &material;
    }
};

class EffectTaskTest : public LoadingThreadTest {
protected:
    std::uint32_t QueueLoad(const char* name) {
        return Zel::QueueEffectLoad(name, &slot_, &manager_, 0);
    }

    RecordingEffectManager manager_;
    void* slot_ = nullptr;
};

TEST_F(EffectTaskTest, ALoadServesTheRequestAndHandsTheEffectOver) {
    for (const char* library : {"fx/a.xml", "fx/b.xml", "fx/c.xml"}) {
        ZelFixtures::LibMaterial material;
        material.name = std::string("fx_") + library[3];
        material.hasEffect = false;
        material.passes.push_back(ZelFixtures::MaterialPass());
        dir_.Write(library, ZelFixtures::WriteMaterialLibrary({material}));
    }
    Zel::BillBoard* billboard = Scene().CreateBillBoard("spark", 0);
    ASSERT_NE(billboard, nullptr);
    manager_.libraries = {"fx/a.xml", "fx/b.xml"};
    manager_.models = {"nil"};
    // The second entry is not in use: the scan stops there and never looks at the third.
    manager_.billboards = {{"spark", 1}, {"spark", 0}, {"spark", 1}};

    const std::uint32_t id = QueueLoad("flame");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker_->SyncTask(id), 0);
    EXPECT_EQ(manager_.name, "flame");
    EXPECT_EQ(slot_, &manager_.effect);
    EXPECT_EQ(manager_.completions, 1);
    // Both libraries loaded as children; the references they took for the effect are back:
    // each material is held as one of a library loaded for no one.
    bool success = false;
    Zel::MaterialManager& materials = *G()->GetMaterialManager();
    ASSERT_TRUE(materials.LoadMaterialLibXml("fx/c.xml", success, false, nullptr));
    const std::int32_t unheld = materials.FindMaterial("fx_c", false)->GetRefCount();
    for (const char* name : {"fx_a", "fx_b"}) {
        Zel::Material* material = materials.FindMaterial(name, false);
        ASSERT_NE(material, nullptr) << name;
        EXPECT_EQ(material->GetRefCount(), unheld) << name;
    }
    // "nil" names an empty model, handed to its entry.
    ASSERT_NE(manager_.modelSlots[0], nullptr);
    EXPECT_EQ(manager_.modelSlots[0]->GetChildEntityCount(), 0u);
    manager_.modelSlots[0]->Release();
    EXPECT_EQ(billboard->GetAuxiliaryValue(), 7.0f);
    EXPECT_EQ(manager_.billboardSlots[2], nullptr);
}

TEST_F(EffectTaskTest, ARefusedLoadHandsNothingOver) {
    manager_.refuse = true;
    const std::uint32_t id = QueueLoad("flame");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(worker_->SyncTask(id), 26);
    EXPECT_EQ(slot_, nullptr);
    EXPECT_EQ(manager_.completions, 0);
}

TEST_F(EffectTaskTest, ACancelledLoadUnloadsItsEffectAtOnce) {
    // A worker of this thread, so that the cancel lands between two known steps.
    Zel::threadio worker(Zel::WorkerDriver::Inline);
    ASSERT_EQ(worker.Start(nullptr), 0);
    Zel::EffectLoadTaskParameter parameter;
    parameter.result = &slot_;
    parameter.effectManager = &manager_;
    Zel::CopyTaskName(parameter.name, "flame");
    const std::uint32_t id = worker.CreateTask(Zel::kEffectLoadTaskType, &parameter, 0);
    ASSERT_NE(id, 0u);
    for (int cycle = 0; cycle < 100 && manager_.loads == 0; ++cycle) worker.Pump();
    ASSERT_EQ(manager_.loads, 1);
    EXPECT_EQ(worker.CancelTask(id), 2);
    for (int cycle = 0; cycle < 100 && worker.FindTask(id); ++cycle) worker.Pump();
    EXPECT_EQ(worker.FindTask(id), nullptr);
    EXPECT_EQ(worker.Stop(), 0);
    EXPECT_EQ(manager_.unloads, 1);
    EXPECT_EQ(manager_.deepUnloads, 0);
    EXPECT_EQ(manager_.first.detached, 1);
    EXPECT_EQ(manager_.second.detached, 1);
    EXPECT_EQ(manager_.material.references, 0);
    EXPECT_EQ(slot_, nullptr);
    EXPECT_EQ(manager_.completions, 0);
}

TEST_F(EffectTaskTest, TheUnloadTasksReleaseWhatTheirManagerLists) {
    struct Case {
        std::int32_t type;
        int unloads;
        int deepUnloads;
    };
    const Case cases[] = {
        {Zel::kEffectUnloadTaskType, 1, 0},
        {Zel::kEffectDeepUnloadTaskType, 0, 1},
    };
    for (const Case& c : cases) {
        RecordingEffectManager manager;
        const std::uint32_t id = Zel::QueueEffectUnload(c.type, &manager.effect, &manager, 0);
        ASSERT_NE(id, 0u);
        EXPECT_EQ(worker_->SyncTask(id), 0) << c.type;
        EXPECT_EQ(manager.unloads, c.unloads) << c.type;
        EXPECT_EQ(manager.deepUnloads, c.deepUnloads) << c.type;
        EXPECT_EQ(manager.first.detached, 1) << c.type;
        EXPECT_EQ(manager.second.detached, 1) << c.type;
        EXPECT_EQ(manager.material.references, 0) << c.type;
    }
}

}  // namespace
}  // namespace ZelTest
