// The material library task (type 18): loads one XML material library in steps, so that a parent
// task (the model and effect loaders) can spread the work over its own cycles. Never queued and
// never made by the task factory: its parents build and step it themselves.
// Steps: begin (open the library), main (parse every material), sub-task (their textures), end
// (enter each material into the manager and hand it to the collecting list), done.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Core/itask.h"
#include "Entity/Material/MaterialLibLoadContext.h"
#include "Entity/Material/MaterialTextureRequests.h"
#include "Thread/CreationRecords.h"

namespace Zel {

class Material;

// The record: the library path, the list that collects the finished materials (null: none) and
// whether each collected material gains a reference the list holds.
struct MaterialLoadTaskParameter {
    char name[kTaskNameCapacity + 1] = {};
    std::vector<Material*>* collected = nullptr;
    bool finish = false;
};

class LoadMaterialTask : public itask {
public:
    static constexpr std::int32_t kType = 18;
    static constexpr std::int32_t kOpenFailed = 24;
    static constexpr std::int32_t kParseFailed = 25;

    LoadMaterialTask() = default;
    // A task for the library whose finished materials go to collected, each with a reference
    // the list holds.
    LoadMaterialTask(const std::string& library, std::vector<Material*>* collected);
    // Deletes the materials parsed but never finished.
    ~LoadMaterialTask() override;

    std::int32_t GetType() const override { return kType; }
    const char* GetName() const override { return "LoadMaterialTask"; }
    // Also drops the parsed document and the materials never finished.
    void Reset() override;
    // The record is a MaterialLoadTaskParameter.
    void SetParameter(const void* parameter) override;
    // Opens the library; 24 when it cannot be read.
    std::int32_t OnTaskBegin() override;
    // Parses every material element; 25 (and no further element) for one that gives no
    // material. The sub-task count becomes the number of parsed materials.
    std::int32_t OnTask() override;
    // The textures each parsed material asked for, counting the sub-tasks down.
    std::int32_t OnSubTask() override;
    // Enters the parsed materials into the manager and hands them to the collecting list.
    std::int32_t OnTaskEnd() override;
    // Straight through: 1, 3, 4, 5, 6, then done; a failure ends at once.
    std::int32_t OnMainThread(std::int32_t state) override;

private:
    struct Record {
        Material* material = nullptr;  // cleared once finished
        MaterialTextureRequests requests;
    };

    void DropRecords();

    MaterialLoadTaskParameter parameter_;
    MaterialLibLoadContext context_;
    std::vector<Record> records_;
    std::size_t nextTextures_ = 0;  // the first record whose textures are still to load
};

}  // namespace Zel
