// The device-ready form of one VertexData for one vertex layout (a mask of semantic bits): one
// interleaved hardware vertex buffer bound as stream 0, the vertex declaration describing it and
// the binding that holds it. Built lazily, rewritten in place after a device reset, released
// through the buffer manager. Owned by its VertexData. Host thread (the loading thread in queued
// mode).
#pragma once

#include <cstdint>

#include "Core/Object.h"

namespace Zel {

class HardwareBufferManager;
class VertexBufferBinding;
class VertexBufferDeclaration;
class VertexData;

class VertexBufferByFormat : public Object {
public:
    // Flag bit 0: this object made (and owns) the vertex buffer in binding slot 0.
    static constexpr std::uint32_t kOwnsBuffer = 0x1;

    // vertexData: the data it serves (not owned; may be null); mask: VertexFormat bits.
    VertexBufferByFormat(VertexData* vertexData, std::uint32_t mask);
    // Gives the declaration, the own vertex buffer and the binding back to the buffer manager
    // that made them.
    ~VertexBufferByFormat() override;

    // Interleaves the components the layout asks for into the slot-0 buffer (made on the first
    // build: vertex count x stride bytes). Components the vertex data lacks are added to it with
    // their defaults (zero; colours converted from the other colour form, or white). Does nothing
    // when already built, without vertex data, or for vertex data that is not device-backed.
    // A buffer that cannot be made or locked is reported and leaves the object unbuilt.
    virtual void Build();
    // Bytes of the buffers bound in the binding's 16 slots (slots with a stride), 0 without one.
    virtual std::uint32_t GetSizeInBytes() const;
    // Rewrites the buffer when the vertex data is dirty or the buffer was re-created by a device
    // reset since the last build; then clears the vertex data's dirty flag. Nothing without a
    // bound buffer.
    virtual void Refresh();

    // Makes the next Refresh rebuild.
    void InvalidateDeviceStamp() { deviceStamp_ = 0xFFFFFFFFu; }
    // Sets or clears flag bit 0; users that bind a buffer of their own call it right after
    // construction.
    void SetFlag(bool on) { flags_ = on ? (flags_ | kOwnsBuffer) : (flags_ & ~kOwnsBuffer); }

    VertexBufferDeclaration* GetDeclaration() const { return declaration_; }
    VertexBufferBinding* GetBinding() const { return binding_; }
    bool IsBuilt() const { return built_; }
    std::uint32_t GetFormatMask() const { return mask_; }
    // Bytes per interleaved vertex, known after the first build.
    std::uint32_t GetStride() const { return stride_; }
    std::uint32_t GetDeviceStamp() const { return deviceStamp_; }
    std::uint32_t GetFlags() const { return flags_; }
    VertexData* GetVertexData() const { return vertexData_; }

protected:
    VertexBufferDeclaration* declaration_ = nullptr;
    VertexBufferBinding* binding_ = nullptr;
    bool built_ = false;
    std::uint32_t mask_;
    std::uint32_t word_ = 0;
    VertexData* vertexData_;
    std::uint32_t deviceStamp_ = 0;
    std::uint32_t flags_ = 0;
    std::uint32_t stride_ = 0;
    // The manager that made the declaration and binding (not owned).
    HardwareBufferManager* manager_ = nullptr;

private:
    bool Interleave();
};

}  // namespace Zel
