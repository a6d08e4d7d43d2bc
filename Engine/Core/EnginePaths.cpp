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

}  // namespace Zel
