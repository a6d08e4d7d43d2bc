#include "Physics/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace Zel {

MemoryWriteBuffer::MemoryWriteBuffer() = default;

MemoryWriteBuffer::~MemoryWriteBuffer() {
    if (data != nullptr) {
        Nx::NxGetPhysicsSDKAllocator()->free(data);
    }
}

Nx::NxStream& MemoryWriteBuffer::storeBuffer(const void* buffer, Nx::NxU32 size) {
    if (currentSize + size > maxSize) {
        Nx::NxUserAllocator* allocator = Nx::NxGetPhysicsSDKAllocator();
        const std::size_t capacity = currentSize + size + 4096;
        auto* grown = static_cast<Nx::NxU8*>(allocator->malloc(capacity));
        if (data != nullptr) {
            std::memcpy(grown, data, currentSize);
            allocator->free(data);
        }
        data = grown;
        maxSize = capacity;
    }
    std::memcpy(data + currentSize, buffer, size);
    currentSize += size;
    return *this;
}

Nx::NxStream& MemoryWriteBuffer::storeByte(Nx::NxU8 b) {
    return storeBuffer(&b, sizeof(b));
}

Nx::NxStream& MemoryWriteBuffer::storeWord(Nx::NxU16 w) {
    return storeBuffer(&w, sizeof(w));
}

Nx::NxStream& MemoryWriteBuffer::storeDword(Nx::NxU32 d) {
    return storeBuffer(&d, sizeof(d));
}

Nx::NxStream& MemoryWriteBuffer::storeFloat(float f) {
    return storeBuffer(&f, sizeof(f));
}

Nx::NxStream& MemoryWriteBuffer::storeDouble(double f) {
    return storeBuffer(&f, sizeof(f));
}

void MemoryReadBuffer::readBuffer(void* buffer, Nx::NxU32 size) const {
    const std::size_t available =
        std::min<std::size_t>(size, static_cast<std::size_t>(end_ - buffer_));
    if (available > 0) {
        std::memcpy(buffer, buffer_, available);
    }
    if (size > available) {
        std::memset(static_cast<Nx::NxU8*>(buffer) + available, 0, size - available);
    }
    buffer_ += available;
}

namespace {
template <typename T>
T ReadValue(const MemoryReadBuffer& stream) {
    T value;
    stream.readBuffer(&value, sizeof(value));
    return value;
}
}  // namespace

Nx::NxU8 MemoryReadBuffer::readByte() const {
    return ReadValue<Nx::NxU8>(*this);
}

Nx::NxU16 MemoryReadBuffer::readWord() const {
    return ReadValue<Nx::NxU16>(*this);
}

Nx::NxU32 MemoryReadBuffer::readDword() const {
    return ReadValue<Nx::NxU32>(*this);
}

float MemoryReadBuffer::readFloat() const {
    return ReadValue<float>(*this);
}

double MemoryReadBuffer::readDouble() const {
    return ReadValue<double>(*this);
}

}  // namespace Zel
