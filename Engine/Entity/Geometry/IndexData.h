// The indexes of a mesh: a 32-bit array in memory and the hardware index buffer (16- or 32-bit)
// filled from it. The buffer is held by a reference; the last user besides the buffer manager
// destroys it. Owned by its mesh or geometry. Host thread (the loading thread in queued mode).
#pragma once

#include <cstdint>
#include <vector>

#include "Core/Object.h"

namespace Zel {

class HardwareBufferManager;
class HardwareIndexBuffer;

class IndexData : public Object {
public:
    // Flag bit 0, set at construction.
    static constexpr std::uint32_t kOwnsArray = 0x1;

    // usage: 0 hardware buffer, 1 system memory (IndexDataSysMem).
    explicit IndexData(std::uint32_t usage = 0);
    // Frees the array and releases the buffer (ReleaseBuffer).
    ~IndexData() override;

    // Writes the array into the buffer (at the buffer offset, discarding) when the buffer asks for
    // a refill, then clears the request. Nothing without buffer, request or array; a failed lock
    // is reported and leaves the request set.
    virtual void Upload();
    // Bytes of the buffer plus 4 per index when the array exists.
    virtual std::uint32_t GetMemorySize() const;
    // Replaces everything by a copy of the other: its leading word, count and array, and a new
    // buffer of the other buffer's index kind, usage and shadow setting (none when the other has
    // none), written at once.
    virtual void CopyFrom(const IndexData& other);

    // Replaces the array by `count` zeroed indexes and sets the index count.
    void AllocateIndices(std::uint32_t count);
    // Takes the indexes without a copy (`indices` is left empty) and sets the index count.
    void TakeIndices(std::vector<std::uint32_t>& indices);
    void FreeIndices() {
        indices_.clear();
        indices_.shrink_to_fit();
    }
    std::uint32_t* GetIndices() { return indices_.empty() ? nullptr : indices_.data(); }
    const std::uint32_t* GetIndices() const { return indices_.empty() ? nullptr : indices_.data(); }
    // Indexes the array holds (the index count may differ: writers take the smaller).
    std::uint32_t GetArraySize() const { return static_cast<std::uint32_t>(indices_.size()); }

    // Makes a hardware buffer for the index count (IndexSize kind, BufferUsage bits), takes a
    // reference, writes the array into it and clears its refill request. Answers false (reported)
    // when there is no buffer manager or the buffer cannot be made or locked; a count of 0 makes
    // no buffer and answers true.
    bool CreateBuffer(std::uint32_t indexKind, std::uint32_t usage, bool useShadow = false);
    // Takes a reference to the buffer (may be null) after releasing the current one.
    void SetBuffer(HardwareIndexBuffer* buffer);
    // Drops the reference; a buffer then held only by its manager is destroyed through it.
    void ReleaseBuffer();
    HardwareIndexBuffer* GetBuffer() const { return buffer_; }

    std::uint32_t GetIndexCount() const { return indexCount_; }
    void SetIndexCount(std::uint32_t count) { indexCount_ = count; }
    // Bytes into the buffer where Upload writes.
    std::uint32_t GetBufferOffset() const { return bufferOffset_; }
    void SetBufferOffset(std::uint32_t offset) { bufferOffset_ = offset; }
    std::uint32_t GetUsage() const { return usage_; }
    std::uint32_t GetFlags() const { return flags_; }
    std::uint32_t GetLeadingWord() const { return leadingWord_; }
    void SetLeadingWord(std::uint32_t word) { leadingWord_ = word; }

protected:
    // Writes min(index count, array size) indexes at the offset with a discard lock.
    bool WriteBuffer(std::uint32_t offset);

    HardwareIndexBuffer* buffer_ = nullptr;           // one reference held
    HardwareBufferManager* bufferManager_ = nullptr;  // the manager of buffer_ (not owned)
    std::uint32_t leadingWord_ = 0;
    std::uint32_t clearedWord_ = 0;
    std::uint32_t indexCount_ = 0;
    std::uint32_t bufferOffset_ = 0;
    std::vector<std::uint32_t> indices_;
    std::uint32_t usage_;
    std::uint32_t flags_ = kOwnsArray;
};

}  // namespace Zel
