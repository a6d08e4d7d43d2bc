// The hardware-buffer core over a recording device form, the system-memory buffers, and shadowed
// Direct3D 9 buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "Render/FakeHardwareIndexBuffer.h"
#include "Render/FakeHardwareVertexBuffer.h"
#include "Render/d3d9/GraphicsAPIManagerD3D9.h"
#include "Render/d3d9/HardwareVertexBufferD3D9.h"
#include "tests/Core/CoreRootFixture.h"
#include "support/LogCapture.h"
#include "tests/Render/d3d9/DeviceFixture.h"

namespace {

using namespace Zel;

// A device form over plain bytes that records every LockImpl.
class RecordingVertexBuffer final : public HardwareVertexBuffer {
public:
    struct LockCall {
        std::uint32_t offset, length, option;
    };
    RecordingVertexBuffer(std::uint32_t size, std::uint32_t usage, bool useShadow)
        : HardwareVertexBuffer(nullptr, size, usage, false, useShadow, MP_DEFAULT, nullptr),
          bytes(size) {}
    bool ReleaseDeviceObjects() override { return true; }
    bool RecreateDeviceObjects() override { return true; }
    void ReadData(std::uint32_t offset, std::uint32_t length, void* destination) override {
        std::memcpy(destination, bytes.data() + offset, length);
    }
    void WriteData(std::uint32_t offset, std::uint32_t length, const void* source, bool) override {
        std::memcpy(bytes.data() + offset, source, length);
    }
    void* LockImpl(std::uint32_t offset, std::uint32_t length, std::uint32_t option) override {
        locks.push_back({offset, length, option});
        if (std::uint64_t(offset) + length > bytes.size())
            return nullptr;
        return bytes.data() + offset;
    }
    void UnlockImpl() override { ++unlocks; }

    std::vector<std::uint8_t> bytes;
    std::vector<LockCall> locks;
    int unlocks = 0;
};

class HardwareBufferTest : public ZelTest::CoreRootTest {};

TEST_F(HardwareBufferTest, PlainBufferLocksTheDeviceFormAndKeepsTheAppendCursor) {
    RecordingVertexBuffer buffer(4096, BU_DYNAMIC, false);
    EXPECT_EQ(buffer.GetShadow(), nullptr);
    EXPECT_EQ(buffer.GetUsage(), static_cast<std::uint32_t>(BU_DYNAMIC));
    EXPECT_EQ(buffer.GetRefCount(), 1);

    ASSERT_NE(buffer.LockAppend(100, LO_NO_OVERWRITE), nullptr);
    EXPECT_TRUE(buffer.IsLocked());
    buffer.Unlock();
    EXPECT_FALSE(buffer.IsLocked());
    ASSERT_NE(buffer.LockAppend(50, LO_NO_OVERWRITE), nullptr);
    buffer.Unlock();
    ASSERT_EQ(buffer.locks.size(), 2u);
    EXPECT_EQ(buffer.locks[0].offset, 0u);
    EXPECT_EQ(buffer.locks[1].offset, 100u);
    EXPECT_EQ(buffer.GetUsedSize(), 150u);
    EXPECT_EQ(buffer.GetFreeSize(), 3946u);
    EXPECT_EQ(buffer.GetLockStart(), 100u);
    EXPECT_EQ(buffer.GetLockLength(), 50u);

    // More than is free: nothing is locked at all.
    EXPECT_EQ(buffer.LockAppend(3947, LO_NORMAL), nullptr);
    EXPECT_EQ(buffer.locks.size(), 2u);
    ASSERT_NE(buffer.LockRemaining(LO_NORMAL), nullptr);
    EXPECT_EQ(buffer.locks.back().length, 3946u);
    buffer.Unlock();
    EXPECT_EQ(buffer.GetFreeSize(), 0u);
    // An earlier range does not lower the cursor.
    ASSERT_NE(buffer.Lock(0, 8, LO_NORMAL), nullptr);
    buffer.Unlock();
    EXPECT_EQ(buffer.GetUsedSize(), 4096u);
}

TEST_F(HardwareBufferTest, FailedLocksLeaveTheBookkeepingAsItWas) {
    for (bool shadow : {false, true}) {
        SCOPED_TRACE(shadow ? "shadowed" : "plain");
        RecordingVertexBuffer buffer(4096, BU_DYNAMIC, shadow);
        ASSERT_NE(buffer.Lock(16, 32, LO_NORMAL), nullptr);
        buffer.Unlock();
        const bool updated = buffer.IsShadowUpdated();
        struct Range {
            std::uint32_t offset, length;
        };
        // Past the end, and ranges whose end wraps in 32 bits: refused before the device form
        // (or the shadow) is asked, with one logged line each.
        const std::size_t locks = buffer.locks.size();
        ZelTest::LogCapture log;
        for (Range r : {Range{4000, 200}, Range{0xFFFFFF00u, 0x200}, Range{1, 0xFFFFFFFFu}}) {
            log.Clear();
            EXPECT_EQ(buffer.Lock(r.offset, r.length, LO_NORMAL), nullptr);
            EXPECT_EQ(buffer.locks.size(), locks);
            EXPECT_EQ(log.Records().size(), 1u);
            EXPECT_EQ(log.Count("HardwareBuffer::Lock offset=" + std::to_string(r.offset) +
                                " length=" + std::to_string(r.length) + " size=4096"),
                      1);
            EXPECT_FALSE(buffer.IsLocked());
            EXPECT_EQ(buffer.GetUsedSize(), 48u);
            EXPECT_EQ(buffer.GetFreeSize(), 4048u);
            EXPECT_EQ(buffer.GetLockStart(), 16u);
            EXPECT_EQ(buffer.GetLockLength(), 32u);
            EXPECT_EQ(buffer.IsShadowUpdated(), updated);
        }
    }
}

TEST_F(HardwareBufferTest, ShadowTakesTheLocksAndIsCopiedOnUnlock) {
    RecordingVertexBuffer buffer(256, BU_DYNAMIC, true);
    ASSERT_NE(buffer.GetShadow(), nullptr);
    EXPECT_EQ(buffer.GetUsage(), static_cast<std::uint32_t>(BU_DYNAMIC | BU_WRITE_ONLY));
    EXPECT_EQ(buffer.GetShadow()->GetUsage(), buffer.GetUsage());
    EXPECT_STREQ(static_cast<FakeHardwareVertexBuffer*>(buffer.GetShadow())->GetClassName(),
                 "ZelFakeHardwareVertexBuffer");

    struct Case {
        const char* name;
        std::uint32_t offset, length, option;
        bool copies;
        std::uint32_t deviceOption;
    };
    const Case cases[] = {
        {"whole buffer: discard", 0, 256, LO_NORMAL, true, LO_DISCARD},
        {"partial range: normal", 64, 32, LO_DISCARD, true, LO_NORMAL},
        {"from 0, not to the end: normal", 0, 255, LO_NORMAL, true, LO_NORMAL},
        {"read-only: nothing copied", 0, 256, LO_READ_ONLY, false, 0},
    };
    std::uint8_t value = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        buffer.locks.clear();
        auto* data = static_cast<std::uint8_t*>(buffer.Lock(c.offset, c.length, c.option));
        ASSERT_NE(data, nullptr);
        EXPECT_TRUE(buffer.IsLocked());
        EXPECT_TRUE(buffer.locks.empty());  // the device form is not touched while locked
        EXPECT_EQ(buffer.IsShadowUpdated(), c.option != LO_READ_ONLY);
        std::memset(data, value, c.length);
        buffer.Unlock();
        EXPECT_FALSE(buffer.IsLocked());
        EXPECT_FALSE(buffer.IsShadowUpdated());
        if (c.copies) {
            ASSERT_EQ(buffer.locks.size(), 1u);
            EXPECT_EQ(buffer.locks[0].offset, c.offset);
            EXPECT_EQ(buffer.locks[0].length, c.length);
            EXPECT_EQ(buffer.locks[0].option, c.deviceOption);
            EXPECT_EQ(buffer.bytes[c.offset], value);
            EXPECT_EQ(buffer.bytes[c.offset + c.length - 1], value);
        } else {
            EXPECT_TRUE(buffer.locks.empty());
            EXPECT_NE(buffer.bytes[0], value);
        }
        ++value;
    }
}

TEST_F(HardwareBufferTest, CopyDataReadsTheSourceThroughAReadOnlyLock) {
    FakeHardwareVertexBuffer source(nullptr, 64, BU_STATIC, MP_SYSTEM_MEMORY, nullptr);
    std::uint8_t pattern[16];
    for (int i = 0; i < 16; ++i) pattern[i] = static_cast<std::uint8_t>(0xA0 + i);
    source.WriteData(8, 16, pattern, false);
    RecordingVertexBuffer destination(64, BU_STATIC, false);
    destination.CopyData(source, 8, 32, 16, false);
    EXPECT_EQ(std::memcmp(destination.bytes.data() + 32, pattern, 16), 0);
    EXPECT_FALSE(source.IsLocked());
}

TEST_F(HardwareBufferTest, SystemMemoryBuffersCheckEveryRange) {
    FakeHardwareVertexBuffer vertices(nullptr, 32, BU_DYNAMIC, MP_DEFAULT, nullptr);
    FakeHardwareIndexBuffer indices(nullptr, 8, IS_16BIT, BU_STATIC, MP_DEFAULT, nullptr);
    // Never part of the loss and reset, whatever the pool code.
    EXPECT_FALSE(vertices.IsDefaultPool());
    EXPECT_FALSE(indices.IsDefaultPool());
    EXPECT_TRUE(vertices.IsSystemMemory());
    EXPECT_FALSE(vertices.UsesShadow());
    EXPECT_EQ(indices.GetSizeInBytes(), 16u);

    std::uint8_t out[40] = {};
    std::memset(out, 0x5A, sizeof out);
    vertices.WriteData(30, 4, out, true);
    EXPECT_EQ(vertices.GetBytes()[30], 0);
    vertices.ReadData(0xFFFFFFF0u, 0x20, out);
    EXPECT_EQ(out[0], 0x5A);
    EXPECT_EQ(vertices.Lock(16, 17, LO_NORMAL), nullptr);
    indices.ReadData(10, 8, out);
    const std::string log = LogText();
    for (const char* line :
         {"ZelFakeHardwareVertexBuffer::Zel::FakeHardwareVertexBuffer::WriteData offset=30 "
          "length=4 size=32",
          "ZelFakeHardwareVertexBuffer::Zel::FakeHardwareVertexBuffer::ReadData",
          "HardwareBuffer::Lock offset=16 length=17 size=32",
          "ZelFakeHardwareIndexBuffer::Zel::FakeHardwareIndexBuffer::ReadData offset=10"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    // The whole buffer is reachable.
    vertices.WriteData(0, 32, out, false);
    EXPECT_EQ(vertices.GetBytes()[31], 0x5A);
}

TEST_F(HardwareBufferTest, IndexBufferSizesFollowTheIndexType) {
    for (auto [kind, bytes] : {std::pair{IS_16BIT, 600u}, std::pair{IS_32BIT, 1200u}}) {
        FakeHardwareIndexBuffer buffer(nullptr, 300, kind, BU_STATIC, MP_DEFAULT, nullptr);
        EXPECT_EQ(buffer.GetSizeInBytes(), bytes);
        EXPECT_EQ(buffer.GetIndexSize(), bytes / 300);
    }
}

class ShadowedD3D9BufferTest : public ZelTest::DeviceTest {};

TEST_F(ShadowedD3D9BufferTest, WritesReachTheDeviceBufferOnUnlock) {
    ASSERT_TRUE(Init(Settings()));
    GraphicsAPIManagerD3D9 api;
    std::unique_ptr<HardwareVertexBuffer> made(
        api.NewVertexBuffer(nullptr, 64, BU_STATIC, false, true, MP_DEFAULT, &Device()));
    auto& buffer = static_cast<HardwareVertexBufferD3D9&>(*made);
    EXPECT_EQ(buffer.GetUsage(), static_cast<std::uint32_t>(BU_STATIC | BU_WRITE_ONLY));
    ASSERT_NE(buffer.GetD3DBuffer(), nullptr);
    auto* data = static_cast<std::uint8_t*>(buffer.Lock(LO_NORMAL));
    ASSERT_NE(data, nullptr);
    for (int i = 0; i < 64; ++i) data[i] = static_cast<std::uint8_t>(i + 1);
    buffer.Unlock();
    void* device = nullptr;
    ASSERT_EQ(buffer.GetD3DBuffer()->Lock(0, 64, &device, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint8_t*>(device)[0], 1);
    EXPECT_EQ(static_cast<std::uint8_t*>(device)[63], 64);
    buffer.GetD3DBuffer()->Unlock();
}

}  // namespace
