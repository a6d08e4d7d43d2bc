// Cooked meshes travel through memory: the cooking library writes into a MemoryWriteBuffer and
// mesh creation reads it back through a MemoryReadBuffer.
#pragma once

#include <cstddef>

#include "Platform/Physics/NxPhysics.h"

namespace Zel {

// Grows by what is stored plus 4096 bytes, through the SDK's allocator. Reads do nothing.
class MemoryWriteBuffer : public Nx::NxStream {
public:
    MemoryWriteBuffer();
    ~MemoryWriteBuffer() override;
    MemoryWriteBuffer(const MemoryWriteBuffer&) = delete;
    MemoryWriteBuffer& operator=(const MemoryWriteBuffer&) = delete;

    Nx::NxU8 readByte() const override { return 0; }
    Nx::NxU16 readWord() const override { return 0; }
    Nx::NxU32 readDword() const override { return 0; }
    float readFloat() const override { return 0; }
    double readDouble() const override { return 0; }
    void readBuffer(void*, Nx::NxU32) const override {}
    NxStream& storeByte(Nx::NxU8 b) override;
    NxStream& storeWord(Nx::NxU16 w) override;
    NxStream& storeDword(Nx::NxU32 d) override;
    NxStream& storeFloat(float f) override;
    NxStream& storeDouble(double f) override;
    NxStream& storeBuffer(const void* buffer, Nx::NxU32 size) override;

    std::size_t currentSize = 0;
    std::size_t maxSize = 0;
    Nx::NxU8* data = nullptr;
};

// Reads from a block of `size` bytes; a read past its end yields zero bytes. Stores do nothing.
class MemoryReadBuffer : public Nx::NxStream {
public:
    MemoryReadBuffer(const Nx::NxU8* data, std::size_t size) : buffer_(data), end_(data + size) {}

    Nx::NxU8 readByte() const override;
    Nx::NxU16 readWord() const override;
    Nx::NxU32 readDword() const override;
    float readFloat() const override;
    double readDouble() const override;
    void readBuffer(void* buffer, Nx::NxU32 size) const override;
    NxStream& storeByte(Nx::NxU8) override { return *this; }
    NxStream& storeWord(Nx::NxU16) override { return *this; }
    NxStream& storeDword(Nx::NxU32) override { return *this; }
    NxStream& storeFloat(float) override { return *this; }
    NxStream& storeDouble(double) override { return *this; }
    NxStream& storeBuffer(const void*, Nx::NxU32) override { return *this; }

private:
    mutable const Nx::NxU8* buffer_;
    const Nx::NxU8* end_;
};

}  // namespace Zel
