// The system-memory form of a vertex buffer by format: no device buffer, only a vertex array in
// memory that the draw path hands to the device as user vertices, and the buffer manager's shared
// declaration for its layout. Owned by its VertexDataSysMem. Host thread.
#pragma once

#include <cstdint>
#include <memory>

#include "Entity/Geometry/VertexBufferByFormat.h"

namespace Zel {

class VertexBufferByFormatSysMem : public VertexBufferByFormat {
public:
    // Takes the shared declaration of the mask from the buffer manager at once (none without a
    // manager).
    VertexBufferByFormatSysMem(VertexData* vertexData, std::uint32_t mask);
    // Frees the array when flag bit 0 is set and forgets the shared declaration (the manager keeps
    // it).
    ~VertexBufferByFormatSysMem() override;

    void Build() override {}
    std::uint32_t GetSizeInBytes() const override { return 0; }
    void Refresh() override {}

    // Replaces the array by `bytes` zeroed bytes owned by this object (flag bit 0); false
    // (reported) when they cannot be allocated.
    bool AllocateArray(std::uint32_t bytes);
    std::uint8_t* GetVertexArray() const { return array_; }
    std::uint32_t GetArrayWord() const { return arrayWord_; }
    void SetArrayWord(std::uint32_t word) { arrayWord_ = word; }

private:
    void FreeArray();

    std::uint8_t* array_ = nullptr;
    std::uint32_t arrayWord_ = 0;
};

}  // namespace Zel
