#include "Platform/Win32/Win32Handle.h"
#include "Platform/Win32/LayerSingleton.h"

#include <mutex>
#include <unordered_map>

namespace Win32Handle {
namespace {
std::mutex& TableMutex() {
    static std::mutex m;
    return m;
}
LayerSingleton<std::unordered_map<HANDLE, std::shared_ptr<Object>>> g_table;
std::unordered_map<HANDLE, std::shared_ptr<Object>>& Table() {
    return g_table.Get();
}
}  // namespace

HANDLE Publish(std::shared_ptr<Object> object) {
    if (!object) return nullptr;
    HANDLE h = object.get();
    std::lock_guard<std::mutex> lock(TableMutex());
    Table()[h] = std::move(object);
    return h;
}

std::shared_ptr<Object> Find(HANDLE handle) {
    if (!handle || handle == INVALID_HANDLE_VALUE) return nullptr;
    std::lock_guard<std::mutex> lock(TableMutex());
    auto it = Table().find(handle);
    return it == Table().end() ? nullptr : it->second;
}

bool Close(HANDLE handle) {
    std::shared_ptr<Object> dying;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        auto it = Table().find(handle);
        if (it == Table().end()) return false;
        dying = std::move(it->second);
        Table().erase(it);
    }
    return true;  // the object dies here, outside the table lock
}

}  // namespace Win32Handle
