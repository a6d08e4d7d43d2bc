// Texture tests: the image-resource set-up with the device attached, and ways to read what a
// device texture holds whatever its pool.
#pragma once

#include <cstring>
#include <vector>

#include "Entity/Texture/TextureBase.h"
#include "Platform/D3D9/SoftSurface9.h"
#include "tests/Entity/Image/ImageResourceFixture.h"

namespace ZelTest {

class TextureTest : public ImageResourceTest {
protected:
    using Bytes = std::vector<std::uint8_t>;

    void SetUp() override {
        ImageResourceTest::SetUp();
        AttachDevice();
    }

    // The level's rows as the device holds them (any pool), without row padding.
    static Bytes DeviceLevel(IDirect3DTexture9* texture, UINT level, std::size_t rowBytes,
                             UINT rows) {
        Bytes out;
        IDirect3DSurface9* surface = nullptr;
        if (!texture || FAILED(texture->GetSurfaceLevel(level, &surface)))
            return out;
        const SoftSurface9* soft = SoftSurface9::From(surface);
        for (UINT y = 0; y < rows; ++y) {
            const BYTE* row = soft->Bits() + std::size_t(soft->Pitch()) * y;
            out.insert(out.end(), row, row + rowBytes);
        }
        surface->Release();
        return out;
    }

    // The level through the texture's own read lock, without row padding; pitch receives the
    // lock's pitch.
    static Bytes LockedLevel(Zel::TextureBase* texture, int level, std::size_t rowBytes, UINT rows,
                             std::int32_t* pitch = nullptr) {
        std::int32_t p = 0;
        void* bits = nullptr;
        Bytes out;
        if (!texture->LockLevel(level, &p, &bits, nullptr, Zel::LO_READ_ONLY))
            return out;
        for (UINT y = 0; y < rows; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(bits) + std::size_t(p) * y;
            out.insert(out.end(), row, row + rowBytes);
        }
        texture->UnlockLevel();
        if (pitch)
            *pitch = p;
        return out;
    }

    // Writes bytes into a level through the texture's lock (rows of rowBytes).
    static bool FillLevel(Zel::TextureBase* texture, int level, const Bytes& bytes,
                          std::size_t rowBytes) {
        std::int32_t pitch = 0;
        void* bits = nullptr;
        if (!texture->LockLevel(level, &pitch, &bits, nullptr, Zel::LO_NORMAL))
            return false;
        for (std::size_t y = 0; y * rowBytes < bytes.size(); ++y)
            std::memcpy(static_cast<std::uint8_t*>(bits) + std::size_t(pitch) * y,
                        bytes.data() + y * rowBytes, rowBytes);
        texture->UnlockLevel();
        return true;
    }

    static Bytes Counting(std::size_t n, std::uint8_t start = 1) {
        Bytes out(n);
        for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(start + i * 7);
        return out;
    }
};

}  // namespace ZelTest
