// What the Direct3D 9 vertex and index buffers share: the memory pool chosen once at construction,
// the Direct3D buffer (owned, one reference) made at construction and again after a reset,
// released on loss, and locked through the thread manager's device-access hooks. The two classes
// differ only in the Direct3D buffer they make, which HardwareBufferD3D9Traits gives.
//
// Pool choice from the pool preference P, the usage U and the system-memory flag S: with P = 1
// (managed) and U without the dynamic bit and bit 0x8, system memory when S, else managed;
// otherwise system memory when S, else the default pool. On an Ex device the managed pool is made
// as the default pool (which survives its resets). Host thread.
#pragma once

#include <cstdio>
#include <cstring>
#include <utility>

#include "Core/Globals.h"
#include "Core/LogDispatch.h"
#include "Core/threadmng.h"
#include "Platform/D3D9/IDirect3DDevice9.h"
#include "Render/HardwareIndexBuffer.h"
#include "Render/HardwareVertexBuffer.h"
#include "Render/d3d9/D3D9Mapping.h"
#include "Render/d3d9/DeviceDiagnostics.h"
#include "Render/d3d9/RenderDeviceD3D9.h"

namespace Zel {

template <class Base>
struct HardwareBufferD3D9Traits;

template <>
struct HardwareBufferD3D9Traits<HardwareVertexBuffer> {
    using Interface = IDirect3DVertexBuffer9;
    static constexpr const char* kLockImpl = "HardwareVertexBufferD3D9::LockImpl";
    static constexpr const char* kMember = "m_pD3DVertexBuffer";
    static constexpr const char* kLockCall = "D3DVertexBuffer->Lock";
    static constexpr const char* kCreateCall = "CreateVertexBuffer";
    static constexpr const char* kCreateFailed = "创建顶点缓冲失败 VertexBufferLen=%u";
    static HRESULT Create(IDirect3DDevice9* device, const HardwareVertexBuffer& buffer, DWORD usage,
                          D3DPOOL pool, Interface** out) {
        return device->CreateVertexBuffer(buffer.GetSizeInBytes(), usage, 0, pool, out, nullptr);
    }
};

template <>
struct HardwareBufferD3D9Traits<HardwareIndexBuffer> {
    using Interface = IDirect3DIndexBuffer9;
    static constexpr const char* kLockImpl = "HardwareIndexBufferD3D9::LockImpl";
    static constexpr const char* kMember = "m_pD3DIndexBuffer";
    static constexpr const char* kLockCall = "D3DIndexBuffer->Lock";
    static constexpr const char* kCreateCall = "CreateIndexBuffer";
    static constexpr const char* kCreateFailed = "创建索引缓冲失败 IndexBufferLen=%u";
    static HRESULT Create(IDirect3DDevice9* device, const HardwareIndexBuffer& buffer, DWORD usage,
                          D3DPOOL pool, Interface** out) {
        return device->CreateIndexBuffer(buffer.GetSizeInBytes(), usage,
                                         D3DIndexFormatFromIndexSize(buffer.GetIndexKind()), pool,
                                         out, nullptr);
    }
};

// The pool code a buffer takes (MemoryPool), from the rule above.
inline std::uint32_t ChooseBufferPool(std::uint32_t poolPreference, std::uint32_t usage,
                                      bool systemMemory) {
    if (poolPreference == MP_MANAGED && !(usage & (BU_DYNAMIC | BU_NOT_MANAGED)))
        return systemMemory ? MP_SYSTEM_MEMORY : MP_MANAGED;
    return systemMemory ? MP_SYSTEM_MEMORY : MP_DEFAULT;
}

template <class Base>
class HardwareBufferD3D9 : public Base {
public:
    using Traits = HardwareBufferD3D9Traits<Base>;
    using Interface = typename Traits::Interface;

    // The base's arguments; the derived class then calls CreateBuffer.
    template <class... Args>
    explicit HardwareBufferD3D9(Args&&... args) : Base(std::forward<Args>(args)...) {
        this->poolCode_ =
            ChooseBufferPool(this->poolCode_, this->GetUsage(), this->IsSystemMemory());
    }
    ~HardwareBufferD3D9() override { ReleaseBuffer(); }

    // Releases the Direct3D buffer.
    bool ReleaseDeviceObjects() override {
        ReleaseBuffer();
        return true;
    }
    // Makes the Direct3D buffer again when there is none; its contents are the owner's to refill.
    bool RecreateDeviceObjects() override {
        if (buffer_)
            return true;
        CreateBuffer();
        this->lockStart_ = 0;
        this->lockLength_ = 0;
        this->locked_ = false;
        return buffer_ != nullptr;
    }

    void ReadData(std::uint32_t offset, std::uint32_t length, void* destination) override {
        if (void* data = this->Lock(offset, length, LO_READ_ONLY)) {
            std::memcpy(destination, data, length);
            this->Unlock();
        }
    }
    void WriteData(std::uint32_t offset, std::uint32_t length, const void* source,
                   bool discard) override {
        if (void* data = this->Lock(offset, length, discard ? LO_DISCARD : LO_NORMAL)) {
            std::memcpy(data, source, length);
            this->Unlock();
        }
    }

    // The start the remaining-range locks use.
    void SetLockStart(std::uint32_t offset) { this->lockStart_ = offset; }
    // Bytes from that start to the end (0 past the end).
    std::uint32_t GetRemainingSize() const {
        return this->lockStart_ < this->sizeInBytes_ ? this->sizeInBytes_ - this->lockStart_ : 0;
    }
    using Base::LockRemaining;
    // Null (nothing locked) when length exceeds the remaining size.
    void* LockRemaining(std::uint32_t length, std::uint32_t option) {
        if (length > GetRemainingSize())
            return nullptr;
        return this->Lock(this->lockStart_, length, option);
    }
    void* LockAllRemaining(std::uint32_t option) {
        return LockRemaining(GetRemainingSize(), option);
    }

    // The Direct3D buffer; no reference added. Null while lost or when creation failed.
    Interface* GetD3DBuffer() const { return buffer_; }

protected:
    void* LockImpl(std::uint32_t offset, std::uint32_t length, std::uint32_t option) override {
        if (!buffer_) {
            ReportDeviceError("%s %s为空", Traits::kLockImpl, Traits::kMember);
            return nullptr;
        }
        deviceAccess_ = threadmng::GetInstance()->BeginDeviceAccess();
        void* data = nullptr;
        const HRESULT hr =
            buffer_->Lock(offset, length, &data, D3DBufferLockFlags(option, this->GetUsage()));
        if (FAILED(hr)) {
            EndDeviceAccess();
            if (this->device_)
                this->device_->LogD3DError(Traits::kLockCall, hr, "");
            return nullptr;
        }
        return data;
    }
    void UnlockImpl() override {
        if (!buffer_)
            return;
        buffer_->Unlock();
        EndDeviceAccess();
    }

    // Makes the Direct3D buffer on the device (reported when it cannot be made).
    void CreateBuffer() {
        auto* device = dynamic_cast<RenderDeviceD3D9*>(this->device_);
        if (!device || !device->GetD3DDevice()) {
            LogTyped(LOG_ENGINE_INIT, "%s: no device to make the buffer on", Traits::kCreateCall);
            return;
        }
        const int access = threadmng::GetInstance()->BeginDeviceAccess();
        const HRESULT hr =
            Traits::Create(device->GetD3DDevice(), *this, D3DUsageFromBufferUsage(this->GetUsage()),
                           D3DPoolFromMemoryPool(this->poolCode_, device->IsEx()), &buffer_);
        if (FAILED(hr)) {
            buffer_ = nullptr;
            char text[128];
            std::snprintf(text, sizeof text, Traits::kCreateFailed, this->GetSizeInBytes());
            device->LogD3DError(Traits::kCreateCall, hr, text);
        }
        if (access)
            threadmng::GetInstance()->EndDeviceAccess();
    }

private:
    void ReleaseBuffer() {
        if (!buffer_)
            return;
        if (buffer_->Release() != 0)
            LogTyped(LOG_ENGINE_INIT, "释放%s出错", Traits::kMember);
        buffer_ = nullptr;
    }
    void EndDeviceAccess() {
        if (deviceAccess_)
            threadmng::GetInstance()->EndDeviceAccess();
        deviceAccess_ = 0;
    }

    Interface* buffer_ = nullptr;
    int deviceAccess_ = 0;
};

}  // namespace Zel
