#include "Entity/Scene/RenderablePipelinePerLight.h"

#include "Core/CObjectPool.h"
#include "Core/SectionGuard.h"
#include "Core/locksection.h"
#include "Entity/Material/GpuProgram.h"
#include "Entity/Material/Material.h"
#include "Entity/Material/Pass.h"
#include "Entity/Scene/Light.h"

namespace Zel {
namespace {

struct ListPool {
    CObjectPool<RenderableList> pool{4, 1.5f, -1};
    locksection lock;
};

ListPool& Lists() {
    static ListPool lists;
    return lists;
}

RenderableList* AcquireList() {
    ListPool& lists = Lists();
    SectionGuard guard(lists.lock);
    return lists.pool.Acquire();
}

void ReleaseList(RenderableList* list) {
    list->renderables.clear();
    list->pass = nullptr;
    ListPool& lists = Lists();
    SectionGuard guard(lists.lock);
    lists.pool.Release(list);
}

constexpr std::size_t kInitialSlots = 16;

}  // namespace

PassKey PassKey::Of(const Pass& pass) {
    PassKey key;
    key.passIndex = pass.passIndex;
    const Material* material = pass.GetOwner();
    const GpuProgram* program = material ? material->GetProgram() : nullptr;
    key.programId = program ? program->GetProgramId() : 0;
    key.pass = &pass;
    return key;
}

std::uint64_t PassKey::Hash() const {
    // Mixes the three parts so that neither the pass address nor the program id alone decides
    // the bucket.
    std::uint64_t h = reinterpret_cast<std::uintptr_t>(pass) >> 4;
    h ^= programId + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    h ^= passIndex + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    return h;
}

RenderablePipelinePerLight::RenderablePipelinePerLight(std::int32_t slot, Light* light,
                                                       PerLightPipelineMap* map)
    : slot_(slot), light_(light), map_(map), table_(kInitialSlots) {}

RenderablePipelinePerLight::~RenderablePipelinePerLight() {
    for (RenderableList* list : lists_) ReleaseList(list);
    for (RenderableList* list : spare_) ReleaseList(list);
}

std::size_t RenderablePipelinePerLight::SlotOf(const PassKey& key) const {
    const std::size_t mask = table_.size() - 1;
    std::size_t i = static_cast<std::size_t>(key.Hash()) & mask;
    while (table_[i].list && !(table_[i].key == key)) i = (i + 1) & mask;
    return i;
}

RenderableList* RenderablePipelinePerLight::Find(const PassKey& key) const {
    return table_[SlotOf(key)].list;
}

RenderableList* RenderablePipelinePerLight::TakeList() {
    if (spare_.empty())
        return AcquireList();
    RenderableList* list = spare_.back();
    spare_.pop_back();
    return list;
}

void RenderablePipelinePerLight::Grow() {
    std::vector<Slot> grown(table_.size() * 2);
    table_.swap(grown);
    for (const Slot& slot : grown)
        if (slot.list)
            table_[SlotOf(slot.key)] = slot;
}

void RenderablePipelinePerLight::Add(Renderable* renderable, Pass* pass) {
    if (!pass || (light_ && !light_->IsVisible()))
        return;
    const PassKey key = PassKey::Of(*pass);
    Slot& slot = table_[SlotOf(key)];
    if (slot.list) {
        slot.list->renderables.push_back(renderable);
        return;
    }
    RenderableList* list = TakeList();
    if (!list)
        return;
    list->pass = pass;
    list->renderables.push_back(renderable);
    slot.key = key;
    slot.list = list;
    lists_.push_back(list);
    // Half full at most, so that probes stay short.
    if (lists_.size() * 2 > table_.size())
        Grow();
}

void RenderablePipelinePerLight::Clear() {
    for (RenderableList* list : lists_) {
        list->renderables.clear();
        list->pass = nullptr;
        spare_.push_back(list);
    }
    lists_.clear();
    for (Slot& slot : table_) slot.list = nullptr;
}

}  // namespace Zel
