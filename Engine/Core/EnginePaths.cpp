#include "Core/EnginePaths.h"

#include <mutex>

namespace Zel {
namespace {
enum PathSlot { kWorkingDir, kDataRoot, kResourcesRoot, kIncludeRoot, kEffectRoot, kSlotCount };

struct PathTable {
    std::mutex mutex;
    std::string paths[kSlotCount] = {"", "", "", "", "../Data/Effects/Legacy5/"};
};

PathTable& Table() {
    static PathTable table;
    return table;
}

std::string Get(PathSlot slot) {
    PathTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.paths[slot];
}

void Set(PathSlot slot, const std::string& path) {
    PathTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.paths[slot] = path;
}
}  // namespace

std::string GetEngineDataRoot() {
    return Get(kWorkingDir);
}
void SetEngineDataRoot(const std::string& path) {
    Set(kWorkingDir, path);
}
std::string GetEffectIncludeRoot() {
    return Get(kDataRoot);
}
void SetEffectIncludeRoot(const std::string& path) {
    Set(kDataRoot, path);
}
std::string GetResourcesRoot() {
    return Get(kResourcesRoot);
}
void SetResourcesRoot(const std::string& path) {
    Set(kResourcesRoot, path);
}
std::string GetIncludeRoot() {
    return Get(kIncludeRoot);
}
void SetIncludeRoot(const std::string& path) {
    Set(kIncludeRoot, path);
}
std::string GetEngineEffectRoot() {
    return Get(kEffectRoot);
}
void SetEngineEffectRoot(const std::string& path) {
    Set(kEffectRoot, path);
}

const char* GetDefaultDmlPath() {
    return "..\\resources\\media\\shaders\\role\\link\\4010001\\4010001001\\4010001001.dml";
}

const char* GetDefaultChrPath() {
    return "..\\resources\\media\\shaders\\role\\pet\\2031100\\2031100.chr";
}

const char* GetDefaultSceneXmlPath() {
    return "../resources/media/shaders/cart/Scenes/jiaoxue/jiaoxue_gfx.xml";
}

const char* GetDefaultActionName() {
    return "tank_idle";
}

namespace {

// Indexed by figure + 2 x slot.
constexpr const char* kOldBodyParts[18] = {
    "../resources/media/shaders/role/output/100000000.BP3",
    "../resources/media/shaders/role/output/110000000.BP3",
    "../resources/media/shaders/role/output/101001001.BP3",
    "../resources/media/shaders/role/output/111001001.BP3",
    "../resources/media/shaders/role/output/102001001.BP3",
    "../resources/media/shaders/role/output/112001001.BP3",
    "../resources/media/shaders/role/output/103000000.BP3",
    "../resources/media/shaders/role/output/113000000.BP3",
    "../resources/media/shaders/role/output/104000000.BP3",
    "../resources/media/shaders/role/output/114000000.BP3",
    "../resources/media/shaders/role/output/105000000.BP3",
    "../resources/media/shaders/role/output/115000000.BP3",
    "../resources/media/shaders/role/output/106000000.BP3",
    "../resources/media/shaders/role/output/116000000.BP3",
    "../resources/media/shaders/role/output/107000000.BP3",
    "../resources/media/shaders/role/output/117000000.BP3",
    "../resources/media/shaders/role/output/108000000.BP3",
    "../resources/media/shaders/role/output/118000000.BP3",
};
constexpr const char* kNewBodyParts[18] = {
    "../resources/media/shaders/role/NewOutput/600000001/600000001.bp4",
    "../resources/media/shaders/role/NewOutput/610000001/610000001.bp4",
    "../resources/media/shaders/role/NewOutput/601000001/601000001.bp4",
    "../resources/media/shaders/role/NewOutput/611000001/611000001.bp4",
    "../resources/media/shaders/role/NewOutput/602000001/602000001.bp4",
    "../resources/media/shaders/role/NewOutput/612000001/612000001.bp4",
    "../resources/media/shaders/role/NewOutput/603000001/603000001.bp4",
    "../resources/media/shaders/role/NewOutput/613000001/613000001.bp4",
    "../resources/media/shaders/role/NewOutput/604000001/604000001.bp4",
    "../resources/media/shaders/role/NewOutput/614000001/614000001.bp4",
    "../resources/media/shaders/role/NewOutput/605000001/605000001.bp4",
    "../resources/media/shaders/role/NewOutput/615000001/615000001.bp4",
    "../resources/media/shaders/role/NewOutput/606000001/606000001.bp4",
    "../resources/media/shaders/role/NewOutput/616000001/616000001.bp4",
    "../resources/media/shaders/role/NewOutput/607000001/607000001.bp4",
    "../resources/media/shaders/role/NewOutput/617000001/617000001.bp4",
    "../resources/media/shaders/role/NewOutput/608000001/608000001.bp4",
    "../resources/media/shaders/role/NewOutput/618000001/618000001.bp4",
};

}  // namespace

const char* GetDefaultBodyPartPath(bool newLayout, int figure, int slot) {
    if (figure < 0 || figure > 1 || slot < 0 || slot > 8)
        return nullptr;
    return (newLayout ? kNewBodyParts : kOldBodyParts)[figure + 2 * slot];
}

}  // namespace Zel
