// A pair of system-memory blocks into which the host writes geometry of its own: a vertex block
// (24-byte vertices on the fixed-function path, 36-byte ones otherwise) and a block of 16-bit
// indices. Nothing is allocated until Allocate. IRender::GetVB hands out the one block of the
// render window; the renderer deletes it at shutdown. Host thread.
#pragma once

#include <cstdint>

#include "Interface/IObject.h"

namespace ZelI {

class IVB : public IObject {
public:
    // (IObject) Release frees both blocks for good: afterwards IsValid is false, the data
    // getters and Lock answer null and Allocate answers false. IsValid is true once both blocks
    // have their data. SetImpl does nothing and GetImpl answers null: the block binds no object.

    // The vertex and index data, null before Allocate.
    virtual void* GetVertexData() = 0;
    virtual std::uint16_t* GetIndexData() = 0;
    // Nothing to do: the blocks live in system memory.
    virtual void Unlock(std::int32_t which) = 0;
    // which 0: stores the stride (bytes per vertex the host writes) and answers the vertex data;
    // 1: the index data; any other value: null. The second argument is not read.
    virtual void* Lock(std::int32_t which, std::intptr_t unused, std::uint32_t stride) = 0;
    // Gives the blocks that have no data yet their sizes: vertex bytes, and index count 16-bit
    // indices. Existing data stays. True when both blocks now hold at least what was asked for;
    // false when an existing block is smaller than the request (it is kept as it is) or the
    // blocks were released. The last four arguments are not read.
    virtual bool Allocate(std::uint32_t vertexBytes, std::uint32_t indexCount, std::intptr_t,
                          std::intptr_t, std::intptr_t, std::intptr_t) = 0;
    // Reserved: answers 0.
    virtual std::int32_t Reserved11() = 0;

protected:
    ~IVB() override = default;
};

}  // namespace ZelI
