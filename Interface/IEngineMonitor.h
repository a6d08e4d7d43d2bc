// Resource statistics for the host, by category: 0 textures, 1 images, 2 static (level)
// geometries, 3 action resources, 4 live actors and their body textures, 5 all geometries, 6
// body-part geometries. A category outside 0-6 answers 0 and writes nothing. Counts are numbers of
// resources, sizes are bytes. IRender hands out the one monitor; the host never deletes it. Host
// thread.
#pragma once

#include <cstdint>

namespace ZelI {

class IEngineMonitor {
public:
    // Resources of the category (textures: those someone besides the manager holds).
    virtual std::uint32_t GetResourceCount(std::int32_t category) = 0;
    // Resources only their manager still holds (its garbage); 0 for categories 2, 4 and 6.
    virtual std::uint32_t GetUnreferencedCount(std::int32_t category) = 0;
    virtual std::uint32_t GetResourceBytes(std::int32_t category) = 0;
    // Bytes of the unreferenced resources; 0 for categories 2, 4 and 6.
    virtual std::uint32_t GetUnreferencedBytes(std::int32_t category) = 0;
    // Bytes the process has allocated from its heap.
    virtual std::uint32_t GetProcessHeapBytes() = 0;
    // Bytes the device textures take in video memory.
    virtual std::uint32_t GetTextureMemoryCounter() = 0;
    // Appends the category's resource report to the file (categories 0, 1, 3, 5 and 6; null: the
    // texture report picks its own name, the others write nothing).
    virtual void DumpResources(std::int32_t category, const char* fileName) = 0;

protected:
    virtual ~IEngineMonitor() = default;
};

}  // namespace ZelI
