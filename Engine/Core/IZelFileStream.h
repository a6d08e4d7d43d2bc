// A stream over a whole file held in memory; it can hand out a pointer into its bytes.
#pragma once

#include <cstdint>
#include <memory>

#include "Core/IZelStream.h"

namespace Zel {

class IZelFileStream : public IZelStream {
public:
    // Owns a buffer of `size` bytes whose contents are not set; HasData() is false when the
    // buffer could not be allocated.
    IZelFileStream(std::string name, std::uint32_t size);

    std::uint32_t GetSize() const override { return size_; }
    const std::uint8_t* GetCurrentPointer() override;

    bool HasData() const { return hasData_; }
    // The bytes, for the code that fills the stream.
    std::uint8_t* GetData() { return bytes_.get(); }

protected:
    std::uint32_t ReadSource(void* buffer, std::uint32_t position, std::uint32_t n) override;

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::uint32_t size_;
    bool hasData_;
};

}  // namespace Zel
