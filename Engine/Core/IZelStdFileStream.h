// A stream over a disk file read through standard file I/O (opened through the path resolver).
#pragma once

#include <cstdint>
#include <cstdio>

#include "Core/IZelStream.h"

namespace Zel {

class IZelStdFileStream : public IZelStream {
public:
    // Opens the file for binary input and measures its size. A file that cannot be opened (or is
    // 4 GiB or larger) leaves the stream failed: size 0, every read delivers nothing.
    explicit IZelStdFileStream(std::string path);
    ~IZelStdFileStream() override;

    std::uint32_t GetSize() const override { return size_; }
    bool IsOpen() const { return file_ != nullptr; }

protected:
    std::uint32_t ReadSource(void* buffer, std::uint32_t position, std::uint32_t n) override;
    void SeekSource(std::uint32_t position) override;

private:
    FILE* file_ = nullptr;
    std::uint32_t size_ = 0;
};

}  // namespace Zel
